#include "items/base_list_names.h"

#include <algorithm>

#include "items/orba_object.h"

namespace orba {

namespace {

bool ListedBefore(const TOrbaObject* a, const TOrbaObject* b) { return a->GetListOrder() < b->GetListOrder(); }

// The longest decimal number a numbered name can end in that MakeUniqueName
// could have written (an int64 has 19 digits; 18 always fit).
constexpr size_t kMaxNumberDigits = 18;

// How far above its mark a numbering is carried along to a search's start.
constexpr int64_t kMaxMarkStep = 64;

}  // namespace

void TObjectNameIndex::Add(TOrbaObject& object) {
  auto [it, inserted] = bearers_.try_emplace(object.GetName());
  TBearers& b = it->second;
  if (inserted) {
    b.One = &object;
    NameTakenOrFreed(object.GetName(), true);
    return;
  }
  if (b.Many.empty()) b.Many.push_back(b.One);
  b.Many.insert(std::upper_bound(b.Many.begin(), b.Many.end(), &object, ListedBefore), &object);
}

void TObjectNameIndex::Remove(TOrbaObject& object) {
  auto it = bearers_.find(object.GetName());
  if (it == bearers_.end()) return;
  TBearers& b = it->second;
  if (b.Many.empty()) {
    if (b.One != &object) return;
  } else {
    auto at = std::lower_bound(b.Many.begin(), b.Many.end(), &object, ListedBefore);
    if (at == b.Many.end() || *at != &object) return;
    b.Many.erase(at);
    if (b.Many.size() > 1) return;
    b.One = b.Many.front();
    b.Many = {};
    return;
  }
  bearers_.erase(it);
  NameTakenOrFreed(object.GetName(), false);
}

std::span<TOrbaObject* const> TObjectNameIndex::Bearers(const std::string& name) const {
  auto it = bearers_.find(name);
  return it != bearers_.end() ? it->second.All() : std::span<TOrbaObject* const>();
}

void TObjectNameIndex::NameTakenOrFreed(std::string_view name, bool taken) {
  if (numberings_.empty()) return;
  // Every split of the trailing digits into a prefix and a number written
  // as MakeUniqueName writes numbers (no leading zero but in "0").
  size_t digits_from = name.size();
  while (digits_from > 0 && name[digits_from - 1] >= '0' && name[digits_from - 1] <= '9') --digits_from;
  for (size_t split = std::max(digits_from, name.size() > kMaxNumberDigits ? name.size() - kMaxNumberDigits : 0);
       split < name.size(); ++split) {
    if (name[split] == '0' && split + 1 < name.size()) continue;
    auto numbering = numberings_.find(std::string(name.substr(0, split)));
    if (numbering == numberings_.end()) continue;
    int64_t number = 0;
    for (size_t i = split; i < name.size(); ++i) number = number * 10 + (name[i] - '0');
    TNumbering& n = numbering->second;
    if (number == n.Mark && taken) {
      // The number just handed out was taken: the mark moves past it.
      ++n.Mark;
      continue;
    }
    if (number >= n.Mark) continue;
    if (taken) {
      numbering->second.Free.erase(number);
    } else {
      numbering->second.Free.insert(number);
    }
  }
}

int64_t TObjectNameIndex::SmallestFreeNumber(const std::string& prefix, int64_t first) {
  auto borne = [&](int64_t n) { return IsBorne(prefix + std::to_string(n)); };
  TNumbering& numbering = numberings_[prefix];
  if (first > numbering.Mark && first - numbering.Mark <= kMaxMarkStep) {
    // A search that starts a little above what is known (a renamed item's
    // "_2"): the numbers below First are looked at once and kept.
    for (; numbering.Mark < first; ++numbering.Mark)
      if (!borne(numbering.Mark)) numbering.Free.insert(numbering.Mark);
  }
  if (first > numbering.Mark) {
    // Far above what is known: a plain search that leaves the mark alone.
    int64_t n = first;
    while (borne(n)) ++n;
    return n;
  }
  if (auto free = numbering.Free.lower_bound(first); free != numbering.Free.end()) return *free;
  // Every number from First to the mark is taken: the mark moves on past
  // the taken ones, which stay known as taken.
  while (borne(numbering.Mark)) ++numbering.Mark;
  return numbering.Mark;
}

void TObjectNameIndex::Clear() {
  bearers_.clear();
  numberings_.clear();
}

void TObjectNameIndex::Swap(TObjectNameIndex& other) noexcept {
  bearers_.swap(other.bearers_);
  numberings_.swap(other.numberings_);
}

}  // namespace orba

#include "items/base_list_names.h"

#include <algorithm>
#include <functional>
#include <new>

#include "items/flat_slots.h"
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

uint32_t TObjectNameIndex::HashOf(std::string_view name) {
  const uint64_t h = std::hash<std::string_view>{}(name);
  return static_cast<uint32_t>(h ^ (h >> 32));
}

size_t TObjectNameIndex::Find(std::string_view name, uint32_t hash) const {
  return flat_slots::Find(slots_, hash,
                          [&](const TSlot& slot) { return slot.Hash == hash && slot.First->GetName() == name; });
}

void TObjectNameIndex::Add(TOrbaObject& object) {
  const uint32_t hash = HashOf(object.GetName());
  const size_t found = Find(object.GetName(), hash);
  if (found == flat_slots::kNone) {
    flat_slots::Reserve(slots_, used_, HomeOf);
    slots_[flat_slots::FreeSlot(slots_, hash)] = TSlot{&object, hash, 0};
    ++used_;
    NameTakenOrFreed(object.GetName(), true);
    return;
  }
  TSlot& slot = slots_[found];
  if (slot.Many == 0) {
    if (free_many_.empty()) {
      many_.emplace_back();
      free_many_.push_back(static_cast<uint32_t>(many_.size() - 1));
    }
    slot.Many = free_many_.back() + 1;
    free_many_.pop_back();
    many_[slot.Many - 1].push_back(slot.First);
  }
  std::vector<TOrbaObject*>& all = many_[slot.Many - 1];
  all.insert(std::upper_bound(all.begin(), all.end(), &object, ListedBefore), &object);
  slot.First = all.front();
}

void TObjectNameIndex::Remove(TOrbaObject& object) noexcept {
  const size_t found = Find(object.GetName(), HashOf(object.GetName()));
  if (found == flat_slots::kNone) return;
  TSlot& slot = slots_[found];
  if (slot.Many == 0) {
    if (slot.First != &object) return;
    flat_slots::Erase(slots_, found, HomeOf);
    --used_;
    try {
      NameTakenOrFreed(object.GetName(), false);
    } catch (const std::bad_alloc&) {
      // A removal must not throw (destructors remove objects). Without
      // memory to note the freed number, every numbering forgets what it
      // knew, which is always true: the next search looks again.
      for (auto& numbering : numberings_) numbering.second = TNumbering{};
    }
    return;
  }
  std::vector<TOrbaObject*>& all = many_[slot.Many - 1];
  auto at = std::lower_bound(all.begin(), all.end(), &object, ListedBefore);
  if (at == all.end() || *at != &object) return;
  all.erase(at);
  slot.First = all.front();
  if (all.size() > 1) return;
  all = {};
  const uint32_t freed = slot.Many - 1;
  slot.Many = 0;
  try {
    free_many_.push_back(freed);
  } catch (const std::bad_alloc&) {
    // The emptied entry is not reused: nothing else is lost.
  }
}

std::span<TOrbaObject* const> TObjectNameIndex::Bearers(std::string_view name) const {
  const size_t found = Find(name, HashOf(name));
  if (found == flat_slots::kNone) return {};
  const TSlot& slot = slots_[found];
  if (slot.Many == 0) return std::span<TOrbaObject* const>(&slot.First, 1);
  return many_[slot.Many - 1];
}

void TObjectNameIndex::NameTakenOrFreed(std::string_view name, bool taken) {
  if (numberings_.empty()) return;
  // Every split of the trailing digits into a prefix and a number written
  // as MakeUniqueName writes numbers (no leading zero but in "0").
  size_t digits_from = name.size();
  while (digits_from > 0 && name[digits_from - 1] >= '0' && name[digits_from - 1] <= '9') --digits_from;
  const size_t last_split = std::min(name.size(), longest_prefix_ + 1);
  for (size_t split = std::max(digits_from, name.size() > kMaxNumberDigits ? name.size() - kMaxNumberDigits : 0);
       split < last_split; ++split) {
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
  longest_prefix_ = std::max(longest_prefix_, prefix.size());
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

void TObjectNameIndex::Clear() { TObjectNameIndex().Swap(*this); }

void TObjectNameIndex::Swap(TObjectNameIndex& other) noexcept {
  slots_.swap(other.slots_);
  std::swap(used_, other.used_);
  many_.swap(other.many_);
  free_many_.swap(other.free_many_);
  numberings_.swap(other.numberings_);
  std::swap(longest_prefix_, other.longest_prefix_);
}

}  // namespace orba

#include "core/containers/int_list.h"

#include <algorithm>
#include <string>

namespace orba {

EListError::EListError(int64_t index)
    : EOrbaError("List index out of bounds (" + std::to_string(index) + ")") {}

namespace {

void CheckIndex(int64_t index, size_t count) {
  if (index < 0 || static_cast<uint64_t>(index) >= count) throw EListError(index);
}

}  // namespace

int32_t TIntList::Get(int32_t index) const {
  CheckIndex(index, items_.size());
  return items_[static_cast<size_t>(index)];
}

void TIntList::Put(int32_t index, int32_t value) {
  if (index < 0 || index >= kMaxCount) throw EListError(index);
  const size_t i = static_cast<size_t>(index);
  if (i >= items_.size()) items_.resize(i + 1, 0);
  items_[i] = value;
}

int32_t TIntList::Add(int32_t value) {
  if (Count() >= kMaxCount) throw EListError(Count());
  items_.push_back(value);
  return Count() - 1;
}

int32_t TIntList::IndexOf(int32_t value) const {
  const auto it = std::find(items_.begin(), items_.end(), value);
  return it == items_.end() ? -1 : static_cast<int32_t>(it - items_.begin());
}

void TIntList::Delete(int32_t index) {
  CheckIndex(index, items_.size());
  items_.erase(items_.begin() + index);
}

int32_t TIntArray::Get(int32_t index) const {
  CheckIndex(index, items_.size());
  return items_[static_cast<size_t>(index)];
}

}  // namespace orba

#include "items/brix_owners.h"

#include <cstdint>

#include "items/flat_slots.h"

namespace orba {

size_t TBrixOwners::Home(const void* owner) {
  // Objects lie 8 or 16 bytes apart at least: the multiply spreads the
  // address's middle bits over the high ones, which the shift brings down.
  const uint64_t h = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(owner)) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(h >> 32);
}

size_t TBrixOwners::Find(const void* owner) const {
  return flat_slots::Find(slots_, Home(owner), [owner](const TSlot& s) { return s.Owner == owner; });
}

bool TBrixOwners::Contains(const void* owner) const {
  if (owner == nullptr) return has_null_;
  return Find(owner) != flat_slots::kNone;
}

bool TBrixOwners::Add(const void* owner) {
  if (owner == nullptr) {
    const bool added = !has_null_;
    has_null_ = true;
    return added;
  }
  if (Find(owner) != flat_slots::kNone) return false;
  flat_slots::Reserve(slots_, count_, [](const TSlot& s) { return Home(s.Owner); });
  slots_[flat_slots::FreeSlot(slots_, Home(owner))].Owner = owner;
  ++count_;
  return true;
}

bool TBrixOwners::Remove(const void* owner) {
  if (owner == nullptr) {
    const bool removed = has_null_;
    has_null_ = false;
    return removed;
  }
  const size_t at = Find(owner);
  if (at == flat_slots::kNone) return false;
  flat_slots::Erase(slots_, at, [](const TSlot& s) { return Home(s.Owner); });
  --count_;
  return true;
}

}  // namespace orba

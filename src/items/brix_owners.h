// The owners of one picture cache entry: a set of object addresses that
// many items may join and leave one at a time (a scene of thousands of
// items showing one picture), so each join, leave and test is a probe or
// two in a flat open-addressing table instead of a walk over the owners.
// Nothing reads the owners in an order; only their count and membership
// matter.
#pragma once

#include <cstddef>
#include <vector>

namespace orba {

class TBrixOwners {
 public:
  // Adds Owner unless it is present; true when it was added.
  bool Add(const void* owner);
  // Takes Owner out when it is present; true when it was there.
  bool Remove(const void* owner);
  bool Contains(const void* owner) const;
  size_t Count() const { return count_ + (has_null_ ? 1 : 0); }
  bool Empty() const { return Count() == 0; }

 private:
  struct TSlot {
    const void* Owner = nullptr;
    bool Empty() const { return Owner == nullptr; }
  };
  static size_t Home(const void* owner);
  size_t Find(const void* owner) const;

  std::vector<TSlot> slots_;
  size_t count_ = 0;      // owners in slots_
  bool has_null_ = false;  // the null address, which marks an empty slot
};

}  // namespace orba

// The small integer containers and the list index error they share with the
// other lists of the player.
#pragma once

#include <cstdint>
#include <vector>

#include "core/errors.h"

namespace orba {

// An index outside a list: "List index out of bounds (%d)".
class EListError : public EOrbaError {
 public:
  explicit EListError(int64_t index);
};

// A growable list of 32-bit integers.
class TIntList {
 public:
  // Put never grows the list beyond this many entries.
  static constexpr int32_t kMaxCount = 1 << 24;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Raises EListError outside 0..Count-1.
  int32_t Get(int32_t index) const;
  // Appends zeros until Index exists, then stores Value. A negative index or
  // one at kMaxCount or beyond raises EListError and changes nothing.
  void Put(int32_t index, int32_t value);
  // Returns the index of the new entry.
  int32_t Add(int32_t value);
  // First index holding Value, or -1.
  int32_t IndexOf(int32_t value) const;
  void Delete(int32_t index);
  void Clear() { items_.clear(); }

 private:
  std::vector<int32_t> items_;
};

// A dynamic array of int32 that only grows at the end.
class TIntArray {
 public:
  void Add(int32_t value) { items_.push_back(value); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Raises EListError outside 0..Count-1.
  int32_t Get(int32_t index) const;

 private:
  std::vector<int32_t> items_;
};

}  // namespace orba

// The object manager's index of names. For each name it keeps the listed
// objects that bear it in list order, so that "the first object of that
// name" is one lookup instead of a walk over every object. For each prefix
// the manager numbers names with ("object", a renamed item's "btn_") it
// keeps which numbered names below a mark are free, so that the smallest
// free number is found without trying every taken one again.
//
// The names live in one flat open-addressing table (flat_slots.h) of small
// slots (the name's hash and its first bearer): a lookup of a name nobody bears, as
// every numbered name of a creation is, touches the table alone, and one
// that finds its name reads the bearer's own Name to confirm it. With
// thousands of objects the table stays a few contiguous megabytes instead
// of a node per name scattered over the heap.
//
// Names are compared byte for byte, as everywhere in the object tree.
#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "items/flat_slots.h"

namespace orba {

class TOrbaObject;

class TObjectNameIndex {
 public:
  // Object enters the index under its Name; its ListOrder orders the bearers.
  void Add(TOrbaObject& object);
  // Object leaves the index (it bears the name it was added or renamed
  // with). Never throws: destructors remove objects.
  void Remove(TOrbaObject& object) noexcept;
  // The bearers of Name in list order; empty when none. Valid until the
  // index changes.
  std::span<TOrbaObject* const> Bearers(std::string_view name) const;
  bool IsBorne(std::string_view name) const { return Find(name, HashOf(name)) != flat_slots::kNone; }
  // The smallest N from First on for which Prefix + decimal N is borne by
  // no object.
  int64_t SmallestFreeNumber(const std::string& prefix, int64_t first);
  void Clear();
  void Swap(TObjectNameIndex& other) noexcept;
  // The number of distinct names borne.
  size_t NameCount() const { return used_; }

 private:
  // One name: its hash, its first bearer in list order and, for a name
  // borne more than once, 1 + the index of all its bearers in many_. An
  // empty slot has no bearer.
  struct TSlot {
    TOrbaObject* First = nullptr;
    uint32_t Hash = 0;
    uint32_t Many = 0;
    bool Empty() const { return First == nullptr; }
  };
  static size_t HomeOf(const TSlot& slot) { return slot.Hash; }
  static uint32_t HashOf(std::string_view name);
  // The slot of Name, flat_slots::kNone when nobody bears it.
  size_t Find(std::string_view name, uint32_t hash) const;
  // The free numbers of one prefix: below Mark, exactly the numbers in Free
  // are borne by nothing; from Mark on nothing is known.
  struct TNumbering {
    int64_t Mark = 0;
    std::set<int64_t> Free;
  };
  // Name became borne (Taken) or free: the numberings whose prefix it
  // extends by a decimal number below their mark follow.
  void NameTakenOrFreed(std::string_view name, bool taken);
  // Capacity a power of two (or zero); used_ slots are taken.
  std::vector<TSlot> slots_;
  size_t used_ = 0;
  // The bearers of the names borne more than once, in list order; free
  // entries (listed in free_many_) are empty.
  std::vector<std::vector<TOrbaObject*>> many_;
  std::vector<uint32_t> free_many_;
  std::unordered_map<std::string, TNumbering> numberings_;
  // The longest prefix in numberings_: a name's shorter splits alone can
  // name one.
  size_t longest_prefix_ = 0;
};

}  // namespace orba

// The object manager's index of names. For each name it keeps the listed
// objects that bear it in list order, so that "the first object of that
// name" is one lookup instead of a walk over every object. For each prefix
// the manager numbers names with ("object", a renamed item's "btn_") it
// keeps which numbered names below a mark are free, so that the smallest
// free number is found without trying every taken one again.
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

namespace orba {

class TOrbaObject;

class TObjectNameIndex {
 public:
  // Object enters the index under its Name; its ListPos orders the bearers.
  void Add(TOrbaObject& object);
  // Object leaves the index (it bears the name it was added or renamed with).
  void Remove(TOrbaObject& object);
  // The bearers of Name in list order; empty when none. Valid until the
  // index changes.
  std::span<TOrbaObject* const> Bearers(const std::string& name) const;
  bool IsBorne(const std::string& name) const { return bearers_.contains(name); }
  // The smallest N from First on for which Prefix + decimal N is borne by
  // no object.
  int64_t SmallestFreeNumber(const std::string& prefix, int64_t first);
  void Clear();
  void Swap(TObjectNameIndex& other) noexcept;
  // The number of distinct names borne.
  size_t NameCount() const { return bearers_.size(); }

 private:
  // Most names have one bearer, kept in One; a name borne more than once
  // keeps them all, in list order, in Many.
  struct TBearers {
    TOrbaObject* One = nullptr;
    std::vector<TOrbaObject*> Many;
    std::span<TOrbaObject* const> All() const {
      return Many.empty() ? std::span<TOrbaObject* const>(&One, 1) : std::span<TOrbaObject* const>(Many);
    }
  };
  // The free numbers of one prefix: below Mark, exactly the numbers in Free
  // are borne by nothing; from Mark on nothing is known.
  struct TNumbering {
    int64_t Mark = 0;
    std::set<int64_t> Free;
  };
  // Name became borne (Taken) or free: the numberings whose prefix it
  // extends by a decimal number below their mark follow.
  void NameTakenOrFreed(std::string_view name, bool taken);
  // (std::hash of std::string, whose codes the maps keep with the nodes:
  // a lookup among many names compares codes, not every name's bytes.)
  std::unordered_map<std::string, TBearers> bearers_;
  std::unordered_map<std::string, TNumbering> numberings_;
};

}  // namespace orba

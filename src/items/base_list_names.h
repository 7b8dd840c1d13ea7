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
  // The bearers of Name in list order; an empty list when none.
  const std::vector<TOrbaObject*>& Bearers(const std::string& name) const;
  bool IsBorne(std::string_view name) const { return bearers_.find(name) != bearers_.end(); }
  // The smallest N from First on for which Prefix + decimal N is borne by
  // no object.
  int64_t SmallestFreeNumber(const std::string& prefix, int64_t first);
  void Clear();
  void Swap(TObjectNameIndex& other) noexcept;
  // The number of distinct names borne.
  size_t NameCount() const { return bearers_.size(); }

 private:
  struct THash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  using TBearers = std::vector<TOrbaObject*>;
  // The free numbers of one prefix: below Mark, exactly the numbers in Free
  // are borne by nothing; from Mark on nothing is known.
  struct TNumbering {
    int64_t Mark = 0;
    std::set<int64_t> Free;
  };
  // Name became borne (Taken) or free: the numberings whose prefix it
  // extends by a decimal number below their mark follow.
  void NameTakenOrFreed(std::string_view name, bool taken);
  std::unordered_map<std::string, TBearers, THash, std::equal_to<>> bearers_;
  std::unordered_map<std::string, TNumbering, THash, std::equal_to<>> numberings_;
};

}  // namespace orba

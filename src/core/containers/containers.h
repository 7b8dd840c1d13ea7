// The common containers: an owning object list, a string array that travels
// in save data, and a Shift-JIS aware tab-separated string list.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/containers/int_list.h"
#include "core/streams/big_stream.h"

namespace orba {

// A list that owns its objects: deleting an entry, clearing the list and
// destroying the list destroy the objects. Derived lists name their type.
template <class T>
class TObjList {
 public:
  TObjList() = default;
  virtual ~TObjList() { Clear(); }
  TObjList(const TObjList&) = delete;
  TObjList& operator=(const TObjList&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Raises EListError outside 0..Count-1.
  T& Get(int32_t index) const { return *items_[Checked(index)]; }
  T& operator[](int32_t index) const { return Get(index); }

  // Appends and returns the index of the new entry.
  int32_t Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
  }
  // Inserts before Index (0..Count).
  void Insert(int32_t index, std::unique_ptr<T> item) {
    if (index != Count()) Checked(index);
    items_.insert(items_.begin() + index, std::move(item));
  }
  // Index of the entry holding that object, or -1.
  int32_t IndexOf(const T* item) const {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (items_[i].get() == item) return static_cast<int32_t>(i);
    }
    return -1;
  }
  // Destroys the object at Index, then removes the entry.
  void Delete(int32_t index) {
    const size_t i = Checked(index);
    items_[i].reset();
    items_.erase(items_.begin() + index);
  }
  // Removes the entry and hands its object to the caller.
  std::unique_ptr<T> Extract(int32_t index) {
    std::unique_ptr<T> item = std::move(items_[Checked(index)]);
    items_.erase(items_.begin() + index);
    return item;
  }
  // Moves the entry at From to position To (both 0..Count-1).
  void Move(int32_t from, int32_t to) {
    Checked(to);
    std::unique_ptr<T> item = Extract(from);
    Insert(to, std::move(item));
  }
  // Destroys every object from index 0 upwards, then empties the list.
  void Clear() {
    for (auto& item : items_) item.reset();
    items_.clear();
  }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  size_t Checked(int32_t index) const {
    if (index < 0 || index >= Count()) throw EListError(index);
    return static_cast<size_t>(index);
  }

  std::vector<std::unique_ptr<T>> items_;
};

// A dynamic array of byte strings. Stream form: int32 count, then each
// string as an int32 byte length and its bytes.
class TArrayString {
 public:
  void Add(const std::string& s) { items_.push_back(s); }
  void Assign(const TArrayString& source) { items_ = source.items_; }
  void Clear() { items_.clear(); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Raises EListError outside 0..Count-1.
  const std::string& Get(int32_t index) const;
  void Put(int32_t index, const std::string& s);
  const std::vector<std::string>& Items() const { return items_; }
  bool operator==(const TArrayString&) const = default;

  void SaveToStream(TKsBigStream& stream) const;
  // Replaces the content with the stored array. A negative count, or a count
  // or length larger than the bytes left, raises EReadError and leaves the
  // array as it was.
  void LoadFromStream(TKsBigStream& stream);

 private:
  std::vector<std::string> items_;
};

// A string list whose delimited text is split at one delimiter byte (TAB by
// default), never at the trail byte of a double-byte character.
class TTabStrings {
 public:
  char Delimiter = '\t';

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  void Add(const std::string& s) { items_.push_back(s); }
  void Clear() { items_.clear(); }
  // Raises EListError outside 0..Count-1.
  const std::string& Get(int32_t index) const;
  // The item at Index, or "" at or past Count (and for negative indexes).
  std::string GetField(int32_t index) const;
  // Splits Text: "a\t\tb" gives a, "", b; a delimiter at the very end adds no
  // empty item ("a\tb\t" gives a, b); "" gives no item; "\t" one empty item.
  // At most MaxItems items are split off; the rest of the text makes none.
  void SetDelimitedText(const std::string& text, int32_t max_items = INT32_MAX);
  const std::vector<std::string>& Items() const { return items_; }

 private:
  std::vector<std::string> items_;
};

}  // namespace orba

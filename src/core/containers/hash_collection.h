// Ordered, owning collections of named items with an index over the
// case-folded names, so that a name is found in constant time while the items
// keep their order and indexes. The variable store, the read marks and the image
// cache derive their own collections and items from these classes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/containers/int_list.h"

namespace orba {

class THashCollection;

class THashCollectionItem {
 public:
  THashCollectionItem() = default;
  virtual ~THashCollectionItem() = default;
  THashCollectionItem(const THashCollectionItem&) = delete;
  THashCollectionItem& operator=(const THashCollectionItem&) = delete;

  // The collection that owns the item; null before it is added to one.
  THashCollection* Collection() const { return collection_; }
  const std::string& Name() const { return name_; }
  // The item's position in its collection.
  int32_t Index() const { return cached_index_; }
  int32_t CachedIndex() const { return cached_index_; }
  // The next item of the same name (compared without case) named before
  // this one, or null.
  THashCollectionItem* OlderNamesake() const { return older_; }

  // Stores a name that differs (exactly) from the current one and moves the
  // item into the chain of the new name.
  virtual void SetName(const std::string& name);
  // Copies the other item's name; derived items copy their own fields too.
  virtual void Assign(const THashCollectionItem& source);
  // The name, or the class name when the name is empty.
  virtual std::string GetDisplayName() const;
  virtual const char* ClassName() const { return "THashCollectionItem"; }
  // Moves the item to position Value of its collection (EListError when
  // Value is outside it); the indexes of the items in between follow.
  virtual void SetIndex(int32_t value);

 protected:
  // Makes the item the one its name finds.
  void LinkHash();

 private:
  friend class THashCollection;
  void UnlinkHash();

  THashCollection* collection_ = nullptr;
  int32_t cached_index_ = -1;
  std::string name_;
  // The lower-cased name while linked; items of one key form a chain from
  // the newest (found by the name) to the oldest.
  std::string key_;
  bool linked_ = false;
  THashCollectionItem* newer_ = nullptr;
  THashCollectionItem* older_ = nullptr;
};

class THashCollection {
 public:
  THashCollection() = default;
  virtual ~THashCollection();
  THashCollection(const THashCollection&) = delete;
  THashCollection& operator=(const THashCollection&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Raises EListError outside 0..Count-1.
  THashCollectionItem& GetItem(int32_t index) const;
  template <class T>
  T& Item(int32_t index) const {
    return dynamic_cast<T&>(GetItem(index));
  }

  // Appends a new item of the collection's item class (see NewItem).
  THashCollectionItem& Add();
  THashCollectionItem& AddNamed(const std::string& name);
  // Appends an item built by the caller and returns it.
  template <class T>
  T& AddItem(std::unique_ptr<T> item) {
    T& ref = *item;
    Append(std::move(item));
    return ref;
  }

  // Index of the item of that name (compared case-insensitively), or -1; of
  // two items with equal names the one named last is found.
  virtual int32_t IndexOf(const std::string& name) const;
  // The item of that name, or null.
  THashCollectionItem* Find(const std::string& name) const;

  // Destroys the item at Index; the later items move up by one.
  void Delete(int32_t index);
  // Removes the item from this collection and destroys it.
  void Remove(THashCollectionItem& item) { Delete(item.CachedIndex()); }
  // Destroys every item, the last first.
  void Clear();

 protected:
  // Creates an item of the collection's item class; derived collections
  // return their own item type.
  virtual std::unique_ptr<THashCollectionItem> NewItem() const;

 private:
  friend class THashCollectionItem;
  void Append(std::unique_ptr<THashCollectionItem> item);
  void Move(int32_t from, int32_t to);

  std::vector<std::unique_ptr<THashCollectionItem>> items_;
  // The newest item of each lower-cased name.
  std::unordered_map<std::string, THashCollectionItem*> newest_;
};

}  // namespace orba

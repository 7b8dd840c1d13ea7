#include "core/containers/hash_collection.h"

#include <algorithm>

#include "core/strings/sjis_case.h"

namespace orba {

// --- THashCollectionItem ---

void THashCollectionItem::LinkHash() {
  if (collection_ == nullptr) return;
  key_ = SjisLowerCase(name_);
  THashCollectionItem*& newest = collection_->newest_[key_];
  older_ = newest;
  newer_ = nullptr;
  if (newest != nullptr) newest->newer_ = this;
  newest = this;
  linked_ = true;
}

void THashCollectionItem::UnlinkHash() {
  if (collection_ == nullptr || !linked_) return;
  if (newer_ != nullptr) {
    newer_->older_ = older_;
  } else if (older_ != nullptr) {
    collection_->newest_[key_] = older_;
  } else {
    collection_->newest_.erase(key_);
  }
  if (older_ != nullptr) older_->newer_ = newer_;
  newer_ = older_ = nullptr;
  key_.clear();
  linked_ = false;
}

void THashCollectionItem::SetName(const std::string& name) {
  if (name == name_) return;
  UnlinkHash();
  name_ = name;
  LinkHash();
}

void THashCollectionItem::Assign(const THashCollectionItem& source) {
  if (&source != this) SetName(source.name_);
}

std::string THashCollectionItem::GetDisplayName() const { return name_.empty() ? ClassName() : name_; }

void THashCollectionItem::SetIndex(int32_t value) {
  if (collection_ != nullptr && value != cached_index_) collection_->Move(cached_index_, value);
}

// --- THashCollection ---

THashCollection::~THashCollection() { Clear(); }

THashCollectionItem& THashCollection::GetItem(int32_t index) const {
  if (index < 0 || index >= Count()) throw EListError(index);
  return *items_[static_cast<size_t>(index)];
}

std::unique_ptr<THashCollectionItem> THashCollection::NewItem() const {
  return std::make_unique<THashCollectionItem>();
}

void THashCollection::Append(std::unique_ptr<THashCollectionItem> item) {
  THashCollectionItem& ref = *item;
  items_.push_back(std::move(item));
  ref.collection_ = this;
  ref.cached_index_ = Count() - 1;
  ref.LinkHash();
}

THashCollectionItem& THashCollection::Add() {
  return AddItem(NewItem());
}

THashCollectionItem& THashCollection::AddNamed(const std::string& name) {
  THashCollectionItem& item = Add();
  item.SetName(name);
  return item;
}

int32_t THashCollection::IndexOf(const std::string& name) const {
  const auto it = newest_.find(SjisLowerCase(name));
  return it == newest_.end() ? -1 : it->second->cached_index_;
}

THashCollectionItem* THashCollection::Find(const std::string& name) const {
  const int32_t i = IndexOf(name);
  return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

void THashCollection::Delete(int32_t index) {
  GetItem(index);  // range check
  const size_t at = static_cast<size_t>(index);
  std::unique_ptr<THashCollectionItem> item = std::move(items_[at]);
  item->UnlinkHash();
  items_.erase(items_.begin() + index);
  for (size_t i = at; i < items_.size(); ++i) items_[i]->cached_index_ = static_cast<int32_t>(i);
  item->collection_ = nullptr;
  item->cached_index_ = -1;
  // `item` is destroyed here, after it has left the collection.
}

void THashCollection::Clear() {
  newest_.clear();
  while (!items_.empty()) {
    std::unique_ptr<THashCollectionItem> item = std::move(items_.back());
    items_.pop_back();
    item->collection_ = nullptr;
    item->newer_ = item->older_ = nullptr;
    item->linked_ = false;
  }
}

void THashCollection::Move(int32_t from, int32_t to) {
  GetItem(from);
  GetItem(to);
  const auto first = items_.begin();
  if (from < to) {
    std::rotate(first + from, first + from + 1, first + to + 1);
  } else {
    std::rotate(first + to, first + from, first + from + 1);
  }
  for (int32_t i = std::min(from, to); i <= std::max(from, to); ++i) {
    items_[static_cast<size_t>(i)]->cached_index_ = i;
  }
}

}  // namespace orba

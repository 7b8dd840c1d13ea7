#include "text/read_marks.h"

#include <algorithm>
#include <utility>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "script/save/save_versions.h"

namespace orba {

void TOrbaRead::Add(int32_t a, int32_t b) {
  A.push_back(a);
  B.push_back(b);
}

bool TOrbaRead::Contains(int32_t a, int32_t b) const {
  for (size_t i = 0; i < A.size() && i < B.size(); ++i)
    if (A[i] == a && B[i] == b) return true;
  return false;
}

const TOrbaRead* TOrbaReadList::Find(const std::string& key) const {
  for (const TOrbaRead& item : items_)
    if (SjisSameText(item.Name, key)) return &item;
  return nullptr;
}

TOrbaRead* TOrbaReadList::FindMutable(const std::string& key) {
  return const_cast<TOrbaRead*>(std::as_const(*this).Find(key));
}

bool TOrbaReadList::IsRead(const std::string& key, int32_t a, int32_t b) const {
  const TOrbaRead* item = Find(key);
  return item != nullptr && item->Contains(a, b);
}

void TOrbaReadList::SetPending(const std::string& context, const std::string& key, int32_t a, int32_t b) {
  PendingContext = context;
  PendingKey = key;
  PendingA = a;
  PendingB = b;
}

void TOrbaReadList::CommitPending(const std::string& context) {
  if (PendingKey.empty() || context != PendingContext) return;
  TOrbaRead* item = FindMutable(PendingKey);
  if (item != nullptr && item->Contains(PendingA, PendingB)) return;
  if (item == nullptr) {
    items_.push_back(TOrbaRead{PendingKey, {}, {}});
    item = &items_.back();
  }
  item->Add(PendingA, PendingB);
  PendingKey.clear();
}

void TOrbaReadList::Clear() {
  items_.clear();
  PendingKey.clear();
}

void TOrbaReadList::SaveToStream(TKsBigStream& s) const {
  WriteStreamInt(s, Count());
  for (const TOrbaRead& item : items_) {
    WriteStreamString(s, item.Name);
    WriteStreamInt(s, static_cast<int32_t>(item.A.size()));
    for (int32_t a : item.A) WriteStreamInt(s, a);
    for (int32_t b : item.B) WriteStreamInt(s, b);
  }
  WriteStreamString(s, PendingKey);
  WriteStreamInt(s, PendingA);
  WriteStreamInt(s, PendingB);
  WriteStreamString(s, PendingContext);
}

void TOrbaReadList::LoadFromStream(TKsBigStream& s, int32_t version) {
  TOrbaReadList loaded;
  if (version >= kStatusReadMarksVersion) {
    const int32_t count = ReadStreamInt(s);
    if (count < 0) throw EReadError("read marks: negative count");
    CheckStoredCount(s, count, 8);  // a key and a pair count at least
    loaded.items_.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      TOrbaRead item;
      item.Name = ReadStreamString(s);
      const int32_t pairs = ReadStreamInt(s);
      if (pairs < 0) throw EReadError("read marks: negative count");
      CheckStoredCount(s, pairs, 8);
      item.A.resize(static_cast<size_t>(pairs));
      item.B.resize(static_cast<size_t>(pairs));
      for (int32_t& a : item.A) a = ReadStreamInt(s);
      for (int32_t& b : item.B) b = ReadStreamInt(s);
      loaded.items_.push_back(std::move(item));
    }
    loaded.PendingKey = ReadStreamString(s);
    loaded.PendingA = ReadStreamInt(s);
    loaded.PendingB = ReadStreamInt(s);
    loaded.PendingContext = ReadStreamString(s);
  }
  *this = std::move(loaded);
}

}  // namespace orba

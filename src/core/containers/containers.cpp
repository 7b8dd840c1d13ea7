#include "core/containers/containers.h"

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"

namespace orba {

const std::string& TArrayString::Get(int32_t index) const {
  if (index < 0 || index >= Count()) throw EListError(index);
  return items_[static_cast<size_t>(index)];
}

void TArrayString::Put(int32_t index, const std::string& s) {
  if (index < 0 || index >= Count()) throw EListError(index);
  items_[static_cast<size_t>(index)] = s;
}

void TArrayString::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, Count());
  for (const std::string& s : items_) WriteStreamString(stream, s);
}

void TArrayString::LoadFromStream(TKsBigStream& stream) {
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, 4);  // each string takes at least its length
  std::vector<std::string> loaded(static_cast<size_t>(count));
  for (std::string& s : loaded) s = ReadStreamString(stream);
  items_.swap(loaded);
}

const std::string& TTabStrings::Get(int32_t index) const {
  if (index < 0 || index >= Count()) throw EListError(index);
  return items_[static_cast<size_t>(index)];
}

std::string TTabStrings::GetField(int32_t index) const {
  if (index < 0 || index >= Count()) return std::string();
  return items_[static_cast<size_t>(index)];
}

void TTabStrings::SetDelimitedText(const std::string& text, int32_t max_items) {
  items_.clear();
  const size_t n = text.size();
  size_t start = 0;
  size_t i = 0;
  while (i < n && Count() < max_items) {
    if (text[i] == Delimiter) {
      items_.push_back(text.substr(start, i - start));
      start = ++i;
    } else if (IsSjisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < n) {
      i += 2;  // the trail byte is never a delimiter
    } else {
      ++i;
    }
  }
  if (start < n && Count() < max_items) items_.push_back(text.substr(start));
}

}  // namespace orba

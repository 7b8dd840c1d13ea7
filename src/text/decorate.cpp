#include "text/decorate.h"

#include <algorithm>
#include <utility>

#include "core/streams/stream_encoding.h"
#include "text/glyph_stream.h"
#include "text/ks_word.h"

namespace orba {

namespace {

// The smallest style record of a version (two empty strings).
int64_t MinStyleBytes(int32_t version) { return version < kKsWordStyleShadowVersion ? 4 * 4 + 3 + 8 : 4 * 4 + 2 + 4 + 8 + 8; }

}  // namespace

bool TDecorate::SameAs(const TDecorate& o) const {
  return Color == o.Color && BorderColor == o.BorderColor && ShadowColor == o.ShadowColor && Size == o.Size &&
         Style == o.Style && FontName == o.FontName && NoBreak == o.NoBreak && Ruby == o.Ruby &&
         Border == o.Border && Shadow == o.Shadow;
}

TDecorate* TDecorateList::Get(int32_t index) const {
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

int32_t TDecorateList::IndexOf(const TDecorate* style) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == style) return static_cast<int32_t>(i);
  return -1;
}

TDecorate* TDecorateList::Intern(const TDecorate& attrs) {
  for (auto& item : items_) {
    if (!item->SameAs(attrs)) continue;
    ++item->RefCount;
    return item.get();
  }
  items_.push_back(std::make_unique<TDecorate>(attrs));
  items_.back()->RefCount = 1;
  return items_.back().get();
}

void TDecorateList::Release(TDecorate* style) {
  if (style == nullptr || --style->RefCount >= 1) return;
  const int32_t i = IndexOf(style);
  if (i >= 0) items_.erase(items_.begin() + i);
}

void TDecorateList::Share(TDecorate*& ref, TDecorate* style) {
  ++style->RefCount;
  Release(std::exchange(ref, style));
}

// Another equal style is taken and the old one released; else a shared
// style is left to its other users and a new one interned; an unshared
// one is edited in place.
void TDecorateList::Change(TDecorate*& ref, const TDecorate& attrs) {
  for (auto& item : items_) {
    if (item.get() == ref || !item->SameAs(attrs)) continue;
    ++item->RefCount;
    Release(ref);
    ref = item.get();
    return;
  }
  if (ref != nullptr && ref->RefCount <= 1) {
    const int32_t count = ref->RefCount;
    *ref = attrs;
    ref->RefCount = count;
    return;
  }
  if (ref != nullptr) --ref->RefCount;
  ref = Intern(attrs);
}

int32_t TDecorateList::SizeOf(const TDecorate& s) const { return s.Size != 0 ? s.Size : word_.FontSize; }
int32_t TDecorateList::BorderOf(const TDecorate& s) const { return s.Border != -1 ? s.Border : word_.DefaultBorder; }
int32_t TDecorateList::ShadowOf(const TDecorate& s) const { return s.Shadow != -1 ? s.Shadow : word_.DefaultShadow; }

TCellSize TDecorateList::CellSize(const TDecorate& style) const {
  // Sizes, borders and shadows come from scripts and saved games: the cell
  // is worked out in 64 bits and kept within kMaxCellSide.
  const int64_t size = SizeOf(style), border = BorderOf(style), shadow = ShadowOf(style);
  int64_t width = size, height = size;
  if ((style.Style & 2) != 0) width += size / 5;
  if (!style.Ruby.empty()) height += std::max<int64_t>(1, size / 2);
  width += 2 * border + shadow;
  height += 2 * border + shadow;
  return TCellSize{static_cast<int32_t>(std::clamp<int64_t>(width, -kMaxCellSide, kMaxCellSide)),
                   static_cast<int32_t>(std::clamp<int64_t>(height, -kMaxCellSide, kMaxCellSide))};
}

std::vector<std::unique_ptr<TDecorate>> TDecorateList::ReadTable(TKsBigStream& stream, int32_t version) {
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, MinStyleBytes(version));
  std::vector<std::unique_ptr<TDecorate>> out;
  out.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    auto d = std::make_unique<TDecorate>();
    ReadStreamInt(stream);  // the stored reference count: recounted
    d->Color = ReadStreamInt(stream);
    d->BorderColor = ReadStreamInt(stream);
    d->Size = ReadStreamInt(stream);
    d->Style = ReadByteVal(stream);
    d->NoBreak = ReadByteVal(stream);
    d->Border = version < kKsWordStyleShadowVersion ? (ReadByteVal(stream) != 0 ? 1 : 0) : ReadStreamInt(stream);
    d->FontName = ReadStreamString(stream);
    d->Ruby = ReadStreamString(stream);
    d->Shadow = d->ShadowColor = 0;
    if (version >= kKsWordStyleShadowVersion) {
      d->Shadow = ReadStreamInt(stream);
      d->ShadowColor = ReadStreamInt(stream);
    }
    out.push_back(std::move(d));
  }
  return out;
}

void TDecorateList::Append(std::vector<std::unique_ptr<TDecorate>> styles) {
  for (auto& s : styles) items_.push_back(std::move(s));
}

void TDecorateList::SaveToStream(TKsBigStream& stream, const std::vector<int32_t>& counts) const {
  WriteStreamInt(stream, Count());
  for (size_t i = 0; i < items_.size(); ++i) {
    const TDecorate& d = *items_[i];
    WriteStreamInt(stream, i < counts.size() ? counts[i] : 0);
    WriteStreamInt(stream, d.Color);
    WriteStreamInt(stream, d.BorderColor);
    WriteStreamInt(stream, d.Size);
    WriteStreamByte(stream, d.Style);
    WriteStreamByte(stream, d.NoBreak);
    WriteStreamInt(stream, d.Border);
    WriteStreamString(stream, d.FontName);
    WriteStreamString(stream, d.Ruby);
    WriteStreamInt(stream, d.Shadow);
    WriteStreamInt(stream, d.ShadowColor);
  }
}

}  // namespace orba

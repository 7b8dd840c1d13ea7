#include "items/image_cells.h"

#include <algorithm>
#include <cstdlib>

#include "core/game_clock.h"
#include "core/system/trace.h"
#include "platform/text_convert.h"
#include "text/wd_image.h"
#include "items/image_item.h"

namespace orba {

int32_t AddMilliseconds(int32_t a, int64_t b) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{a} + b, INT32_MIN, INT32_MAX));
}

// ---- TOrbaImageData ---------------------------------------------------------

int32_t TOrbaImageData::SurfaceBitCount() {
  TBrixCollection* cache = BrixCollection();
  return cache != nullptr ? cache->BitCount : 32;
}

TCustomDIBX* TOrbaImageData::GetDIB() const {
  if (Brightness != 0 && OwnDIB) return OwnDIB.get();
  return Frame->DIB.get();
}

void TOrbaImageData::SetBrightness(int32_t value) {
  if (value == Brightness) return;
  Brightness = value;
  if (value == 0) return;
  TCustomDIBX& frame = *Frame->DIB;
  if (!OwnDIB) OwnDIB = NewItemSurface(frame.BitCount());
  TCustomDIBX& own = *OwnDIB;
  // The copy follows the frame's size (a frame may have been decoded again).
  if (own.Width() != frame.Width() || own.Height() != frame.Height() || own.BitCount() != frame.BitCount())
    own.SetSize(frame.Width(), frame.Height(), frame.BitCount());

  // The grey of |V| in every channel; a shift beyond 255 is a full 255, so
  // that no channel spills into its neighbour.
  const auto level = static_cast<uint32_t>(std::min<int64_t>(std::llabs(int64_t{value}), 255));
  const int32_t grey = static_cast<int32_t>(level | (level << 8) | (level << 16));
  const uint32_t pixel = static_cast<uint32_t>(own.ColorToPixel(grey));
  auto adjust = [&](const TRect& r) {
    if (value < 0)
      own.FillRectSub(r, pixel);
    else
      own.FillRectAdd(r, pixel);
  };

  if (Frame->ColorKey == -1 || frame.TransparentColor == -1) {
    own.TransparentColor = -1;
  } else {
    // The key goes through the same adjustment, so keyed pixels stay keyed.
    own.SetPixel(0, 0, static_cast<uint32_t>(frame.TransparentColor));
    adjust(TRect{0, 0, 1, 1});
    own.TransparentColor = static_cast<int32_t>(own.GetPixel(0, 0));
  }
  own.CopyFrom(frame);
  adjust(own.GetBoundsRect());
}

void TOrbaImageData::RestoreSurface() {
  const int32_t old = Brightness;
  Brightness = AddMilliseconds(old, 1);
  SetBrightness(old);
}

void TOrbaImageData::DrawRect(TCustomDIBX& dest, int32_t x, int32_t y, const TRect& src_rect, int32_t alpha,
                              bool flip_h, bool flip_v) const {
  if (alpha <= 0 || alpha >= 512) return;
  BlendBitmap(dest, x, y, *GetDIB(), GetMask(), src_rect, flip_h, flip_v, alpha);
}

void TOrbaImageData::DrawAt(const TOrbaCustomImage& item, int32_t x, int32_t y, const TRect& src_rect) const {
  if (TCustomDIBX* dest = item.GetSurface()) DrawRect(*dest, x, y, src_rect, item.Alpha, item.FlipH, item.FlipV);
}

void TOrbaImageData::DrawAsItem(const TOrbaCustomImage& item) const {
  if (item.Alpha <= 0 || item.Alpha >= 512) return;
  item.DrawBitmap(*GetDIB(), GetMask(), false);
}

void TOrbaImageData::DrawPattern(TCustomDIBX& dest, const TRect& dest_rect, int32_t alpha, int32_t offset_x,
                                 int32_t offset_y) const {
  TCustomDIBX& dib = *GetDIB();
  if (TDIBX* mask = GetMask()) {
    dest.PatternFillZoomMask(dest_rect, 256, 256, dib, offset_x, offset_y, false, false, *mask, alpha);
  } else if (alpha == 255 && dib.TransparentColor == -1) {
    dest.PatternFill(dest_rect, dib, offset_x, offset_y, false, false);
  } else {
    dest.PatternFillZoom(dest_rect, 256, 256, dib, offset_x, offset_y, dib.TransparentColor != -1, false, false,
                         alpha);
  }
}

// ---- TOrbaImageList ---------------------------------------------------------

void TOrbaImageList::Clear() {
  cells_.clear();
  if (Entry != nullptr) {
    TBrixItem* entry = Entry;
    Entry = nullptr;
    entry->RemoveOwner(EntryOwner);
  }
}

void TOrbaImageList::LoadBrix(const void* owner, const std::string& file_name, bool mask) {
  Clear();
  TBrixCollection* cache = BrixCollection();
  if (cache == nullptr) return;
  EntryOwner = owner;
  Entry = &cache->Acquire(owner, file_name, false, mask);
  for (int32_t i = 0; i < Entry->GetFrameCount(); ++i)
    cells_.push_back(std::make_unique<TOrbaImageData>(Entry->GetFrame(i)));
  Index = 0;
  if (!cells_.empty()) Remaining = AddMilliseconds(cells_[0]->GetDelay(), 1);
}

void TOrbaImageList::SetIndex(int32_t index) {
  Index = index;
  if (index >= Count()) Index = Count() - 1;
  if (Index >= 0) Remaining = AddMilliseconds(GetCell(Index)->GetDelay(), 1);
}

bool TOrbaImageList::Step() {
  const int32_t count = Count();
  if (count <= 1) return false;
  Remaining = AddMilliseconds(Remaining, -int64_t{FrameTime});
  if (Remaining >= 1) return false;
  // A long tick passes several short cells, but never beyond the wrap.
  while (Remaining < 1) {
    Index = static_cast<int32_t>(((int64_t{Index} + 1) % count + count) % count);
    if (Index == 0) {
      Remaining = GetCell(0)->GetDelay();
      break;
    }
    Remaining = AddMilliseconds(Remaining, GetCell(Index)->GetDelay());
  }
  return true;
}

void TOrbaImageList::FreeSurfaces() {
  for (auto& cell : cells_) cell->FreeSurface();
}

void TOrbaImageList::RestoreSurfaces() {
  for (auto& cell : cells_) cell->RestoreSurface();
}

namespace {

// The frames of an inline image: one image list of the cache entry, its
// current cell drawn and stepped by the text's animation.
class TMessageImageCells final : public TWdImageCells {
 public:
  explicit TMessageImageCells(const std::string& name) { List.LoadBrix(this, name, false); }
  TCustomDIBX* Surface() override {
    const TOrbaImageData* cell = List.GetCell(List.Index);
    return cell != nullptr ? cell->GetDIB() : nullptr;
  }
  TCustomDIBX* Mask() override {
    const TOrbaImageData* cell = List.GetCell(List.Index);
    return cell != nullptr ? cell->GetMask() : nullptr;
  }
  bool HasColorKey() override {
    const TOrbaImageData* cell = List.GetCell(List.Index);
    return cell != nullptr && cell->GetColorKey() >= 0;
  }
  bool Step() override { return List.Step(); }

 private:
  TOrbaImageList List;
};

class TMessageImageSource final : public TWdImageSource {
 public:
  std::unique_ptr<TWdImageCells> Load(const std::string& name) override {
    TBrixCollection* cache = BrixCollection();
    // A name the file layer does not have leaves the image 0 x 0.
    if (cache == nullptr || !cache->HasFile(name)) return nullptr;
    try {
      return std::make_unique<TMessageImageCells>(name);
    } catch (const std::exception& e) {
      // The cache traced the undecodable picture; the text goes on without it.
      TraceOnce(SjisToUtf8(name + ": no inline image: " + e.what()));
      return nullptr;
    }
  }
};

TMessageImageSource g_message_images;

}  // namespace

void InstallMessageImageSource(bool install) {
  if (install) SetWdImageSource(&g_message_images);
  else if (WdImageSource() == &g_message_images) SetWdImageSource(nullptr);
}

}  // namespace orba

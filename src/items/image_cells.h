// Image cells: the frames of a cached picture as items show them. A cell
// refers to a frame of the picture cache and, when its brightness is shifted,
// keeps an adjusted copy of its own. An image list is the ordered cells of one
// picture file with a current cell and a frame timer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/rect_utils.h"
#include "graphics/custom_dibx.h"
#include "items/brix_cache.h"

namespace orba {

class TOrbaCustomImage;

class TOrbaImageData {
 public:
  explicit TOrbaImageData(TBrixItemFrame* frame) : Frame(frame) {}
  TOrbaImageData(const TOrbaImageData&) = delete;
  TOrbaImageData& operator=(const TOrbaImageData&) = delete;

  std::unique_ptr<TCustomDIBX> OwnDIB;
  int32_t Brightness = 0;
  TBrixItemFrame* Frame;  // owned by the cache entry

  // The adjusted copy while Brightness is not 0, else the cached frame.
  TCustomDIBX* GetDIB() const;
  TDIBX* GetMask() const { return Frame->Mask.get(); }
  int32_t GetDelay() const { return Frame->Delay; }
  int32_t GetColorKey() const { return Frame->ColorKey; }

  // Shifts every colour channel by V (negative darkens), saturating; the
  // colour key follows, so transparent pixels stay transparent.
  void SetBrightness(int32_t value);
  void FreeSurface() { OwnDIB.reset(); }
  void RestoreSurface();

  // SrcRect of the cell at (X, Y) on Dest: through the mask when there is
  // one, else keyed; Alpha 1 .. 254 blended, 255 opaque, 256 .. 511 additive
  // with strength Alpha - 256; other alphas draw nothing.
  void DrawRect(TCustomDIBX& dest, int32_t x, int32_t y, const TRect& src_rect, int32_t alpha, bool flip_h,
                bool flip_v) const;
  // SrcRect of the cell at (X, Y) on the item's screen with the item's
  // alpha and flips.
  void DrawAt(const TOrbaCustomImage& item, int32_t x, int32_t y, const TRect& src_rect) const;
  // The cell painted as if it were the item's own bitmap.
  void DrawAsItem(const TOrbaCustomImage& item) const;

  // DestRect filled with the cell repeated from (OffsetX, OffsetY).
  void DrawPattern(TCustomDIBX& dest, const TRect& dest_rect, int32_t alpha, int32_t offset_x,
                   int32_t offset_y) const;

  // The surface depth new adjusted copies get.
  static int32_t SurfaceBitCount();
};

class TOrbaImageList {
 public:
  TOrbaImageList() = default;
  ~TOrbaImageList() { Clear(); }
  TOrbaImageList(const TOrbaImageList&) = delete;
  TOrbaImageList& operator=(const TOrbaImageList&) = delete;

  int32_t Index = 0;
  int32_t Remaining = 0;
  TBrixItem* Entry = nullptr;
  const void* EntryOwner = nullptr;

  int32_t Count() const { return static_cast<int32_t>(cells_.size()); }
  TOrbaImageData* GetCell(int32_t index) const {
    return index >= 0 && index < Count() ? cells_[static_cast<size_t>(index)].get() : nullptr;
  }
  // Frees the cells and gives the cache entry back.
  void Clear();
  // One cell per frame of the file's cache entry, held in Owner's name.
  void LoadBrix(const void* owner, const std::string& file_name, bool mask);
  void SetIndex(int32_t index);
  // Advances by the last tick's length; true when the current cell changed.
  bool Step();
  void FreeSurfaces();
  void RestoreSurfaces();

 private:
  std::vector<std::unique_ptr<TOrbaImageData>> cells_;
};

// Installs (or, with false, removes) the source through which message text
// loads its inline images: image lists of the picture cache, for names the
// file layer has.
void InstallMessageImageSource(bool install);

// A + B for the millisecond counters, kept within int32.
int32_t AddMilliseconds(int32_t a, int64_t b);

}  // namespace orba

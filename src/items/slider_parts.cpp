#include "items/slider_parts.h"

#include <climits>
#include <cmath>

#include "items/base_list.h"
#include "items/gauge.h"
#include "items/image_font_label.h"
#include "items/slider.h"

namespace orba {

void TPartPicture::Release() {
  if (Entry == nullptr) return;
  TBrixItem* entry = Entry;
  Entry = nullptr;
  entry->RemoveOwner(this);
}

void TPartPicture::Change(const std::string& file_name) {
  Release();
  TBrixCollection* cache = BrixCollection();
  if (cache != nullptr && !file_name.empty()) Entry = &cache->Acquire(this, file_name, false, false);
}

bool TPartPicture::Holds(int32_t x, int32_t y) const {
  TBrixItemFrame* frame = Frame();
  if (frame == nullptr || frame->Mask == nullptr) return true;
  TDIBX& mask = *frame->Mask;
  if (x < 0 || y < 0 || x >= mask.Width() || y >= mask.Height()) return false;
  return (mask.GetPixel(x, y) & 0xFF) >= 128;
}

void TPartPicture::Draw(TCustomDIBX& dest, int32_t x, int32_t y, const TRect& src, int32_t alpha) const {
  TBrixItemFrame* frame = Frame();
  if (frame != nullptr && alpha >= 1 && alpha <= 511 && !RectIsEmpty(src)) frame->Draw(dest, x, y, src, false, false, alpha);
}

void TPartPicture::DrawTiled(TCustomDIBX& dest, const TRect& dest_rect, const TRect& src, int32_t offset_x,
                             int32_t offset_y, bool flip_h, bool flip_v, int32_t alpha) const {
  TBrixItemFrame* frame = Frame();
  const int64_t tw = int64_t{src.Right} - src.Left, th = int64_t{src.Bottom} - src.Top;
  if (frame == nullptr || alpha < 1 || alpha > 511 || tw < 1 || th < 1) return;
  // Only the part inside the clip rectangle is tiled (a script may make a
  // bar far longer than the screen), the pattern keeping its phase: it
  // starts at the left or top edge, or at the right or bottom one when
  // mirrored.
  TRect r;
  IntersectRects(dest_rect, dest.GetClipRect(), r);
  if (RectIsEmpty(r)) return;
  const int64_t skip_x = flip_h ? int64_t{dest_rect.Right} - r.Right : int64_t{r.Left} - dest_rect.Left;
  const int64_t skip_y = flip_v ? int64_t{dest_rect.Bottom} - r.Bottom : int64_t{r.Top} - dest_rect.Top;
  frame->DrawTiled(dest, r, src, static_cast<int32_t>((offset_x % tw + skip_x % tw + tw) % tw),
                   static_cast<int32_t>((offset_y % th + skip_y % th + th) % th), flip_h, flip_v, alpha);
}

void TOrbaRangeControl::SetAlpha(int32_t v) {
  if (v == Alpha) return;
  Alpha = v;
  Invalidate();
}

int64_t ClampToRange(int64_t v, int32_t min, int32_t max) {
  if (v < min) return min;
  return v > max ? max : v;
}

int32_t RoundToInt32(long double v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<long double>(INT32_MAX)) return INT32_MAX;
  if (v <= static_cast<long double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(std::nearbyint(v));
}

int32_t TruncToInt32(long double v) { return RoundToInt32(std::trunc(v)); }

int32_t SumInt32(std::initializer_list<int64_t> parts) {
  int64_t total = 0;
  for (int64_t p : parts) total += p;
  return SaturateInt32(total);
}

namespace {

template <class T>
TOrbaObject* MakeItem(TOrbaBaseList* manager) {
  return NewOrbaObject<T>(manager);
}

}  // namespace

void RegisterSliderItems() {
  RegisterCompoType(CT_SLIDER, &MakeItem<TOrbaSlider>);
  RegisterCompoType(CT_SCROLLBAR, &MakeItem<TOrbaScrollbar>);
  RegisterCompoType(CT_GAUGE, &MakeItem<TOrbaGauge>);
  RegisterCompoType(CT_CGLABEL, &MakeItem<TOrbaCGLabel>);
}

}  // namespace orba

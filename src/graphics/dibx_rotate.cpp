// Rotated and zoomed drawing of the drawing surface. Every destination pixel
// of the rotated box is mapped back to one source pixel through the inverse
// matrix in 16.16 fixed point (nearest sample by truncation, no filtering).
#include "graphics/dibx_rotate.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "graphics/custom_dibx.h"
#include "graphics/dibx_stretch.h"
#include "graphics/draw_kernels.h"

namespace orba {

namespace {

using namespace dibx_ops;

// Cosine and sine of an angle in 256ths of a turn; quarter turns are exact,
// so that a box turned by them keeps whole-pixel edges.
void CosSin(int32_t angle, double& c, double& s) {
  if ((angle & 63) == 0) {
    static const double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
    c = kCos[(angle >> 6) & 3];
    s = kSin[(angle >> 6) & 3];
    return;
  }
  const double t = static_cast<double>(angle) * 2.0 * std::numbers::pi / 256.0;
  c = std::cos(t);
  s = std::sin(t);
}

// The box of a w x h rectangle zoomed, with the pivot (px, py) in source
// pixels relative to its top-left corner, rotated and placed at (x, y).
TRect RotatedBox(int32_t x, int32_t y, double pivot_x, double pivot_y, int32_t angle, double w, double h,
                 int32_t zoom_x, int32_t zoom_y) {
  const double zx = zoom_x / 256.0, zy = zoom_y / 256.0;
  double c, s;
  CosSin(angle, c, s);
  const double zw = w * zx, zh = h * zy, px = pivot_x * zx, py = pivot_y * zy;
  const double corners[4][2] = {{-px, -py}, {zw - px - 1, -py}, {-px, zh - py - 1}, {zw - px - 1, zh - py - 1}};
  double min_x = 0, min_y = 0, max_x = 0, max_y = 0;
  for (int i = 0; i < 4; ++i) {
    const double a = corners[i][0], b = corners[i][1];
    const double cx = x + a * c - b * s, cy = y + a * s + b * c;
    if (i == 0 || cx < min_x) min_x = cx;
    if (i == 0 || cy < min_y) min_y = cy;
    if (i == 0 || cx > max_x) max_x = cx;
    if (i == 0 || cy > max_y) max_y = cy;
  }
  return {ClampToInt32(std::trunc(min_x)), ClampToInt32(std::trunc(min_y)), ClampToInt32(std::trunc(max_x + 1)),
          ClampToInt32(std::trunc(max_y + 1))};
}

// Trunc(65536 x v) for the inverse matrix, kept in range.
int64_t Fixed16(double v) { return static_cast<int64_t>(std::clamp(v * 65536.0, -1e15, 1e15)); }

void Rotate(TCustomDIBX& dest, int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& source,
            const TRect& src_rect, int32_t center_x, int32_t center_y, int32_t angle, bool transparent,
            bool flip_h, bool flip_v, TCustomDIBX* mask, int32_t alpha) {
  if (alpha <= 0 || zoom_x <= 0 || zoom_y <= 0) return;
  if (mask != nullptr && mask->BitCount() != 8) return;
  TLocked d(dest);
  if (!d.Ok() || !IsWholeBytePixels(d.View.BitCount)) return;
  TLocked s(source);
  if (!s.Ok() || s.View.BytesPerPixel() != d.View.BytesPerPixel()) return;
  std::optional<TLocked> m;
  TRect valid{std::max(src_rect.Left, 0), std::max(src_rect.Top, 0), std::min(src_rect.Right, s.View.Width),
              std::min(src_rect.Bottom, s.View.Height)};
  if (mask != nullptr) {
    m.emplace(*mask);
    if (!m->Ok() || m->View.BitCount != 8) return;
    valid.Right = std::min(valid.Right, m->View.Width);
    valid.Bottom = std::min(valid.Bottom, m->View.Height);
  }
  if (RectIsEmpty(valid)) return;
  TRect area;
  IntersectRects(RotatedDrawArea(x, y, zoom_x, zoom_y, src_rect, center_x, center_y, angle),
                 ViewClip(dest, d.View), area);
  if (RectIsEmpty(area)) return;
  TSourceSnapshot snap(s.View, d.View);

  const double zx = zoom_x / 256.0, zy = zoom_y / 256.0;
  double c, sn;
  CosSin(angle, c, sn);
  const int64_t ux = Fixed16(c / zx), uy = Fixed16(sn / zx);
  const int64_t vx = -Fixed16(sn / zy), vy = Fixed16(c / zy);
  const int32_t bits = d.View.BitCount;
  const int bpp = d.View.BytesPerPixel();
  const TChannelSet ch = ChannelsFor(bits);
  const TRowKey key = (transparent && mask == nullptr) ? MakeDrawKey(source.TransparentColor, bits) : TRowKey{};
  const uint32_t level = static_cast<uint32_t>(alpha) & 255u;
  const int64_t flip_x = int64_t{src_rect.Left} + src_rect.Right - 1, flip_y = int64_t{src_rect.Top} + src_rect.Bottom - 1;

  for (int32_t yy = area.Top; yy < area.Bottom; ++yy) {
    int64_t u = int64_t{center_x} * 65536 + (int64_t{area.Left} - x) * ux + (int64_t{yy} - y) * uy;
    int64_t v = int64_t{center_y} * 65536 + (int64_t{area.Left} - x) * vx + (int64_t{yy} - y) * vy;
    uint8_t* drow = d.View.Row(yy);
    for (int32_t xx = area.Left; xx < area.Right; ++xx, u += ux, v += vx) {
      if (u < 0 || v < 0) continue;
      int64_t sx = u >> 16, sy = v >> 16;
      if (flip_h) sx = flip_x - sx;
      if (flip_v) sy = flip_y - sy;
      if (sx < valid.Left || sx >= valid.Right || sy < valid.Top || sy >= valid.Bottom) continue;
      const uint32_t sv = LoadPixelBytes(snap.View().Row(static_cast<int32_t>(sy)) + sx * bpp, bpp);
      uint8_t* dp = drow + static_cast<std::ptrdiff_t>(xx) * bpp;
      if (mask == nullptr) {
        if (key.Enabled && sv == key.Value) continue;
        if (alpha >= 256) StorePixelBytes(dp, bpp, AddPixel(LoadPixelBytes(dp, bpp), sv, level, ch));
        else if (alpha == 255) StorePixelBytes(dp, bpp, sv);
        else StorePixelBytes(dp, bpp, BlendPixel(sv, LoadPixelBytes(dp, bpp), level, ch));
        continue;
      }
      uint32_t mv = m->View.Row(static_cast<int32_t>(sy))[sx];
      if (mv == 0) continue;
      if (level != 255) mv = (mv * level) >> 8;
      const uint32_t dv = LoadPixelBytes(dp, bpp);
      StorePixelBytes(dp, bpp, alpha < 256 ? BlendPixel(sv, dv, mv, ch) : AddPixel(dv, sv, mv, ch));
    }
  }
}

}  // namespace

void RotatedBounds(int32_t x, int32_t y, int32_t center_x, int32_t center_y, int32_t angle,
                   const TRect& src_rect, int32_t zoom_x, int32_t zoom_y, int32_t width, int32_t height,
                   bool flip_h, bool flip_v, TRect& result) {
  const double px = flip_h ? double(width) - 1 - center_x : double(center_x);
  const double py = flip_v ? double(height) - 1 - center_y : double(center_y);
  result = RotatedBox(x, y, px, py, angle, double(src_rect.Right) - src_rect.Left,
                      double(src_rect.Bottom) - src_rect.Top, zoom_x, zoom_y);
}

TRect RotatedDrawArea(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, const TRect& src_rect,
                      int32_t center_x, int32_t center_y, int32_t angle) {
  return RotatedBox(x, y, double(center_x) - src_rect.Left, double(center_y) - src_rect.Top, angle,
                    double(src_rect.Right) - src_rect.Left, double(src_rect.Bottom) - src_rect.Top, zoom_x,
                    zoom_y);
}

void TCustomDIBX::DrawRotate(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& source,
                             const TRect& src_rect, int32_t center_x, int32_t center_y, int32_t angle,
                             bool transparent, bool flip_h, bool flip_v, int32_t alpha) {
  Rotate(*this, x, y, zoom_x, zoom_y, source, src_rect, center_x, center_y, angle, transparent, flip_h, flip_v,
         nullptr, alpha);
}

void TCustomDIBX::DrawRotateMask(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& source,
                                 const TRect& src_rect, int32_t center_x, int32_t center_y, int32_t angle,
                                 bool flip_h, bool flip_v, TCustomDIBX& mask, int32_t alpha) {
  Rotate(*this, x, y, zoom_x, zoom_y, source, src_rect, center_x, center_y, angle, false, flip_h, flip_v, &mask,
         alpha);
}

}  // namespace orba

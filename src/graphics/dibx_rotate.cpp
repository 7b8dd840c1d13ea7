// Rotated and zoomed drawing of the drawing surface. Every destination pixel
// of the rotated box is mapped back to one source pixel through the inverse
// matrix in 16.16 fixed point (nearest sample by truncation, no filtering).
#include "graphics/dibx_rotate.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

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

// The u (not negative) whose source column u shr 16, mirrored to F minus it
// with `flip`, lies in [lo, hi): lo_u <= u < hi_u.
void AxisBounds(int64_t lo, int64_t hi, bool flip, int64_t f, int64_t& lo_u, int64_t& hi_u) {
  lo_u = flip ? (f - hi + 1) * 65536 : lo * 65536;
  hi_u = flip ? (f - lo + 1) * 65536 : hi * 65536;
  lo_u = std::max<int64_t>(lo_u, 0);
}

// Narrows [first, last) to the i with lo <= a + i b < hi.
void SolveRun(int64_t a, int64_t b, int64_t lo, int64_t hi, int64_t& first, int64_t& last) {
  if (b == 0) {
    if (a < lo || a >= hi) last = first;
    return;
  }
  if (b > 0) {
    first = std::max(first, -FloorDiv(a - lo, b));  // ceil((lo - a) / b)
    last = std::min(last, -FloorDiv(a - hi, b));    // ceil((hi - a) / b)
  } else {
    first = std::max(first, FloorDiv(a - hi, -b) + 1);
    last = std::min(last, FloorDiv(a - lo, -b) + 1);
  }
}

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
  std::optional<TSourceSnapshot> mask_snap;
  if (m) mask_snap.emplace(m->View, d.View);

  const double zx = zoom_x / 256.0, zy = zoom_y / 256.0;
  double c, sn;
  CosSin(angle, c, sn);
  const int64_t ux = Fixed16(c / zx), uy = Fixed16(sn / zx);
  const int64_t vx = -Fixed16(sn / zy), vy = Fixed16(c / zy);
  const int32_t bits = d.View.BitCount;
  const int bpp = d.View.BytesPerPixel();
  const TRowKey key = (transparent && mask == nullptr) ? MakeDrawKey(source.TransparentColor, bits) : TRowKey{};
  const int32_t level = alpha & 255;
  const int64_t flip_x = int64_t{src_rect.Left} + src_rect.Right - 1, flip_y = int64_t{src_rect.Top} + src_rect.Bottom - 1;
  // A sample at (u, v) is drawn when u and v are not negative and the pixel
  // (u shr 16, v shr 16), mirrored as asked, lies in `valid`.
  const auto drawn = [&](int64_t u, int64_t v) {
    if (u < 0 || v < 0) return false;
    int64_t sx = u >> 16, sy = v >> 16;
    if (flip_h) sx = flip_x - sx;
    if (flip_v) sy = flip_y - sy;
    return sx >= valid.Left && sx < valid.Right && sy >= valid.Top && sy < valid.Bottom;
  };
  // The same as bounds on u and v: u_lo <= u < u_hi, v_lo <= v < v_hi.
  int64_t u_lo, u_hi, v_lo, v_hi;
  AxisBounds(valid.Left, valid.Right, flip_h, flip_x, u_lo, u_hi);
  AxisBounds(valid.Top, valid.Bottom, flip_v, flip_y, v_lo, v_hi);
  // A mirror F - (u shr 16) is (F x 65536 + 65535 - u) shr 16.
  const auto mirrored = [](int64_t u, int64_t& du, bool flip, int64_t f) {
    if (!flip) return u;
    du = -du;
    return f * 65536 + 65535 - u;
  };

  // The drawn samples of a row are one run, as each condition holds on one
  // side of a point along it; the run is drawn in pieces small enough for
  // the gathered rows to stay in the cache.
  constexpr int32_t kPiece = 512;
  std::vector<uint8_t> row(mask == nullptr ? static_cast<size_t>(kPiece) * static_cast<size_t>(bpp) : 0);
  const TRowKernels& k = RowKernels();
  TSampleWalk base_walk;
  base_walk.Bits = snap.View().Bits;
  base_walk.Pitch = snap.View().Pitch;
  base_walk.Bytes = bpp;
  if (mask_snap) {
    base_walk.Mask = mask_snap->View().Bits;
    base_walk.MaskPitch = mask_snap->View().Pitch;
  }
  // Rows go in the destination's memory order (each reads only the source).
  for (int32_t step = 0; step < area.Bottom - area.Top; ++step) {
    const int32_t yy = RowInMemoryOrder(d.View.Pitch, area.Top, area.Bottom, step);
    const int64_t u0 = int64_t{center_x} * 65536 + (int64_t{area.Left} - x) * ux + (int64_t{yy} - y) * uy;
    const int64_t v0 = int64_t{center_y} * 65536 + (int64_t{area.Left} - x) * vx + (int64_t{yy} - y) * vy;
    const auto drawn_at = [&](int32_t xx) {
      const int64_t i = int64_t{xx} - area.Left;
      return drawn(u0 + i * ux, v0 + i * vx);
    };
    // Worked out from the bounds of u and v, checked at both ends, else
    // found by walking in from both ends.
    int64_t lo = 0, hi = int64_t{area.Right} - area.Left;
    SolveRun(u0, ux, u_lo, u_hi, lo, hi);
    SolveRun(v0, vx, v_lo, v_hi, lo, hi);
    int32_t first = area.Left, last = area.Left;
    if (lo < hi) {
      first = static_cast<int32_t>(area.Left + lo);
      last = static_cast<int32_t>(area.Left + hi);
    }
    const bool exact = first == last || (drawn_at(first) && drawn_at(last - 1) &&
                                         (first == area.Left || !drawn_at(first - 1)) &&
                                         (last == area.Right || !drawn_at(last)));
    if (!exact) {
      first = area.Left;
      last = area.Right;
      while (first < last && !drawn_at(first)) ++first;
      while (last > first && !drawn_at(last - 1)) --last;
    }
    // WalkMask keeps its own pieces: a run through a mask goes whole.
    const int32_t piece = mask != nullptr ? std::max(last - first, 1) : kPiece;
    for (int32_t xx = first; xx < last; xx += piece) {
      const int32_t n = std::min(piece, last - xx);
      const int64_t i = int64_t{xx} - area.Left;
      TSampleWalk walk = base_walk;
      walk.DU = ux;
      walk.DV = vx;
      walk.U0 = mirrored(u0 + i * ux, walk.DU, flip_h, flip_x);
      walk.V0 = mirrored(v0 + i * vx, walk.DV, flip_v, flip_y);
      uint8_t* drow = d.View.Row(yy) + static_cast<std::ptrdiff_t>(xx) * bpp;
      if (mask == nullptr) {
        k.GatherWalk(walk, n, row.data(), nullptr);
        k.Sampled(drow, row.data(), n, bits, level, key, alpha >= 256);
      } else {
        k.WalkMask(drow, walk, n, bits, level, alpha < 256 ? TMaskMode::Weighted : TMaskMode::WeightedAdd);
      }
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

// Tiles and patterns of the drawing surface: whole tiles of a source
// rectangle repeated with gaps (through the plain draws), zoomed tiles
// (through the stretched blends), and pattern fills that wrap a pattern
// surface pixel by pixel, optionally zoomed, flipped, keyed, masked and
// blended.
//
// Every loop here walks only the tiles or pixels that can reach the clip
// rectangle, and every advance is at least one pixel, so each ends.
#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

#include "graphics/custom_dibx.h"
#include "graphics/dibx_stretch.h"
#include "graphics/draw_kernels.h"

namespace orba {

namespace {

using namespace dibx_ops;

// The part of the narrowed clip rectangle a tile loop needs to visit: a
// surface that holds its pixels is never drawn outside them; a forwarding
// surface may shift rows sideways, so only its rows are bounded.
TRect TileReach(TCustomDIBX& dest, const TRect& narrowed) {
  TCustomDIBX* base = dest.BaseSurface();
  TRect reach = narrowed;
  if (base == &dest) {
    IntersectRects(narrowed, dest.GetBoundsRect(), reach);
  } else if (base != nullptr) {
    reach.Top = std::max(reach.Top, 0);
    reach.Bottom = std::min(reach.Bottom, base->Height());
  }
  return reach;
}

// The spans of one axis of a tile grid: the first span starts at `origin`
// with `first_len` pixels from source position `first_src`, later spans have
// `len` pixels from `src_lo`, each followed by `gap`; spans stop at `end`.
// Only spans that can touch lo..hi are reported, as (position, source
// position, length).
template <typename F>
void TileSpans(int64_t origin, int64_t end, int64_t first_src, int64_t first_len, int64_t src_lo, int64_t len,
               int64_t gap, int64_t lo, int64_t hi, F visit) {
  const int64_t stop = std::min(end, hi);
  int64_t pos = origin;
  if (pos >= stop) return;
  if (pos + first_len > lo) visit(pos, first_src, std::min(first_len, end - pos));
  pos += first_len + gap;
  const int64_t period = len + gap;
  if (pos < lo - len) pos += (lo - len - pos) / period * period;
  for (; pos < stop; pos += period) visit(pos, src_lo, std::min(len, end - pos));
}

enum class TTile { Plain, Alpha, Add, Mask, AlphaMask, AddMask };

void Tile(TCustomDIBX& dest, TTile kind, const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
          const TRect& src_rect, bool transparent, TCustomDIBX* mask, int32_t alpha, int32_t offset_x,
          int32_t offset_y) {
  const int64_t w = int64_t{src_rect.Right} - src_rect.Left, h = int64_t{src_rect.Bottom} - src_rect.Top;
  if (gap_x < 0 || gap_y < 0 || w < 1 || h < 1) return;
  TRect narrowed;
  IntersectRects(dest.GetClipRect(), dest_rect, narrowed);
  if (RectIsEmpty(narrowed)) return;
  TClipSaver saver(dest);
  dest.SetClipRect(narrowed);
  const TRect reach = TileReach(dest, narrowed);
  if (RectIsEmpty(reach)) return;
  const int64_t col = src_rect.Left + FloorMod(offset_x, w), row = src_rect.Top + FloorMod(offset_y, h);
  TileSpans(dest_rect.Top, dest_rect.Bottom, row, src_rect.Bottom - row, src_rect.Top, h, gap_y, reach.Top,
            reach.Bottom, [&](int64_t y, int64_t sy, int64_t th) {
              TileSpans(dest_rect.Left, dest_rect.Right, col, src_rect.Right - col, src_rect.Left, w, gap_x,
                        reach.Left, reach.Right, [&](int64_t x, int64_t sx, int64_t tw) {
                          const TRect r{ClampToInt32(sx), ClampToInt32(sy), ClampToInt32(sx + tw), ClampToInt32(sy + th)};
                          const int32_t dx = ClampToInt32(x), dy = ClampToInt32(y);
                          switch (kind) {
                            case TTile::Plain: dest.Draw(dx, dy, source, r, transparent, false, false); break;
                            case TTile::Alpha: dest.DrawAlpha(dx, dy, source, r, transparent, false, false, alpha); break;
                            case TTile::Add: dest.DrawAdd(dx, dy, source, r, transparent, false, false, alpha); break;
                            case TTile::Mask: dest.DrawMask(dx, dy, source, r, false, false, *mask); break;
                            case TTile::AlphaMask: dest.DrawAlphaMask(dx, dy, source, r, false, false, *mask, alpha); break;
                            case TTile::AddMask: dest.DrawAddMask(dx, dy, source, r, false, false, *mask, alpha); break;
                          }
                        });
            });
}

// One axis of a zoomed tile grid in 16.16: the first origin and the step.
void ZoomedTileAxis(int32_t dest_lo, int32_t pitch, int32_t zoom, int32_t offset, int64_t& origin, int64_t& step) {
  const double p = static_cast<double>(pitch) * zoom / 256.0;
  const double q = offset / p;
  double phase = (q - std::trunc(q)) * p;
  if (offset < 0) phase += p;
  origin = int64_t{dest_lo} * 65536 - static_cast<int64_t>(std::nearbyint(std::min(phase * 65536.0, 1e15)));
  step = std::max<int64_t>(static_cast<int64_t>(std::nearbyint(std::min(p * 65536.0, 1e15))), 0x10000);
}

// The first grid index whose tile (`len` pixels from its origin) can reach `lo`.
int64_t FirstTile(int64_t origin, int64_t step, int64_t len, int64_t lo) {
  const int64_t gap = (lo - len) * 65536 - origin;
  return gap > 0 ? gap / step : 0;
}

void StretchTile(TCustomDIBX& dest, const TRect& dest_rect, int32_t pitch_x, int32_t pitch_y, int32_t zoom_x,
                 int32_t zoom_y, TCustomDIBX& source, const TRect& src_rect, bool transparent, TCustomDIBX* mask,
                 bool flip_h, bool flip_v, int32_t alpha, int32_t offset_x, int32_t offset_y) {
  const int64_t sw = int64_t{src_rect.Right} - src_rect.Left, sh = int64_t{src_rect.Bottom} - src_rect.Top;
  if (alpha <= 0 || zoom_x <= 0 || zoom_y <= 0 || pitch_x <= 0 || pitch_y <= 0 || sw < 1 || sh < 1) return;
  TRect narrowed;
  IntersectRects(dest.GetClipRect(), dest_rect, narrowed);
  if (RectIsEmpty(narrowed)) return;
  TClipSaver saver(dest);
  dest.SetClipRect(narrowed);
  const TRect reach = TileReach(dest, narrowed);
  if (RectIsEmpty(reach)) return;
  const int64_t tw = std::clamp<int64_t>(sw * zoom_x / 256, 1, INT32_MAX);
  const int64_t th = std::clamp<int64_t>(sh * zoom_y / 256, 1, INT32_MAX);
  int64_t ox, oy, step_x, step_y;
  ZoomedTileAxis(dest_rect.Left, pitch_x, zoom_x, offset_x, ox, step_x);
  ZoomedTileAxis(dest_rect.Top, pitch_y, zoom_y, offset_y, oy, step_y);
  const int64_t right = int64_t{std::min(dest_rect.Right, reach.Right)} * 65536;
  const int64_t bottom = int64_t{std::min(dest_rect.Bottom, reach.Bottom)} * 65536;
  const int32_t level = alpha & 255;
  for (int64_t y = oy + FirstTile(oy, step_y, th, reach.Top) * step_y; y < bottom; y += step_y) {
    for (int64_t x = ox + FirstTile(ox, step_x, tw, reach.Left) * step_x; x < right; x += step_x) {
      const int64_t l = FloorDiv(x, 65536), t = FloorDiv(y, 65536);
      const TRect r{ClampToInt32(l), ClampToInt32(t), ClampToInt32(l + tw), ClampToInt32(t + th)};
      if (mask == nullptr) {
        if (alpha < 256) dest.StretchDrawAlpha(r, source, src_rect, transparent, flip_h, flip_v, alpha);
        else dest.StretchDrawAdd(r, source, src_rect, transparent, flip_h, flip_v, level);
      } else {
        if (alpha < 256) dest.StretchDrawAlphaMask(r, source, src_rect, flip_h, flip_v, *mask, alpha);
        else dest.StretchDrawAddMask(r, source, src_rect, flip_h, flip_v, *mask, level);
      }
    }
  }
}

// Start position in 16.16 of a zoomed pattern axis for the unclipped
// rectangle's first pixel, and the step per destination pixel.
void ZoomedPatternAxis(int32_t size, int32_t zoom, int32_t offset, bool flip, int64_t& start, int64_t& step) {
  const int64_t whole = int64_t{size} * 65536;
  step = std::min<int64_t>(static_cast<int64_t>(256.0 / zoom * 65536.0), whole);
  const double zoomed = static_cast<double>(zoom) * size / 256.0;
  const double q = offset / zoomed;
  double phase = (q - std::trunc(q)) * size;
  if (offset < 0) phase += size;
  if (phase >= size) phase -= size;
  if (flip) {
    // The mirrored walk starts just inside the mirrored edge, as the
    // unzoomed fill does: column size - 1 for offset 0.
    start = static_cast<int64_t>(std::nearbyint((size - phase) * 65536.0)) - 1;
    step = -step;
  } else {
    start = static_cast<int64_t>(std::nearbyint(phase * 65536.0));
  }
}

// Position after k steps, reduced into one pattern period.
int64_t PatternPosition(int64_t start, int64_t step, int64_t k, int64_t period) {
  __int128 p = static_cast<__int128>(start) + static_cast<__int128>(step) * k;
  __int128 r = p % period;
  if (r < 0) r += period;
  return static_cast<int64_t>(r);
}

void ZoomFill(TCustomDIBX& dest, const TRect& rect, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& pattern,
              int32_t offset_x, int32_t offset_y, bool transparent, bool flip_h, bool flip_v, TCustomDIBX* mask,
              int32_t alpha) {
  enum { kBlend, kCopy, kAdd } mode = alpha < 255 ? kBlend : alpha == 255 ? kCopy : kAdd;
  const uint32_t weight = static_cast<uint32_t>(mode == kAdd ? std::min(alpha - 256, 255) : std::min(alpha, 255));
  if (alpha <= 0 || weight == 0 || zoom_x <= 0 || zoom_y <= 0) return;
  if (mask != nullptr && mask->BitCount() != 8) return;
  TLocked d(dest);
  if (!d.Ok() || !IsWholeBytePixels(d.View.BitCount)) return;
  TLocked p(pattern);
  if (!p.Ok() || p.View.BytesPerPixel() != d.View.BytesPerPixel()) return;
  std::optional<TLocked> m;
  if (mask != nullptr) {
    m.emplace(*mask);
    if (!m->Ok() || m->View.BitCount != 8 || m->View.Width < p.View.Width || m->View.Height < p.View.Height) return;
  }
  TRect r;
  IntersectRects(rect, ViewClip(dest, d.View), r);
  if (RectIsEmpty(r)) return;
  TSourceSnapshot snap(p.View, d.View);
  const int32_t pw = p.View.Width, ph = p.View.Height;
  int64_t sx0, sy0, step_x, step_y;
  ZoomedPatternAxis(pw, zoom_x, offset_x, flip_h, sx0, step_x);
  ZoomedPatternAxis(ph, zoom_y, offset_y, flip_v, sy0, step_y);
  const int64_t period_x = int64_t{pw} * 65536, period_y = int64_t{ph} * 65536;
  const int32_t bits = d.View.BitCount;
  const int bpp = d.View.BytesPerPixel();
  const TChannelSet c = ChannelsFor(bits);
  const TRowKey key = (transparent && mask == nullptr) ? MakeDrawKey(pattern.TransparentColor, bits) : TRowKey{};
  const int64_t first_x = PatternPosition(sx0, step_x, int64_t{r.Left} - rect.Left, period_x);
  int64_t pos_y = PatternPosition(sy0, step_y, int64_t{r.Top} - rect.Top, period_y);
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    const int32_t py = static_cast<int32_t>(pos_y >> 16);
    const uint8_t* prow = snap.View().Row(py);
    const uint8_t* mrow = m ? m->View.Row(py) : nullptr;
    uint8_t* dp = d.View.Row(y) + static_cast<std::ptrdiff_t>(r.Left) * bpp;
    int64_t pos_x = first_x;
    for (int32_t x = r.Left; x < r.Right; ++x, dp += bpp) {
      const int32_t px = static_cast<int32_t>(pos_x >> 16);
      pos_x = FloorMod(pos_x + step_x, period_x);
      const uint32_t sv = LoadPixelBytes(prow + static_cast<std::ptrdiff_t>(px) * bpp, bpp);
      uint32_t w = weight;
      if (mrow != nullptr) {
        if (mrow[px] == 0) continue;
        w = (mrow[px] * weight) >> 8;
      } else if (key.Enabled && sv == key.Value) {
        continue;
      } else if (mode == kCopy) {
        StorePixelBytes(dp, bpp, sv);
        continue;
      }
      const uint32_t dv = LoadPixelBytes(dp, bpp);
      StorePixelBytes(dp, bpp, mode == kAdd ? AddPixel(dv, sv, w, c) : BlendPixel(sv, dv, w, c));
    }
    pos_y = FloorMod(pos_y + step_y, period_y);
  }
}

}  // namespace

void TCustomDIBX::DrawTile(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                           const TRect& src_rect, bool transparent, int32_t offset_x, int32_t offset_y) {
  Tile(*this, TTile::Plain, dest_rect, gap_x, gap_y, source, src_rect, transparent, nullptr, 255, offset_x, offset_y);
}
void TCustomDIBX::DrawTileAlpha(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                                const TRect& src_rect, bool transparent, int32_t alpha, int32_t offset_x,
                                int32_t offset_y) {
  Tile(*this, TTile::Alpha, dest_rect, gap_x, gap_y, source, src_rect, transparent, nullptr, alpha, offset_x, offset_y);
}
void TCustomDIBX::DrawTileAdd(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                              const TRect& src_rect, bool transparent, int32_t alpha, int32_t offset_x,
                              int32_t offset_y) {
  Tile(*this, TTile::Add, dest_rect, gap_x, gap_y, source, src_rect, transparent, nullptr, alpha, offset_x, offset_y);
}
void TCustomDIBX::DrawTileMask(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                               const TRect& src_rect, TCustomDIBX& mask, int32_t offset_x, int32_t offset_y) {
  Tile(*this, TTile::Mask, dest_rect, gap_x, gap_y, source, src_rect, false, &mask, 255, offset_x, offset_y);
}
void TCustomDIBX::DrawTileAlphaMask(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                                    const TRect& src_rect, TCustomDIBX& mask, int32_t alpha, int32_t offset_x,
                                    int32_t offset_y) {
  Tile(*this, TTile::AlphaMask, dest_rect, gap_x, gap_y, source, src_rect, false, &mask, alpha, offset_x, offset_y);
}
void TCustomDIBX::DrawTileAddMask(const TRect& dest_rect, int32_t gap_x, int32_t gap_y, TCustomDIBX& source,
                                  const TRect& src_rect, TCustomDIBX& mask, int32_t alpha, int32_t offset_x,
                                  int32_t offset_y) {
  Tile(*this, TTile::AddMask, dest_rect, gap_x, gap_y, source, src_rect, false, &mask, alpha, offset_x, offset_y);
}

void TCustomDIBX::StretchDrawTile(const TRect& dest_rect, int32_t pitch_x, int32_t pitch_y, int32_t zoom_x,
                                  int32_t zoom_y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                                  bool flip_h, bool flip_v, int32_t alpha, int32_t offset_x, int32_t offset_y) {
  StretchTile(*this, dest_rect, pitch_x, pitch_y, zoom_x, zoom_y, source, src_rect, transparent, nullptr, flip_h,
              flip_v, alpha, offset_x, offset_y);
}
void TCustomDIBX::StretchDrawTileMask(const TRect& dest_rect, int32_t pitch_x, int32_t pitch_y, int32_t zoom_x,
                                      int32_t zoom_y, TCustomDIBX& source, const TRect& src_rect, TCustomDIBX& mask,
                                      bool flip_h, bool flip_v, int32_t alpha, int32_t offset_x, int32_t offset_y) {
  StretchTile(*this, dest_rect, pitch_x, pitch_y, zoom_x, zoom_y, source, src_rect, false, &mask, flip_h, flip_v,
              alpha, offset_x, offset_y);
}

void TCustomDIBX::PatternFrameRect(const TRect& rect, int32_t thickness, TCustomDIBX& pattern, int32_t offset_x,
                                   int32_t offset_y) {
  if (thickness <= 0) return;
  const int32_t top = ClampToInt32(int64_t{rect.Top} + thickness), bottom = ClampToInt32(int64_t{rect.Bottom} - thickness);
  const int32_t left = ClampToInt32(int64_t{rect.Left} + thickness), right = ClampToInt32(int64_t{rect.Right} - thickness);
  // A frame thicker than its rectangle does not paint outside it: the bands
  // are drawn under the clip narrowed to the rectangle (each band's pattern
  // still anchored to the band).
  TRect narrowed;
  IntersectRects(GetClipRect(), rect, narrowed);
  if (RectIsEmpty(narrowed)) return;
  TClipSaver saver(*this);
  SetClipRect(narrowed);
  PatternFill({rect.Left, rect.Top, rect.Right, top}, pattern, offset_x, offset_y, false, false);
  PatternFill({rect.Left, bottom, rect.Right, rect.Bottom}, pattern, offset_x, offset_y, false, false);
  PatternFill({rect.Left, rect.Top, left, rect.Bottom}, pattern, offset_x, offset_y, false, false);
  PatternFill({right, rect.Top, rect.Right, rect.Bottom}, pattern, offset_x, offset_y, false, false);
}

void TCustomDIBX::PatternFillZoom(const TRect& rect, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& pattern,
                                  int32_t offset_x, int32_t offset_y, bool transparent, bool flip_h, bool flip_v,
                                  int32_t alpha) {
  ZoomFill(*this, rect, zoom_x, zoom_y, pattern, offset_x, offset_y, transparent, flip_h, flip_v, nullptr, alpha);
}
void TCustomDIBX::PatternFillZoomMask(const TRect& rect, int32_t zoom_x, int32_t zoom_y, TCustomDIBX& pattern,
                                      int32_t offset_x, int32_t offset_y, bool flip_h, bool flip_v, TCustomDIBX& mask,
                                      int32_t alpha) {
  ZoomFill(*this, rect, zoom_x, zoom_y, pattern, offset_x, offset_y, false, flip_h, flip_v, &mask, alpha);
}

void TCustomDIBX::PatternFill(const TRect& rect, TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y,
                              bool flip_h, bool flip_v) {
  TLocked d(*this);
  if (!d.Ok()) return;
  TLocked p(pattern);
  if (!p.Ok() || p.View.BitCount != d.View.BitCount) return;
  TRect r;
  IntersectRects(rect, ViewClip(*this, d.View), r);
  if (RectIsEmpty(r)) return;
  TSourceSnapshot snap(p.View, d.View);
  const int32_t pw = p.View.Width, ph = p.View.Height;
  const int64_t col0 = FloorMod(int64_t{offset_x} + (int64_t{r.Left} - rect.Left), pw);
  int64_t row = FloorMod(int64_t{offset_y} + (int64_t{r.Top} - rect.Top), ph);
  const int32_t start_col = static_cast<int32_t>(flip_h ? pw - 1 - col0 : col0);
  if (flip_v) row = ph - 1 - row;
  const bool bytes = IsWholeBytePixels(d.View.BitCount);
  const int bpp = d.View.BytesPerPixel();
  for (int32_t y = r.Top; y < r.Bottom; ++y) {
    int32_t col = start_col;
    const int32_t py = static_cast<int32_t>(row);
    for (int32_t x = r.Left; x < r.Right; ++x) {
      if (bytes) {
        StorePixelBytes(d.View.Row(y) + static_cast<std::ptrdiff_t>(x) * bpp, bpp,
                        LoadPixelBytes(snap.View().Row(py) + static_cast<std::ptrdiff_t>(col) * bpp, bpp));
      } else {
        ViewSetPixel(d.View, x, y, ViewGetPixel(snap.View(), col, py));
      }
      col = flip_h ? (col == 0 ? pw - 1 : col - 1) : (col + 1 == pw ? 0 : col + 1);
    }
    row = flip_v ? (row == 0 ? ph - 1 : row - 1) : (row + 1 == ph ? 0 : row + 1);
  }
}

}  // namespace orba

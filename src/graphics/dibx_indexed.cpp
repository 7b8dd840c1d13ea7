// Indexed and reduced draws of the drawing surface: sources whose pixels are
// not colours. The reductions shrink a 1-bit (or 4-bit four-class) picture
// by an integer factor into smooth coverage; the indexed draws map palette
// indices through a caller's table of destination pixel values.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "graphics/custom_dibx.h"
#include "graphics/dibx_stretch.h"
#include "graphics/draw_kernels.h"

namespace orba {

namespace {

using namespace dibx_ops;

// Factors above this draw nothing: one destination pixel never stands for
// more than 256 x 256 source pixels, which keeps the weighted sums in range.
constexpr int32_t kMaxFactor = 256;

bool InView(const TPixelView& v, int64_t x, int64_t y) { return x >= 0 && y >= 0 && x < v.Width && y < v.Height; }

// Walks the destination pixels of a reduced draw: (X, Y) with (source width
// div Factor) x (source height div Factor) pixels, clipped; each visited
// pixel gets the top-left corner of its Factor x Factor source block (taken
// from the right and bottom edges when mirrored).
template <typename F>
void ForEachBlock(const TRect& clip, int32_t x, int32_t y, const TRect& src_rect, int32_t factor, bool flip_h,
                  bool flip_v, F visit) {
  const int64_t cols = (int64_t{src_rect.Right} - src_rect.Left) / factor;
  const int64_t rows = (int64_t{src_rect.Bottom} - src_rect.Top) / factor;
  if (cols < 1 || rows < 1) return;
  const int64_t left = std::max<int64_t>(x, clip.Left), right = std::min<int64_t>(x + cols, clip.Right);
  const int64_t top = std::max<int64_t>(y, clip.Top), bottom = std::min<int64_t>(y + rows, clip.Bottom);
  for (int64_t dy = top; dy < bottom; ++dy) {
    const int64_t j = dy - y;
    const int64_t by = flip_v ? src_rect.Bottom - (j + 1) * factor : src_rect.Top + j * factor;
    for (int64_t dx = left; dx < right; ++dx) {
      const int64_t i = dx - x;
      const int64_t bx = flip_h ? src_rect.Right - (i + 1) * factor : src_rect.Left + i * factor;
      visit(static_cast<int32_t>(dx), static_cast<int32_t>(dy), bx, by);
    }
  }
}

// Sum over channels of a weighted mix, divided by `total`; with `limit` each
// channel sum stops at its mask (additive mixes).
uint32_t MixChannels(const uint32_t* values, const int64_t* weights, int count, int64_t total, bool limit,
                     const TChannelSet& c) {
  uint32_t r = 0;
  for (int k = 0; k < c.Count; ++k) {
    const int64_t m = c.Mask[k];
    int64_t sum = 0;
    for (int i = 0; i < count; ++i) sum += (values[i] & m) * weights[i];
    if (limit) sum = std::min(sum, m * total);
    r |= static_cast<uint32_t>((sum / total) & m);
  }
  return r;
}

// D + (T x K shr 8) per channel for intensities above 255, limited to the mask.
uint32_t AddScaled(uint32_t d, uint32_t t, uint32_t k, const TChannelSet& c) {
  uint32_t r = 0;
  for (int i = 0; i < c.Count; ++i) {
    const uint64_t m = c.Mask[i];
    r |= static_cast<uint32_t>(std::min<uint64_t>((d & m) + (((t & m) * k) >> 8), m) & m);
  }
  return r;
}

// Lock of a destination that the indexed draws serve (15, 16 and 32 bits).
bool IndexedTarget(const TLocked& d) {
  return d.Ok() && HasRowKernelRules(d.View.BitCount);
}

}  // namespace

void TCustomDIBX::DrawMonoReduced(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, uint32_t color,
                                  bool flip_h, bool flip_v, int32_t alpha, int32_t factor) {
  if (alpha <= 0 || factor < 1 || factor > kMaxFactor) return;
  TLocked d(*this);
  if (!IndexedTarget(d)) return;
  TLocked s(source);
  if (!s.Ok() || s.View.BitCount != 1) return;
  const TChannelSet c = ChannelsFor(d.View.BitCount);
  const int bpp = d.View.BytesPerPixel();
  const int64_t area = int64_t{factor} * factor;
  ForEachBlock(ViewClip(*this, d.View), x, y, src_rect, factor, flip_h, flip_v,
               [&](int32_t dx, int32_t dy, int64_t bx, int64_t by) {
                 // Ink is a 0 bit; bits outside the source are background.
                 int64_t n = 0;
                 for (int64_t sy = by; sy < by + factor; ++sy)
                   for (int64_t sx = bx; sx < bx + factor; ++sx)
                     if (InView(s.View, sx, sy) &&
                         ViewGetPixel(s.View, static_cast<int32_t>(sx), static_cast<int32_t>(sy)) == 0)
                       ++n;
                 if (alpha < 255 && n > 0) n = (n * alpha) >> 8;
                 uint8_t* dp = d.View.Row(dy) + static_cast<std::ptrdiff_t>(dx) * bpp;
                 const uint32_t values[2] = {color, LoadPixelBytes(dp, bpp)};
                 const int64_t weights[2] = {n, area - n};
                 StorePixelBytes(dp, bpp, MixChannels(values, weights, 2, area, false, c));
               });
}

void TCustomDIBX::DrawMonoReducedTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                       std::span<const uint32_t> table, bool flip_h, bool flip_v, int32_t alpha,
                                       int32_t factor) {
  if (alpha <= 0 || factor < 1 || factor > kMaxFactor || table.size() < 3) return;
  TLocked d(*this);
  if (!IndexedTarget(d)) return;
  TLocked s(source);
  if (!s.Ok() || s.View.BitCount != 4) return;
  const TChannelSet c = ChannelsFor(d.View.BitCount);
  const int bpp = d.View.BytesPerPixel();
  const int64_t area = int64_t{factor} * factor, total = area * 256;
  ForEachBlock(ViewClip(*this, d.View), x, y, src_rect, factor, flip_h, flip_v,
               [&](int32_t dx, int32_t dy, int64_t bx, int64_t by) {
                 int64_t count[4] = {0, 0, 0, 0};
                 for (int64_t sy = by; sy < by + factor; ++sy)
                   for (int64_t sx = bx; sx < bx + factor; ++sx)
                     ++count[InView(s.View, sx, sy)
                                 ? ViewGetPixel(s.View, static_cast<int32_t>(sx), static_cast<int32_t>(sy)) & 3u
                                 : 0u];
                 if (count[0] == area) return;
                 uint8_t* dp = d.View.Row(dy) + static_cast<std::ptrdiff_t>(dx) * bpp;
                 if (alpha == 255 && (count[1] == area || count[2] == area)) {
                   StorePixelBytes(dp, bpp, table[count[1] == area ? 0 : 1]);
                   return;
                 }
                 const int64_t unit = alpha == 255 ? 256 : alpha;
                 const int64_t w1 = count[1] * unit, w2 = count[2] * unit, w3 = count[3] * unit;
                 const int64_t wd = alpha > 255 ? total : total - w1 - w2 - w3;
                 const uint32_t values[4] = {table[0], table[1], table[2], LoadPixelBytes(dp, bpp)};
                 const int64_t weights[4] = {w1, w2, w3, wd};
                 StorePixelBytes(dp, bpp, MixChannels(values, weights, 4, total, alpha > 255, c));
               });
}

namespace {

// The unstretched indexed walk: the draw cut against the clip (and the
// source), each destination pixel with the source index under it.
template <typename F>
void ForEachIndex(TCustomDIBX& dest, const TLocked& d, const TLocked& s, int32_t x, int32_t y, const TRect& src_rect,
                  bool flip_h, bool flip_v, F visit) {
  const TRect bounds{0, 0, s.View.Width, s.View.Height};
  TDrawCut cut;
  if (!CutDraw(x, y, src_rect, flip_h, flip_v, ViewClip(dest, d.View), &bounds, cut)) return;
  const int bpp = d.View.BytesPerPixel();
  for (int32_t j = 0; j < cut.Dest.Bottom - cut.Dest.Top; ++j) {
    const int32_t sy = flip_v ? cut.Src.Bottom - 1 - j : cut.Src.Top + j;
    uint8_t* row = d.View.Row(cut.Dest.Top + j) + static_cast<std::ptrdiff_t>(cut.Dest.Left) * bpp;
    for (int32_t i = 0; i < cut.Dest.Right - cut.Dest.Left; ++i) {
      const int32_t sx = flip_h ? cut.Src.Right - 1 - i : cut.Src.Left + i;
      visit(row + static_cast<std::ptrdiff_t>(i) * bpp, ViewGetPixel(s.View, sx, sy));
    }
  }
}

}  // namespace

void TCustomDIBX::DrawIndexed(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool flip_h,
                              bool flip_v, int32_t alpha, std::span<const uint32_t> table) {
  if (alpha <= 0) return;
  TLocked d(*this);
  if (!IndexedTarget(d)) return;
  TLocked s(source);
  if (!s.Ok() || s.View.BitCount > 8) return;
  const TChannelSet c = ChannelsFor(d.View.BitCount);
  const int bpp = d.View.BytesPerPixel();
  const int64_t key = source.TransparentColor;
  ForEachIndex(*this, d, s, x, y, src_rect, flip_h, flip_v, [&](uint8_t* dp, uint32_t index) {
    if (index == key || index >= table.size()) return;
    const uint32_t t = table[index];
    if (alpha == 255) {
      StorePixelBytes(dp, bpp, t);
      return;
    }
    const uint32_t dv = LoadPixelBytes(dp, bpp);
    if (alpha < 255) StorePixelBytes(dp, bpp, BlendPixel(t, dv, static_cast<uint32_t>(alpha), c));
    else if (t != 0 && dv < 0xFFFFFFu) StorePixelBytes(dp, bpp, AddScaled(dv, t, static_cast<uint32_t>(alpha), c));
  });
}

void TCustomDIBX::DrawIndexedAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, int32_t min_index,
                                 bool flip_h, bool flip_v, int32_t alpha, std::span<const uint32_t> table) {
  if (alpha <= 0) return;
  const uint32_t a = static_cast<uint32_t>(std::min(alpha, 255));
  TLocked d(*this);
  if (!d.Ok() || !IsWholeBytePixels(d.View.BitCount)) return;
  TLocked s(source);
  if (!s.Ok() || s.View.BitCount > 8) return;
  const TChannelSet c = ChannelsFor(d.View.BitCount);
  if (d.View.BitCount == 32 && s.View.BitCount == 8 && !flip_h) {
    // Each index's scaled colour is worked out once; the rows then go through
    // the vector kernel. Indexes that draw nothing add 0.
    std::array<uint32_t, 256> add{};
    for (uint32_t i = 0; i < add.size(); ++i)
      if (static_cast<int64_t>(i) >= min_index && i < table.size()) add[i] = AddPixel(0, table[i], a, c);
    const TRect bounds{0, 0, s.View.Width, s.View.Height};
    TDrawCut cut;
    if (!CutDraw(x, y, src_rect, flip_h, flip_v, ViewClip(*this, d.View), &bounds, cut)) return;
    const TRowKernels& k = RowKernels();
    for (int32_t j = 0; j < cut.Dest.Bottom - cut.Dest.Top; ++j) {
      const int32_t sy = flip_v ? cut.Src.Bottom - 1 - j : cut.Src.Top + j;
      k.IndexedAdd(d.View.Row(cut.Dest.Top + j) + static_cast<std::ptrdiff_t>(cut.Dest.Left) * 4,
                   s.View.Row(sy) + cut.Src.Left, cut.Dest.Right - cut.Dest.Left, add.data());
    }
    return;
  }
  const int bpp = d.View.BytesPerPixel();
  ForEachIndex(*this, d, s, x, y, src_rect, flip_h, flip_v, [&](uint8_t* dp, uint32_t index) {
    if (static_cast<int64_t>(index) < min_index || index >= table.size()) return;
    StorePixelBytes(dp, bpp, AddPixel(LoadPixelBytes(dp, bpp), table[index], a, c));
  });
}

void TCustomDIBX::DrawIndexedStretch(const TRect& dest_rect, TCustomDIBX& source, const TRect& src_rect,
                                     int32_t min_index, bool flip_h, bool flip_v, int32_t alpha,
                                     std::span<const uint32_t> table) {
  if (alpha <= 0) return;
  const uint32_t a = static_cast<uint32_t>(std::min(alpha, 255));
  TLocked d(*this);
  if (!IndexedTarget(d)) return;
  TLocked s(source);
  if (!s.Ok() || s.View.BitCount > 8) return;
  TStretchPlan plan;
  if (!PlanStretch(dest_rect, src_rect, flip_h, flip_v, ViewClip(*this, d.View),
                   TRect{0, 0, s.View.Width, s.View.Height}, plan))
    return;
  const TChannelSet c = ChannelsFor(d.View.BitCount);
  const int bpp = d.View.BytesPerPixel();
  for (int32_t y = plan.Dest.Top; y < plan.Dest.Bottom; ++y) {
    const int32_t sy = plan.SourceRow(y);
    if (sy < 0) continue;
    uint8_t* row = d.View.Row(y) + static_cast<std::ptrdiff_t>(plan.Dest.Left) * bpp;
    for (size_t i = 0; i < plan.Columns.size(); ++i) {
      if (plan.Columns[i] < 0) continue;
      const uint32_t index = ViewGetPixel(s.View, plan.Columns[i], sy);
      if (static_cast<int64_t>(index) < min_index || index >= table.size()) continue;
      uint8_t* dp = row + static_cast<std::ptrdiff_t>(i) * bpp;
      StorePixelBytes(dp, bpp, AddPixel(LoadPixelBytes(dp, bpp), table[index], a, c));
    }
  }
}

}  // namespace orba

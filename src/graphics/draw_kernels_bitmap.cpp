#include "graphics/draw_kernels_bitmap.h"

#include <algorithm>

#include "graphics/draw_kernels.h"

namespace orba {

namespace {

const uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// The rectangle left to draw after both cuts: `n` columns and `rows` rows from
// (sx, sy) of the source to (dx, dy) of the destination.
struct TCut {
  int32_t sx, sy, dx, dy, n, rows;
};

bool CutRects(const TPixelView& dst, int32_t x, int32_t y, const TRect& src_rect,
              const TPixelView& src, TCut& cut) {
  if (dst.Empty() || src.Empty() || dst.BitCount != src.BitCount) return false;
  int64_t l = src_rect.Left, t = src_rect.Top, r = src_rect.Right, b = src_rect.Bottom;
  int64_t dx = x, dy = y;
  // Cut to the source, moving the destination point by the left and top cut.
  if (l < 0) { dx -= l; l = 0; }
  if (t < 0) { dy -= t; t = 0; }
  r = std::min<int64_t>(r, src.Width);
  b = std::min<int64_t>(b, src.Height);
  // Cut to the destination.
  if (dx < 0) { l -= dx; dx = 0; }
  if (dy < 0) { t -= dy; dy = 0; }
  r = std::min<int64_t>(r, l + (dst.Width - dx));
  b = std::min<int64_t>(b, t + (dst.Height - dy));
  if (l >= r || t >= b) return false;
  cut = {static_cast<int32_t>(l), static_cast<int32_t>(t), static_cast<int32_t>(dx),
         static_cast<int32_t>(dy), static_cast<int32_t>(r - l), static_cast<int32_t>(b - t)};
  return true;
}

// Byte offset of pixel x at a whole-byte depth.
std::ptrdiff_t Offset(int32_t x, int32_t bits) {
  return static_cast<std::ptrdiff_t>(x) * ((bits + 7) / 8);
}

// Sub-byte pixels through the view (1 and 4 bits), one by one.
template <typename Keep>
void SubBytePixels(const TPixelView& dst, const TPixelView& src, const TCut& c, Keep keep) {
  for (int32_t j = 0; j < c.rows; ++j)
    for (int32_t i = 0; i < c.n; ++i) {
      uint32_t v = ViewGetPixel(src, c.sx + i, c.sy + j);
      if (keep(v, c.dx + i, c.dy + j)) ViewSetPixel(dst, c.dx + i, c.dy + j, v);
    }
}

bool Whole(int32_t bits) { return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32; }

void CopyCut(const TPixelView& dst, const TPixelView& src, const TCut& c) {
  const TRowKernels& k = RowKernels();
  int32_t bits = dst.BitCount;
  if (Whole(bits)) {
    for (int32_t j = 0; j < c.rows; ++j)
      k.Copy(dst.Row(c.dy + j) + Offset(c.dx, bits), src.Row(c.sy + j) + Offset(c.sx, bits), c.n, bits);
  } else if (bits == 1 || bits == 4) {
    SubBytePixels(dst, src, c, [](uint32_t, int32_t, int32_t) { return true; });
  }
}

// Keyed copy of a cut; `cell` decides per destination pixel whether it is
// drawn at all (the dither), null for every pixel.
void KeyedCut(const TPixelView& dst, const TPixelView& src, const TCut& c, int64_t key,
              int32_t dither_level) {
  int32_t bits = dst.BitCount;
  // At 1 bit the key stands for the bit (Key not 0).
  TRowKey k = bits == 1 ? (key < 0 ? TRowKey{} : TRowKey{true, key != 0 ? 1u : 0u})
                        : MakeBitmapKey(key, bits == 4 ? 8 : bits);
  auto drawn = [&](uint32_t v, int32_t x, int32_t y) {
    if (k.Enabled && v == k.Value) return false;
    return dither_level < 0 || DitherCell(dither_level, y & 3, x & 3);
  };
  if (bits == 1 || bits == 4) {
    SubBytePixels(dst, src, c, drawn);
    return;
  }
  if (!Whole(bits)) return;
  if (dither_level < 0) {
    const TRowKernels& rk = RowKernels();
    for (int32_t j = 0; j < c.rows; ++j)
      rk.KeyedCopy(dst.Row(c.dy + j) + Offset(c.dx, bits), src.Row(c.sy + j) + Offset(c.sx, bits),
                   c.n, bits, k);
    return;
  }
  // The dither exists at 8 bits and below only; bit b of a row's cells
  // is the cell of the row's pixels i with i and 3 = b.
  const TRowKernels& rk = RowKernels();
  for (int32_t j = 0; j < c.rows; ++j) {
    uint32_t cells = 0;
    for (int32_t b = 0; b < 4; ++b)
      if (DitherCell(dither_level, (c.dy + j) & 3, (c.dx + b) & 3)) cells |= 1u << b;
    rk.CellCopy(dst.Row(c.dy + j) + c.dx, src.Row(c.sy + j) + c.sx, c.n, k, cells);
  }
}

}  // namespace

bool DitherCell(int32_t level, int32_t row, int32_t column) {
  return kBayer[row & 3][column & 3] <= level;
}

void BitmapCopyArea(const TPixelView& dst, int32_t x, int32_t y, const TRect& src_rect,
                    const TPixelView& src) {
  TCut c;
  if (CutRects(dst, x, y, src_rect, src, c)) CopyCut(dst, src, c);
}

void BitmapDrawKeyed(const TPixelView& dst, int32_t x, int32_t y, int64_t key,
                     const TRect& src_rect, const TPixelView& src) {
  TCut c;
  if (CutRects(dst, x, y, src_rect, src, c)) KeyedCut(dst, src, c, key, -1);
}

void BitmapDrawAlpha(const TPixelView& dst, int32_t x, int32_t y, int32_t opacity, int64_t key,
                     const TRect& src_rect, const TPixelView& src) {
  if (opacity == 0) return;
  bool palette = dst.BitCount <= 8;
  int32_t value = palette && opacity >= 1 ? opacity / 16 : opacity;
  if (value >= 255 || (palette && value >= 15) || value < 0) {
    BitmapDrawKeyed(dst, x, y, key, src_rect, src);
    return;
  }
  TCut c;
  if (!CutRects(dst, x, y, src_rect, src, c)) return;
  if (palette) {
    KeyedCut(dst, src, c, key, value);
    return;
  }
  int32_t bits = dst.BitCount;
  if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return;
  const TRowKernels& k = RowKernels();
  TRowKey rk = MakeBitmapKey(key, bits);
  for (int32_t j = 0; j < c.rows; ++j)
    k.BitmapBlend(dst.Row(c.dy + j) + Offset(c.dx, bits), src.Row(c.sy + j) + Offset(c.sx, bits),
                  c.n, bits, value, rk);
}

void BitmapDrawAlphaMask(const TPixelView& dst, int32_t x, int32_t y, int32_t opacity,
                         const TRect& src_rect, const TPixelView& src, const TPixelView& alpha) {
  if (alpha.Bits == nullptr) {
    BitmapDrawAlpha(dst, x, y, opacity, -1, src_rect, src);
    return;
  }
  // The alpha plane must be an 8-bit plane covering the source.
  if (alpha.BitCount != 8 || alpha.Width < src.Width || alpha.Height < src.Height) return;
  TCut c;
  if (!CutRects(dst, x, y, src_rect, src, c)) return;
  int32_t bits = dst.BitCount;
  const TRowKernels& k = RowKernels();
  if (bits == 8) {
    for (int32_t j = 0; j < c.rows; ++j)
      k.AlphaPick(dst.Row(c.dy + j) + c.dx, src.Row(c.sy + j) + c.sx, alpha.Row(c.sy + j) + c.sx, c.n);
    return;
  }
  if (bits < 8) {
    for (int32_t j = 0; j < c.rows; ++j)
      for (int32_t i = 0; i < c.n; ++i)
        if (alpha.Row(c.sy + j)[c.sx + i] >= 128)
          ViewSetPixel(dst, c.dx + i, c.dy + j, ViewGetPixel(src, c.sx + i, c.sy + j));
    return;
  }
  if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return;
  int32_t op = std::clamp(opacity, 0, 255);
  for (int32_t j = 0; j < c.rows; ++j)
    k.BitmapAlpha(dst.Row(c.dy + j) + Offset(c.dx, bits), src.Row(c.sy + j) + Offset(c.sx, bits),
                  alpha.Row(c.sy + j) + c.sx, c.n, bits, op);
}

void BitmapFillRect(const TPixelView& dst, const TRect& rect, uint32_t pixel) {
  if (dst.Empty()) return;
  int32_t l = std::max(rect.Left, 0), t = std::max(rect.Top, 0);
  int32_t r = std::min(rect.Right, dst.Width), b = std::min(rect.Bottom, dst.Height);
  if (l >= r || t >= b) return;
  int32_t bits = dst.BitCount;
  if (bits == 1 || bits == 4) {
    for (int32_t y = t; y < b; ++y)
      for (int32_t x = l; x < r; ++x) ViewSetPixel(dst, x, y, pixel);
    return;
  }
  if (!Whole(bits)) return;
  if (bits == 15) pixel &= 0x7FFF;
  const TRowKernels& k = RowKernels();
  for (int32_t y = t; y < b; ++y) k.Fill(dst.Row(y) + Offset(l, bits), r - l, bits, pixel);
}

}  // namespace orba

#include "graphics/color_convert.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "graphics/pixel_format.h"

namespace orba {

namespace {

bool IsPaletteDepth(int32_t bits) { return bits == 1 || bits == 4 || bits == 8; }

uint32_t Channel(uint32_t rgb, int shift) { return (rgb >> shift) & 0xFFu; }

// The bitmap's layout of a direct depth; colours and 8-8-8 values are packed
// into 15- and 16-bit pixels with the bitmap's own packing, so a key colour
// and a copied picture narrow alike.
const TDIBChannelLayout& DirectLayout(int32_t bits) {
  return bits == 15 ? Layout555() : bits == 16 ? Layout565() : Layout888();
}

// Two formats hold the same pixel values: same depth, and at the palette
// depths the same colours in the table.
bool SameFormat(const TPixelFormat& a, const TPixelFormat& b) {
  if (a.BitCount != b.BitCount) return false;
  if (!IsPaletteDepth(a.BitCount)) return true;
  if (a.Palette == b.Palette) return true;
  if (a.Palette == nullptr || b.Palette == nullptr) return false;
  for (int32_t i = 0; i < (1 << a.BitCount); ++i)
    if (std::memcmp(a.Palette + 4 * i, b.Palette + 4 * i, 3) != 0) return false;
  return true;
}

}  // namespace

int32_t ColorToPixel(int32_t color, int32_t bit_count) {
  if (color < 0) return -1;
  uint32_t c = static_cast<uint32_t>(color);
  uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  switch (bit_count) {
    case 15:
    case 16:
    case 32: return static_cast<int32_t>(PackPixel(DirectLayout(bit_count), r, g, b));
    default: return color;
  }
}

uint32_t WidenChannel(uint32_t value, int32_t bits) {
  switch (bits) {
    case 5: value &= 31; return (value << 3) | (value >> 2);
    case 6: value &= 63; return (value << 2) | (value >> 4);
    default: return value & 0xFF;
  }
}

uint32_t PixelToRGB888(uint32_t pixel, const TPixelFormat& format) {
  switch (format.BitCount) {
    case 15:
      return WidenChannel(pixel >> 10, 5) << 16 | WidenChannel(pixel >> 5, 5) << 8 |
             WidenChannel(pixel, 5);
    case 16:
      return WidenChannel(pixel >> 11, 5) << 16 | WidenChannel(pixel >> 5, 6) << 8 |
             WidenChannel(pixel, 5);
    case 24:
    case 32: return pixel & 0xFFFFFFu;
    default: break;
  }
  if (!IsPaletteDepth(format.BitCount)) return pixel & 0xFFFFFFu;
  uint32_t count = 1u << format.BitCount;
  if (format.Palette == nullptr || pixel >= count) {
    uint32_t grey = std::min<uint32_t>(pixel, count - 1) * 255u / (count - 1);
    return grey << 16 | grey << 8 | grey;
  }
  const uint8_t* q = format.Palette + 4 * pixel;
  return static_cast<uint32_t>(q[2]) << 16 | static_cast<uint32_t>(q[1]) << 8 | q[0];
}

uint32_t PixelToColor(uint32_t pixel, const TPixelFormat& format) {
  uint32_t rgb = PixelToRGB888(pixel, format);
  return Channel(rgb, 16) | Channel(rgb, 8) << 8 | Channel(rgb, 0) << 16;
}

int32_t NearestPaletteIndex(uint32_t rgb, const uint8_t* palette, int32_t count) {
  if (palette == nullptr || count <= 0) return 0;
  // The bitmap's nearest-entry rule: the smallest sum of channel distances,
  // the first of equal ones.
  const int32_t r = static_cast<int32_t>(Channel(rgb, 16)), g = static_cast<int32_t>(Channel(rgb, 8)),
                b = static_cast<int32_t>(Channel(rgb, 0));
  int32_t best = 0, best_distance = INT32_MAX;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* q = palette + 4 * i;
    const int32_t distance = std::abs(q[2] - r) + std::abs(q[1] - g) + std::abs(q[0] - b);
    if (distance < best_distance) {
      best_distance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return best;
}

uint32_t RGB888ToPixel(uint32_t rgb, const TPixelFormat& format) {
  uint32_t r = Channel(rgb, 16), g = Channel(rgb, 8), b = Channel(rgb, 0);
  switch (format.BitCount) {
    case 15:
    case 16: return PackPixel(DirectLayout(format.BitCount), r, g, b);
    case 24:
    case 32: return rgb & 0xFFFFFFu;
    default: break;
  }
  if (!IsPaletteDepth(format.BitCount)) return rgb & 0xFFFFFFu;
  int32_t count = 1 << format.BitCount;
  if (format.Palette == nullptr) {
    // Grey levels: the nearest level of the mean.
    uint32_t mean = (r + g + b) / 3;
    return (mean * static_cast<uint32_t>(count - 1) + 127) / 255;
  }
  return static_cast<uint32_t>(NearestPaletteIndex(rgb, format.Palette, count));
}

uint32_t ConvertPixel(uint32_t pixel, const TPixelFormat& from, const TPixelFormat& to) {
  if (SameFormat(from, to)) return pixel;
  return RGB888ToPixel(PixelToRGB888(pixel, from), to);
}

void ConvertCopy(const TPixelView& dst, const uint8_t* dst_palette, int32_t x, int32_t y,
                 const TPixelView& src, const uint8_t* src_palette, const TRect& src_rect) {
  TRect dst_rect{x, y, 0, 0};
  int64_t right = static_cast<int64_t>(x) + src_rect.Right - src_rect.Left;
  int64_t bottom = static_cast<int64_t>(y) + src_rect.Bottom - src_rect.Top;
  if (right <= x || bottom <= y || right > INT32_MAX || bottom > INT32_MAX) return;
  dst_rect.Right = static_cast<int32_t>(right);
  dst_rect.Bottom = static_cast<int32_t>(bottom);
  ConvertStretch(dst, dst_palette, dst_rect, src, src_palette, src_rect);
}

void ConvertStretch(const TPixelView& dst, const uint8_t* dst_palette, const TRect& dst_rect,
                    const TPixelView& src, const uint8_t* src_palette, const TRect& src_rect) {
  if (dst.Empty() || src.Empty()) return;
  int64_t dw = static_cast<int64_t>(dst_rect.Right) - dst_rect.Left;
  int64_t dh = static_cast<int64_t>(dst_rect.Bottom) - dst_rect.Top;
  int64_t sw = static_cast<int64_t>(src_rect.Right) - src_rect.Left;
  int64_t sh = static_cast<int64_t>(src_rect.Bottom) - src_rect.Top;
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  TPixelFormat from{src.BitCount, src_palette}, to{dst.BitCount, dst_palette};
  // Palette sources convert each index once.
  bool same = SameFormat(from, to);
  uint32_t index_map[256] = {};
  bool mapped = !same && IsPaletteDepth(from.BitCount);
  if (mapped)
    for (uint32_t i = 0; i < (1u << from.BitCount); ++i) index_map[i] = ConvertPixel(i, from, to);
  // Destination pixels in picture order; i counts along the rectangle's
  // own direction, so a reversed rectangle mirrors.
  int64_t x0 = std::min<int64_t>(dst_rect.Left, dst_rect.Right);
  int64_t y0 = std::min<int64_t>(dst_rect.Top, dst_rect.Bottom);
  int64_t adw = std::llabs(dw), adh = std::llabs(dh), asw = std::llabs(sw), ash = std::llabs(sh);
  int64_t xa = std::max<int64_t>(x0, 0), xb = std::min<int64_t>(x0 + adw, dst.Width);
  int64_t ya = std::max<int64_t>(y0, 0), yb = std::min<int64_t>(y0 + adh, dst.Height);
  auto source = [](int64_t i, int64_t along_dst, int64_t a_dst, int64_t a_src, int64_t start,
                   int64_t src_span) {
    int64_t k = along_dst < 0 ? a_dst - 1 - i : i;
    int64_t pos = (2 * k + 1) * a_src / (2 * a_dst);
    return src_span < 0 ? start - 1 - pos : start + pos;
  };
  for (int64_t y = ya; y < yb; ++y) {
    int64_t sy = source(y - y0, dh, adh, ash, src_rect.Top, sh);
    if (sy < 0 || sy >= src.Height) continue;
    for (int64_t x = xa; x < xb; ++x) {
      int64_t sx = source(x - x0, dw, adw, asw, src_rect.Left, sw);
      if (sx < 0 || sx >= src.Width) continue;
      uint32_t v = ViewGetPixel(src, static_cast<int32_t>(sx), static_cast<int32_t>(sy));
      uint32_t out = same ? v : mapped ? index_map[v & 0xFF] : ConvertPixel(v, from, to);
      ViewSetPixel(dst, static_cast<int32_t>(x), static_cast<int32_t>(y), out);
    }
  }
}

}  // namespace orba

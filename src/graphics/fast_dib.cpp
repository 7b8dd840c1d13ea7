#include "graphics/fast_dib.h"

#include <algorithm>
#include <vector>

#include "core/errors.h"
#include "graphics/dib.h"

namespace orba {

int32_t ProbeScreen16Layout() { return 565; }

void TFastDIB::FillHeader(int32_t width, int32_t layout_code, int32_t bit_count, int32_t height) {
  if (bit_count == 0) bit_count = 32;
  if (layout_code == 0) layout_code = bit_count == 16 ? ProbeScreen16Layout() : bit_count == 32 ? 888 : 0;
  if (bit_count == 16 || bit_count == 32) {
    // Each channel holds 1 to 8 bits and all fit in the pixel; anything else
    // falls back to the depth's usual layout.
    const int b = layout_code % 10, g = layout_code / 10 % 10, r = layout_code / 100 % 10;
    if (layout_code < 100 || layout_code > 999 || b < 1 || g < 1 || r < 1 || b > 8 || g > 8 || r > 8 ||
        r + g + b > bit_count)
      layout_code = bit_count == 16 ? 565 : 888;
  }
  const int64_t row_size = DibRowSize(width, bit_count);
  const int64_t rows = height < 0 ? -int64_t{height} : height;
  if (row_size < 0 || int64_t{width} * rows > kMaxImagePixels || row_size * rows > kMaxImageBytes)
    throw EOrbaError("Can not alloc memory");
  Width = width;
  RowCount = static_cast<int32_t>(rows);
  BitCount = bit_count;
  RowSize = static_cast<int32_t>(row_size);
  LayoutCode = layout_code;
  const int64_t used = (int64_t{width} * bit_count + 7) / 8;
  PadBytes = static_cast<int32_t>(row_size - used);
  Compression = 0;
  RedMask = GreenMask = BlueMask = 0;
  BlueDrop = GreenDrop = GreenPos = RedDrop = RedPos = 0;
  if (bit_count == 16 || bit_count == 32) {
    Compression = 3;
    const int b = layout_code % 10, g = layout_code / 10 % 10, r = layout_code / 100 % 10;
    const uint64_t m = bit_count == 16 ? 0xFFFF : 0xFFFFFFFF;
    auto shr = [&](int s) { return s >= 0 && s < 64 ? m >> s : 0; };
    BlueMask = static_cast<uint32_t>(shr(bit_count - b));
    GreenMask = static_cast<uint32_t>(shr(bit_count - b - g)) & ~BlueMask;
    RedMask = static_cast<uint32_t>(shr(bit_count - b - g - r)) & ~(BlueMask | GreenMask);
    BlueDrop = static_cast<uint8_t>(8 - b);
    GreenDrop = static_cast<uint8_t>(8 - g);
    GreenPos = static_cast<uint8_t>(b);
    RedDrop = static_cast<uint8_t>(8 - r);
    RedPos = static_cast<uint8_t>(b + g);
  }
}

void TFastDIB::SetSize(int32_t width, int32_t height, int32_t bit_count, int32_t layout_code) {
  const int32_t rows = height < 0 ? -height : height;
  if (bit_count == BitCount && width == Width && rows == RowCount && layout_code == LayoutCode && !Pixels.empty())
    return;
  FillHeader(width, layout_code, bit_count, height);
  Pixels.assign(static_cast<size_t>(RowSize) * static_cast<size_t>(RowCount), 0);
}

uint32_t TFastDIB::IndexAt(int32_t y, int32_t x) const {
  const uint8_t* row = Row(y);
  switch (BitCount) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case 8: return row[x];
    default: return 0;
  }
}

int32_t TFastDIB::DistinctColors() const {
  int32_t count = 0;
  switch (BitCount) {
    case 24:
    case 32: {
      std::vector<uint8_t> seen(1 << 21, 0);
      const int step = BitCount / 8;
      for (int32_t y = 0; y < RowCount; ++y) {
        const uint8_t* p = Row(y);
        for (int32_t x = 0; x < Width; ++x, p += step) {
          const uint32_t c = p[0] | (p[1] << 8) | (p[2] << 16);
          const uint8_t bit = static_cast<uint8_t>(1 << (c & 7));
          if (!(seen[c >> 3] & bit)) {
            seen[c >> 3] |= bit;
            ++count;
          }
        }
      }
      return count;
    }
    case 16: {
      std::vector<uint8_t> seen(65536, 0);
      for (int32_t y = 0; y < RowCount; ++y) {
        const uint8_t* p = Row(y);
        for (int32_t x = 0; x < Width; ++x, p += 2) {
          const uint32_t c = p[0] | (p[1] << 8);
          if (!seen[c]) {
            seen[c] = 1;
            ++count;
          }
        }
      }
      return count;
    }
    case 8:
    case 4: {
      bool seen[256] = {};
      for (int32_t y = 0; y < RowCount; ++y)
        for (int32_t x = 0; x < Width; ++x) {
          const uint32_t i = IndexAt(y, x);
          if (!seen[i]) {
            seen[i] = true;
            ++count;
          }
        }
      return count;
    }
    case 1: return Colors[0] == Colors[1] ? 0 : 2;
    default: return 0;
  }
}

void TFastDIB::FillColorRamp(int32_t first, int32_t last, uint32_t start_color, uint32_t end_color) {
  first = std::max(0, std::min(first, 255));
  last = std::max(0, std::min(last, 255));
  const int32_t span = static_cast<uint8_t>(last - first);
  const int32_t from[3] = {static_cast<int32_t>(start_color >> 16 & 0xFF), static_cast<int32_t>(start_color >> 8 & 0xFF),
                           static_cast<int32_t>(start_color & 0xFF)};
  const int32_t to[3] = {static_cast<int32_t>(end_color >> 16 & 0xFF), static_cast<int32_t>(end_color >> 8 & 0xFF),
                         static_cast<int32_t>(end_color & 0xFF)};
  if (span == 0) {
    Colors[static_cast<size_t>(first)] = MakeQuad(static_cast<uint8_t>(from[0]), static_cast<uint8_t>(from[1]),
                                                  static_cast<uint8_t>(from[2]));
    return;
  }
  int32_t value[3], step[3];
  for (int c = 0; c < 3; ++c) {
    step[c] = (to[c] - from[c]) * 65536 / span;
    value[c] = from[c] * 65536;
  }
  for (int32_t i = first; i <= last; ++i) {
    Colors[static_cast<size_t>(i)] = MakeQuad(static_cast<uint8_t>(value[0] >> 16), static_cast<uint8_t>(value[1] >> 16),
                                              static_cast<uint8_t>(value[2] >> 16));
    for (int c = 0; c < 3; ++c) value[c] += step[c];
  }
}

}  // namespace orba

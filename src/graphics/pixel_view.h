// A view of raw pixel memory: what the row kernels and the rectangle
// operations need to know about a picture, without owning it.
//
// Rows are `Pitch` bytes apart (negative for a bottom-up bitmap seen
// top-down); row 0 starts at `Bits`. BitCount is the effective depth: 15
// means a 16-bit word in 5-5-5, 16 means 5-6-5; depths of 8 bits and below
// are palette indices. Multi-byte pixels are little-endian; a 24-bit pixel is
// blue, green, red in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orba {

struct TPixelView {
  uint8_t* Bits = nullptr;
  std::ptrdiff_t Pitch = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 0;  // 1, 4, 8, 15, 16, 24 or 32
  uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;

  bool Empty() const { return Bits == nullptr || Width <= 0 || Height <= 0; }
  uint8_t* Row(int32_t y) const { return Bits + static_cast<std::ptrdiff_t>(y) * Pitch; }
  int32_t BytesPerPixel() const { return (BitCount + 7) / 8; }
};

// The Step-th of the rows Top to Bottom - 1 taken in the order they lie in
// memory, rows Pitch bytes apart: from the bottom row up for a bottom-up
// bitmap. Draws whose rows are independent walk them so, forwards through
// memory, as the processor fetches best.
inline int32_t RowInMemoryOrder(std::ptrdiff_t pitch, int32_t top, int32_t bottom, int32_t step) {
  return pitch < 0 ? bottom - 1 - step : top + step;
}

// Channel masks of the direct-colour depths (red in the high bits); 0 for the
// palette depths except that those carry the 8-8-8 masks of their bitmap.
struct TChannelMasks {
  uint32_t Red, Green, Blue;
};
inline TChannelMasks MasksForBitCount(int32_t bit_count) {
  if (bit_count == 15) return {0x7C00, 0x03E0, 0x001F};
  if (bit_count == 16) return {0xF800, 0x07E0, 0x001F};
  return {0xFF0000, 0x00FF00, 0x0000FF};
}

// A view over a caller's buffer with the standard masks of the depth.
inline TPixelView MakePixelView(uint8_t* bits, std::ptrdiff_t pitch, int32_t width,
                                int32_t height, int32_t bit_count) {
  TChannelMasks m = MasksForBitCount(bit_count);
  return TPixelView{bits, pitch, width, height, bit_count, m.Red, m.Green, m.Blue};
}

// Bytes of one row padded to 4 bytes, as bitmaps store them.
inline std::ptrdiff_t PaddedRowSize(int32_t width, int32_t bit_count) {
  int32_t stored = bit_count == 15 ? 16 : bit_count;
  return ((static_cast<std::ptrdiff_t>(width) * stored + 31) / 32) * 4;
}

// Little-endian loads and stores of 1 to 4 bytes (no alignment needed).
inline uint32_t LoadPixelBytes(const uint8_t* p, int bytes) {
  switch (bytes) {
    case 1: return p[0];
    case 2: return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
    case 3:
      return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
             static_cast<uint32_t>(p[2]) << 16;
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}
inline void StorePixelBytes(uint8_t* p, int bytes, uint32_t v) {
  switch (bytes) {
    case 1: p[0] = static_cast<uint8_t>(v); break;
    case 2:
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
      break;
    case 3:
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
      p[2] = static_cast<uint8_t>(v >> 16);
      break;
    default: std::memcpy(p, &v, 4); break;
  }
}

// Raw pixel value at (x, y) of any depth; 0 outside the view.
inline uint32_t ViewGetPixel(const TPixelView& v, int32_t x, int32_t y) {
  if (v.Bits == nullptr || x < 0 || y < 0 || x >= v.Width || y >= v.Height) return 0;
  const uint8_t* row = v.Row(y);
  switch (v.BitCount) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    default: {
      int bpp = v.BytesPerPixel();
      return LoadPixelBytes(row + static_cast<std::ptrdiff_t>(x) * bpp, bpp);
    }
  }
}

// Writes the pixel's own bits at (x, y); nothing outside the view.
inline void ViewSetPixel(const TPixelView& v, int32_t x, int32_t y, uint32_t value) {
  if (v.Bits == nullptr || x < 0 || y < 0 || x >= v.Width || y >= v.Height) return;
  uint8_t* row = v.Row(y);
  switch (v.BitCount) {
    case 1: {
      uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
      row[x >> 3] = (value & 1u) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case 4: {
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (value & 0x0F))
                  : static_cast<uint8_t>((b & 0x0F) | ((value & 0x0F) << 4));
      break;
    }
    default: {
      int bpp = v.BytesPerPixel();
      StorePixelBytes(row + static_cast<std::ptrdiff_t>(x) * bpp, bpp, value);
      break;
    }
  }
}

}  // namespace orba

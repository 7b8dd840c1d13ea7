// How red, green and blue are packed into 16- and 32-bit pixels, and the
// colour-table entry type.
#pragma once

#include <array>
#include <cstdint>

namespace orba {

// Twelve int32 fields, in the order the stored records use.
struct TDIBChannelLayout {
  int32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
  int32_t RedBits = 0, GreenBits = 0, BlueBits = 0;
  int32_t RedPackShift = 0, GreenPackShift = 0, BluePackShift = 0;
  int32_t RedFillShift = 0, GreenFillShift = 0, BlueFillShift = 0;
  bool operator==(const TDIBChannelLayout&) const = default;
  bool SameMasks(const TDIBChannelLayout& o) const {
    return RedMask == o.RedMask && GreenMask == o.GreenMask && BlueMask == o.BlueMask;
  }
};

// Red above green above blue, blue at bit 0. Counts are clamped to 0..16
// so that the masks of a hostile header stay representable; such layouts
// are refused later by the image's format check.
TDIBChannelLayout BuildChannelLayout(int32_t red_bits, int32_t green_bits, int32_t blue_bits);
// Takes from each mask the length of the run of set bits starting at its
// lowest set bit; the positions are not used.
TDIBChannelLayout BuildChannelLayoutFromMasks(uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask);

const TDIBChannelLayout& Layout555();
const TDIBChannelLayout& Layout565();
const TDIBChannelLayout& Layout888();

// Shifts left for a positive count, right for a negative one.
inline uint32_t ShiftBy(uint32_t v, int32_t s) {
  if (s >= 32 || s <= -32) return 0;
  return s >= 0 ? v << s : v >> -s;
}

// Packs 8-bit channels into a pixel of the layout: each channel keeps its
// high bits. This is the one narrowing rule of the graphics layer.
inline uint32_t PackPixel(const TDIBChannelLayout& f, uint32_t r, uint32_t g, uint32_t b) {
  return (ShiftBy(r & 0xFF, f.RedPackShift) & static_cast<uint32_t>(f.RedMask)) |
         (ShiftBy(g & 0xFF, f.GreenPackShift) & static_cast<uint32_t>(f.GreenMask)) |
         (ShiftBy(b & 0xFF, -f.BluePackShift) & static_cast<uint32_t>(f.BlueMask));
}
// Unpacks a pixel into 8-bit channels, filling the low bits from the high.
void UnpackPixel(const TDIBChannelLayout& f, uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b);

// Palette index x of a row of 1, 4 or 8 bits: the most significant bit or
// nibble of a byte comes first.
inline uint32_t RowIndexAt(const uint8_t* row, int32_t bits, int32_t x) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? row[x >> 1] & 0x0Fu : static_cast<uint32_t>(row[x >> 1] >> 4);
    default: return row[x];
  }
}
inline void StoreRowIndex(uint8_t* row, int32_t bits, int32_t x, uint32_t v) {
  switch (bits) {
    case 1: {
      const auto bit = static_cast<uint8_t>(0x80u >> (x & 7));
      row[x >> 3] = static_cast<uint8_t>((v & 1) ? row[x >> 3] | bit : row[x >> 3] & ~bit);
      break;
    }
    case 4:
      row[x >> 1] = static_cast<uint8_t>((x & 1) ? (row[x >> 1] & 0xF0) | (v & 0x0F)
                                                 : (row[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
      break;
    default: row[x] = static_cast<uint8_t>(v);
  }
}

// A colour-table entry: blue, green, red, reserved.
struct TRGBQuad {
  uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
  bool operator==(const TRGBQuad&) const = default;
};
static_assert(sizeof(TRGBQuad) == 4);

using TColorTable = std::array<TRGBQuad, 256>;

inline TRGBQuad MakeQuad(uint8_t r, uint8_t g, uint8_t b) { return TRGBQuad{b, g, r, 0}; }
// Entry i is (i, i, i, 0).
TColorTable GreyRamp();
// An even grey ramp over 2^bits entries (0 and 255 at 1 bit, steps of 85 at 2,
// 17 at 4, 1 at 8); the entries past 2^bits are zero.
TColorTable GreyTableForDepth(int32_t bits);

}  // namespace orba

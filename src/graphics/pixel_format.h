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

// Packs 8-bit channels into a pixel of the layout.
uint32_t PackPixel(const TDIBChannelLayout& f, uint32_t r, uint32_t g, uint32_t b);
// Unpacks a pixel into 8-bit channels, filling the low bits from the high.
void UnpackPixel(const TDIBChannelLayout& f, uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b);

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

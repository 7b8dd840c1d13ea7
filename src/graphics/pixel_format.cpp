#include "graphics/pixel_format.h"

#include <algorithm>

namespace orba {

TDIBChannelLayout BuildChannelLayout(int32_t red_bits, int32_t green_bits, int32_t blue_bits) {
  const int32_t r = std::clamp(red_bits, 0, 16), g = std::clamp(green_bits, 0, 16),
                b = std::clamp(blue_bits, 0, 16);
  TDIBChannelLayout f;
  f.RedMask = static_cast<int32_t>(((uint64_t{1} << r) - 1) << (g + b));
  f.GreenMask = static_cast<int32_t>(((uint64_t{1} << g) - 1) << b);
  f.BlueMask = static_cast<int32_t>((uint64_t{1} << b) - 1);
  f.RedBits = r;
  f.GreenBits = g;
  f.BlueBits = b;
  f.RedPackShift = b + g - (8 - r);
  f.GreenPackShift = b - (8 - g);
  f.BluePackShift = 8 - b;
  f.RedFillShift = 8 - r;
  f.GreenFillShift = 8 - g;
  f.BlueFillShift = 8 - b;
  return f;
}

namespace {
int32_t RunLength(uint32_t mask) {
  if (mask == 0) return 0;
  while ((mask & 1) == 0) mask >>= 1;
  int32_t n = 0;
  while (mask & 1) {
    mask >>= 1;
    ++n;
  }
  return n;
}
}  // namespace

TDIBChannelLayout BuildChannelLayoutFromMasks(uint32_t red_mask, uint32_t green_mask, uint32_t blue_mask) {
  return BuildChannelLayout(RunLength(red_mask), RunLength(green_mask), RunLength(blue_mask));
}

const TDIBChannelLayout& Layout555() {
  static const TDIBChannelLayout f = BuildChannelLayout(5, 5, 5);
  return f;
}
const TDIBChannelLayout& Layout565() {
  static const TDIBChannelLayout f = BuildChannelLayout(5, 6, 5);
  return f;
}
const TDIBChannelLayout& Layout888() {
  static const TDIBChannelLayout f = BuildChannelLayout(8, 8, 8);
  return f;
}

void UnpackPixel(const TDIBChannelLayout& f, uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b) {
  uint8_t red = static_cast<uint8_t>(ShiftBy(pixel & static_cast<uint32_t>(f.RedMask), -f.RedPackShift));
  uint8_t green = static_cast<uint8_t>(ShiftBy(pixel & static_cast<uint32_t>(f.GreenMask), -f.GreenPackShift));
  uint8_t blue =
      static_cast<uint8_t>(ShiftBy((pixel & 0xFF) & (static_cast<uint32_t>(f.BlueMask) & 0xFF), f.BluePackShift));
  // The free low bits repeat the field's top bits (5-bit 16 gives 132,
  // 6-bit 32 gives 130), the widening every drawing surface uses, so that
  // packing the result again gives back the same field.
  r = static_cast<uint8_t>(red | ShiftBy(red, -f.RedBits));
  g = static_cast<uint8_t>(green | ShiftBy(green, -f.GreenBits));
  b = static_cast<uint8_t>(blue | ShiftBy(blue, -f.BlueBits));
}

TColorTable GreyRamp() {
  TColorTable t;
  for (int i = 0; i < 256; ++i) t[i] = MakeQuad(static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i));
  return t;
}

TColorTable GreyTableForDepth(int32_t bits) {
  TColorTable t{};
  if (bits < 1) return t;
  if (bits > 8) bits = 8;
  const int count = 1 << bits;
  for (int i = 0; i < count; ++i) {
    const auto g = static_cast<uint8_t>(i * 255 / (count - 1));
    t[i] = MakeQuad(g, g, g);
  }
  return t;
}

}  // namespace orba

// A Brix picture read with its conversions and its layers kept: every
// layer goes where its frame goes (to 24 bits from a palette, to the depth
// the reader is asked for, an alpha plane from the frame's key), its
// colours kept; read without its layers, the frame alone is converted.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/brix.h"

namespace orba {
namespace {

constexpr int32_t kW = 4, kH = 2;

// Colours that 5-6-5 pixels hold exactly (red and blue steps of 8, green of
// 4), so that the dithered 16-bit conversion leaves them as they are.
void ColourOf(int32_t i, uint8_t& r, uint8_t& g, uint8_t& b) {
  r = static_cast<uint8_t>(i * 8 % 256);
  g = static_cast<uint8_t>(252 - i * 4 % 256);
  b = static_cast<uint8_t>(i * 24 % 256);
}

// The colour number of a layer's pixel: layer 0 has 0..7, layer 1 20..27.
int32_t Number(int32_t layer, int32_t x, int32_t y) { return layer * 20 + y * kW + x; }

// One frame of two plain layers at Bits (8: colour i is palette entry i).
// Key: the frame's key, a pixel value of layer 1, or -1.
std::vector<uint8_t> Written(int32_t bits, bool keyed) {
  TBrixFrameList image;
  TBrixFrame* frame = image.AddFrame();
  for (int32_t l = 0; l < 2; ++l) {
    TDIBSurface& s = *frame->AddLayer()->Surface;
    uint8_t r, g, b;
    if (bits == 8) {
      for (int32_t i = 0; i < 256; ++i) ColourOf(i, r, g, b), s.ColorTable[static_cast<size_t>(i)] = MakeQuad(r, g, b);
    }
    s.SetSize(kW, kH, bits);
    s.CommitTable();
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        ColourOf(Number(l, x, y), r, g, b);
        s.SetPixel(x, y, bits == 8 ? static_cast<uint32_t>(Number(l, x, y)) : s.RGBToPixel(r, g, b));
      }
  }
  // The top layer covers the frame: (1, 0) shows colour 21.
  if (keyed) frame->TransparentPixel = static_cast<int32_t>(frame->GetLayer(1)->Surface->GetPixel(1, 0));
  TKsMemoryStream out;
  image.SaveToStream(out, 1, 70);
  return out.TakeBytes();
}

struct TCase {
  const char* what;
  int32_t bits, override_bits;
  bool keyed, keep;
  int32_t frame_bits, layer_bits;  // layer_bits 0: no layers kept
  bool alpha;                      // the layers have alpha planes
};

TEST(BrixConvert, KeptLayersAreConvertedAsTheirFrameIsAndKeepTheirColours) {
  const TCase cases[] = {
      {"palette to 24 bits", 8, 0, false, true, 24, 24, false},
      {"palette with a key to 24 bits", 8, 0, true, true, 24, 24, true},
      {"depth asked for, no key", 24, 16, false, true, 16, 16, false},
      {"depth asked for, key made alpha", 24, 16, true, true, 16, 16, true},
      {"palette, layers not kept", 8, 0, false, false, 24, 0, false},
      {"depth asked for, layers not kept", 24, 16, false, false, 16, 0, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> bytes = Written(c.bits, c.keyed);
    TBrixFrameList read;
    read.BitCountOverride = c.override_bits;
    TKsMemoryStream in(bytes);
    read.LoadFromStream(in, false, true, c.keep);
    TBrixFrame& frame = *read.GetFrame(0);
    EXPECT_EQ(frame.Surface.GetBitCount(), c.frame_bits);
    if (c.layer_bits == 0) {
      EXPECT_EQ(frame.LayerCount(), 0);
      continue;
    }
    ASSERT_EQ(frame.LayerCount(), 2);
    for (int32_t l = 0; l < 2; ++l) {
      TDIBSurface& s = *frame.GetLayer(l)->Surface;
      SCOPED_TRACE(l);
      ASSERT_EQ(s.GetBitCount(), c.layer_bits);
      ASSERT_EQ(s.Alpha() != nullptr, c.alpha);
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
          uint8_t r, g, b;
          ColourOf(Number(l, x, y), r, g, b);
          // 24 bits: blue, green, red bytes; 16 bits: 5-6-5.
          const uint32_t expected = c.layer_bits == 24 ? uint32_t{r} << 16 | uint32_t{g} << 8 | b
                                                       : uint32_t{r} >> 3 << 11 | uint32_t{g} >> 2 << 5 | b >> 3;
          EXPECT_EQ(s.GetPixel(x, y) & 0xFFFFFF, expected) << x << ", " << y;
          // The frame's key is colour 21: only layer 1 shows it, at (1, 0).
          if (c.alpha) {
            EXPECT_EQ(s.Alpha()->GetPixel(x, y), l == 1 && x == 1 && y == 0 ? 0u : 255u) << x << ", " << y;
          }
        }
    }
  }
}

}  // namespace
}  // namespace orba

#include "graphics/depth_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "graphics/picture_fixtures.h"
#include "graphics/resize.h"

namespace orba {
namespace {

using TRow = std::vector<uint32_t>;

// 0x00RRGGBB of a pixel of any depth.
uint32_t Rgb(TDIBSurface& s, int32_t x, int32_t y) {
  uint8_t r, g, b;
  s.PixelToRGB(s.GetPixel(x, y), r, g, b, false);
  return uint32_t{r} << 16 | uint32_t{g} << 8 | b;
}

void Palette(TDIBSurface& s, int32_t bits, int32_t w, int32_t h) {
  for (int i = 0; i < 256; ++i)
    s.ColorTable[static_cast<size_t>(i)] = MakeQuad(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                                    static_cast<uint8_t>(i * 7));
  s.SetSize(w, h, bits);
  s.CommitTable();
}

TEST(ConvertBitCount, EightBitsWith200ColoursKeepEveryColourAt8Bits) {
  TDIBSurface s;
  Palette(s, 8, 20, 10);
  for (int32_t i = 0; i < 200; ++i) s.SetPixel(i % 20, i / 20, static_cast<uint32_t>(i));
  TDIBSurface before;
  before.CopyPixels(s);
  ConvertBitCount(s, 8, 256, true);
  ASSERT_EQ(s.GetBitCount(), 8);
  for (int32_t i = 0; i < 200; ++i) EXPECT_EQ(Rgb(s, i % 20, i / 20), Rgb(before, i % 20, i / 20));
}

TEST(ConvertBitCount, FourBitsWidenedTo8KeepTheirIndicesAndBlackEntries) {
  TDIBSurface s;
  Palette(s, 4, 16, 1);
  for (int32_t x = 0; x < 16; ++x) s.SetPixel(x, 0, static_cast<uint32_t>(15 - x));
  const TColorTable old = s.ImageTable();
  ConvertBitCount(s, 8, 16, false);
  ASSERT_EQ(s.GetBitCount(), 8);
  for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(s.GetPixel(x, 0), static_cast<uint32_t>(15 - x));
  TColorTable expected{};
  std::copy(old.begin(), old.begin() + 16, expected.begin());
  EXPECT_EQ(s.ImageTable(), expected);
}

TEST(ConvertBitCount, TwentyFourTo32GivesOpaqueFourthBytes) {
  TDIBSurface s;
  s.SetSize(5, 3, 24);
  s.SetPixel(2, 1, 0x123456);
  ConvertBitCount(s, 32, 0, true);
  ASSERT_EQ(s.GetBitCount(), 32);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(s.GetPixel(x, y) >> 24, 0xFFu);
  EXPECT_EQ(s.GetPixel(2, 1) & 0xFFFFFF, 0x123456u);
}

TEST(ConvertBitCount, FewColoursGetAnExactPaletteAtEveryDepth) {
  // Three colours in 16-, 24- and 32-bit pictures become exact 4- and 8-bit palettes.
  for (int32_t bits : {16, 24, 32}) {
    for (int32_t target : {4, 8}) {
      TDIBSurface s;
      s.SetSize(9, 4, bits);
      const uint32_t colours[3] = {s.RGBToPixel(0xF8, 0, 0), s.RGBToPixel(0, 0xFC, 0x08), s.RGBToPixel(0x10, 0x20, 0xF8)};
      for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 9; ++x) s.SetPixel(x, y, colours[(x + y) % 3]);
      TDIBSurface before;
      before.CopyPixels(s);
      ConvertBitCount(s, target, 256, false);
      ASSERT_EQ(s.GetBitCount(), target);
      for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 9; ++x) {
          // 16-bit colours are listed with their low bits filled.
          uint8_t r, g, b;
          before.PixelToRGB(before.GetPixel(x, y), r, g, b, true);
          EXPECT_EQ(Rgb(s, x, y), uint32_t{r} << 16 | uint32_t{g} << 8 | b) << bits << " to " << target;
        }
    }
  }
}

TEST(ConvertBitCount, ManyColoursGoThroughTheReducer) {
  TDIBSurface s;
  s.SetSize(64, 64, 24);
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) s.SetPixel(x, y, static_cast<uint32_t>(x * 4 << 16 | y * 4 << 8 | (x ^ y) * 4));
  TDIBSurface before;
  before.CopyPixels(s);
  ConvertBitCount(s, 8, 256, false);
  ASSERT_EQ(s.GetBitCount(), 8);
  int64_t error = 0;
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      const uint32_t a = Rgb(s, x, y), b = Rgb(before, x, y);
      for (int k = 0; k < 24; k += 8) error += std::abs(static_cast<int>((a >> k) & 255) - static_cast<int>((b >> k) & 255));
    }
  EXPECT_LT(error / (64 * 64 * 3), 16);  // close colours, not exact
  // Back to 15 and 16 bits, and to 1 bit through 16 colours.
  ConvertBitCount(before, 15, 0, false);
  EXPECT_EQ(before.GetBitCount(), 15);
  EXPECT_EQ(Rgb(before, 63, 0) & 0xF80000, 0xF80000u);
  ConvertBitCount(before, 1, 2, true);
  EXPECT_EQ(before.GetBitCount(), 1);
}

TEST(DrawConvert, PaletteSourcesMapToTheNearestEntryAndSkipTheKey) {
  TDIBSurface dest, src;
  Palette(dest, 8, 4, 1);
  src.ColorTable[0] = MakeQuad(3, 252, 21);   // nearest to entry 3 of dest
  src.ColorTable[1] = MakeQuad(200, 55, 120);  // entry 200
  src.SetSize(3, 1, 4);
  src.CommitTable();
  test::SetRow(src, 0, {0, 1, 2});  // 2 is the key
  dest.SetPixel(2, 0, 9);
  DrawConvert(dest, 0, 0, 2, src);
  // A 24-bit source onto the palette, partly outside.
  TDIBSurface deep;
  deep.SetSize(2, 1, 24);
  test::SetRow(deep, 0, {0x0AF546, 0x1EE1D2});
  DrawConvert(dest, 3, 0, -1, deep);
  EXPECT_EQ(test::RowOf(dest, 0), (TRow{3, 200, 9, 10}));
}

// ---- resizing ------------------------------------------------------------------------------

TEST(Resize, ToTheCurrentSizeDoesNothingNotEvenToTheAlphaPlane) {
  TDIBSurface s;
  s.SetSize(4, 4, 32);
  s.EnsureAlpha();
  s.Alpha()->SetPixel(1, 1, 77);
  const uint8_t* before = s.Alpha()->PeekTopRow();
  Resize(s, 4, 4, true, -1, true);
  EXPECT_EQ(s.GetBitCount(), 32);
  EXPECT_EQ(s.Alpha()->PeekTopRow(), before);
  EXPECT_EQ(s.Alpha()->GetPixel(1, 1), 77u);
}

TEST(Resize, SmoothResizeOf32BitsStays24BitsAndOthersRestore) {
  TDIBSurface s;
  s.SetSize(4, 4, 32);
  ResizeKeepBitCount(s, 2, 2, -1, true);
  EXPECT_EQ(s.GetBitCount(), 24);
  for (int32_t bits : {4, 8, 15, 16}) {
    TDIBSurface p;
    Palette(p, bits <= 8 ? bits : 24, 4, 4);
    if (bits > 8) p.SetSize(4, 4, bits);
    ResizeKeepBitCount(p, 3, 5, -1, true);
    EXPECT_EQ(p.GetBitCount(), bits);
    Resize(p, 2, 2, false, -1, true);
    EXPECT_EQ(p.GetBitCount(), 24);
  }
}

TEST(Resize, HalvingAveragesEachBlockAndAKeyStaysOutOfTheAverage) {
  TDIBSurface s;
  s.SetSize(4, 2, 24);
  test::SetRow(s, 0, {0x000000, 0x0A141E, 0xFF0000, 0xFF0000});
  test::SetRow(s, 1, {0x646464, 0x010203, 0x00FF00, 0xFF00FF});
  TDIBSurface plain;
  plain.CopyPixels(s);
  Resize(plain, 2, 1, true, -1, true);
  // Red (0 + 10 + 100 + 1) / 4 = 27.75 -> 28; green 30.5 less the edge
  // pixels' missing millionth -> 30; blue 33.25 -> 33.
  EXPECT_EQ(test::RowOf(plain, 0), (TRow{0x1C1E21, 0xBF4040}));
  // With the key 0xFF00FF: the second block averages three pixels.
  Resize(s, 2, 1, true, 0xFF00FF, true);
  EXPECT_EQ(s.GetPixel(1, 0), 0xAA5500u);
}

TEST(Resize, AKeyColouredBorderDoesNotDarkenAndAnAllKeyAreaStaysKey) {
  TDIBSurface s;
  s.SetSize(6, 6, 24);
  const uint32_t key = 0x000000;
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x) s.SetPixel(x, y, x == 0 || y == 0 ? key : 0xC8C8C8);
  s.FillRect(TRect{4, 4, 6, 6}, key);
  Resize(s, 3, 3, true, key, true);
  // (0, 0): three of four pixels are the key; (2, 2): nothing but the key,
  // and no division by zero.
  EXPECT_EQ((TRow{s.GetPixel(0, 0), s.GetPixel(1, 1), s.GetPixel(2, 2)}), (TRow{0xC8C8C8, 0xC8C8C8, key}));
}

TEST(Resize, EnlargingIsBilinearWithEdgesClamped) {
  TDIBSurface s;
  s.SetSize(2, 1, 24);
  test::SetRow(s, 0, {0x000000, 0xC8C8C8});
  Resize(s, 4, 1, true, -1, true);
  EXPECT_EQ(test::RowOf(s, 0), (TRow{0x000000, 0x323232, 0x969696, 0xC8C8C8}));
  // A key neighbour takes the value of the first other neighbour; the first
  // result pixel sees only the key.
  TDIBSurface k;
  k.SetSize(2, 1, 24);
  test::SetRow(k, 0, {0xFF00FF, 0x102030});
  Resize(k, 4, 1, true, 0xFF00FF, true);
  EXPECT_EQ(test::RowOf(k, 0), (TRow{0xFF00FF, 0x102030, 0x102030, 0x102030}));
}

TEST(Resize, NotSmoothPicksTheNearestPixelAndResizesTheAlphaPlane) {
  TDIBSurface s;
  Palette(s, 8, 2, 1);
  test::SetRow(s, 0, {5, 250});
  s.EnsureAlpha();
  test::SetRow(*s.Alpha(), 0, {0, 255});
  Resize(s, 4, 2, true, -1, false);
  EXPECT_EQ(s.GetBitCount(), 8);
  EXPECT_EQ(test::RowOf(s, 1), (TRow{5, 5, 250, 250}));
  EXPECT_EQ(test::RowOf(*s.Alpha(), 1), (TRow{0, 0, 255, 255}));
}

}  // namespace
}  // namespace orba

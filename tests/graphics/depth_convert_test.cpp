// Depth changes of pictures: the fast bitmap's geometry, exact palettes,
// the median-cut quantiser and error diffusion of the colour reducer; depth
// conversion of alpha bitmaps, converted draws, and smooth and nearest
// resizing with a key colour.
#include "graphics/depth_convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>

#include "core/errors.h"
#include "graphics/color_reduction.h"
#include "graphics/picture_fixtures.h"
#include "graphics/resize.h"
#include "support/test_support.h"

namespace orba {
namespace {

using TRow = std::vector<uint32_t>;

// ---- the colour reducer --------------------------------------------------------------

void Put24(TFastDIB& d, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
  uint8_t* p = d.Row(y) + 3 * x;
  p[0] = b, p[1] = g, p[2] = r;
}

TRGBQuad Entry(const TFastDIB& d, int32_t y, int32_t x) { return d.Colors[d.IndexAt(y, x)]; }

TFastDIB Fast(int32_t w, int32_t h, int32_t bits, int32_t layout = 0) {
  TFastDIB d;
  d.SetSize(w, h, bits, layout);
  return d;
}

TFastDIB ColourfulPicture(int32_t colors, int32_t w = 40, int32_t h = 10) {
  TFastDIB d = Fast(w, h, 24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t i = (y * w + x) % colors;
      Put24(d, x, y, static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 11 + 5), static_cast<uint8_t>(255 - i));
    }
  return d;
}

// `src` converted to a new picture of the same size.
TFastDIB Converted(const TFastDIB& src, int32_t bits, bool grey, bool dither, int32_t count, int32_t layout = 0) {
  TFastDIB t = Fast(src.Width, src.RowCount, bits, layout);
  ConvertFastDIBDepth(t, src, grey, dither, count);
  return t;
}

TEST(FastDib, GeometryAndMasks) {
  // The half-used last byte of a 4-bit row holds the fifth pixel.
  const TFastDIB a = Fast(3, 2, 24), b = Fast(5, -2, 4);
  EXPECT_EQ((std::array{a.RowSize, a.PadBytes, b.RowSize, b.RowCount, b.PadBytes}), (std::array{12, 3, 4, 2, 1}));
  for (auto [bits, layout, masks] : {std::tuple{16, 565, std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F}},
                                     {16, 555, {0x7C00, 0x03E0, 0x001F}}, {32, 0, {0xFF0000, 0xFF00, 0xFF}}}) {
    const TFastDIB c = Fast(1, 1, bits, layout);
    EXPECT_EQ((std::array{c.RedMask, c.GreenMask, c.BlueMask}), masks) << layout;
  }
  const TFastDIB c = Fast(1, 1, 16, 565);
  EXPECT_EQ((std::array<int, 5>{c.BlueDrop, c.GreenDrop, c.GreenPos, c.RedDrop, c.RedPos}), (std::array<int, 5>{3, 2, 5, 3, 11}));
  EXPECT_EQ(Fast(1, 1, 16, 555).RedPos, 10);
  EXPECT_THROW(Fast(1 << 20, 1 << 20, 8), EOrbaError);
  EXPECT_EQ(Fast(1, 1, 16, 999).LayoutCode, 565);  // no such layout: the usual one
  TFastDIB ramp;
  ramp.FillColorRamp(0, 15, 0x000000, 0xFFFFFF);
  EXPECT_EQ(ramp.Colors[1], MakeQuad(17, 17, 17));
}

struct ExactCase {
  int32_t colors, target_bits, count;
};

class ExactPath : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ExactPath, KeepsEveryColour) {
  const auto c = GetParam();
  const TFastDIB src = ColourfulPicture(c.colors, 64, 8);
  EXPECT_EQ(src.DistinctColors(), c.colors);
  const TFastDIB t = Converted(src, c.target_bits, false, false, c.count);
  for (int32_t y = 0; y < src.RowCount; ++y)
    for (int32_t x = 0; x < src.Width; ++x) {
      const uint8_t* p = src.Row(y) + 3 * x;
      ASSERT_EQ(Entry(t, y, x), (TRGBQuad{p[0], p[1], p[2], 0})) << x << "," << y;
    }
  for (int32_t i = 0; i < std::min(c.colors, 16); ++i)  // entries in order of first appearance
    EXPECT_EQ(t.Colors[static_cast<size_t>(i)].Red, static_cast<uint8_t>(i * 37));
}

INSTANTIATE_TEST_SUITE_P(All, ExactPath,
                         ::testing::Values(ExactCase{200, 8, 255}, ExactCase{256, 8, 255}, ExactCase{1, 8, 0}, ExactCase{16, 4, 15},
                                           ExactCase{2, 1, 255}, ExactCase{5, 8, 4}),
    [](const auto& info) { return "Colors" + std::to_string(info.param.colors) + "To" + std::to_string(info.param.target_bits) + "Bits" + std::to_string(info.index); });

TEST(ColorReduction, MedianCutBoxesAndTheirDitheredEntries) {
  const TFastDIB src = ColourfulPicture(200);
  const TFastDIB t = Converted(src, 8, false, false, 15), dithered = Converted(src, 8, false, true, 7);
  std::set<uint32_t> used;
  for (int32_t y = 0; y < src.RowCount; ++y)
    for (int32_t x = 0; x < src.Width; ++x) {
      used.insert(t.IndexAt(y, x));
      EXPECT_LE(dithered.IndexAt(y, x), 7u);  // the dithered quantiser uses only its entries
    }
  EXPECT_LE(used.size(), 16u);
  EXPECT_LE(*used.rbegin(), 15u);
  for (uint32_t i : used)  // box centres scaled to 8 bits: red and blue multiples of 4, green of 2
    EXPECT_EQ((std::pair{t.Colors[i].Red % 4, t.Colors[i].Green % 2}), (std::pair{0, 0}));
  // A 4-bit target from an 8-bit source always goes through the quantiser.
  TFastDIB white = Fast(9, 9, 24), eight = Fast(9, 9, 8);
  for (int32_t y = 0; y < 9; ++y) std::fill(white.Row(y), white.Row(y) + 27, 255);
  MakeExact8(eight, white);
  const TFastDIB four = Converted(eight, 4, false, false, 15);
  EXPECT_EQ(std::pair(four.Colors[0], four.IndexAt(8, 8)), std::pair(MakeQuad(248, 252, 248), 0u));
}

TEST(ColorReduction, TwoColourConversionsAndOddWidths) {
  TFastDIB two = Fast(3, 1, 24), pal = Fast(5, 1, 8), four = Fast(3, 1, 4);
  for (int32_t x = 0; x < 3; ++x) Put24(two, x, 0, 30, x == 1 ? 10 : 20, 10);
  const TFastDIB t = Converted(two, 1, false, false, 255);
  EXPECT_EQ((std::array{t.Colors[0], t.Colors[1]}), (std::array{MakeQuad(30, 20, 10), MakeQuad(30, 10, 10)}));
  EXPECT_EQ((TRow{t.IndexAt(0, 0), t.IndexAt(0, 1), t.IndexAt(0, 2)}), (TRow{0, 1, 0}));
  // A palette picture using indexes 5 and 7 keeps both colours.
  pal.Colors[5] = MakeQuad(1, 2, 3);
  pal.Colors[7] = MakeQuad(4, 5, 6);
  for (int32_t x = 0; x < 5; ++x) pal.Row(0)[x] = x % 2 ? 7 : 5;
  const TFastDIB t1 = Converted(pal, 1, false, false, 255);
  for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(Entry(t1, 0, x), pal.Colors[pal.IndexAt(0, x)]);
  // Three colours are quantised with two splits and then drawn in two.
  const TFastDIB t3 = Converted(ColourfulPicture(3, 6, 1), 1, false, false, 255);
  EXPECT_NE(t3.Colors[0], t3.Colors[1]);
  // Odd-width rows keep their last pixel.
  const TFastDIB src = ColourfulPicture(3, 5, 2);
  const uint8_t* last = src.Row(1) + 12;
  EXPECT_EQ(Entry(Converted(src, 4, false, false, 15), 1, 4), (TRGBQuad{last[0], last[1], last[2], 0}));
  four.Row(0)[0] = 0x01;
  four.Row(0)[1] = 0x20;  // the third pixel is index 2
  EXPECT_EQ(four.DistinctColors(), 3);
}

TEST(ColorReduction, GreyLevels) {
  TFastDIB src = Fast(3, 1, 24);
  for (int32_t x = 0; x < 3; ++x) {
    const uint8_t v = x == 0 ? 254 : x == 1 ? 255 : 238;
    Put24(src, x, 0, v, v, v);
  }
  const TFastDIB one = Converted(src, 1, true, false, 255), eight = Converted(src, 8, true, false, 15);
  EXPECT_EQ((TRow{one.IndexAt(0, 0), one.IndexAt(0, 1), eight.IndexAt(0, 1), eight.IndexAt(0, 2)}), (TRow{0, 1, 15, 14}));
  EXPECT_EQ(eight.Colors[15], MakeQuad(255, 255, 255));
}

TEST(ColorReduction, DitheredFlatAreasKeepTheirMean) {
  for (uint8_t v : {100, 133, 7, 247}) {
    TFastDIB src = Fast(64, 64, 24);
    for (int32_t y = 0; y < 64; ++y) std::fill(src.Row(y), src.Row(y) + 3 * 64, v);
    for (int32_t layout : {555, 565}) {
      const TFastDIB t = Converted(src, 16, false, true, 255, layout);
      double sum[3] = {};
      for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x) {
          const uint32_t p = t.Row(y)[2 * x] | (t.Row(y)[2 * x + 1] << 8);
          sum[0] += ((p >> t.RedPos) << t.RedDrop) & 0xFF;
          sum[1] += ((p >> t.GreenPos) << t.GreenDrop) & 0xFF;
          sum[2] += (p << t.BlueDrop) & 0xFF;
        }
      // The error spread is that of the whole value taken: the sixteenths
      // the buffers carry below it are dropped, within one level.
      for (double s : sum) EXPECT_NEAR(s / 4096.0, v, 1.0) << int(v) << " " << layout;
    }
  }
}

TEST(ColorReduction, WideningAndPlainSixteen) {
  TFastDIB src = Fast(2, 1, 16, 565);
  src.Row(0)[0] = 0xFF, src.Row(0)[1] = 0xFF;
  const TFastDIB wide = Converted(src, 24, false, false, 255);
  EXPECT_EQ((std::array<int, 3>{wide.Row(0)[0], wide.Row(0)[1], wide.Row(0)[2]}), (std::array<int, 3>{248, 252, 248}));
  const TFastDIB back = Converted(wide, 16, false, false, 255, 555), w32 = Converted(wide, 32, false, false, 255);
  EXPECT_EQ((std::pair<int, int>{back.Row(0)[0] | (back.Row(0)[1] << 8), w32.Row(0)[2]}), (std::pair{0x7FFF, 248}));
}

// ---- alpha bitmaps -------------------------------------------------------------------

// 0x00RRGGBB of a pixel of any depth.
uint32_t Rgb(TDIBSurface& s, int32_t x, int32_t y) {
  uint8_t r, g, b;
  s.PixelToRGB(s.GetPixel(x, y), r, g, b, false);
  return uint32_t{r} << 16 | uint32_t{g} << 8 | b;
}

void Palette(TDIBSurface& s, int32_t bits, int32_t w, int32_t h) {
  for (int i = 0; i < 256; ++i) s.ColorTable[static_cast<size_t>(i)] = MakeQuad(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7));
  s.SetSize(w, h, bits);
  s.CommitTable();
}

TEST(ConvertBitCount, PalettesKeepTheirColoursAndIndexes) {
  // Eight bits with 200 colours keep every colour at 8 bits.
  TDIBSurface s, before, four;
  Palette(s, 8, 20, 10);
  for (int32_t i = 0; i < 200; ++i) s.SetPixel(i % 20, i / 20, static_cast<uint32_t>(i));
  before.CopyPixels(s);
  ConvertBitCount(s, 8, 256, true);
  ASSERT_EQ(s.GetBitCount(), 8);
  for (int32_t i = 0; i < 200; ++i) EXPECT_EQ(Rgb(s, i % 20, i / 20), Rgb(before, i % 20, i / 20));
  // Four bits widened to 8 keep their indexes, and the other entries are black.
  Palette(four, 4, 16, 1);
  for (int32_t x = 0; x < 16; ++x) four.SetPixel(x, 0, static_cast<uint32_t>(15 - x));
  TColorTable expected{};
  std::copy(four.ImageTable().begin(), four.ImageTable().begin() + 16, expected.begin());
  ConvertBitCount(four, 8, 16, false);
  ASSERT_EQ(four.GetBitCount(), 8);
  for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(four.GetPixel(x, 0), static_cast<uint32_t>(15 - x));
  EXPECT_EQ(four.ImageTable(), expected);
}

TEST(ConvertBitCount, TwentyFourTo32GivesOpaqueFourthBytes) {
  TDIBSurface s;
  s.SetSize(5, 3, 24);
  s.SetPixel(2, 1, 0x123456);
  ConvertBitCount(s, 32, 0, true);
  ASSERT_EQ(s.GetBitCount(), 32);
  for (uint32_t p : test::PixelsOf(s)) EXPECT_EQ(p >> 24, 0xFFu);
  EXPECT_EQ(s.GetPixel(2, 1) & 0xFFFFFF, 0x123456u);
}

TEST(ConvertBitCount, FewColoursGetAnExactPaletteAtEveryDepth) {
  // Three colours in 16-, 24- and 32-bit pictures become exact 4- and 8-bit palettes.
  for (int32_t bits : {16, 24, 32}) {
    for (int32_t target : {4, 8}) {
      TDIBSurface s, before;
      s.SetSize(9, 4, bits);
      const uint32_t colours[3] = {s.RGBToPixel(0xF8, 0, 0), s.RGBToPixel(0, 0xFC, 0x08), s.RGBToPixel(0x10, 0x20, 0xF8)};
      for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 9; ++x) s.SetPixel(x, y, colours[(x + y) % 3]);
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
  TDIBSurface s, before;
  s.SetSize(64, 64, 24);
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) s.SetPixel(x, y, static_cast<uint32_t>(x * 4 << 16 | y * 4 << 8 | (x ^ y) * 4));
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
  EXPECT_EQ(std::pair(before.GetBitCount(), Rgb(before, 63, 0) & 0xF80000), std::pair(15, 0xF80000u));
  ConvertBitCount(before, 1, 2, true);
  EXPECT_EQ(before.GetBitCount(), 1);
}

// Going to 1 bit from 8 bits or more first makes a picture of 16 colours,
// here without dithering. A 6 x 3 picture (a palette's indices at 8 bits)
// of reds 0..15 (cells red 0 and 1 of the quantiser's 5-6-5 grid), then
// white and blue (0, 0, 255): 18 colours, too many for 16, so the median
// cut (Colors 15) splits green, then blue, and stops, a box of extent 1
// being no longer split: entries (4, 0, 0) for cells red 0..1,
// (248, 252, 248) and (0, 0, 248). These 3 colours cut again for 1 bit
// (Colors 2) see red only in cell 0, so entry 0 is (0, 0, 0); the
// two-colour conversion keeps entries 0 and 1 and gives index 0 bit 0, any
// other bit 1. Cut straight from the 18 colours, entry 0 would be the
// (4, 0, 0) of cells red 0..1.
TEST(ConvertBitCount, OneBitFromEightOrMoreBitsGoesThroughSixteenColours) {
  for (const int32_t bits : {8, 24, 32}) {
    SCOPED_TRACE(bits);
    std::array<TRGBQuad, 18> colours{};
    for (uint8_t k = 0; k < 16; ++k) colours[k] = MakeQuad(k, 0, 0);
    colours[16] = MakeQuad(255, 255, 255), colours[17] = MakeQuad(0, 0, 255);
    TDIBSurface s;
    std::copy(colours.begin(), colours.end(), s.ColorTable.begin());
    s.SetSize(6, 3, bits);
    s.CommitTable();
    for (uint32_t k = 0; k < 18; ++k)
      s.SetPixel(k % 6, k / 6, bits == 8 ? k : s.RGBToPixel(colours[k].Red, colours[k].Green, colours[k].Blue));
    ConvertBitCount(s, 1, 0, false);
    ASSERT_EQ(s.GetBitCount(), 1);
    EXPECT_EQ((std::array{s.ImageTable()[0], s.ImageTable()[1]}),
              (std::array{MakeQuad(0, 0, 0), MakeQuad(248, 252, 248)}));
    TRow pixels;
    for (int32_t k = 0; k < 18; ++k) pixels.push_back(s.GetPixel(k % 6, k / 6));
    EXPECT_EQ(pixels, (TRow{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
  }
}

TEST(DrawConvert, PaletteSourcesMapToTheNearestEntryAndSkipTheKey) {
  TDIBSurface dest, src, deep;
  Palette(dest, 8, 4, 1);
  src.ColorTable[0] = MakeQuad(3, 252, 21);    // nearest to entry 3 of dest
  src.ColorTable[1] = MakeQuad(200, 55, 120);  // entry 200
  src.SetSize(3, 1, 4);
  src.CommitTable();
  test::SetRow(src, 0, {0, 1, 2});  // 2 is the key
  dest.SetPixel(2, 0, 9);
  DrawConvert(dest, 0, 0, 2, src);
  // A 24-bit source onto the palette, partly outside.
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
  const void* before = s.Alpha()->PeekTopRow();
  Resize(s, 4, 4, true, -1, true);
  EXPECT_EQ(std::tuple(s.GetBitCount(), static_cast<const void*>(s.Alpha()->PeekTopRow()), s.Alpha()->GetPixel(1, 1)),
            std::tuple(32, before, 77u));
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

TEST(Resize, SmoothResizesAverageAndInterpolateLeavingTheKeyOut) {
  struct TCase {
    const char* what;
    int32_t w, h;
    TRow pixels;
    int64_t key;
    int32_t new_w, new_h;
    TRow expected;
  };
  const TCase cases[] = {
      // Red (0 + 10 + 100 + 1) / 4 = 27.75 -> 28; green 30.5 less the edge
      // pixels' missing millionth -> 30; blue 33.25 -> 33.
      {"halving averages each block", 4, 2, {0x000000, 0x0A141E, 0xFF0000, 0xFF0000, 0x646464, 0x010203, 0x00FF00, 0xFF00FF}, -1, 2, 1,
       {0x1C1E21, 0xBF4040}},
      // With the key 0xFF00FF: the second block averages three pixels.
      {"the key stays out of the average", 4, 2, {0x000000, 0x0A141E, 0xFF0000, 0xFF0000, 0x646464, 0x010203, 0x00FF00, 0xFF00FF}, 0xFF00FF,
       2, 1, {0x1C1E21, 0xAA5500}},
      {"enlarging is bilinear with the edges clamped", 2, 1, {0x000000, 0xC8C8C8}, -1, 4, 1, {0x000000, 0x323232, 0x969696, 0xC8C8C8}},
      // A key neighbour takes the value of the first other neighbour; the
      // first result pixel sees only the key.
      {"key neighbours when enlarging", 2, 1, {0xFF00FF, 0x102030}, 0xFF00FF, 4, 1, {0xFF00FF, 0x102030, 0x102030, 0x102030}},
  };
  for (const TCase& c : cases) {
    TDIBSurface s;
    s.SetSize(c.w, c.h, 24);
    for (size_t i = 0; i < c.pixels.size(); ++i) s.SetPixel(int32_t(i) % c.w, int32_t(i) / c.w, c.pixels[i]);
    Resize(s, c.new_w, c.new_h, true, c.key, true);
    EXPECT_EQ(test::PixelsOf(s), c.expected) << c.what;
  }
  // A key-coloured border does not darken, and an area of nothing but the
  // key stays key (no division by zero).
  TDIBSurface s;
  s.SetSize(6, 6, 24);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x) s.SetPixel(x, y, x == 0 || y == 0 ? 0 : 0xC8C8C8);
  s.FillRect(TRect{4, 4, 6, 6}, 0);
  Resize(s, 3, 3, true, 0, true);
  EXPECT_EQ((TRow{s.GetPixel(0, 0), s.GetPixel(1, 1), s.GetPixel(2, 2)}), (TRow{0xC8C8C8, 0xC8C8C8, 0}));
}

TEST(Resize, NotSmoothPicksTheNearestPixelAndResizesTheAlphaPlane) {
  TDIBSurface s;
  Palette(s, 8, 2, 1);
  test::SetRow(s, 0, {5, 250});
  s.EnsureAlpha();
  test::SetRow(*s.Alpha(), 0, {0, 255});
  Resize(s, 4, 2, true, -1, false);
  EXPECT_EQ(std::tuple(s.GetBitCount(), test::RowOf(s, 1), test::RowOf(*s.Alpha(), 1)),
            std::tuple(8, TRow{5, 5, 250, 250}, TRow{0, 0, 255, 255}));
}

}  // namespace
}  // namespace orba

#include "graphics/color_reduction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

#include "core/errors.h"

namespace orba {
namespace {

void Put24(TFastDIB& d, int32_t x, int32_t y, uint8_t r, uint8_t g, uint8_t b) {
  uint8_t* p = d.Row(y) + 3 * x;
  p[0] = b, p[1] = g, p[2] = r;
}

TRGBQuad Entry(const TFastDIB& d, int32_t y, int32_t x) { return d.Colors[d.IndexAt(y, x)]; }

TEST(FastDib, GeometryAndMasks) {
  TFastDIB a;
  a.SetSize(3, 2, 24, 0);
  EXPECT_EQ((std::array{a.RowSize, a.PadBytes}), (std::array{12, 3}));
  TFastDIB b;
  b.SetSize(5, -2, 4, 0);
  // The half-used last byte holds the fifth pixel.
  EXPECT_EQ((std::array{b.RowSize, b.RowCount, b.PadBytes}), (std::array{4, 2, 1}));
  TFastDIB c;
  c.SetSize(1, 1, 16, 565);
  EXPECT_EQ((std::array<uint32_t, 3>{c.RedMask, c.GreenMask, c.BlueMask}), (std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F}));
  EXPECT_EQ((std::array<int, 5>{c.BlueDrop, c.GreenDrop, c.GreenPos, c.RedDrop, c.RedPos}),
            (std::array<int, 5>{3, 2, 5, 3, 11}));
  c.SetSize(1, 1, 16, 555);
  EXPECT_EQ((std::array<uint32_t, 3>{c.RedMask, c.GreenMask, c.BlueMask}), (std::array<uint32_t, 3>{0x7C00, 0x03E0, 0x001F}));
  EXPECT_EQ(c.RedPos, 10);
  c.SetSize(1, 1, 32, 0);
  EXPECT_EQ((std::array<uint32_t, 3>{c.RedMask, c.GreenMask, c.BlueMask}), (std::array<uint32_t, 3>{0xFF0000, 0xFF00, 0xFF}));
  EXPECT_THROW(c.SetSize(1 << 20, 1 << 20, 8, 0), EOrbaError);
  c.SetSize(1, 1, 16, 999);  // no such layout: the usual one
  EXPECT_EQ(c.LayoutCode, 565);
  TFastDIB ramp;
  ramp.FillColorRamp(0, 15, 0x000000, 0xFFFFFF);
  EXPECT_EQ(ramp.Colors[1], MakeQuad(17, 17, 17));
}

TFastDIB ColourfulPicture(int32_t colors, int32_t w = 40, int32_t h = 10) {
  TFastDIB d;
  d.SetSize(w, h, 24, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t i = (y * w + x) % colors;
      Put24(d, x, y, static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 11 + 5), static_cast<uint8_t>(255 - i));
    }
  return d;
}

struct ExactCase {
  int32_t colors, target_bits, count;
};

class ExactPath : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ExactPath, KeepsEveryColour) {
  const auto c = GetParam();
  const TFastDIB src = ColourfulPicture(c.colors, 64, 8);
  EXPECT_EQ(src.DistinctColors(), c.colors);
  TFastDIB t;
  t.SetSize(src.Width, src.RowCount, c.target_bits, 0);
  ConvertFastDIBDepth(t, src, false, false, c.count);
  for (int32_t y = 0; y < src.RowCount; ++y)
    for (int32_t x = 0; x < src.Width; ++x) {
      const uint8_t* p = src.Row(y) + 3 * x;
      ASSERT_EQ(Entry(t, y, x), (TRGBQuad{p[0], p[1], p[2], 0})) << x << "," << y;
    }
  for (int32_t i = 0; i < std::min(c.colors, 16); ++i)  // entries in order of first appearance
    EXPECT_EQ(t.Colors[static_cast<size_t>(i)].Red, static_cast<uint8_t>(i * 37));
}

INSTANTIATE_TEST_SUITE_P(All, ExactPath,
                         ::testing::Values(ExactCase{200, 8, 255}, ExactCase{256, 8, 255}, ExactCase{256, 8, 0},
                                           ExactCase{16, 4, 15}, ExactCase{2, 1, 255}, ExactCase{5, 8, 4}));

TEST(ColorReduction, MedianCutBoxes) {
  const TFastDIB src = ColourfulPicture(200);
  TFastDIB t;
  t.SetSize(src.Width, src.RowCount, 8, 0);
  ConvertFastDIBDepth(t, src, false, false, 15);
  std::set<uint32_t> used;
  for (int32_t y = 0; y < src.RowCount; ++y)
    for (int32_t x = 0; x < src.Width; ++x) used.insert(t.IndexAt(y, x));
  EXPECT_LE(used.size(), 16u);
  EXPECT_LE(*used.rbegin(), 15u);
  for (uint32_t i : used) {
    // Box centres scaled to 8 bits: red and blue multiples of 4, green of 2.
    EXPECT_EQ(t.Colors[i].Red % 4, 0);
    EXPECT_EQ(t.Colors[i].Green % 2, 0);
  }
  TFastDIB grey;
  grey.SetSize(9, 9, 24, 0);
  for (int32_t y = 0; y < 9; ++y) std::fill(grey.Row(y), grey.Row(y) + 27, 255);
  // A 4-bit target from an 8-bit source always goes through the quantiser.
  TFastDIB eight;
  eight.SetSize(9, 9, 8, 0);
  MakeExact8(eight, grey);
  TFastDIB four;
  four.SetSize(9, 9, 4, 0);
  ConvertFastDIBDepth(four, eight, false, false, 15);
  EXPECT_EQ(four.Colors[0], MakeQuad(248, 252, 248));
  EXPECT_EQ(four.IndexAt(8, 8), 0u);
}

TEST(ColorReduction, TwoColourConversions) {
  TFastDIB two;
  two.SetSize(3, 1, 24, 0);
  for (int32_t x = 0; x < 3; ++x) Put24(two, x, 0, 30, x == 1 ? 10 : 20, 10);
  TFastDIB t;
  t.SetSize(3, 1, 1, 0);
  ConvertFastDIBDepth(t, two, false, false, 255);
  EXPECT_EQ((std::array{t.Colors[0], t.Colors[1]}), (std::array{MakeQuad(30, 20, 10), MakeQuad(30, 10, 10)}));
  EXPECT_EQ((std::array<uint32_t, 3>{t.IndexAt(0, 0), t.IndexAt(0, 1), t.IndexAt(0, 2)}), (std::array<uint32_t, 3>{0, 1, 0}));

  // A palette picture using indices 5 and 7 keeps both colours.
  TFastDIB pal;
  pal.SetSize(5, 1, 8, 0);
  pal.Colors[5] = MakeQuad(1, 2, 3);
  pal.Colors[7] = MakeQuad(4, 5, 6);
  for (int32_t x = 0; x < 5; ++x) pal.Row(0)[x] = x % 2 ? 7 : 5;
  TFastDIB t1;
  t1.SetSize(5, 1, 1, 0);
  ConvertFastDIBDepth(t1, pal, false, false, 255);
  for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(Entry(t1, 0, x), pal.Colors[pal.IndexAt(0, x)]);

  // Three colours are quantised with two splits and then drawn in two.
  TFastDIB three = ColourfulPicture(3, 6, 1);
  TFastDIB t3;
  t3.SetSize(6, 1, 1, 0);
  ConvertFastDIBDepth(t3, three, false, false, 255);
  EXPECT_NE(t3.Colors[0], t3.Colors[1]);
}

TEST(ColorReduction, OddWidthRowsKeepTheirLastPixel) {
  TFastDIB src = ColourfulPicture(3, 5, 2);
  TFastDIB t;
  t.SetSize(5, 2, 4, 0);
  ConvertFastDIBDepth(t, src, false, false, 15);
  const uint8_t* last = src.Row(1) + 12;
  EXPECT_EQ(Entry(t, 1, 4), (TRGBQuad{last[0], last[1], last[2], 0}));
  TFastDIB four;
  four.SetSize(3, 1, 4, 0);
  four.Row(0)[0] = 0x01;
  four.Row(0)[1] = 0x20;  // the third pixel is index 2
  EXPECT_EQ(four.DistinctColors(), 3);
}

TEST(ColorReduction, GreyLevels) {
  TFastDIB src;
  src.SetSize(3, 1, 24, 0);
  for (int32_t x = 0; x < 3; ++x) {
    const uint8_t v = x == 0 ? 254 : x == 1 ? 255 : 238;
    Put24(src, x, 0, v, v, v);
  }
  TFastDIB one;
  one.SetSize(3, 1, 1, 0);
  ConvertFastDIBDepth(one, src, true, false, 255);
  EXPECT_EQ((std::array<uint32_t, 2>{one.IndexAt(0, 0), one.IndexAt(0, 1)}), (std::array<uint32_t, 2>{0, 1}));
  TFastDIB eight;
  eight.SetSize(3, 1, 8, 0);
  ConvertFastDIBDepth(eight, src, true, false, 15);
  EXPECT_EQ((std::array{eight.IndexAt(0, 1), eight.IndexAt(0, 2)}), (std::array{15u, 14u}));
  EXPECT_EQ(eight.Colors[15], MakeQuad(255, 255, 255));
}

TEST(ColorReduction, DitheredFlatAreasKeepTheirMean) {
  for (uint8_t v : {100, 133, 7, 247}) {
    TFastDIB src;
    src.SetSize(64, 64, 24, 0);
    for (int32_t y = 0; y < 64; ++y) std::fill(src.Row(y), src.Row(y) + 3 * 64, v);
    for (int32_t layout : {555, 565}) {
      TFastDIB t;
      t.SetSize(64, 64, 16, layout);
      ConvertFastDIBDepth(t, src, false, true, 255);
      double sum[3] = {};
      for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x) {
          const uint32_t p = t.Row(y)[2 * x] | (t.Row(y)[2 * x + 1] << 8);
          sum[0] += ((p >> t.RedPos) << t.RedDrop) & 0xFF;
          sum[1] += ((p >> t.GreenPos) << t.GreenDrop) & 0xFF;
          sum[2] += (p << t.BlueDrop) & 0xFF;
        }
      for (double s : sum) EXPECT_NEAR(s / 4096.0, v, 0.5) << int(v) << " " << layout;
    }
  }
}

TEST(ColorReduction, DitheredQuantiserUsesOnlyItsEntries) {
  const TFastDIB src = ColourfulPicture(200);
  TFastDIB t;
  t.SetSize(src.Width, src.RowCount, 8, 0);
  ConvertFastDIBDepth(t, src, false, true, 7);
  for (int32_t y = 0; y < src.RowCount; ++y)
    for (int32_t x = 0; x < src.Width; ++x) EXPECT_LE(t.IndexAt(y, x), 7u);
}

TEST(ColorReduction, WideningAndPlainSixteen) {
  TFastDIB src;
  src.SetSize(2, 1, 16, 565);
  src.Row(0)[0] = 0xFF, src.Row(0)[1] = 0xFF;
  TFastDIB wide;
  wide.SetSize(2, 1, 24, 0);
  ConvertFastDIBDepth(wide, src, false, false, 255);
  EXPECT_EQ((std::array<int, 3>{wide.Row(0)[0], wide.Row(0)[1], wide.Row(0)[2]}), (std::array<int, 3>{248, 252, 248}));
  TFastDIB back;
  back.SetSize(2, 1, 16, 555);
  ConvertFastDIBDepth(back, wide, false, false, 255);
  EXPECT_EQ(back.Row(0)[0] | (back.Row(0)[1] << 8), 0x7FFF);
  TFastDIB w32;
  w32.SetSize(2, 1, 32, 0);
  ConvertFastDIBDepth(w32, wide, false, false, 255);
  EXPECT_EQ(w32.Row(0)[2], 248);
}

}  // namespace
}  // namespace orba

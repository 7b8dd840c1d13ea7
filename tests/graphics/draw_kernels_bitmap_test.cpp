#include "graphics/draw_kernels_bitmap.h"

#include <gtest/gtest.h>

#include "graphics/draw_kernels_test_util.h"
#include "graphics/picture_fixtures.h"

#include <tuple>
#include <utility>
#include <vector>

namespace orba {
namespace {

using test::TTestPicture;

TRect Bounds(const TTestPicture& p) { return {0, 0, p.View.Width, p.View.Height}; }

std::vector<uint32_t> Row(const TTestPicture& p, int32_t y = 0) { return test::RowOf(p, y); }

TEST(BitmapDraw, DrawAlphaOpacityZeroChangesNothing) {
  for (int32_t bits : {8, 16, 24, 32}) {
    TTestPicture d(8, 8, bits), s(8, 8, bits);
    std::mt19937 rng(bits);
    d.Randomise(rng);
    s.Randomise(rng);
    TTestPicture before = d;
    BitmapDrawAlpha(d.View, 0, 0, 0, -1, Bounds(s), s.View);
    EXPECT_EQ(d.Buffer, before.Buffer) << bits;
  }
}

TEST(BitmapDraw, DrawAlpha255At24BitsEqualsKeyedCopy) {
  std::mt19937 rng(3);
  TTestPicture d(9, 7, 24), s(9, 7, 24);
  d.Randomise(rng);
  s.Randomise(rng);
  s.Set(2, 2, 0x00FF00);
  TTestPicture keyed = d;
  BitmapDrawAlpha(d.View, 0, 0, 255, 0x00FF00, Bounds(s), s.View);
  BitmapDrawKeyed(keyed.View, 0, 0, 0x00FF00, Bounds(s), s.View);
  EXPECT_EQ(d.Buffer, keyed.Buffer);
}

TEST(BitmapDraw, DrawAlphaAt240AndAboveOn8BitsEqualsKeyedCopy) {
  std::mt19937 rng(4);
  TTestPicture d(9, 7, 8), s(9, 7, 8);
  d.Randomise(rng);
  s.Randomise(rng);
  TTestPicture keyed = d;
  BitmapDrawKeyed(keyed.View, 0, 0, 7, Bounds(s), s.View);
  for (int32_t opacity : {240, 250, 255}) {
    TTestPicture x = d;
    BitmapDrawAlpha(x.View, 0, 0, opacity, 7, Bounds(s), s.View);
    EXPECT_EQ(x.Buffer, keyed.Buffer) << opacity;
  }
}

TEST(BitmapDraw, Opacity16On8BitsDrawsTwoCellsOfEachBlock) {
  TTestPicture d(9, 9, 8), s(9, 9, 8);
  s.Fill(1);
  // Drawn one pixel right and down: the cells follow destination coordinates.
  BitmapDrawAlpha(d.View, 1, 1, 16, -1, Bounds(s), s.View);
  for (int32_t y = 1; y < 9; ++y)
    for (int32_t x = 1; x < 9; ++x) {
      bool cell = ((x & 3) == 0 && (y & 3) == 0) || ((x & 3) == 2 && (y & 3) == 2);
      EXPECT_EQ(d.Get(x, y), cell ? 1u : 0u) << x << "," << y;
    }
}

TEST(BitmapDraw, Opacity128WhiteOverBlackDividesBy255At24AndShiftsAt32) {
  TTestPicture d24(1, 1, 24), s24(1, 1, 24), d32(1, 1, 32), s32(1, 1, 32);
  s24.Set(0, 0, 0xFFFFFF);
  s32.Set(0, 0, 0xFFFFFF);
  BitmapDrawAlpha(d24.View, 0, 0, 128, -1, Bounds(s24), s24.View);
  BitmapDrawAlpha(d32.View, 0, 0, 128, -1, Bounds(s32), s32.View);
  EXPECT_EQ((std::pair{d24.Get(0, 0), d32.Get(0, 0)}), (std::pair{0x808080u, 0x7F7F7Fu}));
}

TEST(BitmapDraw, AlphaPlaneBelow128At8BitsLeavesPixel) {
  TTestPicture d(2, 1, 8), s(2, 1, 8), a(2, 1, 8);
  s.Fill(9);
  a.Set(0, 0, 127);
  a.Set(1, 0, 128);
  BitmapDrawAlphaMask(d.View, 0, 0, 255, Bounds(s), s.View, a.View);
  EXPECT_EQ(Row(d), (std::vector<uint32_t>{0, 9}));
}

TEST(BitmapDraw, AlphaPlaneWithoutPlaneIsUnkeyedOpacityBlend) {
  TTestPicture d(3, 1, 32), s(3, 1, 32);
  s.Fill(0xFFFFFF);
  BitmapDrawAlphaMask(d.View, 0, 0, 128, Bounds(s), s.View, TPixelView{});
  EXPECT_EQ(d.Get(1, 0), 0x7F7F7Fu);
}

TEST(BitmapDraw, SourceRectLeftOfSourceMovesDestinationRight) {
  TTestPicture d(6, 1, 8), s(3, 1, 8);
  for (int32_t x = 0; x < 3; ++x) s.Set(x, 0, static_cast<uint32_t>(x + 1));
  BitmapCopyArea(d.View, 0, 0, TRect{-2, 0, 3, 1}, s.View);
  EXPECT_EQ(Row(d), (std::vector<uint32_t>{0, 0, 1, 2, 3, 0}));
}

TEST(BitmapDraw, FillRectBeyondSurfaceFillsInside) {
  TTestPicture d(4, 3, 16);
  BitmapFillRect(d.View, TRect{2, 1, 100, 100}, 0xABCD);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(d.Get(x, y), x >= 2 && y >= 1 ? 0xABCDu : 0u);
}

TEST(BitmapDraw, FillRectDepths) {
  for (auto [bits, pixel, stored] : {std::tuple{1, 3u, 1u}, {4, 0x1Fu, 0xFu}, {8, 0x1ABu, 0xABu}, {15, 0xFFFFu, 0x7FFFu},
                                     {16, 0xFFFFu, 0xFFFFu}, {24, 0x123456u, 0x123456u}, {32, 0x89ABCDEFu, 0x89ABCDEFu}}) {
    TTestPicture d(11, 2, bits);
    BitmapFillRect(d.View, TRect{1, 0, 10, 1}, pixel);
    std::vector<uint32_t> row(11, stored);
    row.front() = row.back() = 0;
    EXPECT_EQ(Row(d, 0), row) << bits;
    EXPECT_EQ(Row(d, 1), std::vector<uint32_t>(11, 0)) << bits;
  }
}

TEST(BitmapDraw, SubByteCopiesAndKeys) {
  for (int32_t bits : {1, 4}) {
    std::mt19937 rng(bits);
    TTestPicture d(13, 3, bits), s(13, 3, bits);
    d.Randomise(rng);
    s.Randomise(rng);
    TTestPicture copied = d, keyed = d;
    BitmapCopyArea(copied.View, 2, 1, TRect{0, 0, 9, 2}, s.View);
    BitmapDrawKeyed(keyed.View, 2, 1, 1, TRect{0, 0, 9, 2}, s.View);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 13; ++x) {
        bool inside = x >= 2 && x < 11 && y >= 1;
        uint32_t sv = inside ? s.Get(x - 2, y - 1) : 0;
        EXPECT_EQ(copied.Get(x, y), inside ? sv : d.Get(x, y));
        EXPECT_EQ(keyed.Get(x, y), inside && sv != 1 ? sv : d.Get(x, y));
      }
  }
}

// A negative key is no key: white 32-bit pixels with a fourth byte of 0xFF
// are copied, and 1-bit pictures keep their set bits.
TEST(BitmapDraw, NegativeKeyCopiesEveryPixel) {
  TTestPicture d(2, 1, 32), s(2, 1, 32);
  s.Set(0, 0, 0xFFFFFFFF);
  BitmapDrawKeyed(d.View, 0, 0, -1, Bounds(s), s.View);
  EXPECT_EQ(d.Get(0, 0), 0xFFFFFFFFu);
  TTestPicture d1(8, 1, 1), s1(8, 1, 1);
  s1.Fill(1);
  BitmapDrawAlphaMask(d1.View, 0, 0, 255, Bounds(s1), s1.View, TPixelView{});
  EXPECT_EQ(d1.Get(3, 0), 1u);
}

TEST(BitmapDraw, DitherLevelsFillFromOneToSixteenCells) {
  for (int32_t level = 0; level < 16; ++level) {
    int cells = 0;
    for (int32_t r = 0; r < 4; ++r)
      for (int32_t c = 0; c < 4; ++c) cells += DitherCell(level, r, c);
    EXPECT_EQ(cells, level + 1);
  }
}

}  // namespace
}  // namespace orba

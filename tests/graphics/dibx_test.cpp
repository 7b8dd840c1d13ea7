#include "graphics/dibx.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

#include "graphics/dibx_test_util.h"
#include "graphics/draw_kernels_test_util.h"
#include "graphics/picture_fixtures.h"

namespace orba {
namespace {

using test::Pixels;

std::unique_ptr<TCustomDIBX> MakeDIBX(int32_t w, int32_t h, int32_t bits) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, bits);
  return s;
}

class DibxClipInvariance : public testing::TestWithParam<int> {};

TEST_P(DibxClipInvariance, ClippedEqualsUnclippedThenRestored) { test::CheckClipInvariance(MakeDIBX, GetParam()); }

INSTANTIATE_TEST_SUITE_P(Memory, DibxClipInvariance,
                         testing::Range(0, static_cast<int>(std::size(test::kOperations))),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::string(test::kOperations[info.param].name);
                         });

TEST(MemorySurface, NewSurfaceIsEmptyWithAOnePixelBitmap) {
  TDIBX s;
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ((std::array{s.Width(), s.Height(), s.Surface().Width(), s.Surface().Height(), s.Surface().GetBitCount(),
                        s.TransparentColor}),
            (std::array{0, 0, 1, 1, 15, -1}));
}

TEST(MemorySurface, SetBitCount15Converts565To555) {
  TDIBX s;
  s.SetSize(3, 2, 16);
  s.SetPixel(0, 0, 0xF800);                  // red
  s.SetPixel(1, 0, (8u << 11) | (40u << 5) | 9u);
  s.SetBitCount(15);
  EXPECT_EQ((std::pair{s.BitCount(), s.StorageBitCount()}), (std::pair{15, 16}));
  EXPECT_EQ(s.GreenMask(), 0x3E0u);
  // 5-bit channels keep their values, the 6-bit green loses its low bit.
  EXPECT_EQ(test::RowOf(s, 0), (std::vector<uint32_t>{0x7C00, (8u << 10) | (20u << 5) | 9u, 0}));
  s.SetBitCount(16);
  EXPECT_EQ(s.BitCount(), 16);
  EXPECT_EQ(s.GetPixel(1, 0), (8u << 11) | (41u << 5) | 9u);
}

TEST(MemorySurface, ShiftsFollowTheMasks) {
  TDIBX s;
  s.SetSize(1, 1, 16);
  EXPECT_EQ((std::array{s.RedShift(), s.GreenShift(), s.BlueShift()}), (std::array{11, 5, 0}));
  s.SetSize(1, 1, 32);
  EXPECT_EQ(s.RedShift(), 16);
  EXPECT_EQ(s.RedMask(), 0xFF0000u);
}

TEST(MemorySurface, ColorToPixelOfRedAndNone) {
  for (auto [bits, red] : {std::pair{16, 0xF800}, {15, 0x7C00}, {32, 0xFF0000}, {24, 0x0000FF}, {8, 0x0000FF},
                           {1, -2}, {4, -2}}) {
    TDIBX s;
    s.SetSize(2, 2, bits);
    if (red != -2) {
      EXPECT_EQ(s.ColorToPixel(0x0000FF), red) << bits;
    }
    EXPECT_EQ(s.ColorToPixel(-1), -1) << bits;
  }
}

TEST(MemorySurface, FillOnSubByteDepthsWritesWholeBytes) {
  TDIBX one, four;
  one.SetSize(5, 3, 1);
  one.Fill(1);
  four.SetSize(5, 3, 4);
  four.Fill(5);
  const uint8_t* p1 = one.Surface().PeekPixelBlock();
  const uint8_t* p4 = four.Surface().PeekPixelBlock();
  for (int32_t i = 0; i < one.Surface().Size(); ++i) ASSERT_EQ(p1[i], 0xFF);
  for (int32_t i = 0; i < four.Surface().Size(); ++i) ASSERT_EQ(p4[i], 0x55);
}

TEST(MemorySurface, FillHonoursTheClip) {
  TDIBX s;
  s.SetSize(4, 4, 16);
  s.SetClipRect({1, 1, 3, 2});
  s.Fill(0x1234);
  EXPECT_EQ(Pixels(s), (std::vector<uint32_t>{0, 0, 0, 0, 0, 0x1234, 0x1234, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(MemorySurface, LockOnEmptyBitmapIsNull) {
  TDIBX s;
  s.Surface().Clear();
  EXPECT_EQ(s.Lock(0, 0), nullptr);
  s.FillRect({0, 0, 5, 5}, 1);  // nothing to draw on, nothing happens
}

TEST(MemorySurface, StretchOfTheWholeBitmapReadsEveryRow) {
  TDIBX s;
  s.SetSize(3, 4, 32);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x) s.SetPixel(x, y, static_cast<uint32_t>(0x010101 * (1 + x + 3 * y)));
  test::TTestPicture target(3, 4, 32);
  s.StretchToView(target.View, nullptr, {0, 0, 3, 4}, {0, 0, 3, 4});
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(target.Get(x, y), s.GetPixel(x, y));
}

TEST(MemorySurface, ClearEmptiesIt) {
  TDIBX s;
  s.SetSize(10, 10, 32);
  s.Clear();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ((std::pair{s.Surface().Width(), s.Surface().Height()}), (std::pair{8, 8}));
  // The 8 x 8 bitmap left behind keeps a 15-bit surface's 5-5-5 layout.
  TDIBX f;
  f.SetSize(10, 10, 15);
  f.Clear();
  EXPECT_EQ((std::pair{f.BitCount(), f.Surface().GetBitCount()}), (std::pair{15, 15}));
}

TEST(MemorySurface, PaletteEntriesRoundTrip) {
  TDIBX s;
  s.SetSize(2, 2, 8);
  uint8_t entries[1024] = {};
  entries[4 * 7 + 2] = 200;  // red of entry 7
  s.SetPaletteRange(entries + 4 * 7, 7, 1);
  uint8_t back[1024] = {};
  s.GetPaletteEntries(back);
  EXPECT_EQ(back[4 * 7 + 2], 200);
  EXPECT_EQ(s.Surface().ImageTable()[7].Red, 200);
}

TEST(MemorySurface, CopyFromEqualSurfacesCopiesTheBlock) {
  TDIBX a, b;
  a.SetSize(5, 3, 24);
  b.SetSize(5, 3, 24);
  a.FillRect({0, 0, 5, 3}, 0x123456);
  b.SetClipRect({0, 0, 1, 1});
  b.CopyFrom(a);
  EXPECT_EQ(Pixels(b), Pixels(a));
}

TEST(MemorySurface, DrawsBetweenMemorySurfaces) {
  TDIBX d, s, m;
  d.SetSize(4, 4, 32);
  s.SetSize(2, 2, 32);
  m.SetSize(2, 2, 8);
  s.Fill(0xFFFFFF);
  m.Fill(255);
  d.DrawAlphaMask(1, 1, s, {0, 0, 2, 2}, false, false, m, 255);
  EXPECT_EQ(test::RowOf(d, 1), (std::vector<uint32_t>{0, 0xFEFEFE, 0xFEFEFE, 0}));
}

// A bitmap resized behind the surface's back is never drawn past its end.
TEST(MemorySurface, DrawsStayInsideABitmapSmallerThanTheSurface) {
  TDIBX d, s, m;
  d.SetSize(6, 6, 32);
  s.SetSize(6, 6, 32);
  m.SetSize(6, 6, 8);
  d.Surface().SetSize(3, 2, 32);
  s.Surface().SetSize(2, 3, 32);
  m.Surface().SetSize(2, 2, 8);
  s.Fill(0x10);
  m.Fill(255);
  d.FillRect({0, 0, 6, 6}, 0x01);
  d.Draw(0, 0, s, {0, 0, 6, 6}, false, true, true);  // the kept columns land past the bitmap
  d.Draw(0, 0, s, {0, 0, 6, 6}, false, false, false);
  d.DrawMask(0, 0, s, {0, 0, 6, 6}, false, false, m);
  d.DrawColorMask(0, 0, m, {0, 0, 6, 6}, false, false, 0xFF, 255);
  EXPECT_EQ((std::pair{d.GetPixel(1, 1), d.GetPixel(2, 1)}), (std::pair{0x10u, 0x01u}));
}

}  // namespace
}  // namespace orba

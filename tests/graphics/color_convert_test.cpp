#include "graphics/color_convert.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "graphics/draw_kernels_test_util.h"
#include "graphics/picture_fixtures.h"

namespace orba {
namespace {

using test::TTestPicture;

TEST(ColorConvert, NoneStaysNoneAtEveryDepth) {
  for (int32_t bits : {1, 4, 8, 15, 16, 24, 32}) {
    EXPECT_EQ(ColorToPixel(-1, bits), -1) << bits;
    EXPECT_EQ(ColorToPixel(-5, bits), -1) << bits;
  }
}

TEST(ColorConvert, WideningRule) {
  for (auto [v, bits, wide] : {std::tuple{0u, 5, 0u}, {31u, 5, 255u}, {16u, 5, 132u}, {15u, 5, 123u}, {1u, 5, 8u},
                               {0u, 6, 0u}, {63u, 6, 255u}, {32u, 6, 130u}, {200u, 8, 200u}})
    EXPECT_EQ(WidenChannel(v, bits), wide) << v << "/" << bits;
}

// Every 15- and 16-bit value: the key path (one pixel converted) and the
// copy path (a picture copied) agree, widening is one to one, and copying
// back gives the original values.
TEST(ColorConvert, AllWordValuesAgreeBetweenKeyAndCopyPaths) {
  for (int32_t bits : {15, 16}) {
    int32_t count = bits == 16 ? 65536 : 32768;
    for (int32_t wide : {24, 32}) {
      TTestPicture words(256, count / 256, bits), deep(256, count / 256, wide), back(256, count / 256, bits);
      for (int32_t v = 0; v < count; ++v) words.Set(v % 256, v / 256, static_cast<uint32_t>(v));
      TRect all{0, 0, 256, count / 256};
      ConvertCopy(deep.View, nullptr, 0, 0, words.View, nullptr, all);
      ConvertCopy(back.View, nullptr, 0, 0, deep.View, nullptr, all);
      std::set<uint32_t> seen;
      for (int32_t v = 0; v < count; ++v) {
        uint32_t copied = deep.Get(v % 256, v / 256);
        uint32_t keyed = ConvertPixel(static_cast<uint32_t>(v), {bits}, {wide});
        ASSERT_EQ(copied, keyed) << bits << " " << v;
        ASSERT_EQ(back.Get(v % 256, v / 256), static_cast<uint32_t>(v));
        // The colour read back packs to the same pixel again.
        ASSERT_EQ(ColorToPixel(static_cast<int32_t>(PixelToColor(static_cast<uint32_t>(v), {bits})), bits), v);
        seen.insert(copied);
      }
      EXPECT_EQ(seen.size(), static_cast<size_t>(count));
    }
  }
}

TEST(ColorConvert, ColourReadBackIsBlueGreenRed) {
  uint8_t palette[16 * 4] = {};
  palette[4 * 3 + 0] = 0x10, palette[4 * 3 + 1] = 0x20, palette[4 * 3 + 2] = 0x30;  // blue, green, red
  EXPECT_EQ((std::vector<uint32_t>{PixelToColor(0x123456, {32}), PixelToColor(0xF800, {16}),
                                   PixelToColor(0x001F, {15}), PixelToColor(3, {4, palette}), PixelToColor(1, {1})}),
            (std::vector<uint32_t>{0x563412, 0x0000FF, 0xFF0000, 0x102030, 0xFFFFFF}));
}

TEST(ColorConvert, NearestPaletteIndexTakesLowestOnTies) {
  uint8_t palette[4 * 4] = {0, 0, 0, 0, 10, 10, 10, 0, 10, 10, 10, 0, 200, 200, 200, 0};
  EXPECT_EQ(NearestPaletteIndex(0x0C0C0C, palette, 4), 1);
  EXPECT_EQ(NearestPaletteIndex(0xF0F0F0, palette, 4), 3);
  EXPECT_EQ(RGB888ToPixel(0x090909, {1, palette}), 1u);
}

TEST(ColorConvert, CopyBetweenPalettesMapsToNearestEntry) {
  uint8_t from[16 * 4] = {}, to[256 * 4] = {};
  from[4] = from[5] = from[6] = 250;  // entry 1 near white
  to[4 * 7] = to[4 * 7 + 1] = to[4 * 7 + 2] = 255;  // entry 7 white
  TTestPicture s(3, 1, 4), d(3, 1, 8);
  s.Set(1, 0, 1);
  ConvertCopy(d.View, to, 0, 0, s.View, from, TRect{0, 0, 3, 1});
  EXPECT_EQ((std::pair{d.Get(0, 0), d.Get(1, 0)}), (std::pair{0u, 7u}));
}

TEST(ColorConvert, StretchDoublesAndMirrors) {
  TTestPicture s(2, 1, 32), d(4, 1, 32), m(4, 1, 32);
  s.Set(0, 0, 0x111111);
  s.Set(1, 0, 0x222222);
  ConvertStretch(d.View, nullptr, TRect{0, 0, 4, 1}, s.View, nullptr, TRect{0, 0, 2, 1});
  ConvertStretch(m.View, nullptr, TRect{4, 0, 0, 1}, s.View, nullptr, TRect{0, 0, 2, 1});
  EXPECT_EQ(test::RowOf(d, 0), (std::vector<uint32_t>{0x111111, 0x111111, 0x222222, 0x222222}));
  EXPECT_EQ(test::RowOf(m, 0), (std::vector<uint32_t>{0x222222, 0x222222, 0x111111, 0x111111}));
}

TEST(ColorConvert, CopyOutsideEitherPictureIsSkipped) {
  TTestPicture s(2, 2, 16), d(3, 3, 16);
  s.Fill(0x1234);
  ConvertCopy(d.View, nullptr, 2, 2, s.View, nullptr, TRect{-1, -1, 5, 5});
  EXPECT_EQ(d.Get(2, 2), 0u);  // source (-1, -1) does not exist
  ConvertCopy(d.View, nullptr, 1, 1, s.View, nullptr, TRect{0, 0, 5, 5});
  EXPECT_EQ((std::pair{d.Get(2, 2), d.Get(0, 0)}), (std::pair{0x1234u, 0u}));
}

}  // namespace
}  // namespace orba

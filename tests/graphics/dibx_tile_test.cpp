#include <gtest/gtest.h>

#include <climits>

#include "graphics/dibx_ops_test_util.h"

namespace orba {
namespace {

using test::Any;
using test::kUntouched;
using test::MakeDIBX;
using test::Number;
using test::Numbered;
using test::PaintedDIBX;
using test::Pixels;
using test::Sentinel;

TEST(DrawTile, EightPixelTilesOverTwentyAreEightEightAndFour) {
  auto src = Numbered(8, 8, 32);
  auto dst = Sentinel(24, 24, 32);
  dst->DrawTile({0, 0, 20, 20}, 0, 0, *src, {0, 0, 8, 8}, false, 0, 0);
  for (int32_t y = 0; y < 24; ++y)
    for (int32_t x = 0; x < 24; ++x)
      ASSERT_EQ(dst->GetPixel(x, y), x < 20 && y < 20 ? Number(x % 8, y % 8) : kUntouched) << x << "," << y;
}

TEST(DrawTile, GapTwoStartsTilesAtZeroTenAndTwenty) {
  auto src = Numbered(8, 8, 16);
  auto dst = Sentinel(24, 8, 16);
  dst->DrawTile({0, 0, 24, 8}, 2, 0, *src, {0, 0, 8, 8}, false, 0, 0);
  for (int32_t x = 0; x < 24; ++x) EXPECT_EQ(dst->GetPixel(x, 3), x % 10 < 8 ? Number(x % 10, 3) : kUntouched) << x;
}

TEST(DrawTile, OffsetsStartInsideTheSource) {
  auto src = Numbered(8, 1, 32);
  struct TCase {
    int32_t offset, first_column, first_width;
  };
  for (const TCase& k : {TCase{3, 3, 5}, TCase{-3, 5, 3}, TCase{-8, 0, 8}, TCase{19, 3, 5}}) {
    auto dst = Sentinel(12, 1, 32);
    dst->DrawTile({0, 0, 12, 1}, 0, 0, *src, {0, 0, 8, 1}, false, k.offset, 0);
    for (int32_t x = 0; x < 12; ++x) {
      const int32_t col = x < k.first_width ? k.first_column + x : (x - k.first_width) % 8;
      EXPECT_EQ(dst->GetPixel(x, 0), Number(col, 0)) << "offset " << k.offset << " x " << x;
    }
  }
}

TEST(DrawTile, BlendedAndMaskedTilesUseTheirDraws) {
  auto src = PaintedDIBX(2, 2, 32, [](int32_t, int32_t) { return 0xFFFFFFu; });
  auto mask = PaintedDIBX(2, 2, 8, [](int32_t x, int32_t) { return x == 0 ? 255u : 0u; });
  auto dst = MakeDIBX(5, 1, 32);
  dst->DrawTileAlpha({0, 0, 5, 1}, 0, 0, *src, {0, 0, 2, 2}, false, 128, 0, 0);
  EXPECT_EQ(dst->GetPixel(4, 0), 0x7F7F7Fu);
  auto add = MakeDIBX(5, 1, 32);
  add->DrawTileAddMask({0, 0, 5, 1}, 0, 0, *src, {0, 0, 2, 2}, *mask, 255, 0, 0);
  // Full coverage at full strength adds (255 x 255) shr 8 = 254.
  EXPECT_EQ(Pixels(*add), (std::vector<uint32_t>{0xFEFEFE, 0, 0xFEFEFE, 0, 0xFEFEFE}));
}

TEST(TilesAndPatterns, ClipRectangleIsWhatItWasAfterEveryOperation) {
  auto src = Numbered(3, 3, 32);
  auto mask = PaintedDIBX(3, 3, 8, [](int32_t, int32_t) { return 200u; });
  const std::function<void(TCustomDIBX&)> ops[] = {
      [&](TCustomDIBX& d) { d.DrawTile({1, 1, 9, 9}, 1, 1, *src, {0, 0, 3, 3}, true, 1, 2); },
      [&](TCustomDIBX& d) { d.DrawTileAlpha({1, 1, 9, 9}, 0, 0, *src, {0, 0, 3, 3}, false, 100, 0, 0); },
      [&](TCustomDIBX& d) { d.DrawTileAdd({1, 1, 9, 9}, 0, 0, *src, {0, 0, 3, 3}, false, 100, 0, 0); },
      [&](TCustomDIBX& d) { d.DrawTileMask({1, 1, 9, 9}, 0, 0, *src, {0, 0, 3, 3}, *mask, 0, 0); },
      [&](TCustomDIBX& d) { d.DrawTileAlphaMask({1, 1, 9, 9}, 0, 0, *src, {0, 0, 3, 3}, *mask, 99, 0, 0); },
      [&](TCustomDIBX& d) { d.DrawTileAddMask({1, 1, 9, 9}, 0, 0, *src, {0, 0, 3, 3}, *mask, 99, 0, 0); },
      [&](TCustomDIBX& d) { d.StretchDrawTile({0, 0, 9, 9}, 3, 3, 300, 300, *src, {0, 0, 3, 3}, false, true, false, 300, 1, 1); },
      [&](TCustomDIBX& d) { d.StretchDrawTileMask({0, 0, 9, 9}, 4, 4, 256, 256, *src, {0, 0, 3, 3}, *mask, false, false, 200, 0, 0); },
      [&](TCustomDIBX& d) { d.PatternFrameRect({0, 0, 9, 9}, 2, *src, 0, 0); },
      [&](TCustomDIBX& d) { d.PatternFillZoom({0, 0, 9, 9}, 300, 200, *src, 1, 1, true, true, true, 128); },
      [&](TCustomDIBX& d) { d.PatternFillZoomMask({0, 0, 9, 9}, 300, 200, *src, 1, 1, false, false, *mask, 300); },
      [&](TCustomDIBX& d) { d.PatternFill({0, 0, 9, 9}, *src, 1, 1, true, false); },
  };
  for (size_t i = 0; i < std::size(ops); ++i) {
    auto dst = MakeDIBX(10, 10, 32);
    ops[i](*dst);
    EXPECT_FALSE(dst->HasClipRect()) << i;
    dst->SetClipRect({2, 3, 7, 8});
    ops[i](*dst);
    EXPECT_TRUE(dst->HasClipRect()) << i;
    EXPECT_EQ(dst->GetClipRect(), (TRect{2, 3, 7, 8})) << i;
  }
}

TEST(StretchDrawTile, Zoom512WithPitchOfTheSourceWidthDrawsTouchingDoubleTiles) {
  auto src = PaintedDIBX(2, 2, 32, [](int32_t x, int32_t y) { return uint32_t(1 + x + 2 * y); });
  auto dst = Sentinel(10, 8, 32);
  dst->StretchDrawTile({0, 0, 10, 8}, 2, 2, 512, 512, *src, {0, 0, 2, 2}, false, false, false, 255, 0, 0);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 10; ++x)
      ASSERT_EQ(dst->GetPixel(x, y), uint32_t(1 + (x % 4) / 2 + 2 * ((y % 4) / 2))) << x << "," << y;
}

TEST(StretchDrawTile, Alpha300AddsWithWeight44) {
  auto white = PaintedDIBX(2, 2, 32, [](int32_t, int32_t) { return 0xFFFFFFu; });
  auto dst = MakeDIBX(4, 4, 32);
  dst->StretchDrawTile({0, 0, 4, 4}, 2, 2, 256, 256, *white, {0, 0, 2, 2}, false, false, false, 300, 0, 0);
  EXPECT_EQ(Pixels(*dst), std::vector<uint32_t>(16, 0x2B2B2B));  // (255 x 44) shr 8 = 43
  auto none = MakeDIBX(4, 4, 32);
  none->StretchDrawTile({0, 0, 4, 4}, 2, 2, 256, 256, *white, {0, 0, 2, 2}, false, false, false, 256, 0, 0);
  EXPECT_EQ(Pixels(*none), std::vector<uint32_t>(16, 0));
}

TEST(StretchDrawTile, PhaseShiftsTheGrid) {
  // Pitch 3 source pixels at zoom 256 with offset 1: origins at -1, 2, 5.
  auto src = PaintedDIBX(2, 1, 32, [](int32_t x, int32_t) { return uint32_t(1 + x); });
  auto dst = Sentinel(8, 1, 32);
  dst->StretchDrawTile({0, 0, 8, 1}, 3, 1, 256, 256, *src, {0, 0, 2, 1}, false, false, false, 255, 1, 0);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{2, kUntouched, 1, 2, kUntouched, 1, 2, kUntouched}));
  auto neg = Sentinel(8, 1, 32);
  neg->StretchDrawTile({0, 0, 8, 1}, 3, 1, 256, 256, *src, {0, 0, 2, 1}, false, false, false, 255, -1, 0);
  EXPECT_EQ(Pixels(*neg), (std::vector<uint32_t>{kUntouched, 1, 2, kUntouched, 1, 2, kUntouched, 1}));
}

TEST(TilesAndPatterns, NegativeGapsEmptySourcesAndZeroZoomsReturnAtOnce) {
  auto src = Numbered(3, 3, 32);
  auto dst = Sentinel(8, 8, 32);
  dst->DrawTile({0, 0, 8, 8}, -1, 0, *src, {0, 0, 3, 3}, false, 0, 0);
  dst->DrawTile({0, 0, 8, 8}, 0, -3, *src, {0, 0, 3, 3}, false, 0, 0);
  dst->DrawTile({0, 0, 8, 8}, 0, 0, *src, {1, 1, 1, 3}, false, 0, 0);
  dst->DrawTileAlpha({0, 0, 8, 8}, 0, 0, *src, {0, 2, 3, 2}, false, 100, 0, 0);
  dst->StretchDrawTile({0, 0, 8, 8}, 3, 3, 0, 256, *src, {0, 0, 3, 3}, false, false, false, 255, 0, 0);
  dst->StretchDrawTile({0, 0, 8, 8}, 3, 3, 256, -5, *src, {0, 0, 3, 3}, false, false, false, 255, 0, 0);
  dst->StretchDrawTile({0, 0, 8, 8}, 0, 3, 256, 256, *src, {0, 0, 3, 3}, false, false, false, 255, 0, 0);
  dst->StretchDrawTile({0, 0, 8, 8}, 3, -3, 256, 256, *src, {0, 0, 3, 3}, false, false, false, 255, 0, 0);
  dst->StretchDrawTile({0, 0, 8, 8}, 3, 3, 256, 256, *src, {2, 0, 2, 3}, false, false, false, 255, 0, 0);
  dst->PatternFillZoom({0, 0, 8, 8}, 0, 256, *src, 0, 0, false, false, false, 255);
  auto empty = MakeDIBX(0, 0, 32);
  dst->PatternFill({0, 0, 8, 8}, *empty, 0, 0, false, false);
  dst->PatternFillZoom({0, 0, 8, 8}, 256, 256, *empty, 0, 0, false, false, false, 255);
  EXPECT_EQ(Pixels(*dst), std::vector<uint32_t>(64, kUntouched));
}

TEST(TilesAndPatterns, LoopsOverHugeRectanglesEnd) {
  auto one = PaintedDIBX(1, 1, 16, [](int32_t, int32_t) { return 0x1234u; });
  const TRect huge{INT_MIN + 1, INT_MIN + 1, INT_MAX - 1, INT_MAX - 1};
  const std::vector<uint32_t> filled(16 * 16, 0x1234);
  auto dst = MakeDIBX(16, 16, 16), zoomed = MakeDIBX(16, 16, 16), pattern = MakeDIBX(16, 16, 16);
  dst->DrawTile(huge, 0, 0, *one, {0, 0, 1, 1}, false, 7, 7);
  zoomed->StretchDrawTile(huge, 1, 1, 1, 1, *one, {0, 0, 1, 1}, false, false, false, 255, INT_MIN, INT_MAX);
  pattern->PatternFillZoom(huge, 1, 1, *one, INT_MIN, INT_MAX, false, true, true, 255);
  for (auto* d : {&dst, &zoomed, &pattern}) EXPECT_EQ(Pixels(**d), filled);
}

TEST(PatternFill, FlipHWithOffsetZeroStartsAtTheLastColumnAndRunsLeft) {
  auto pat = PaintedDIBX(4, 1, 8, [](int32_t x, int32_t) { return uint32_t(1 + x); });
  auto dst = MakeDIBX(9, 1, 8);
  dst->PatternFill({0, 0, 9, 1}, *pat, 0, 0, true, false);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{4, 3, 2, 1, 4, 3, 2, 1, 4}));
}

TEST(PatternFill, PatternIsAnchoredToTheRectangle) {
  auto pat = PaintedDIBX(3, 2, 32, [](int32_t x, int32_t y) { return uint32_t(1 + x + 3 * y); });
  auto dst = MakeDIBX(8, 4, 32);
  dst->PatternFill({2, 1, 8, 4}, *pat, 1, -1, false, false);
  for (int32_t y = 1; y < 4; ++y)
    for (int32_t x = 2; x < 8; ++x)
      EXPECT_EQ(dst->GetPixel(x, y), uint32_t(1 + (x - 2 + 1) % 3 + 3 * ((y - 1 + 1) % 2))) << x << "," << y;
  EXPECT_EQ(dst->GetPixel(1, 1), 0u);
}

TEST(PatternFrameRect, FourBandsEachAnchoredToItsBand) {
  auto pat = PaintedDIBX(2, 2, 16, [](int32_t x, int32_t y) { return uint32_t(1 + x + 2 * y); });
  auto dst = MakeDIBX(7, 6, 16);
  dst->PatternFrameRect({0, 0, 7, 6}, 2, *pat, 0, 0);
  // The right band starts at column 5 with pattern column 0; the bottom band
  // at row 4 with pattern row 0; the middle is untouched.
  EXPECT_EQ((std::vector<uint32_t>{dst->GetPixel(5, 2), dst->GetPixel(6, 3), dst->GetPixel(2, 4), dst->GetPixel(3, 5),
                                   dst->GetPixel(3, 2), dst->GetPixel(4, 3)}),
            (std::vector<uint32_t>{1, 4, 1, 4, 0, 0}));
}

TEST(PatternFillZoom, Zoom256AtFullOpacityEqualsPatternFill) {
  std::mt19937 rng(404);
  for (int iter = 0; iter < 300; ++iter) {
    const int32_t bits = iter % 2 ? 16 : 32;
    auto pat = test::RandomDIBX(rng, Any(rng, 1, 6), Any(rng, 1, 6), bits);
    const TRect r{Any(rng, -3, 5), Any(rng, -3, 5), Any(rng, 0, 12), Any(rng, 0, 12)};
    const int32_t ox = Any(rng, -20, 20), oy = Any(rng, -20, 20);
    const bool fh = rng() & 1, fv = rng() & 1;
    auto a = MakeDIBX(10, 10, bits), b = MakeDIBX(10, 10, bits);
    a->PatternFill(r, *pat, ox, oy, fh, fv);
    b->PatternFillZoom(r, 256, 256, *pat, ox, oy, false, fh, fv, 255);
    ASSERT_EQ(Pixels(*a), Pixels(*b)) << iter << " offsets " << ox << "," << oy << " flips " << fh << fv;
  }
}

TEST(PatternFillZoom, ZoomBlendsAndMasks) {
  auto pat = PaintedDIBX(2, 1, 32, [](int32_t x, int32_t) { return x == 0 ? 0xFFFFFFu : 0x000000u; });
  auto dst = Sentinel(8, 1, 32);
  dst->PatternFillZoom({0, 0, 8, 1}, 512, 256, *pat, 0, 0, false, false, false, 255);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0xFFFFFF, 0xFFFFFF, 0, 0, 0xFFFFFF, 0xFFFFFF, 0, 0}));
  pat->TransparentColor = 0;
  auto keyed = MakeDIBX(4, 1, 32);
  keyed->PatternFillZoom({0, 0, 4, 1}, 256, 256, *pat, 0, 0, true, false, false, 128);
  EXPECT_EQ(Pixels(*keyed), (std::vector<uint32_t>{0x7F7F7F, 0, 0x7F7F7F, 0}));
  auto mask = PaintedDIBX(2, 1, 8, [](int32_t x, int32_t) { return x == 0 ? 128u : 255u; });
  auto masked = MakeDIBX(2, 1, 32);
  // Opaque mode through the mask blends with (m x 255) shr 8: 127 -> 126.
  masked->PatternFillZoomMask({0, 0, 2, 1}, 256, 256, *pat, 0, 0, false, false, *mask, 255);
  EXPECT_EQ(masked->GetPixel(0, 0), 0x7E7E7Eu);
  auto added = PaintedDIBX(2, 1, 32, [](int32_t, int32_t) { return 0x101010u; });
  // Additive: weight 300 - 256 = 44, times coverage 128: 22; 16 + (255 x 22) shr 8 = 37.
  added->PatternFillZoomMask({0, 0, 2, 1}, 256, 256, *pat, 0, 0, false, false, *mask, 300);
  EXPECT_EQ(added->GetPixel(0, 0), 0x252525u);
}

// Pattern fills clipped equal the unclipped fill cropped, so that a surface
// drawing them row by row gives the same picture.
TEST(PatternFill, ClippedFillsEqualUnclippedFillsCropped) {
  std::mt19937 rng(808);
  for (int iter = 0; iter < 900; ++iter) {
    const int32_t bits = iter % 3 == 0 ? 24 : iter % 3 == 1 ? 15 : 32;
    const int32_t w = Any(rng, 1, 14), h = Any(rng, 1, 12);
    auto dst = test::RandomDIBX(rng, w, h, bits);
    const int32_t pw = Any(rng, 1, 5), ph = Any(rng, 1, 5);
    std::unique_ptr<TDIBX> pat, mask;
    std::tie(pat, mask) = test::RandomSourceAndMask(rng, pw, ph, bits);
    const TRect r{Any(rng, -5, w), Any(rng, -5, h), Any(rng, 0, w + 5), Any(rng, 0, h + 5)};
    const int32_t zx = Any(rng, 30, 700), zy = Any(rng, 30, 700), ox = Any(rng, -40, 40), oy = Any(rng, -40, 40);
    const int32_t alpha = Any(rng, 1, 511);
    const bool fh = rng() & 1, fv = rng() & 1;
    const TRect clip{Any(rng, 0, w), Any(rng, 0, h), Any(rng, 0, w), Any(rng, 0, h)};
    const int op = iter % 3;
    test::ExpectClipInvariant(*dst, clip, [&](TCustomDIBX& d) {
      if (op == 0) d.PatternFill(r, *pat, ox, oy, fh, fv);
      else if (op == 1) d.PatternFillZoom(r, zx, zy, *pat, ox, oy, true, fh, fv, alpha);
      else d.PatternFillZoomMask(r, zx, zy, *pat, ox, oy, fh, fv, *mask, alpha);
    }, "iteration " + std::to_string(iter));
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace orba

#include "graphics/dibx_rotate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "graphics/dibx_ops_test_util.h"

namespace orba {
namespace {

using test::Any;
using test::kUntouched;
using test::MakeDIBX;
using test::Numbered;
using test::PaintedDIBX;
using test::Pixels;
using test::Sentinel;

// Expects every source pixel at the destination given by `place` and every
// other destination pixel untouched.
void ExpectPlaced(TCustomDIBX& dst, TCustomDIBX& src, const std::function<TPoint(int32_t, int32_t)>& place) {
  std::vector<uint32_t> expected(static_cast<size_t>(dst.Width() * dst.Height()), kUntouched);
  for (int32_t sy = 0; sy < src.Height(); ++sy)
    for (int32_t sx = 0; sx < src.Width(); ++sx) {
      TPoint p = place(sx, sy);
      ASSERT_TRUE(PointInRect(p, dst.GetBoundsRect()));
      expected[static_cast<size_t>(p.Y * dst.Width() + p.X)] = src.GetPixel(sx, sy);
    }
  EXPECT_EQ(Pixels(dst), expected);
}

TEST(RotatedBounds, AngleZeroAtFiveSevenIsTheSourceRectangleMoved) {
  TRect r;
  RotatedBounds(5, 7, 0, 0, 0, {0, 0, 10, 20}, 256, 256, 10, 20, false, false, r);
  EXPECT_EQ(r, (TRect{5, 7, 15, 27}));
  // The pivot mirrored under FlipH: (10 - 1 - 0) = 9 columns to the left.
  RotatedBounds(5, 7, 0, 0, 0, {0, 0, 10, 20}, 256, 256, 10, 20, true, false, r);
  EXPECT_EQ(r, (TRect{-4, 7, 6, 27}));
  // A quarter turn of the 10 x 20 rectangle lies on its side.
  RotatedBounds(0, 0, 0, 0, 64, {0, 0, 10, 20}, 256, 256, 10, 20, false, false, r);
  EXPECT_EQ(r, (TRect{-19, 0, 1, 10}));
}

TEST(DrawRotate, AngleZeroAndZoom256DrawsUnrotatedWithThePivotAtXY) {
  auto src = Numbered(4, 3, 32);
  auto dst = Sentinel(12, 10, 32);
  dst->DrawRotate(5, 4, 256, 256, *src, {0, 0, 4, 3}, 1, 2, 0, false, false, false, 255);
  ExpectPlaced(*dst, *src, [](int32_t sx, int32_t sy) { return TPoint{5 + sx - 1, 4 + sy - 2}; });
}

TEST(DrawRotate, QuarterAndHalfTurns) {
  auto src = Numbered(3, 2, 16);
  auto quarter = Sentinel(10, 10, 16);
  quarter->DrawRotate(5, 5, 256, 256, *src, {0, 0, 3, 2}, 0, 0, 64, false, false, false, 255);
  ExpectPlaced(*quarter, *src, [](int32_t sx, int32_t sy) { return TPoint{5 - sy, 5 + sx}; });
  auto half = Sentinel(10, 10, 16);
  half->DrawRotate(5, 5, 256, 256, *src, {0, 0, 3, 2}, 1, 1, 128, false, false, false, 255);
  ExpectPlaced(*half, *src, [](int32_t sx, int32_t sy) { return TPoint{5 + 1 - sx, 5 + 1 - sy}; });
}

TEST(DrawRotate, Zoom512DoublesTheWidthAndZoomZeroDrawsNothing) {
  auto src = Numbered(3, 1, 32);
  auto dst = Sentinel(10, 3, 32);
  dst->DrawRotate(1, 1, 512, 256, *src, {0, 0, 3, 1}, 0, 0, 0, false, false, false, 255);
  for (int32_t x = 0; x < 10; ++x)
    EXPECT_EQ(dst->GetPixel(x, 1), x >= 1 && x < 7 ? uint32_t(1 + (x - 1) / 2) : kUntouched) << x;
  auto none = Sentinel(10, 3, 32);
  none->DrawRotate(1, 1, 0, 256, *src, {0, 0, 3, 1}, 0, 0, 0, false, false, false, 255);
  none->DrawRotate(1, 1, 256, 0, *src, {0, 0, 3, 1}, 0, 0, 0, false, false, false, 255);
  none->DrawRotate(1, 1, 256, 256, *src, {0, 0, 3, 1}, 0, 0, 0, false, false, false, 0);
  EXPECT_EQ(Pixels(*none), std::vector<uint32_t>(30, kUntouched));
}

TEST(DrawRotate, PixelsMappedLeftOfOrAboveTheSourceOriginStayUntouched) {
  // An eighth of a turn about the source's top-left corner: every
  // destination pixel whose inverse position is negative keeps its value.
  auto src = PaintedDIBX(6, 6, 32, [](int32_t, int32_t) { return 0x111111u; });
  auto dst = Sentinel(20, 20, 32);
  dst->DrawRotate(10, 5, 256, 256, *src, {0, 0, 6, 6}, 0, 0, 32, false, false, false, 255);
  const double c = std::cos(std::numbers::pi / 4), s = std::sin(std::numbers::pi / 4);
  const int64_t ux = static_cast<int64_t>(65536 * c), uy = static_cast<int64_t>(65536 * s);
  int drawn = 0;
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x) {
      const int64_t u = (x - 10) * ux + (y - 5) * uy, v = -(x - 10) * uy + (y - 5) * ux;
      const bool inside = u >= 0 && v >= 0 && (u >> 16) < 6 && (v >> 16) < 6;
      if (dst->GetPixel(x, y) == kUntouched) continue;
      EXPECT_TRUE(inside) << x << "," << y;
      ++drawn;
    }
  EXPECT_GT(drawn, 30);
}

TEST(DrawRotate, FlipsMirrorWithinTheSourceRectangle) {
  auto src = Numbered(6, 2, 24);
  auto dst = Sentinel(8, 4, 24);
  dst->DrawRotate(0, 0, 256, 256, *src, {2, 0, 5, 2}, 2, 0, 0, false, true, true, 255);
  // Columns 2..4 mirrored into destination columns 2..0, rows swapped.
  auto part = PaintedDIBX(3, 2, 24, [](int32_t x, int32_t y) { return uint32_t(1 + (x + 2) + 16 * y); });
  ExpectPlaced(*dst, *part, [](int32_t sx, int32_t sy) { return TPoint{2 - sx, 1 - sy}; });
  EXPECT_EQ(dst->GetPixel(0, 0), uint32_t(1 + 4 + 16));
}

// Opacity, additive strength and coverage, worked by hand on one pixel.
TEST(DrawRotate, BlendAddAndMaskVectors) {
  struct TCase {
    int32_t bits;
    uint32_t src, dst;
    int32_t alpha;
    int mask;  // -1: no mask
    uint32_t expected;
  };
  const TCase cases[] = {
      {32, 0xFFFFFF, 0x000000, 128, -1, 0x7F7F7F},  // (255 x 128) shr 8
      {32, 0xFFFFFF, 0x101010, 300, -1, 0x3B3B3B},  // 16 + (255 x 44) shr 8
      {32, 0xFFFFFF, 0xF0F0F0, 511, -1, 0xFFFFFF},  // saturates
      {16, 0xFFFF, 0x0000, 128, -1, 0x7BEF},
      {32, 0xFFFFFF, 0x000000, 255, 255, 0xFEFEFE},  // coverage 255 blends
      {32, 0xFFFFFF, 0x000000, 128, 255, 0x7E7E7E},  // m = (255 x 128) shr 8 = 127
      {32, 0xFFFFFF, 0x000000, 384, 255, 0x7E7E7E},  // additive with m = 127
      {32, 0xFFFFFF, 0x123456, 255, 0, 0x123456},    // no coverage
      {24, 0xFFFFFF, 0x000000, 128, -1, 0x7F7F7F},
  };
  for (const TCase& k : cases) {
    auto src = PaintedDIBX(1, 1, k.bits, [&](int32_t, int32_t) { return k.src; });
    auto dst = PaintedDIBX(1, 1, k.bits, [&](int32_t, int32_t) { return k.dst; });
    if (k.mask < 0) {
      dst->DrawRotate(0, 0, 256, 256, *src, {0, 0, 1, 1}, 0, 0, 0, false, false, false, k.alpha);
    } else {
      auto mask = PaintedDIBX(1, 1, 8, [&](int32_t, int32_t) { return uint32_t(k.mask); });
      dst->DrawRotateMask(0, 0, 256, 256, *src, {0, 0, 1, 1}, 0, 0, 0, false, false, *mask, k.alpha);
    }
    EXPECT_EQ(dst->GetPixel(0, 0), k.expected) << k.bits << " alpha " << k.alpha << " mask " << k.mask;
  }
}

TEST(DrawRotate, KeyedPixelsAreLeftOut) {
  auto src = PaintedDIBX(2, 1, 32, [](int32_t x, int32_t) { return x == 0 ? 7u : 9u; });
  src->TransparentColor = 7;
  auto dst = Sentinel(2, 1, 32);
  dst->DrawRotate(0, 0, 256, 256, *src, {0, 0, 2, 1}, 0, 0, 0, true, false, false, 255);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{kUntouched, 9u}));
}

TEST(DrawRotate, ClippedDrawEqualsUnclippedDrawCropped) {
  std::mt19937 rng(5151);
  const int32_t depths[] = {8, 15, 16, 24, 32};
  for (int iter = 0; iter < 600; ++iter) {
    const int32_t bits = depths[iter % 5];
    const int32_t w = Any(rng, 1, 18), h = Any(rng, 1, 18), sw = Any(rng, 1, 8), sh = Any(rng, 1, 8);
    auto dst = test::RandomDIBX(rng, w, h, bits);
    std::unique_ptr<TDIBX> src, mask;
    std::tie(src, mask) = test::RandomSourceAndMask(rng, sw, sh, bits);
    const int32_t x = Any(rng, -4, w + 4), y = Any(rng, -4, h + 4);
    const int32_t zx = Any(rng, 64, 700), zy = Any(rng, 64, 700), angle = Any(rng, 0, 255);
    const int32_t alpha = Any(rng, 1, 511), cx = Any(rng, 0, sw), cy = Any(rng, 0, sh);
    const bool fh = rng() & 1, fv = rng() & 1, masked = rng() & 1;
    const TRect clip{Any(rng, 0, w), Any(rng, 0, h), Any(rng, 0, w), Any(rng, 0, h)};
    test::ExpectClipInvariant(*dst, clip, [&](TCustomDIBX& d) {
      if (masked) d.DrawRotateMask(x, y, zx, zy, *src, {0, 0, sw, sh}, cx, cy, angle, fh, fv, *mask, alpha);
      else d.DrawRotate(x, y, zx, zy, *src, {0, 0, sw, sh}, cx, cy, angle, true, fh, fv, alpha);
    }, "iteration " + std::to_string(iter));
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace orba

// The stretched, rotated, tiled, pattern, reduced and indexed draws of the
// drawing surface, worked by hand: where the source pixels land, how gaps,
// offsets, phases, zooms and flips move them, the blends worked out from
// the channel formulas, and the arguments that draw nothing.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <numbers>
#include <random>
#include <string>

#include "graphics/dibx_rotate.h"
#include "graphics/pixel_channels.h"
#include "graphics/draw_test_util.h"

namespace orba {
namespace {

using test::After;
using test::Any;
using test::Flat;
using test::kUntouched;
using test::MakeDIBX;
using test::Number;
using test::Numbered;
using test::PaintedDIBX;
using test::Pixels;
using test::Sentinel;
using test::TRow;

constexpr uint32_t U = kUntouched;

// ---- stretched draws --------------------------------------------------------

enum class TStretch { Alpha, Add, AlphaMask, AddMask };

// Stretches an n x n surface of `src` pixels onto one of `dst` pixels (the
// masked draws through a mask of `coverage`) and gives the last pixel.
uint32_t StretchBlock(TStretch op, int32_t bits, int32_t n, uint32_t src, uint32_t dst, int32_t alpha,
                      uint32_t coverage = 255) {
  auto s = Flat(n, n, bits, src), d = Flat(n, n, bits, dst), m = Flat(n, n, 8, coverage);
  const TRect r{0, 0, n, n};
  switch (op) {
    case TStretch::Alpha: d->StretchDrawAlpha(r, *s, r, false, false, false, alpha); break;
    case TStretch::Add: d->StretchDrawAdd(r, *s, r, false, false, false, alpha); break;
    case TStretch::AlphaMask: d->StretchDrawAlphaMask(r, *s, r, false, false, *m, alpha); break;
    case TStretch::AddMask: d->StretchDrawAddMask(r, *s, r, false, false, *m, alpha); break;
  }
  return d->GetPixel(n - 1, n - 1);
}

TEST(StretchDraw, PixelsLandByTheScale) {
  auto two = PaintedDIBX(2, 2, 32, [](int32_t x, int32_t y) { return uint32_t(1 + x + 2 * y); });
  EXPECT_EQ(After(4, 4, 32, 0, [&](auto& d) { d.StretchDrawAlpha({0, 0, 4, 4}, *two, {0, 0, 2, 2}, false, false, false, 255); }),
            (TRow{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}));
  auto four = PaintedDIBX(4, 4, 16, [](int32_t x, int32_t y) { return uint32_t(1 + x + 10 * y); });
  EXPECT_EQ(After(2, 2, 16, 0, [&](auto& d) { d.StretchDrawAlpha({0, 0, 2, 2}, *four, {0, 0, 4, 4}, false, false, false, 255); }),
            (TRow{1, 3, 21, 23}));
  // Source rows and columns -2..-1 and 2..3 do not exist: only the middle is drawn.
  auto small = Flat(2, 2, 32, 5);
  EXPECT_EQ(After(8, 8, 32, 0, [&](auto& d) { d.StretchDrawAlpha({0, 0, 6, 6}, *small, {-2, -2, 4, 4}, false, false, false, 255); }),
            test::Box(8, 8, {2, 2, 4, 4}, 5));
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    // A flipped row is reversed exactly.
    auto row = PaintedDIBX(5, 1, bits, [](int32_t x, int32_t) { return uint32_t(10 + x); });
    EXPECT_EQ(After(5, 1, bits, 0, [&](auto& d) { d.StretchDrawAlpha({0, 0, 5, 1}, *row, {0, 0, 5, 1}, false, true, false, 255); }),
              (TRow{14, 13, 12, 11, 10})) << bits;
    // An opaque keyed draw copies every pixel but the key exactly.
    auto src = PaintedDIBX(4, 4, bits, [](int32_t x, int32_t y) { return uint32_t((x + y) % 3 == 0 ? 7 : 20 + x + 4 * y); });
    src->TransparentColor = 7;
    auto dst = Flat(8, 8, bits, 99);
    dst->StretchDrawAlpha({0, 0, 8, 8}, *src, {0, 0, 4, 4}, true, false, false, 255);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 8; ++x) {
        const uint32_t s = src->GetPixel(x / 2, y / 2);
        EXPECT_EQ(dst->GetPixel(x, y), s == 7 ? 99u : s) << bits << " " << x << "," << y;
      }
  }
}

TEST(StretchDraw, EmptyRectanglesAndOpacityZeroDrawNothing) {
  auto src = Flat(3, 3, 32, 0xFFFFFF), mask = Flat(3, 3, 8, 255);
  EXPECT_EQ(After(6, 6, 32, 0, [&](auto& d) {
              d.StretchDrawAlpha({0, 0, 6, 6}, *src, {0, 0, 3, 3}, false, false, false, 0);
              d.StretchDrawAdd({0, 0, 6, 6}, *src, {0, 0, 3, 3}, false, false, false, 0);
              d.StretchDrawAlphaMask({0, 0, 6, 6}, *src, {0, 0, 3, 3}, false, false, *mask, 0);
              d.StretchDrawAddMask({0, 0, 6, 6}, *src, {0, 0, 3, 3}, false, false, *mask, 0);
              d.StretchDrawAlpha({0, 0, 4, 4}, *src, {1, 1, 1, 3}, false, false, false, 255);
              d.StretchDrawAlpha({0, 0, 4, 4}, *src, {2, 2, 1, 1}, false, false, false, 255);
              d.StretchDrawAlpha({3, 0, 3, 4}, *src, {0, 0, 3, 3}, false, false, false, 255);
              d.StretchDrawAlpha({0, 4, 4, 0}, *src, {0, 0, 3, 3}, false, false, false, 255);
            }),
            TRow(36, 0));
}

// Blends worked out by hand from the channel formulas.
TEST(StretchDraw, BlendAndAddVectors) {
  // White over white stays on the row-kernel depths and darkens per pixel.
  EXPECT_EQ(StretchBlock(TStretch::Alpha, 32, 2, 0xFFFFFF, 0xFFFFFF, 128), 0xFFFFFFu);
  EXPECT_EQ(StretchBlock(TStretch::Alpha, 24, 2, 0xFFFFFF, 0xFFFFFF, 128), 0xFEFEFEu);
  // red (0xF800 x 128) shr 8 = 0x7C00 -> 0x7800; blue (31 x 127) shr 8 = 15.
  EXPECT_EQ(StretchBlock(TStretch::Alpha, 16, 1, 0xF800, 0x001F, 128), 0x780Fu);
  EXPECT_EQ(StretchBlock(TStretch::Add, 16, 1, 0xFFFF, 0, 128), 0x7BEFu);
  // Coverage 255 under opacity 128: the 32-bit weight is the opacity, the
  // 16-bit one (255 x 128) shr 8 = 127: red (0xF800 x 127) shr 8 = 0x7B08 ->
  // 0x7800; green 0x7E0 x 127 shr 8 = 0x3E8 -> 0x3E0; blue 15.
  EXPECT_EQ(StretchBlock(TStretch::AddMask, 32, 1, 0xFFFFFF, 0, 128), 0x7F7F7Fu);
  EXPECT_EQ(StretchBlock(TStretch::AddMask, 16, 1, 0xFFFF, 0, 128), 0x7BEFu);
  // 16-bit masked blends skip equal pixels only below full opacity; at 255
  // the weight is the coverage, 128, and each channel becomes (c x 255) shr 8.
  EXPECT_EQ(StretchBlock(TStretch::AlphaMask, 16, 1, 0xFFFF, 0xFFFF, 128, 255), 0xFFFFu);
  EXPECT_EQ(StretchBlock(TStretch::AlphaMask, 16, 1, 0xFFFF, 0xFFFF, 255, 128), 0xF7DEu);
  // Full opacity and full coverage copy.
  for (int32_t bits : {15, 16, 32}) {
    auto src = PaintedDIBX(2, 1, bits, [](int32_t x, int32_t) { return x == 0 ? 0x7FFFu : 0x1234u; });
    auto mask = Flat(2, 1, 8, 255);
    EXPECT_EQ(After(2, 1, bits, 0, [&](auto& d) { d.StretchDrawAlphaMask({0, 0, 2, 1}, *src, {0, 0, 2, 1}, false, false, *mask, 255); }),
              (TRow{0x7FFF, 0x1234})) << bits;
  }
}

// Blends and additions of random stretches (sizes, flips, clipping, keys)
// against each pixel worked from the opaque stretch's sample under it: keyed
// samples and, for blends, samples equal to the destination leave it alone.
TEST(StretchDraw, RowBlendsEqualThePixelRule) {
  std::mt19937 rng(99);
  for (int iter = 0; iter < 300; ++iter) {
    const int32_t bits = iter % 3 == 0 ? 16 : 32;
    const uint32_t pool[] = {0, 0x1234, 0xFFFF, 0x00FF00};
    auto pick = [&] { return (rng() & 1) ? pool[rng() % 4] : static_cast<uint32_t>(rng()) & (bits == 16 ? 0xFFFFu : 0xFFFFFFu); };
    const int32_t sw = 1 + static_cast<int32_t>(rng() % 9), sh = 1 + static_cast<int32_t>(rng() % 5);
    auto src = PaintedDIBX(sw, sh, bits, [&](int32_t, int32_t) { return pick(); });
    src->TransparentColor = pool[rng() % 4];
    const TRect dr{static_cast<int32_t>(rng() % 5) - 2, 0, 3 + static_cast<int32_t>(rng() % 20), 1 + static_cast<int32_t>(rng() % 6)};
    const TRect sr{static_cast<int32_t>(rng() % 3) - 1, 0, sw + static_cast<int32_t>(rng() % 3) - 1, sh};
    const bool key = (rng() & 1) != 0, fh = (rng() & 1) != 0, fv = (rng() & 1) != 0, add = rng() % 3 == 0;
    const int32_t alpha = 1 + static_cast<int32_t>(rng() % 255);
    auto drawn = PaintedDIBX(16, 6, bits, [&](int32_t, int32_t) { return pick(); });
    auto expect = test::MakeDIBX(16, 6, bits);
    auto samples = Sentinel(16, 6, bits);
    expect->Draw(0, 0, *drawn, {0, 0, 16, 6}, false, false, false);
    samples->StretchDrawAlpha(dr, *src, sr, false, fh, fv, 255);
    if (add) drawn->StretchDrawAdd(dr, *src, sr, key, fh, fv, alpha);
    else drawn->StretchDrawAlpha(dr, *src, sr, key, fh, fv, alpha);
    const TChannelSet c = ChannelsFor(bits);
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 16; ++x) {
        const uint32_t sv = samples->GetPixel(x, y), dv = expect->GetPixel(x, y);
        uint32_t want = dv;
        if (sv != kUntouched && !(key && sv == static_cast<uint32_t>(src->TransparentColor)))
          want = add ? AddPixel(dv, sv, static_cast<uint32_t>(alpha), c)
                     : alpha == 255 ? sv : sv == dv ? dv : BlendPixel(sv, dv, static_cast<uint32_t>(alpha), c);
        ASSERT_EQ(drawn->GetPixel(x, y), want) << iter << " at " << x << "," << y;
      }
  }
}

TEST(StretchDraw, DestinationTwoThousandPixelsWide) {
  auto src = PaintedDIBX(7, 1, 32, [](int32_t x, int32_t) { return uint32_t(x + 1); });
  auto dst = test::MakeDIBX(2000, 2, 32);
  dst->StretchDrawAlpha({0, 0, 2000, 2}, *src, {0, 0, 7, 1}, false, false, false, 255);
  const int64_t step = static_cast<int64_t>(7.0 / 2000.0 * 65536.0);
  for (int32_t x = 0; x < 2000; ++x) {
    ASSERT_EQ(dst->GetPixel(x, 1), uint32_t((x * step >> 16) + 1)) << x;
    ASSERT_EQ(dst->GetPixel(x, 0), dst->GetPixel(x, 1));
  }
  auto wide = PaintedDIBX(2100, 3, 16, [](int32_t x, int32_t) { return uint32_t(x & 0x7FFF); });
  auto dst16 = test::MakeDIBX(2100, 3, 16);
  dst16->StretchDrawAdd({-50, 0, 2150, 3}, *wide, {0, 0, 2100, 3}, false, true, false, 255);
  EXPECT_NE(dst16->GetPixel(2099, 0), 0u);
}

// ---- rotated draws ----------------------------------------------------------

// Expects every source pixel at the destination given by `place` and every
// other destination pixel untouched.
void ExpectPlaced(TCustomDIBX& dst, TCustomDIBX& src, const std::function<TPoint(int32_t, int32_t)>& place) {
  TRow expected(static_cast<size_t>(dst.Width() * dst.Height()), kUntouched);
  for (int32_t sy = 0; sy < src.Height(); ++sy)
    for (int32_t sx = 0; sx < src.Width(); ++sx) {
      TPoint p = place(sx, sy);
      ASSERT_TRUE(PointInRect(p, dst.GetBoundsRect()));
      expected[static_cast<size_t>(p.Y * dst.Width() + p.X)] = src.GetPixel(sx, sy);
    }
  EXPECT_EQ(Pixels(dst), expected);
}

TEST(RotatedBounds, MovedMirroredAndTurnedRectangles) {
  struct TCase {
    int32_t angle;
    bool flip_h;
    TRect expected;
  };
  // Angle 0 at (5, 7) is the source rectangle moved; the pivot mirrored
  // under FlipH lies (10 - 1 - 0) = 9 columns to the left; a quarter turn of
  // the 10 x 20 rectangle (drawn at 0, 0) lies on its side.
  for (const TCase& c : {TCase{0, false, {5, 7, 15, 27}}, TCase{0, true, {-4, 7, 6, 27}}, TCase{64, false, {-19, 0, 1, 10}}}) {
    TRect r;
    const int32_t at = c.angle == 0 ? 1 : 0;
    RotatedBounds(5 * at, 7 * at, 0, 0, c.angle, {0, 0, 10, 20}, 256, 256, 10, 20, c.flip_h, false, r);
    EXPECT_EQ(r, c.expected) << c.angle << " " << c.flip_h;
  }
}

TEST(DrawRotate, WholeTurnsPlaceEveryPixel) {
  // Angle 0 and zoom 256 draws unrotated with the pivot at (x, y).
  auto src = Numbered(4, 3, 32);
  auto dst = Sentinel(12, 10, 32);
  dst->DrawRotate(5, 4, 256, 256, *src, {0, 0, 4, 3}, 1, 2, 0, false, false, false, 255);
  ExpectPlaced(*dst, *src, [](int32_t sx, int32_t sy) { return TPoint{5 + sx - 1, 4 + sy - 2}; });
  auto small = Numbered(3, 2, 16);
  auto quarter = Sentinel(10, 10, 16);
  quarter->DrawRotate(5, 5, 256, 256, *small, {0, 0, 3, 2}, 0, 0, 64, false, false, false, 255);
  ExpectPlaced(*quarter, *small, [](int32_t sx, int32_t sy) { return TPoint{5 - sy, 5 + sx}; });
  auto half = Sentinel(10, 10, 16);
  half->DrawRotate(5, 5, 256, 256, *small, {0, 0, 3, 2}, 1, 1, 128, false, false, false, 255);
  ExpectPlaced(*half, *small, [](int32_t sx, int32_t sy) { return TPoint{5 + 1 - sx, 5 + 1 - sy}; });
  // Flips mirror within the source rectangle: columns 2..4 into destination
  // columns 2..0, rows swapped.
  auto wide = Numbered(6, 2, 24);
  auto flipped = Sentinel(8, 4, 24);
  flipped->DrawRotate(0, 0, 256, 256, *wide, {2, 0, 5, 2}, 2, 0, 0, false, true, true, 255);
  auto part = PaintedDIBX(3, 2, 24, [](int32_t x, int32_t y) { return uint32_t(1 + (x + 2) + 16 * y); });
  ExpectPlaced(*flipped, *part, [](int32_t sx, int32_t sy) { return TPoint{2 - sx, 1 - sy}; });
}

TEST(DrawRotate, Zoom512DoublesTheWidthAndZoomZeroDrawsNothing) {
  auto src = Numbered(3, 1, 32);
  EXPECT_EQ(test::After(10, 1, 32, kUntouched, [&](auto& d) { d.DrawRotate(1, 0, 512, 256, *src, {0, 0, 3, 1}, 0, 0, 0, false, false, false, 255); }),
            (TRow{kUntouched, 1, 1, 2, 2, 3, 3, kUntouched, kUntouched, kUntouched}));
  EXPECT_EQ(test::After(10, 3, 32, kUntouched, [&](auto& d) {
              d.DrawRotate(1, 1, 0, 256, *src, {0, 0, 3, 1}, 0, 0, 0, false, false, false, 255);
              d.DrawRotate(1, 1, 256, 0, *src, {0, 0, 3, 1}, 0, 0, 0, false, false, false, 255);
              d.DrawRotate(1, 1, 256, 256, *src, {0, 0, 3, 1}, 0, 0, 0, false, false, false, 0);
            }),
            TRow(30, kUntouched));
}

TEST(DrawRotate, PixelsMappedLeftOfOrAboveTheSourceOriginStayUntouched) {
  // An eighth of a turn about the source's top-left corner: every
  // destination pixel whose inverse position is negative keeps its value.
  auto src = Flat(6, 6, 32, 0x111111);
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

// Opacity, additive strength, coverage and keys, worked by hand on one pixel.
TEST(DrawRotate, BlendAddMaskAndKeyVectors) {
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
    auto src = Flat(1, 1, k.bits, k.src), dst = Flat(1, 1, k.bits, k.dst);
    if (k.mask < 0) {
      dst->DrawRotate(0, 0, 256, 256, *src, {0, 0, 1, 1}, 0, 0, 0, false, false, false, k.alpha);
    } else {
      dst->DrawRotateMask(0, 0, 256, 256, *src, {0, 0, 1, 1}, 0, 0, 0, false, false, *Flat(1, 1, 8, uint32_t(k.mask)), k.alpha);
    }
    EXPECT_EQ(dst->GetPixel(0, 0), k.expected) << k.bits << " alpha " << k.alpha << " mask " << k.mask;
  }
  auto keyed = PaintedDIBX(2, 1, 32, [](int32_t x, int32_t) { return x == 0 ? 7u : 9u; });
  keyed->TransparentColor = 7;
  EXPECT_EQ(test::After(2, 1, 32, kUntouched, [&](auto& d) { d.DrawRotate(0, 0, 256, 256, *keyed, {0, 0, 2, 1}, 0, 0, 0, true, false, false, 255); }),
            (TRow{kUntouched, 9u}));
}

// One rotation of a picture of random pixels (a third of them the key 0x12)
// through a mask (a third of it 0, a sixth 255) or without one, over a
// destination of random pixels, checked against each pixel worked from the
// source pixel under it, found by turning a picture of pixel numbers the
// same way: masked draws blend or add with weight m (m x level shr 8 below
// level 255) where m is not 0; unmasked ones skip keyed pixels, add at alpha
// 256 and up, copy at 255, else blend.
struct TTurn {
  int32_t bits, sw, sh, dw, dh;  // depth, source and destination sizes
  int32_t x, y, zx, zy, cx, cy, angle, alpha;
  bool fh, fv, masked, key;
};

void ExpectTurnFollowsThePixelRule(std::mt19937& rng, const TTurn& t, const std::string& what) {
  auto pick = [&](int32_t, int32_t) { return rng() % 3 == 0 ? 0x12u : static_cast<uint32_t>(rng()) & test::DepthMask(t.bits); };
  auto src = PaintedDIBX(t.sw, t.sh, t.bits, pick), dst = PaintedDIBX(t.dw, t.dh, t.bits, pick);
  auto before = MakeDIBX(t.dw, t.dh, t.bits);
  auto mask = PaintedDIBX(t.sw, t.sh, 8, [&](int32_t, int32_t) { return rng() % 3 == 0 ? 0u : rng() % 4 == 0 ? 255u : rng() % 256; });
  auto where = PaintedDIBX(t.sw, t.sh, 32, [&](int32_t x, int32_t y) { return uint32_t(1 + x + y * t.sw); });
  auto landed = MakeDIBX(t.dw, t.dh, 32);
  before->Draw(0, 0, *dst, {0, 0, t.dw, t.dh}, false, false, false);
  src->TransparentColor = 0x12;
  const TRect sr{0, 0, t.sw, t.sh};
  landed->DrawRotate(t.x, t.y, t.zx, t.zy, *where, sr, t.cx, t.cy, t.angle, false, t.fh, t.fv, 255);
  if (t.masked) dst->DrawRotateMask(t.x, t.y, t.zx, t.zy, *src, sr, t.cx, t.cy, t.angle, t.fh, t.fv, *mask, t.alpha);
  else dst->DrawRotate(t.x, t.y, t.zx, t.zy, *src, sr, t.cx, t.cy, t.angle, t.key, t.fh, t.fv, t.alpha);
  const TChannelSet c = ChannelsFor(t.bits);
  const uint32_t level = static_cast<uint32_t>(t.alpha) & 255;
  for (int32_t py = 0; py < t.dh; ++py)
    for (int32_t px = 0; px < t.dw; ++px) {
      const uint32_t at = landed->GetPixel(px, py), dv = before->GetPixel(px, py);
      uint32_t want = dv;
      const uint32_t sv = at ? src->GetPixel(int32_t(at - 1) % t.sw, int32_t(at - 1) / t.sw) : 0;
      const uint32_t m = at ? mask->GetPixel(int32_t(at - 1) % t.sw, int32_t(at - 1) / t.sw) : 0;
      const uint32_t w = level == 255 ? m : (m * level) >> 8;
      if (at && t.masked && m != 0) want = t.alpha < 256 ? BlendPixel(sv, dv, w, c) : AddPixel(dv, sv, w, c);
      if (at && !t.masked && !(t.key && sv == 0x12))
        want = t.alpha >= 256 ? AddPixel(dv, sv, level, c) : t.alpha == 255 ? sv : BlendPixel(sv, dv, level, c);
      ASSERT_EQ(dst->GetPixel(px, py), want) << what << " at " << px << "," << py;
    }
}

// Random rotations (angles, zooms, flips, keys, masks, every depth) of small
// pictures.
TEST(DrawRotate, SampledRowsEqualThePixelRule) {
  std::mt19937 rng(17);
  for (int iter = 0; iter < 400; ++iter) {
    // Braced lists are worked left to right, so the draws keep their order.
    const int32_t sw = Any(rng, 1, 9), sh = Any(rng, 1, 9);
    const TTurn t{.bits = std::array{8, 16, 24, 32}[iter % 4], .sw = sw, .sh = sh, .dw = 20, .dh = 16,
                  .x = Any(rng, 0, 19), .y = Any(rng, 0, 15), .zx = Any(rng, 100, 700), .zy = Any(rng, 100, 700),
                  .cx = Any(rng, 0, sw), .cy = Any(rng, 0, sh), .angle = Any(rng, 0, 255), .alpha = Any(rng, 1, 520),
                  .fh = (rng() & 1) != 0, .fv = (rng() & 1) != 0, .masked = (rng() & 1) != 0, .key = (rng() & 1) != 0};
    ExpectTurnFollowsThePixelRule(rng, t, "iteration " + std::to_string(iter));
    if (HasFatalFailure()) return;
  }
}

// Masked 32-bit rotations of a picture wider than a row step of the vector
// forms (37 x 23: rows not a multiple of 8 or 16 pixels), at angles near
// level and upright where the rows are walked in groups picked from two
// source rows, and beyond them where they are gathered, mirrored or not,
// blended and added, whole and cut by the destination's edges.
TEST(DrawRotate, MaskedTurnsOfAWidePictureEqualThePixelRule) {
  struct TCase {
    int32_t angle, zoom, alpha;
    bool fh;
  };
  const TCase cases[] = {
      {1, 256, 255, false},   {8, 256, 200, false},  {8, 256, 300, true},   {13, 300, 128, false},
      {24, 256, 255, false},  {60, 256, 200, false}, {64, 256, 200, false}, {68, 256, 255, true},
      {120, 256, 200, false}, {128, 256, 255, true}, {136, 200, 511, false}, {250, 256, 200, false},
      {255, 512, 100, true},  {200, 256, 200, false},
  };
  std::mt19937 rng(29);
  for (const TCase& k : cases)
    for (const int32_t x : {32, 5}) {
      const TTurn t{.bits = 32, .sw = 37, .sh = 23, .dw = 64, .dh = 48, .x = x, .y = 24, .zx = k.zoom, .zy = k.zoom,
                    .cx = 18, .cy = 11, .angle = k.angle, .alpha = k.alpha, .fh = k.fh, .fv = k.angle % 2 == 0,
                    .masked = true, .key = false};
      ExpectTurnFollowsThePixelRule(rng, t, "angle " + std::to_string(k.angle) + " at x " + std::to_string(x));
      if (HasFatalFailure()) return;
    }
}

// ---- tiles and patterns -----------------------------------------------------

TEST(DrawTile, TilesStartAtTheRectangleAndRepeatWithTheirGaps) {
  // Eight-pixel tiles over twenty are eight, eight and four.
  auto src = Numbered(8, 8, 32);
  EXPECT_EQ(After(24, 24, 32, U, [&](auto& d) { d.DrawTile({0, 0, 20, 20}, 0, 0, *src, {0, 0, 8, 8}, false, 0, 0); }),
            test::Map(24, 24, [](int32_t x, int32_t y) { return x < 20 && y < 20 ? Number(x % 8, y % 8) : U; }));
  // Gap two starts tiles at 0, 10 and 20.
  auto src16 = Numbered(8, 8, 16);
  EXPECT_EQ(After(24, 8, 16, U, [&](auto& d) { d.DrawTile({0, 0, 24, 8}, 2, 0, *src16, {0, 0, 8, 8}, false, 0, 0); }),
            test::Map(24, 8, [](int32_t x, int32_t y) { return x % 10 < 8 ? Number(x % 10, y) : U; }));
  // Offsets start inside the source.
  auto row = Numbered(8, 1, 32);
  for (const auto& c : {std::tuple{3, 3, 5}, {-3, 5, 3}, {-8, 0, 8}, {19, 3, 5}}) {
    const int offset = std::get<0>(c), first_column = std::get<1>(c), first_width = std::get<2>(c);
    EXPECT_EQ(After(12, 1, 32, U, [&](auto& d) { d.DrawTile({0, 0, 12, 1}, 0, 0, *row, {0, 0, 8, 1}, false, offset, 0); }),
              test::Map(12, 1, [&](int32_t x, int32_t) { return Number(x < first_width ? first_column + x : (x - first_width) % 8, 0); }))
        << "offset " << offset;
  }
}

TEST(DrawTile, BlendedAndMaskedTilesUseTheirDraws) {
  auto src = Flat(2, 2, 32, 0xFFFFFF);
  auto mask = PaintedDIBX(2, 2, 8, [](int32_t x, int32_t) { return x == 0 ? 255u : 0u; });
  EXPECT_EQ(After(5, 1, 32, 0, [&](auto& d) { d.DrawTileAlpha({0, 0, 5, 1}, 0, 0, *src, {0, 0, 2, 2}, false, 128, 0, 0); }),
            TRow(5, 0x7F7F7F));
  // Full coverage at full strength adds (255 x 255) shr 8 = 254.
  EXPECT_EQ(After(5, 1, 32, 0, [&](auto& d) { d.DrawTileAddMask({0, 0, 5, 1}, 0, 0, *src, {0, 0, 2, 2}, *mask, 255, 0, 0); }),
            (TRow{0xFEFEFE, 0, 0xFEFEFE, 0, 0xFEFEFE}));
}

TEST(StretchDrawTile, PitchZoomPhaseAndOpacity) {
  // Zoom 512 with a pitch of the source width draws touching double tiles.
  auto src = PaintedDIBX(2, 2, 32, [](int32_t x, int32_t y) { return uint32_t(1 + x + 2 * y); });
  EXPECT_EQ(After(10, 8, 32, U, [&](auto& d) { d.StretchDrawTile({0, 0, 10, 8}, 2, 2, 512, 512, *src, {0, 0, 2, 2}, false, false, false, 255, 0, 0); }),
            test::Map(10, 8, [](int32_t x, int32_t y) { return uint32_t(1 + (x % 4) / 2 + 2 * ((y % 4) / 2)); }));
  // Opacity 300 adds with weight 44: (255 x 44) shr 8 = 43; 256 adds nothing.
  auto white = Flat(2, 2, 32, 0xFFFFFF);
  for (const auto& [alpha, expected] : {std::pair{300, 0x2B2B2Bu}, {256, 0u}}) {
    const int a = alpha;
    EXPECT_EQ(After(4, 4, 32, 0, [&](auto& d) { d.StretchDrawTile({0, 0, 4, 4}, 2, 2, 256, 256, *white, {0, 0, 2, 2}, false, false, false, a, 0, 0); }),
              TRow(16, expected)) << alpha;
  }
  // Pitch 3 source pixels at zoom 256 with offset 1: origins at -1, 2, 5; with -1 at 1, 4, 7.
  auto pair = PaintedDIBX(2, 1, 32, [](int32_t x, int32_t) { return uint32_t(1 + x); });
  for (const auto& [offset, expected] : {std::pair{1, TRow{2, U, 1, 2, U, 1, 2, U}}, {-1, TRow{U, 1, 2, U, 1, 2, U, 1}}}) {
    const int o = offset;
    EXPECT_EQ(After(8, 1, 32, U, [&](auto& d) { d.StretchDrawTile({0, 0, 8, 1}, 3, 1, 256, 256, *pair, {0, 0, 2, 1}, false, false, false, 255, o, 0); }),
              expected) << offset;
  }
}

TEST(TilesAndPatterns, NegativeGapsEmptySourcesAndZeroZoomsReturnAtOnce) {
  auto src = Numbered(3, 3, 32);
  auto empty = MakeDIBX(0, 0, 32);
  EXPECT_EQ(After(8, 8, 32, U, [&](auto& d) {
              d.DrawTile({0, 0, 8, 8}, -1, 0, *src, {0, 0, 3, 3}, false, 0, 0);
              d.DrawTile({0, 0, 8, 8}, 0, -3, *src, {0, 0, 3, 3}, false, 0, 0);
              d.DrawTile({0, 0, 8, 8}, 0, 0, *src, {1, 1, 1, 3}, false, 0, 0);
              d.DrawTileAlpha({0, 0, 8, 8}, 0, 0, *src, {0, 2, 3, 2}, false, 100, 0, 0);
              d.StretchDrawTile({0, 0, 8, 8}, 3, 3, 0, 256, *src, {0, 0, 3, 3}, false, false, false, 255, 0, 0);
              d.StretchDrawTile({0, 0, 8, 8}, 3, 3, 256, -5, *src, {0, 0, 3, 3}, false, false, false, 255, 0, 0);
              d.StretchDrawTile({0, 0, 8, 8}, 0, 3, 256, 256, *src, {0, 0, 3, 3}, false, false, false, 255, 0, 0);
              d.StretchDrawTile({0, 0, 8, 8}, 3, -3, 256, 256, *src, {0, 0, 3, 3}, false, false, false, 255, 0, 0);
              d.StretchDrawTile({0, 0, 8, 8}, 3, 3, 256, 256, *src, {2, 0, 2, 3}, false, false, false, 255, 0, 0);
              d.PatternFillZoom({0, 0, 8, 8}, 0, 256, *src, 0, 0, false, false, false, 255);
              d.PatternFill({0, 0, 8, 8}, *empty, 0, 0, false, false);
              d.PatternFillZoom({0, 0, 8, 8}, 256, 256, *empty, 0, 0, false, false, false, 255);
            }),
            TRow(64, U));
}

TEST(TilesAndPatterns, LoopsOverHugeRectanglesEnd) {
  auto one = Flat(1, 1, 16, 0x1234);
  const TRect huge{INT_MIN + 1, INT_MIN + 1, INT_MAX - 1, INT_MAX - 1};
  for (const auto& draw : std::initializer_list<std::function<void(TCustomDIBX&)>>{
           [&](TCustomDIBX& d) { d.DrawTile(huge, 0, 0, *one, {0, 0, 1, 1}, false, 7, 7); },
           [&](TCustomDIBX& d) { d.StretchDrawTile(huge, 1, 1, 1, 1, *one, {0, 0, 1, 1}, false, false, false, 255, INT_MIN, INT_MAX); },
           [&](TCustomDIBX& d) { d.PatternFillZoom(huge, 1, 1, *one, INT_MIN, INT_MAX, false, true, true, 255); }})
    EXPECT_EQ(After(16, 16, 16, 0, draw), TRow(16 * 16, 0x1234));
}

TEST(PatternFill, PatternsAreAnchoredToTheirRectangleOrBand) {
  // FlipH with offset 0 starts at the last column and runs left.
  auto four = PaintedDIBX(4, 1, 8, [](int32_t x, int32_t) { return uint32_t(1 + x); });
  EXPECT_EQ(After(9, 1, 8, 0, [&](auto& d) { d.PatternFill({0, 0, 9, 1}, *four, 0, 0, true, false); }),
            (TRow{4, 3, 2, 1, 4, 3, 2, 1, 4}));
  auto pat = PaintedDIBX(3, 2, 32, [](int32_t x, int32_t y) { return uint32_t(1 + x + 3 * y); });
  EXPECT_EQ(After(8, 4, 32, 0, [&](auto& d) { d.PatternFill({2, 1, 8, 4}, *pat, 1, -1, false, false); }),
            test::Map(8, 4, [](int32_t x, int32_t y) { return x < 2 || y < 1 ? 0u : uint32_t(1 + (x - 1) % 3 + 3 * (y % 2)); }));
  // The right band starts at column 5 with pattern column 0, the bottom band
  // at row 4 with pattern row 0; the middle is untouched.
  auto two = PaintedDIBX(2, 2, 16, [](int32_t x, int32_t y) { return uint32_t(1 + x + 2 * y); });
  auto frame = MakeDIBX(7, 6, 16);
  frame->PatternFrameRect({0, 0, 7, 6}, 2, *two, 0, 0);
  EXPECT_EQ((TRow{frame->GetPixel(5, 2), frame->GetPixel(6, 3), frame->GetPixel(2, 4), frame->GetPixel(3, 5),
                  frame->GetPixel(3, 2), frame->GetPixel(4, 3)}),
            (TRow{1, 4, 1, 4, 0, 0}));
}

TEST(PatternFillZoom, Zoom256AtFullOpacityEqualsPatternFill) {
  std::mt19937 rng(404);
  for (int iter = 0; iter < 300; ++iter) {
    const int32_t bits = iter % 2 ? 16 : 32;
    auto pat = MakeDIBX(Any(rng, 1, 6), Any(rng, 1, 6), bits);
    test::Randomise(*pat, rng, test::DepthMask(bits));
    const TRect r{Any(rng, -3, 5), Any(rng, -3, 5), Any(rng, 0, 12), Any(rng, 0, 12)};
    const int32_t ox = Any(rng, -20, 20), oy = Any(rng, -20, 20);
    const bool fh = rng() & 1, fv = rng() & 1;
    ASSERT_EQ(After(10, 10, bits, 0, [&](auto& d) { d.PatternFill(r, *pat, ox, oy, fh, fv); }),
              After(10, 10, bits, 0, [&](auto& d) { d.PatternFillZoom(r, 256, 256, *pat, ox, oy, false, fh, fv, 255); }))
        << iter << " offsets " << ox << "," << oy << " flips " << fh << fv;
  }
}

TEST(PatternFillZoom, ZoomBlendsAndMasks) {
  auto pat = PaintedDIBX(2, 1, 32, [](int32_t x, int32_t) { return x == 0 ? 0xFFFFFFu : 0x000000u; });
  EXPECT_EQ(After(8, 1, 32, U, [&](auto& d) { d.PatternFillZoom({0, 0, 8, 1}, 512, 256, *pat, 0, 0, false, false, false, 255); }),
            (TRow{0xFFFFFF, 0xFFFFFF, 0, 0, 0xFFFFFF, 0xFFFFFF, 0, 0}));
  pat->TransparentColor = 0;
  EXPECT_EQ(After(4, 1, 32, 0, [&](auto& d) { d.PatternFillZoom({0, 0, 4, 1}, 256, 256, *pat, 0, 0, true, false, false, 128); }),
            (TRow{0x7F7F7F, 0, 0x7F7F7F, 0}));
  auto mask = PaintedDIBX(2, 1, 8, [](int32_t x, int32_t) { return x == 0 ? 128u : 255u; });
  // Opaque mode through the mask blends with (m x 255) shr 8: 127 -> 126.
  // Additive: weight 300 - 256 = 44, times coverage 128: 22; 16 + (255 x 22) shr 8 = 37.
  for (const auto& [start, alpha, expected] : {std::tuple{0u, 255, 0x7E7E7Eu}, {0x101010u, 300, 0x252525u}}) {
    const int a = alpha;
    EXPECT_EQ(After(2, 1, 32, start, [&](auto& d) { d.PatternFillZoomMask({0, 0, 2, 1}, 256, 256, *pat, 0, 0, false, false, *mask, a); })[0],
              expected) << alpha;
  }
}

// ---- reduced and indexed draws ----------------------------------------------

TEST(DrawMonoReduced, BlocksMixTheirInkIntoOnePixel) {
  struct TCase {
    int32_t bits;
    uint32_t color, dest;
    int ink;  // the first `ink` pixels of the 4 x 4 block (row by row) are 0, the rest 1
    int32_t alpha;
    uint32_t expected;
  };
  const TCase cases[] = {
      {16, 0xF800, 0x001F, 16, 255, 0xF800},    // all ink: the colour exactly
      {16, 0xF800, 0x001F, 0, 255, 0x001F},     // no ink: unchanged
      {16, 0xF800, 0x001F, 8, 255, 0x780F},     // half: the per-channel mean
      {32, 0xFF0000, 0x0000FF, 8, 255, 0x7F007F},
      {15, 0x7C00, 0x0000, 16, 255, 0x7C00},
      {32, 0xFF0000, 0x0000FF, 16, 128, 0x7F007F},  // alpha 128 halves the count
      {32, 0xFF0000, 0x0000FF, 8, 128, 0x3F00BF},   // 8 ink at 128: 4 of 16
      {24, 0xFF0000, 0x0000FF, 16, 255, 0x0000FF},  // other depths draw nothing
  };
  for (const TCase& k : cases) {
    auto src = PaintedDIBX(4, 4, 1, [&](int32_t x, int32_t y) { return x + 4 * y < k.ink ? 0u : 1u; });
    EXPECT_EQ(After(1, 1, k.bits, k.dest, [&](auto& d) { d.DrawMonoReduced(0, 0, *src, {0, 0, 4, 4}, k.color, false, false, k.alpha, 4); }),
              TRow{k.expected}) << k.bits << " ink " << k.ink << " alpha " << k.alpha;
  }
  // Forty by twenty at factor four covers ten by five.
  auto ink = Flat(40, 20, 1, 0);
  EXPECT_EQ(After(16, 8, 32, U, [&](auto& d) { d.DrawMonoReduced(0, 0, *ink, {0, 0, 40, 20}, 0x123456, false, false, 255, 4); }),
            test::Box(16, 8, {0, 0, 10, 5}, 0x123456, U));
}

TEST(DrawMonoReduced, FlipsTakeBlocksFromTheFarEdgesAndZeroFactorDrawsNothing) {
  // 10 x 4 source: block 0 (columns 0..3) all ink, block 1 none, columns 8..9
  // left over. Mirrored, blocks are taken from the right: 6..9 (two ink
  // columns 8, 9 absent: none), then 2..5 (two ink columns of 4).
  auto src = PaintedDIBX(10, 4, 1, [](int32_t x, int32_t) { return x < 4 ? 0u : 1u; });
  EXPECT_EQ(After(2, 1, 32, 0, [&](auto& d) { d.DrawMonoReduced(0, 0, *src, {0, 0, 10, 4}, 0xFFFFFF, true, false, 255, 4); }),
            (TRow{0, 0x7F7F7F}));
  EXPECT_EQ(After(2, 1, 32, U, [&](auto& d) {
              d.DrawMonoReduced(0, 0, *src, {0, 0, 10, 4}, 0xFFFFFF, false, false, 255, 0);
              d.DrawMonoReduced(0, 0, *src, {0, 0, 10, 4}, 0xFFFFFF, false, false, 255, -4);
            }),
            (TRow{U, U}));
}

TEST(DrawMonoReducedTable, ClassesMixByTheirCounts) {
  const std::array<uint32_t, 3> table{0x000010, 0x001000, 0x100000};
  auto run = [&](const std::function<uint32_t(int32_t, int32_t)>& classes, uint32_t dest, int32_t alpha) {
    auto src = PaintedDIBX(4, 4, 4, classes);
    return After(1, 1, 32, dest, [&](auto& d) { d.DrawMonoReducedTable(0, 0, *src, {0, 0, 4, 4}, table, false, false, alpha, 4); })[0];
  };
  EXPECT_EQ(run([](int32_t, int32_t) { return 0u; }, U, 255), U);  // all background
  EXPECT_EQ(run([](int32_t, int32_t) { return 1u; }, 0xFFFFFF, 255), 0x000010u);
  EXPECT_EQ(run([](int32_t, int32_t) { return 2u; }, 0xFFFFFF, 255), 0x001000u);
  // Upper bits of a pixel are not its class: 5 is class 1.
  EXPECT_EQ(run([](int32_t, int32_t) { return 5u; }, 0xFFFFFF, 255), 0x000010u);
  // Half class 3 over 0x200000: (0x10 x 8 x 256 + 0x20 x 8 x 256) shr 12 = 0x18.
  EXPECT_EQ(run([](int32_t, int32_t y) { return y < 2 ? 3u : 0u; }, 0x200000, 255), 0x180000u);
  // Additive above 255: all class 1 at 300 over 0x10: (16 x 4800 + 16 x 4096) shr 12 = 34.
  EXPECT_EQ(run([](int32_t, int32_t) { return 1u; }, 0x000010, 300), 0x000022u);
  EXPECT_EQ(run([](int32_t, int32_t) { return 1u; }, 0x0000F0, 511), 0x0000FFu);  // limited
}

TEST(DrawIndexed, TableValuesCopiedBlendedOrAddedAndTheKeyNeverWritten) {
  std::array<uint32_t, 16> ramp{};
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = 0x1000u + static_cast<uint32_t>(i);
  auto keyed = PaintedDIBX(5, 3, 4, [](int32_t x, int32_t y) { return uint32_t((x + y) % 4); });
  keyed->TransparentColor = 3;
  for (int32_t alpha : {255, 128, 300}) {
    const TRow drawn = After(5, 3, 16, U, [&](auto& d) { d.DrawIndexed(0, 0, *keyed, {0, 0, 5, 3}, false, false, alpha, ramp); });
    for (size_t i = 0; i < drawn.size(); ++i) EXPECT_EQ(drawn[i] == U, (i % 5 + i / 5) % 4 == 3) << alpha << " " << i;
  }
  const std::array<uint32_t, 2> table{0x000000, 0xFFFFFF}, dim{0x000000, 0x101010};
  auto src = PaintedDIBX(3, 1, 4, [](int32_t x, int32_t) { return x == 1 ? 0u : 1u; });
  EXPECT_EQ(After(3, 1, 32, 0, [&](auto& d) { d.DrawIndexed(0, 0, *src, {0, 0, 3, 1}, true, false, 255, table); }),
            (TRow{0xFFFFFF, 0, 0xFFFFFF}));
  EXPECT_EQ(After(3, 1, 32, 0, [&](auto& d) { d.DrawIndexed(0, 0, *src, {0, 0, 3, 1}, false, false, 128, table); })[0],
            0x7F7F7Fu);
  // Above 255: T x Alpha shr 8 added; 0x10 x 300 shr 8 = 18, over 0x10 gives 34;
  // an entry of 0 adds nothing, nor does a destination of 0xFFFFFF or more.
  auto add = PaintedDIBX(3, 1, 32, [](int32_t x, int32_t) { return x == 2 ? 0xFFFFFFu : 0x101010u; });
  add->DrawIndexed(0, 0, *src, {0, 0, 3, 1}, false, false, 300, dim);
  EXPECT_EQ(test::Pixels(*add), (TRow{0x222222, 0x101010, 0xFFFFFF}));
  // Indices past a short table draw nothing.
  EXPECT_EQ(After(3, 1, 32, U, [&](auto& d) { d.DrawIndexed(0, 0, *src, {0, 0, 3, 1}, false, false, 255, std::span<const uint32_t>(table.data(), 1)); }),
            (TRow{U, 0, U}));
}

TEST(DrawIndexedAdd, IndicesBelowMinIndexAddNothingAndStretchesAdd) {
  std::array<uint32_t, 256> table{};
  table[16] = table[17] = 0x404040;
  auto src = PaintedDIBX(2, 1, 8, [](int32_t x, int32_t) { return x == 0 ? 16u : 17u; });
  for (int32_t bits : {32, 24})  // 16 + (64 x 255) shr 8 = 79
    EXPECT_EQ(After(2, 1, bits, 0x101010, [&](auto& d) { d.DrawIndexedAdd(0, 0, *src, {0, 0, 2, 1}, 17, false, false, 255, table); }),
              (TRow{0x101010, 0x4F4F4F})) << bits;
  table[20] = 0x0821;  // one step of each 5-6-5 channel
  table[5] = 0xFFFF;
  auto wide = PaintedDIBX(2, 1, 8, [](int32_t x, int32_t) { return x == 0 ? 20u : 5u; });
  auto dst = test::MakeDIBX(4, 2, 16);
  dst->DrawIndexedStretch({0, 0, 4, 2}, *wide, {0, 0, 2, 1}, 17, false, false, 255, table);
  // (1 x 255) shr 8 = 0 per channel: an add of one step at 255 vanishes...
  EXPECT_EQ(dst->GetPixel(0, 0), 0u);
  table[20] = 0x8410;
  dst->DrawIndexedStretch({0, 0, 4, 2}, *wide, {0, 0, 2, 1}, 17, true, false, 255, table);
  // ...16 steps of red survive as 15 (0x7800), 32 of green as 31 (0x3E0), 16 of blue 15.
  EXPECT_EQ(test::Pixels(*dst), (TRow{0, 0, 0x7BEF, 0x7BEF, 0, 0, 0x7BEF, 0x7BEF}));
}

}  // namespace
}  // namespace orba

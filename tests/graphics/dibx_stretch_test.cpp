#include <gtest/gtest.h>

#include "graphics/dibx_ops_test_util.h"

namespace orba {
namespace {

using test::Any;
using test::MakeDIBX;
using test::PaintedDIBX;
using test::Pixels;

enum class TStretch { Alpha, Add, AlphaMask, AddMask };

// Stretches an n x n surface of `src` pixels onto one of `dst` pixels (the
// masked draws through a mask of `coverage`) and gives the last pixel.
uint32_t StretchBlock(TStretch op, int32_t bits, int32_t n, uint32_t src, uint32_t dst, int32_t alpha,
                      uint32_t coverage = 255) {
  auto s = PaintedDIBX(n, n, bits, [&](int32_t, int32_t) { return src; });
  auto d = PaintedDIBX(n, n, bits, [&](int32_t, int32_t) { return dst; });
  auto m = PaintedDIBX(n, n, 8, [&](int32_t, int32_t) { return coverage; });
  const TRect r{0, 0, n, n};
  switch (op) {
    case TStretch::Alpha: d->StretchDrawAlpha(r, *s, r, false, false, false, alpha); break;
    case TStretch::Add: d->StretchDrawAdd(r, *s, r, false, false, false, alpha); break;
    case TStretch::AlphaMask: d->StretchDrawAlphaMask(r, *s, r, false, false, *m, alpha); break;
    case TStretch::AddMask: d->StretchDrawAddMask(r, *s, r, false, false, *m, alpha); break;
  }
  return d->GetPixel(n - 1, n - 1);
}

TEST(StretchDraw, TwoByTwoToFourByFourRepeatsEachPixelInABlock) {
  auto src = PaintedDIBX(2, 2, 32, [](int32_t x, int32_t y) { return uint32_t(1 + x + 2 * y); });
  auto dst = MakeDIBX(4, 4, 32);
  dst->StretchDrawAlpha({0, 0, 4, 4}, *src, {0, 0, 2, 2}, false, false, false, 255);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dst->GetPixel(x, y), uint32_t(1 + x / 2 + 2 * (y / 2))) << x << "," << y;
}

TEST(StretchDraw, FourByFourShrunkTakesEveryOtherPixel) {
  auto src = PaintedDIBX(4, 4, 16, [](int32_t x, int32_t y) { return uint32_t(1 + x + 10 * y); });
  auto copy = MakeDIBX(2, 2, 16);
  copy->StretchDrawAlpha({0, 0, 2, 2}, *src, {0, 0, 4, 4}, false, false, false, 255);
  EXPECT_EQ(Pixels(*copy), (std::vector<uint32_t>{1, 3, 21, 23}));
}

TEST(StretchDraw, FlippedOneRowSourceIsReversedExactly) {
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    auto src = PaintedDIBX(5, 1, bits, [](int32_t x, int32_t) { return uint32_t(10 + x); });
    auto dst = MakeDIBX(5, 1, bits);
    dst->StretchDrawAlpha({0, 0, 5, 1}, *src, {0, 0, 5, 1}, false, true, false, 255);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{14, 13, 12, 11, 10})) << bits;
  }
}

TEST(StretchDraw, AlphaZeroDrawsNothing) {
  auto src = PaintedDIBX(3, 3, 32, [](int32_t, int32_t) { return 0xFFFFFFu; });
  auto mask = PaintedDIBX(3, 3, 8, [](int32_t, int32_t) { return 255u; });
  auto dst = MakeDIBX(6, 6, 32);
  dst->StretchDrawAlpha({0, 0, 6, 6}, *src, {0, 0, 3, 3}, false, false, false, 0);
  dst->StretchDrawAdd({0, 0, 6, 6}, *src, {0, 0, 3, 3}, false, false, false, 0);
  dst->StretchDrawAlphaMask({0, 0, 6, 6}, *src, {0, 0, 3, 3}, false, false, *mask, 0);
  dst->StretchDrawAddMask({0, 0, 6, 6}, *src, {0, 0, 3, 3}, false, false, *mask, 0);
  EXPECT_EQ(Pixels(*dst), std::vector<uint32_t>(36, 0));
}

TEST(StretchDraw, OpaqueKeyedDrawCopiesEveryOtherPixelExactly) {
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    auto src = PaintedDIBX(4, 4, bits, [](int32_t x, int32_t y) { return uint32_t((x + y) % 3 == 0 ? 7 : 20 + x + 4 * y); });
    src->TransparentColor = 7;
    auto dst = PaintedDIBX(8, 8, bits, [](int32_t, int32_t) { return 99u; });
    dst->StretchDrawAlpha({0, 0, 8, 8}, *src, {0, 0, 4, 4}, true, false, false, 255);
    for (int32_t y = 0; y < 8; ++y)
      for (int32_t x = 0; x < 8; ++x) {
        uint32_t s = src->GetPixel(x / 2, y / 2);
        EXPECT_EQ(dst->GetPixel(x, y), s == 7 ? 99u : s) << bits << " " << x << "," << y;
      }
  }
}

TEST(StretchDraw, WhiteOverWhiteStaysOnRowKernelDepthsAndDarkensPerPixel) {
  EXPECT_EQ(StretchBlock(TStretch::Alpha, 32, 2, 0xFFFFFF, 0xFFFFFF, 128), 0xFFFFFFu);
  EXPECT_EQ(StretchBlock(TStretch::Alpha, 24, 2, 0xFFFFFF, 0xFFFFFF, 128), 0xFEFEFEu);
}

TEST(StretchDraw, AlphaMaskAtFullOpacityAndFullCoverageCopies) {
  for (int32_t bits : {15, 16, 32}) {
    auto src = PaintedDIBX(2, 1, bits, [](int32_t x, int32_t) { return x == 0 ? 0x7FFFu : 0x1234u; });
    auto mask = PaintedDIBX(2, 1, 8, [](int32_t, int32_t) { return 255u; });
    auto dst = MakeDIBX(2, 1, bits);
    dst->StretchDrawAlphaMask({0, 0, 2, 1}, *src, {0, 0, 2, 1}, false, false, *mask, 255);
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x7FFF, 0x1234})) << bits;
  }
}

TEST(StretchDraw, SixteenBitMaskBlendSkipsEqualPixelsOnlyBelowFullOpacity) {
  EXPECT_EQ(StretchBlock(TStretch::AlphaMask, 16, 1, 0xFFFF, 0xFFFF, 128, 255), 0xFFFFu);
  // At opacity 255 the weight is the coverage, 128, and equal pixels blend:
  // each channel becomes (c x 255) shr 8.
  EXPECT_EQ(StretchBlock(TStretch::AlphaMask, 16, 1, 0xFFFF, 0xFFFF, 255, 128), 0xF7DEu);
}

// Blends worked out by hand from the channel formulas.
TEST(StretchDraw, BlendAndAddVectors) {
  // red (0xF800 x 128) shr 8 = 0x7C00 -> 0x7800; blue (31 x 127) shr 8 = 15.
  EXPECT_EQ(StretchBlock(TStretch::Alpha, 16, 1, 0xF800, 0x001F, 128), 0x780Fu);
  EXPECT_EQ(StretchBlock(TStretch::Add, 16, 1, 0xFFFF, 0, 128), 0x7BEFu);
  // Coverage 255 under opacity 128: the 32-bit weight is the opacity, the
  // 16-bit one (255 x 128) shr 8 = 127: red (0xF800 x 127) shr 8 = 0x7B08 ->
  // 0x7800; green 0x7E0 x 127 shr 8 = 0x3E8 -> 0x3E0; blue 15.
  EXPECT_EQ(StretchBlock(TStretch::AddMask, 32, 1, 0xFFFFFF, 0, 128), 0x7F7F7Fu);
  EXPECT_EQ(StretchBlock(TStretch::AddMask, 16, 1, 0xFFFF, 0, 128), 0x7BEFu);
}

TEST(StretchDraw, EmptySourceOrDestinationDrawsNothing) {
  auto src = PaintedDIBX(3, 3, 32, [](int32_t, int32_t) { return 5u; });
  auto dst = MakeDIBX(4, 4, 32);
  dst->StretchDrawAlpha({0, 0, 4, 4}, *src, {1, 1, 1, 3}, false, false, false, 255);
  dst->StretchDrawAlpha({0, 0, 4, 4}, *src, {2, 2, 1, 1}, false, false, false, 255);
  dst->StretchDrawAlpha({3, 0, 3, 4}, *src, {0, 0, 3, 3}, false, false, false, 255);
  dst->StretchDrawAlpha({0, 4, 4, 0}, *src, {0, 0, 3, 3}, false, false, false, 255);
  EXPECT_EQ(Pixels(*dst), std::vector<uint32_t>(16, 0));
}

TEST(StretchDraw, SourceRectangleOutsideTheSourceIsNotRead) {
  auto src = PaintedDIBX(2, 2, 32, [](int32_t, int32_t) { return 5u; });
  auto dst = MakeDIBX(8, 8, 32);
  dst->StretchDrawAlpha({0, 0, 6, 6}, *src, {-2, -2, 4, 4}, false, false, false, 255);
  // Source rows and columns -2..-1 and 2..3 do not exist: only the middle.
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(dst->GetPixel(x, y), (x >= 2 && x < 4 && y >= 2 && y < 4) ? 5u : 0u) << x << "," << y;
}

TEST(StretchDraw, DestinationTwoThousandPixelsWide) {
  auto src = PaintedDIBX(7, 1, 32, [](int32_t x, int32_t) { return uint32_t(x + 1); });
  auto dst = MakeDIBX(2000, 2, 32);
  dst->StretchDrawAlpha({0, 0, 2000, 2}, *src, {0, 0, 7, 1}, false, false, false, 255);
  const int64_t step = static_cast<int64_t>(7.0 / 2000.0 * 65536.0);
  for (int32_t x = 0; x < 2000; ++x) {
    ASSERT_EQ(dst->GetPixel(x, 1), uint32_t((x * step >> 16) + 1)) << x;
    ASSERT_EQ(dst->GetPixel(x, 0), dst->GetPixel(x, 1));
  }
  auto wide = PaintedDIBX(2100, 3, 16, [](int32_t x, int32_t) { return uint32_t(x & 0x7FFF); });
  auto dst16 = MakeDIBX(2100, 3, 16);
  dst16->StretchDrawAdd({-50, 0, 2150, 3}, *wide, {0, 0, 2100, 3}, false, true, false, 255);
  EXPECT_NE(dst16->GetPixel(2099, 0), 0u);
}

// A clipped stretched draw equals the unclipped draw cropped to the clip, for
// each blend, depth, flip and cut (the left cut included), and the clip
// rectangle is left as it was.
TEST(StretchDraw, ClippedDrawEqualsUnclippedDrawCropped) {
  std::mt19937 rng(2222);
  const int32_t depths[] = {8, 15, 16, 24, 32};
  for (int iter = 0; iter < 1500; ++iter) {
    const int32_t bits = depths[iter % 5];
    const int32_t w = Any(rng, 1, 20), h = Any(rng, 1, 14), sw = Any(rng, 1, 9), sh = Any(rng, 1, 9);
    auto dst = test::RandomDIBX(rng, w, h, bits);
    std::unique_ptr<TDIBX> src, mask;
    std::tie(src, mask) = test::RandomSourceAndMask(rng, sw, sh, bits);
    const int32_t l = Any(rng, -8, w), t = Any(rng, -8, h);
    const TRect dest{l, t, l + Any(rng, 0, 24), t + Any(rng, 0, 18)};
    const int32_t sl = Any(rng, 0, sw - 1), st = Any(rng, 0, sh - 1);
    const TRect sr{sl, st, Any(rng, sl, sw), Any(rng, st, sh)};
    const bool fh = rng() & 1, fv = rng() & 1, key = rng() & 1;
    const int32_t alpha = iter % 3 == 0 ? 255 : Any(rng, 1, 255);
    const TRect clip{Any(rng, 0, w), Any(rng, 0, h), Any(rng, 0, w), Any(rng, 0, h)};
    const int op = iter % 4;
    test::ExpectClipInvariant(*dst, clip, [&](TCustomDIBX& d) {
      switch (op) {
        case 0: d.StretchDrawAlpha(dest, *src, sr, key, fh, fv, alpha); break;
        case 1: d.StretchDrawAdd(dest, *src, sr, key, fh, fv, alpha); break;
        case 2: d.StretchDrawAlphaMask(dest, *src, sr, fh, fv, *mask, alpha); break;
        default: d.StretchDrawAddMask(dest, *src, sr, fh, fv, *mask, alpha); break;
      }
    }, "iteration " + std::to_string(iter));
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace orba

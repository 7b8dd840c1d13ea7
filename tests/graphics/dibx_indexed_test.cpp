#include <gtest/gtest.h>

#include <array>

#include "graphics/dibx_ops_test_util.h"

namespace orba {
namespace {

using test::kUntouched;
using test::MakeDIBX;
using test::PaintedDIBX;
using test::Pixels;
using test::Sentinel;

// A 1-bit 4 x 4 block with the first `ink` pixels (row by row) 0, the rest 1.
std::unique_ptr<TDIBX> MonoBlock(int ink) {
  return PaintedDIBX(4, 4, 1, [ink](int32_t x, int32_t y) { return x + 4 * y < ink ? 0u : 1u; });
}

TEST(DrawMonoReduced, FullEmptyAndHalfBlocks) {
  struct TCase {
    int32_t bits;
    uint32_t color, dest;
    int ink;
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
    auto src = MonoBlock(k.ink);
    auto dst = PaintedDIBX(1, 1, k.bits, [&](int32_t, int32_t) { return k.dest; });
    dst->DrawMonoReduced(0, 0, *src, {0, 0, 4, 4}, k.color, false, false, k.alpha, 4);
    EXPECT_EQ(dst->GetPixel(0, 0), k.expected) << k.bits << " ink " << k.ink << " alpha " << k.alpha;
  }
}

TEST(DrawMonoReduced, FortyByTwentyAtFactorFourCoversTenByFive) {
  auto src = PaintedDIBX(40, 20, 1, [](int32_t, int32_t) { return 0u; });
  auto dst = Sentinel(16, 8, 32);
  dst->DrawMonoReduced(0, 0, *src, {0, 0, 40, 20}, 0x123456, false, false, 255, 4);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(dst->GetPixel(x, y), x < 10 && y < 5 ? 0x123456u : kUntouched);
}

TEST(DrawMonoReduced, FlipsTakeBlocksFromTheFarEdgesAndZeroFactorDrawsNothing) {
  // 10 x 4 source: block 0 (columns 0..3) all ink, block 1 none, columns 8..9
  // left over. Mirrored, blocks are taken from the right: 6..9 (two ink
  // columns 8, 9 absent: none), then 2..5 (two ink columns of 4).
  auto src = PaintedDIBX(10, 4, 1, [](int32_t x, int32_t) { return x < 4 ? 0u : 1u; });
  auto dst = MakeDIBX(2, 1, 32);
  dst->DrawMonoReduced(0, 0, *src, {0, 0, 10, 4}, 0xFFFFFF, true, false, 255, 4);
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0, 0x7F7F7F}));
  auto none = Sentinel(2, 1, 32);
  none->DrawMonoReduced(0, 0, *src, {0, 0, 10, 4}, 0xFFFFFF, false, false, 255, 0);
  none->DrawMonoReduced(0, 0, *src, {0, 0, 10, 4}, 0xFFFFFF, false, false, 255, -4);
  EXPECT_EQ(Pixels(*none), (std::vector<uint32_t>{kUntouched, kUntouched}));
}

TEST(DrawMonoReducedTable, ClassesMixByTheirCounts) {
  const std::array<uint32_t, 3> table{0x000010, 0x001000, 0x100000};
  auto run = [&](const std::function<uint32_t(int32_t, int32_t)>& classes, uint32_t dest, int32_t alpha) {
    auto src = PaintedDIBX(4, 4, 4, classes);
    auto dst = PaintedDIBX(1, 1, 32, [&](int32_t, int32_t) { return dest; });
    dst->DrawMonoReducedTable(0, 0, *src, {0, 0, 4, 4}, table, false, false, alpha, 4);
    return dst->GetPixel(0, 0);
  };
  EXPECT_EQ(run([](int32_t, int32_t) { return 0u; }, kUntouched, 255), kUntouched);  // all background
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

TEST(DrawIndexed, NeverWritesTheTransparentIndex) {
  std::array<uint32_t, 16> table{};
  for (size_t i = 0; i < table.size(); ++i) table[i] = 0x1000u + static_cast<uint32_t>(i);
  auto src = PaintedDIBX(5, 3, 4, [](int32_t x, int32_t y) { return uint32_t((x + y) % 4); });
  src->TransparentColor = 3;
  for (int32_t alpha : {255, 128, 300}) {
    auto dst = Sentinel(5, 3, 16);
    dst->DrawIndexed(0, 0, *src, {0, 0, 5, 3}, false, false, alpha, table);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) {
        if ((x + y) % 4 == 3) EXPECT_EQ(dst->GetPixel(x, y), kUntouched) << alpha;
        else EXPECT_NE(dst->GetPixel(x, y), kUntouched) << alpha;
      }
  }
}

TEST(DrawIndexed, TableValuesCopiedBlendedOrAdded) {
  const std::array<uint32_t, 2> table{0x000000, 0xFFFFFF};
  auto src = PaintedDIBX(3, 1, 4, [](int32_t x, int32_t) { return x == 0 ? 1u : x == 1 ? 0u : 1u; });
  auto copy = MakeDIBX(3, 1, 32);
  copy->DrawIndexed(0, 0, *src, {0, 0, 3, 1}, true, false, 255, table);
  EXPECT_EQ(Pixels(*copy), (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF}));
  auto blend = MakeDIBX(3, 1, 32);
  blend->DrawIndexed(0, 0, *src, {0, 0, 3, 1}, false, false, 128, table);
  EXPECT_EQ(blend->GetPixel(0, 0), 0x7F7F7Fu);
  // Above 255: T x Alpha shr 8 added; 0x10 x 300 shr 8 = 18, over 0x10 gives 34;
  // an entry of 0 adds nothing, nor does a destination of 0xFFFFFF or more.
  const std::array<uint32_t, 2> dim{0x000000, 0x101010};
  auto add = PaintedDIBX(3, 1, 32, [](int32_t x, int32_t) { return x == 2 ? 0xFFFFFFu : 0x101010u; });
  add->DrawIndexed(0, 0, *src, {0, 0, 3, 1}, false, false, 300, dim);
  EXPECT_EQ(Pixels(*add), (std::vector<uint32_t>{0x222222, 0x101010, 0xFFFFFF}));
  // Indices past a short table draw nothing.
  auto shorter = Sentinel(3, 1, 32);
  shorter->DrawIndexed(0, 0, *src, {0, 0, 3, 1}, false, false, 255, std::span<const uint32_t>(table.data(), 1));
  EXPECT_EQ(Pixels(*shorter), (std::vector<uint32_t>{kUntouched, 0, kUntouched}));
}

TEST(DrawIndexedAdd, IndicesBelowMinIndexAddNothing) {
  std::array<uint32_t, 256> table{};
  table[16] = table[17] = 0x404040;
  auto src = PaintedDIBX(2, 1, 8, [](int32_t x, int32_t) { return x == 0 ? 16u : 17u; });
  for (int32_t bits : {32, 24}) {
    auto dst = PaintedDIBX(2, 1, bits, [](int32_t, int32_t) { return 0x101010u; });
    dst->DrawIndexedAdd(0, 0, *src, {0, 0, 2, 1}, 17, false, false, 255, table);
    // 16 + (64 x 255) shr 8 = 79
    EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0x101010, 0x4F4F4F})) << bits;
  }
}

TEST(DrawIndexedStretch, StretchesAndAddsAboveMinIndex) {
  std::array<uint32_t, 256> table{};
  table[20] = 0x0821;  // one step of each 5-6-5 channel
  table[5] = 0xFFFF;
  auto src = PaintedDIBX(2, 1, 8, [](int32_t x, int32_t) { return x == 0 ? 20u : 5u; });
  auto dst = MakeDIBX(4, 2, 16);
  dst->DrawIndexedStretch({0, 0, 4, 2}, *src, {0, 0, 2, 1}, 17, false, false, 255, table);
  // (1 x 255) shr 8 = 0 per channel: an add of one step at 255 vanishes...
  EXPECT_EQ(dst->GetPixel(0, 0), 0u);
  table[20] = 0x8410;
  dst->DrawIndexedStretch({0, 0, 4, 2}, *src, {0, 0, 2, 1}, 17, true, false, 255, table);
  // ...16 steps of red survive as 15 (0x7800), 32 of green as 31 (0x3E0), 16 of blue 15.
  EXPECT_EQ(Pixels(*dst), (std::vector<uint32_t>{0, 0, 0x7BEF, 0x7BEF, 0, 0, 0x7BEF, 0x7BEF}));
}

}  // namespace
}  // namespace orba

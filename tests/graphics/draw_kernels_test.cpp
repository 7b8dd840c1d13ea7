// Pixel kernels: the row kernels' fast and portable paths against each
// other and against hand-worked pixels, bitmap draws over pixel views, and
// colour conversion between depths.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "graphics/color_convert.h"
#include "graphics/draw_kernels.h"
#include "graphics/draw_kernels_bitmap.h"
#include "graphics/draw_test_util.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::TRow;
using test::TTestPicture;

// Everything one kernel call needs, drawn at random. Pixel values come from a
// small pool half of the time so that keys and equal pixels occur often.
// The rows start `off` bytes into their buffers, for every alignment.
struct Inputs {
  std::vector<uint8_t> d, s, m;
  size_t off = 0;
  uint8_t* D() { return d.data() + off; }
  const uint8_t* S() const { return s.data() + off; }
  const uint8_t* M() const { return m.data() + off; }
  int32_t n = 0;
  uint32_t pixel = 0;
  int32_t alpha = 0;
  TRowKey key;
};

uint32_t WidthMask(int32_t bits) {
  return bits == 8 ? 0xFFu : bits <= 16 ? 0xFFFFu : bits == 24 ? 0xFFFFFFu : 0xFFFFFFFFu;
}

Inputs Draw(std::mt19937& rng, int32_t bits, int guard) {
  Inputs in;
  int bytes = (bits + 7) / 8;
  in.n = static_cast<int32_t>(rng() % 68);
  in.off = rng() % 16;
  std::vector<uint32_t> pool = {0, WidthMask(bits), static_cast<uint32_t>(rng()) & WidthMask(bits),
                                static_cast<uint32_t>(rng()) & WidthMask(bits)};
  auto pixel = [&]() { return (rng() & 1) ? pool[rng() % pool.size()] : (rng() & WidthMask(bits)); };
  const int32_t count = in.n + guard + static_cast<int32_t>(in.off);
  size_t size = static_cast<size_t>(count) * bytes;
  in.d.resize(size);
  in.s.resize(size);
  in.m.resize(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    uint32_t dv = pixel(), sv = (rng() % 4 == 0) ? dv : pixel();
    StorePixelBytes(&in.d[static_cast<size_t>(i) * bytes], bytes, dv);
    StorePixelBytes(&in.s[static_cast<size_t>(i) * bytes], bytes, sv);
    uint32_t r = rng() % 4;
    in.m[i] = static_cast<uint8_t>(r == 0 ? 0 : r == 1 ? 255 : rng() & 0xFF);
  }
  in.pixel = pixel();
  uint32_t r = rng() % 4;
  in.alpha = static_cast<int32_t>(r == 0 ? 255 : r == 1 ? 1 + rng() % 254 : rng() % 256);
  if (rng() & 1) in.key = TRowKey{true, pool[rng() % pool.size()]};
  return in;
}

// One kernel call: its name, and its depths.
enum TDepths { kAll, kNoEight, kEightOnly };
struct TKernel {
  const char* name;
  TDepths depths;
  void (*run)(const TRowKernels& k, int32_t bits, Inputs& in);
};

const TKernel kKernels[] = {
    {"Copy", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Copy(in.D(), in.S(), in.n, bits); }},
    // The row as three rows of a third of it, the destination's taken from
    // the last one up (a bottom-up bitmap's memory order).
    {"CopyRows", kAll, [](auto& k, int32_t bits, Inputs& in) {
       const int32_t w = in.n / 3;
       const std::ptrdiff_t pitch = static_cast<std::ptrdiff_t>(w) * ((bits + 7) / 8);
       k.CopyRows(in.D(), pitch, in.S(), pitch, 3, w, bits);
     }},
    {"CopyRowsUpward", kAll, [](auto& k, int32_t bits, Inputs& in) {
       const int32_t w = in.n / 3;
       const std::ptrdiff_t pitch = static_cast<std::ptrdiff_t>(w) * ((bits + 7) / 8);
       k.CopyRows(in.D() + 2 * pitch, -pitch, in.S(), pitch, 3, w, bits);
     }},
    {"Fill", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Fill(in.D(), in.n, bits, in.pixel); }},
    {"KeyedCopy", kAll, [](auto& k, int32_t bits, Inputs& in) { k.KeyedCopy(in.D(), in.S(), in.n, bits, in.key); }},
    {"FillAlpha", kAll, [](auto& k, int32_t bits, Inputs& in) { k.FillAlpha(in.D(), in.n, bits, in.pixel, in.alpha); }},
    {"FillAdd", kAll, [](auto& k, int32_t bits, Inputs& in) { k.FillAdd(in.D(), in.n, bits, in.pixel); }},
    {"FillSub", kAll, [](auto& k, int32_t bits, Inputs& in) { k.FillSub(in.D(), in.n, bits, in.pixel); }},
    {"ColorMask", kAll, [](auto& k, int32_t bits, Inputs& in) { k.ColorMask(in.D(), in.M(), in.n, bits, in.pixel, in.alpha); }},
    {"Blend", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Blend(in.D(), in.S(), in.n, bits, in.alpha, in.key); }},
    {"Add", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Add(in.D(), in.S(), in.n, bits, in.alpha, in.key); }},
    {"MaskCopy", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Mask(in.D(), in.S(), in.M(), in.n, bits, in.alpha, TMaskMode::Copy); }},
    {"MaskBlend", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Mask(in.D(), in.S(), in.M(), in.n, bits, in.alpha, TMaskMode::Blend); }},
    {"MaskAdd", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Mask(in.D(), in.S(), in.M(), in.n, bits, in.alpha, TMaskMode::Add); }},
    {"BitmapBlend", kNoEight, [](auto& k, int32_t bits, Inputs& in) { k.BitmapBlend(in.D(), in.S(), in.n, bits, in.alpha, in.key); }},
    {"BitmapAlpha", kNoEight, [](auto& k, int32_t bits, Inputs& in) { k.BitmapAlpha(in.D(), in.S(), in.M(), in.n, bits, in.alpha); }},
    {"Sampled", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Sampled(in.D(), in.S(), in.n, bits, in.alpha, in.key, false); }},
    {"SampledAdd", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Sampled(in.D(), in.S(), in.n, bits, in.alpha, in.key, true); }},
    {"MaskCover", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Mask(in.D(), in.S(), in.M(), in.n, bits, in.alpha, TMaskMode::Cover); }},
    {"MaskWeighted", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Mask(in.D(), in.S(), in.M(), in.n, bits, in.alpha, TMaskMode::Weighted); }},
    {"MaskWeightedAdd", kAll, [](auto& k, int32_t bits, Inputs& in) { k.Mask(in.D(), in.S(), in.M(), in.n, bits, in.alpha, TMaskMode::WeightedAdd); }},
    {"CellCopy", kEightOnly, [](auto& k, int32_t, Inputs& in) { k.CellCopy(in.D(), in.S(), in.n, in.key, in.pixel & 15); }},
    {"AlphaPick", kEightOnly, [](auto& k, int32_t, Inputs& in) { k.AlphaPick(in.D(), in.S(), in.M(), in.n); }},
    {"ClearHigh", kNoEight, [](auto& k, int32_t bits, Inputs& in) {
       if (bits == 32) k.ClearHigh(in.D(), in.S(), in.n);
     }},
    {"IndexedAdd", kNoEight, [](auto& k, int32_t bits, Inputs& in) {
       if (bits != 32) return;  // indexes are the source's first n bytes
       std::vector<uint32_t> add(256);
       std::mt19937 table_rng(in.pixel);
       for (uint32_t& v : add) v = (table_rng() & 3) == 0 ? 0 : static_cast<uint32_t>(table_rng());
       k.IndexedAdd(in.D(), in.S(), in.n, add.data());
     }},
};

const TKernel& Kernel(const std::string& name) {
  return *std::find_if(std::begin(kKernels), std::end(kKernels), [&](const TKernel& k) { return name == k.name; });
}

class RowKernelPaths : public testing::TestWithParam<std::pair<int, int32_t>> {};

// The fast and the portable kernels give the same bytes, and neither writes
// past the N pixels of the row.
TEST_P(RowKernelPaths, FastEqualsPortable) {
  const auto [op, bits] = GetParam();
  std::mt19937 rng(1234u + static_cast<unsigned>(op) * 97u + static_cast<unsigned>(bits));
  const int guard = 5;
  for (int iter = 0; iter < 1500; ++iter) {
    Inputs a = Draw(rng, bits, guard);
    Inputs b = a, c = a;
    std::vector<uint8_t> before = a.d;
    kKernels[op].run(PortableRowKernels(), bits, a);
    kKernels[op].run(FastRowKernels(), bits, b);
    ASSERT_EQ(a.d, b.d) << "iteration " << iter << " n " << a.n << " alpha " << a.alpha;
    if (const TRowKernels* avx2 = Avx2RowKernels()) {
      kKernels[op].run(*avx2, bits, c);
      ASSERT_EQ(a.d, c.d) << "AVX2, iteration " << iter << " n " << a.n << " alpha " << a.alpha;
    }
    const size_t start = a.off, end = start + static_cast<size_t>(a.n) * ((bits + 7) / 8);
    ASSERT_TRUE(std::equal(a.d.begin(), a.d.begin() + static_cast<std::ptrdiff_t>(start), before.begin()));
    ASSERT_TRUE(std::equal(a.d.begin() + static_cast<std::ptrdiff_t>(end), a.d.end(),
                           before.begin() + static_cast<std::ptrdiff_t>(end)));
  }
}

std::vector<std::pair<int, int32_t>> AllCases() {
  std::vector<std::pair<int, int32_t>> cases;
  for (int op = 0; op < static_cast<int>(std::size(kKernels)); ++op)
    for (int32_t bits : {8, 15, 16, 24, 32})
      if (kKernels[op].depths == kEightOnly ? bits == 8 : (bits != 8 || kKernels[op].depths == kAll))
        cases.push_back({op, bits});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllOps, RowKernelPaths, testing::ValuesIn(AllCases()),
                         [](const testing::TestParamInfo<std::pair<int, int32_t>>& info) {
                           return std::string(kKernels[info.param.first].name) + "_" + std::to_string(info.param.second);
                         });

// Hand-worked single pixels, run through both kernel sets.
struct Vector {
  const char* what;
  const char* op;
  int32_t bits;
  uint32_t d, s, pixel;
  uint8_t m;
  int32_t alpha;
  TRowKey key;
  uint32_t expected;
};

class RowKernelVectors : public testing::TestWithParam<Vector> {};

TEST_P(RowKernelVectors, GivesWorkedResult) {
  const Vector& v = GetParam();
  for (const TRowKernels* k : {&PortableRowKernels(), &FastRowKernels(), Avx2RowKernels()}) {
    if (k == nullptr) continue;
    Inputs in;
    int bytes = (v.bits + 7) / 8;
    in.n = 1;
    in.d.assign(4, 0);
    in.s.assign(4, 0);
    in.m.assign(1, v.m);
    StorePixelBytes(in.d.data(), bytes, v.d);
    StorePixelBytes(in.s.data(), bytes, v.s);
    in.pixel = v.pixel;
    in.alpha = v.alpha;
    in.key = v.key;
    Kernel(v.op).run(*k, v.bits, in);
    EXPECT_EQ(LoadPixelBytes(in.D(), bytes), v.expected) << v.what;
  }
}

const Vector kVectors[] = {
    // 255 is not a plain copy: white at 255 over black gives 254.
    {"blend32 white at 255 over black", "Blend", 32, 0, 0xFFFFFF, 0, 0, 255, {}, 0xFEFEFE},
    {"fill alpha 32 white at 255", "FillAlpha", 32, 0, 0, 0xFFFFFF, 0, 255, {}, 0xFEFEFE},
    {"fill alpha leaves equal pixel", "FillAlpha", 32, 0x123456, 0, 0x123456, 0, 128, {}, 0x123456},
    {"blend leaves equal pixel", "Blend", 16, 0x1234, 0x1234, 0, 0, 128, {}, 0x1234},
    {"add32 white at 128 onto black", "Add", 32, 0, 0xFFFFFF, 0, 0, 128, {}, 0x7F7F7F},
    {"add32 white onto white", "Add", 32, 0xFFFFFF, 0xFFFFFF, 0, 0, 128, {}, 0xFFFFFF},
    {"add8 raw bytes", "Add", 8, 200, 100, 0, 0, 1, {}, 255},
    {"add8 small", "Add", 8, 20, 30, 0, 0, 1, {}, 50},
    {"add keyed pixel stays", "Add", 32, 5, 0x00FF00, 0, 0, 255, {true, 0x00FF00}, 5},
    {"fill add 565 saturates", "FillAdd", 16, 0xFFFF, 0, 0x0821, 0, 0, {}, 0xFFFF},
    {"fill add 565 one step", "FillAdd", 16, 0x0000, 0, 0x0821, 0, 0, {}, 0x0821},
    {"fill sub 565 to zero", "FillSub", 16, 0xABCD, 0, 0xFFFF, 0, 0, {}, 0},
    {"fill sub 32 bytes", "FillSub", 32, 0x10203040, 0, 0x01020304, 0, 0, {}, 0x0F1E2D3C},
    {"mask blend 32 m255 a255", "MaskBlend", 32, 0, 0xFFFFFF, 0, 255, 255, {}, 0xFEFEFE},
    {"mask blend 24 m255 a255 (weight 254)", "MaskBlend", 24, 0, 0xFFFFFF, 0, 255, 255, {}, 0xFDFDFD},
    {"mask add m1 a255 adds nothing", "MaskAdd", 32, 0x101010, 0xFFFFFF, 0, 1, 255, {}, 0x101010},
    {"mask add m1 a255 adds nothing 16", "MaskAdd", 16, 0x1234, 0xFFFF, 0, 1, 255, {}, 0x1234},
    {"mask copy m255 copies", "MaskCopy", 16, 0, 0xBEEF, 0, 255, 0, {}, 0xBEEF},
    {"mask copy m0 keeps", "MaskCopy", 32, 7, 0xBEEF, 0, 0, 0, {}, 7},
    {"color mask 32 m255 a128", "ColorMask", 32, 0, 0, 0xFFFFFF, 255, 128, {}, 0x7F7F7F},
    {"color mask 24 weight m*a", "ColorMask", 24, 0, 0, 0xFFFFFF, 255, 255, {}, 0xFDFDFD},
    {"keyed copy 8 key -1 copies 255", "KeyedCopy", 8, 0, 255, 0, 0, 0, MakeDrawKey(-1, 8), 255},
    {"keyed copy 16 key -1 copies ffff", "KeyedCopy", 16, 0, 0xFFFF, 0, 0, 0, MakeDrawKey(-1, 16), 0xFFFF},
    {"keyed copy 24 skips key", "KeyedCopy", 24, 0x111111, 0xFF00FF, 0, 0, 0, MakeDrawKey(0xFF00FF, 24), 0x111111},
    // Bitmap blends divide by 255 at 24 bits and shift by 8 at 32 bits.
    {"bitmap blend 24 white at 128", "BitmapBlend", 24, 0, 0xFFFFFF, 0, 0, 128, {}, 0x808080},
    {"bitmap blend 32 white at 128", "BitmapBlend", 32, 0xFF000000, 0xFFFFFF, 0, 0, 128, {}, 0x7F7F7F},
    {"bitmap blend 565 white at 128", "BitmapBlend", 16, 0, 0xFFFF, 0, 0, 128, {}, (15u << 11) | (31u << 5) | 15u},
    {"bitmap alpha 32 a0 keeps", "BitmapAlpha", 32, 9, 0xFFFFFF, 0, 0, 255, {}, 9},
    {"bitmap alpha 32 a255 copies", "BitmapAlpha", 32, 9, 0x12FFFFFF, 0, 255, 255, {}, 0x12FFFFFF},
    {"bitmap alpha 24 opacity scales", "BitmapAlpha", 24, 0, 0xFFFFFF, 0, 255, 128, {}, 0x7E7E7E},
    // The sampled draws blend equal pixels and do not copy at weight 255.
    {"sampled 32 blends an equal pixel", "Sampled", 32, 0xFFFFFF, 0xFFFFFF, 0, 0, 128, {}, 0xFEFEFE},
    {"sampled add 8 scales", "SampledAdd", 8, 20, 200, 0, 0, 128, {}, 120},
    {"cover 32 m255 weight is alpha", "MaskCover", 32, 0, 0xFFFFFF, 0, 255, 200, {}, 0xC7C7C7},
    {"cover 32 blends an equal pixel", "MaskCover", 32, 0xFFFFFF, 0xFFFFFF, 0, 128, 255, {}, 0xFEFEFE},
    {"cover 16 keeps an equal pixel", "MaskCover", 16, 0x1234, 0x1234, 0, 128, 128, {}, 0x1234},
    {"cover 16 m255 a255 copies", "MaskCover", 16, 0, 0xBEEF, 0, 255, 255, {}, 0xBEEF},
    {"weighted 32 m255 a255 blends", "MaskWeighted", 32, 0, 0xFFFFFF, 0, 255, 255, {}, 0xFEFEFE},
    {"cell copy skips a clear cell", "CellCopy", 8, 9, 200, 0xE, 0, 0, {}, 9},
    {"alpha pick takes 128", "AlphaPick", 8, 9, 200, 0, 128, 0, {}, 200},
};

INSTANTIATE_TEST_SUITE_P(Worked, RowKernelVectors, testing::ValuesIn(kVectors),
    [](const auto& info) { return test::IndexedCaseName(info.index, info.param.what); });

// Walks between random points of a picture (rows top-down or bottom-up, with
// and without a mask): every kernel set gathers the same samples.
TEST(RowKernels, GatherWalkSetsAgree) {
  std::mt19937 rng(4321);
  const int32_t w = 37, h = 23;
  std::vector<uint8_t> picture(static_cast<size_t>(w * h * 4)), mask(static_cast<size_t>(w * h));
  for (uint8_t& b : picture) b = static_cast<uint8_t>(rng());
  for (uint8_t& b : mask) b = static_cast<uint8_t>(rng());
  for (int iter = 0; iter < 3000; ++iter) {
    TSampleWalk walk;
    walk.Bytes = 1 + static_cast<int32_t>(rng() % 4);
    const bool up = rng() & 1;
    walk.Pitch = (up ? -1 : 1) * w * walk.Bytes;
    walk.Bits = picture.data() + (up ? (h - 1) * w * walk.Bytes : 0);
    walk.MaskPitch = up ? -w : w;
    walk.Mask = (rng() & 1) ? mask.data() + (up ? (h - 1) * w : 0) : nullptr;
    const int32_t n = static_cast<int32_t>(rng() % 68);
    const auto point = [&](int32_t size) { return static_cast<int64_t>(rng() % (static_cast<uint32_t>(size) * 65536u)); };
    walk.U0 = point(w);
    walk.V0 = point(h);
    walk.DU = n > 1 ? (point(w) - walk.U0) / (n - 1) : 0;
    walk.DV = n > 1 ? (point(h) - walk.V0) / (n - 1) : 0;
    if (rng() % 4 == 0) walk.DV /= 64;  // nearly level: runs along one source row
    std::vector<uint8_t> want(68 * 4, 0xEE), want_mask(68, 0xEE);
    PortableRowKernels().GatherWalk(walk, n, want.data(), want_mask.data());
    for (const TRowKernels* k : {&FastRowKernels(), Avx2RowKernels()}) {
      if (k == nullptr) continue;
      std::vector<uint8_t> got(68 * 4, 0xEE), got_mask(68, 0xEE);
      k->GatherWalk(walk, n, got.data(), got_mask.data());
      ASSERT_EQ(got, want) << iter;
      ASSERT_EQ(got_mask, want_mask) << iter;
    }
  }
}

// Walks with a mask drawn straight into a row (the rotated coverage draws)
// against the portable GatherWalk followed by the portable Mask: random
// walks, and nearly level ones (within 19 degrees of 0 or 180, zoomed
// between a half and two) or nearly upright ones that end on the picture's
// first or last column (the level ones in the row stored last), over
// pictures whose rows are not a multiple of eight pixels, stored top-down or
// bottom-up, with coverage often 0 or 255. The picture and mask buffers are
// exactly their size, so a read past either shows under the address
// sanitizer.
TEST(RowKernels, WalkMaskSetsAgree) {
  std::mt19937 rng(2718);
  const int32_t w = 37, h = 23;
  for (int iter = 0; iter < 4000; ++iter) {
    // Mask rows a quarter of the 32-bit rows' length, or padded to 40 bytes.
    const int32_t mask_pitch = rng() & 1 ? w : 40;
    std::vector<uint8_t> mask(static_cast<size_t>(mask_pitch * h));
    for (uint8_t& b : mask) b = std::array<uint8_t, 4>{0, 255, static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())}[rng() % 4];
    TSampleWalk walk;
    walk.Bytes = iter % 5 == 0 ? 1 + static_cast<int32_t>(rng() % 3) : 4;
    const int32_t bits = std::array{8, 16, 24, 32}[walk.Bytes - 1];
    std::vector<uint8_t> picture(static_cast<size_t>(w * h * walk.Bytes));
    for (uint8_t& b : picture) b = static_cast<uint8_t>(rng());
    const bool up = rng() & 1;
    walk.Pitch = (up ? -1 : 1) * w * walk.Bytes;
    walk.Bits = picture.data() + (up ? (h - 1) * w * walk.Bytes : 0);
    walk.MaskPitch = up ? -mask_pitch : mask_pitch;
    walk.Mask = mask.data() + (up ? (h - 1) * mask_pitch : 0);
    int32_t n = 0;
    if (iter % 3 == 0) {  // between two random points, as GatherWalkSetsAgree
      n = static_cast<int32_t>(rng() % 68);
      const auto point = [&](int32_t size) { return static_cast<int64_t>(rng() % (static_cast<uint32_t>(size) * 65536u)); };
      walk.U0 = point(w);
      walk.V0 = point(h);
      walk.DU = n > 1 ? (point(w) - walk.U0) / (n - 1) : 0;
      walk.DV = n > 1 ? (point(h) - walk.V0) / (n - 1) : 0;
    } else {
      // At an angle near level (or upright), ending on the picture's first or
      // last column (by the way it goes) and, for a level one, in the row
      // stored last, as far back as the samples stay inside.
      const bool level = iter % 3 == 1;
      const double turn = (level ? (rng() & 1) * 180.0 : 90.0) + (static_cast<double>(rng() % 3801) / 100.0 - 19.0);
      const double zoom = 0.5 + static_cast<double>(rng() % 151) / 100.0, radians = turn * 3.14159265358979 / 180.0;
      walk.DU = static_cast<int64_t>(std::cos(radians) / zoom * 65536.0);
      walk.DV = static_cast<int64_t>(std::sin(radians) / zoom * 65536.0);
      const int64_t end_u = walk.DU < 0 ? rng() % 65536 : int64_t{w} * 65536 - 1 - rng() % 65536;
      const int64_t end_v = (level ? (up ? 0 : h - 1) : static_cast<int64_t>(rng() % h)) * 65536 + rng() % 65536;
      const auto inside = [&](int32_t back) {
        const int64_t u = end_u - back * walk.DU, v = end_v - back * walk.DV;
        return u >= 0 && v >= 0 && u < int64_t{w} * 65536 && v < int64_t{h} * 65536;
      };
      while (n < 68 && inside(n)) ++n;
      walk.U0 = end_u - std::max(n - 1, 0) * walk.DU;
      walk.V0 = end_v - std::max(n - 1, 0) * walk.DV;
    }
    const int32_t alpha = std::array{0, 1, 128, 200, 254, 255}[rng() % 6];
    const TMaskMode mode = rng() & 1 ? TMaskMode::Weighted : TMaskMode::WeightedAdd;
    std::vector<uint8_t> row(68 * 4);
    for (uint8_t& b : row) b = static_cast<uint8_t>(rng());
    std::vector<uint8_t> want = row, samples(68 * 4), coverage(68);
    PortableRowKernels().GatherWalk(walk, n, samples.data(), coverage.data());
    PortableRowKernels().Mask(want.data(), samples.data(), coverage.data(), n, bits, alpha, mode);
    for (const TRowKernels* k : {&PortableRowKernels(), &FastRowKernels(), Avx2RowKernels()}) {
      if (k == nullptr) continue;
      std::vector<uint8_t> got = row;
      k->WalkMask(got.data(), walk, n, bits, alpha, mode);
      ASSERT_EQ(got, want) << "iteration " << iter << " n " << n << " du " << walk.DU << " dv " << walk.DV;
    }
  }
}

// Every pair of 5-6-5 channel values at every opacity: the vector division by
// 255 agrees with the integer one.
TEST(RowKernels, BitmapBlend565AllOpacitiesAgree) {
  std::vector<uint8_t> d0(64 * 64 * 2), s(64 * 64 * 2);
  for (uint32_t a = 0; a < 64; ++a)
    for (uint32_t b = 0; b < 64; ++b) {
      size_t i = (a * 64 + b) * 2;
      StorePixelBytes(&d0[i], 2, ((a & 31) << 11) | (a << 5) | (a & 31));
      StorePixelBytes(&s[i], 2, ((b & 31) << 11) | (b << 5) | (b & 31));
    }
  for (int32_t opacity = 0; opacity < 256; ++opacity) {
    std::vector<uint8_t> x = d0, y = d0;
    PortableRowKernels().BitmapBlend(x.data(), s.data(), 64 * 64, 16, opacity, {});
    FastRowKernels().BitmapBlend(y.data(), s.data(), 64 * 64, 16, opacity, {});
    ASSERT_EQ(x, y) << "opacity " << opacity;
  }
}

TEST(RowKernels, DrawKeyNormalisesToPixelWidth) {
  for (auto [key, enabled, value] : {std::tuple{MakeDrawKey(-1, 32), false, 0u}, {MakeDrawKey(0x1FF, 8), true, 0xFFu},
                                     {MakeDrawKey(0x12345, 16), true, 0x2345u}, {MakeDrawKey(0x1000000, 24), false, 0u},
                                     {MakeBitmapKey(-2, 24), false, 0u}, {MakeBitmapKey(0x7F00FF00, 24), true, 0x00FF00u}}) {
    EXPECT_EQ(key.Enabled, enabled) << value;
    EXPECT_EQ(key.Enabled ? key.Value : 0u, value);
  }
}


// ---- bitmap draws over pixel views -------------------------------------------

TRect Bounds(const TTestPicture& p) { return {0, 0, p.View.Width, p.View.Height}; }

// A one-row picture of the given pixels.
TTestPicture RowPicture(int32_t bits, const TRow& pixels) {
  TTestPicture p(static_cast<int32_t>(pixels.size()), 1, bits);
  for (size_t x = 0; x < pixels.size(); ++x) p.Set(static_cast<int32_t>(x), 0, pixels[x]);
  return p;
}

// Opacity 0 changes nothing; full opacity at 24 bits and opacities from 240
// up at 8 bits are keyed copies.
TEST(BitmapDraw, DrawAlphaAtTheEndsIsNothingOrAKeyedCopy) {
  for (auto [bits, opacity, key] : {std::tuple{8, 0, -1}, {16, 0, -1}, {24, 0, -1}, {32, 0, -1}, {24, 255, 0x00FF00},
                                    {8, 240, 7}, {8, 250, 7}, {8, 255, 7}}) {
    std::mt19937 rng(static_cast<unsigned>(bits + opacity));
    TTestPicture d(9, 7, bits), s(9, 7, bits);
    d.Randomise(rng);
    s.Randomise(rng);
    s.Set(2, 2, static_cast<uint32_t>(key));  // the key occurs
    TTestPicture expected = d;
    if (opacity > 0) BitmapDrawKeyed(expected.View, 0, 0, key, Bounds(s), s.View);
    BitmapDrawAlpha(d.View, 0, 0, opacity, key, Bounds(s), s.View);
    EXPECT_EQ(d.Buffer, expected.Buffer) << bits << " at " << opacity;
  }
}

TEST(BitmapDraw, Opacity16On8BitsDrawsTwoCellsOfEachBlock) {
  TTestPicture d(9, 9, 8), s(9, 9, 8);
  s.Fill(1);
  // Drawn one pixel right and down: the cells follow destination coordinates.
  BitmapDrawAlpha(d.View, 1, 1, 16, -1, Bounds(s), s.View);
  for (int32_t y = 0; y < 9; ++y)
    EXPECT_EQ(test::RowOf(d, y), test::Map(9, 1, [y](int32_t x, int32_t) {
                return uint32_t(((x & 3) == 0 && (y & 3) == 0 && x > 0 && y > 0) || ((x & 3) == 2 && (y & 3) == 2));
              })) << y;
}

TEST(BitmapDraw, WorkedBlendsCopiesAndKeys) {
  TTestPicture none(0, 0, 8);
  struct TCase {
    const char* what;
    int32_t bits;
    TRow dst, src, alpha;  // alpha: the plane, empty for none
    std::function<void(TTestPicture& d, TTestPicture& s, TTestPicture& a)> draw;
    TRow expected;
  };
  const TCase cases[] = {
      // White at 128 over black divides by 255 at 24 bits and shifts by 8 at 32.
      {"opacity 128 at 24 bits", 24, {0}, {0xFFFFFF}, {}, [](auto& d, auto& s, auto&) { BitmapDrawAlpha(d.View, 0, 0, 128, -1, Bounds(s), s.View); }, {0x808080}},
      {"opacity 128 at 32 bits", 32, {0}, {0xFFFFFF}, {}, [](auto& d, auto& s, auto&) { BitmapDrawAlpha(d.View, 0, 0, 128, -1, Bounds(s), s.View); }, {0x7F7F7F}},
      {"alpha plane below 128 at 8 bits", 8, {0, 0}, {9, 9}, {127, 128},
       [](auto& d, auto& s, auto& a) { BitmapDrawAlphaMask(d.View, 0, 0, 255, Bounds(s), s.View, a.View); }, {0, 9}},
      {"no alpha plane: unkeyed blend", 32, {0, 0, 0}, {0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, {},
       [](auto& d, auto& s, auto&) { BitmapDrawAlphaMask(d.View, 0, 0, 128, Bounds(s), s.View, TPixelView{}); }, TRow(3, 0x7F7F7F)},
      {"source rectangle left of the source", 8, TRow(6, 0), {1, 2, 3}, {},
       [](auto& d, auto& s, auto&) { BitmapCopyArea(d.View, 0, 0, TRect{-2, 0, 3, 1}, s.View); }, {0, 0, 1, 2, 3, 0}},
      // A negative key is no key: white 32-bit pixels with a fourth byte of
      // 0xFF are copied, and 1-bit pictures keep their set bits.
      {"negative key at 32 bits", 32, {0, 0}, {0xFFFFFFFF, 0}, {},
       [](auto& d, auto& s, auto&) { BitmapDrawKeyed(d.View, 0, 0, -1, Bounds(s), s.View); }, {0xFFFFFFFF, 0}},
      {"no key at 1 bit", 1, TRow(8, 0), TRow(8, 1), {},
       [](auto& d, auto& s, auto&) { BitmapDrawAlphaMask(d.View, 0, 0, 255, Bounds(s), s.View, TPixelView{}); }, TRow(8, 1)},
  };
  for (const TCase& c : cases) {
    TTestPicture d = RowPicture(c.bits, c.dst), s = RowPicture(c.bits, c.src);
    TTestPicture a = c.alpha.empty() ? none : RowPicture(8, c.alpha);
    c.draw(d, s, a);
    EXPECT_EQ(test::RowOf(d, 0), c.expected) << c.what;
  }
}

TEST(BitmapDraw, FillRectDepthsAndEdges) {
  for (auto [bits, pixel, stored] : {std::tuple{1, 3u, 1u}, {4, 0x1Fu, 0xFu}, {8, 0x1ABu, 0xABu}, {15, 0xFFFFu, 0x7FFFu},
                                     {16, 0xFFFFu, 0xFFFFu}, {24, 0x123456u, 0x123456u}, {32, 0x89ABCDEFu, 0x89ABCDEFu}}) {
    TTestPicture d(11, 2, bits);
    BitmapFillRect(d.View, TRect{1, 0, 10, 1}, pixel);
    EXPECT_EQ(test::RowOf(d, 0), test::Box(11, 1, {1, 0, 10, 1}, stored)) << bits;
    EXPECT_EQ(test::RowOf(d, 1), TRow(11, 0)) << bits;
  }
  // A rectangle beyond the surface fills what is inside.
  TTestPicture d(4, 3, 16);
  BitmapFillRect(d.View, TRect{2, 1, 100, 100}, 0xABCD);
  for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(test::RowOf(d, y), y == 0 ? TRow(4, 0) : (TRow{0, 0, 0xABCD, 0xABCD}));
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

TEST(BitmapDraw, DitherLevelsFillFromOneToSixteenCells) {
  for (int32_t level = 0; level < 16; ++level) {
    int cells = 0;
    for (int32_t r = 0; r < 4; ++r)
      for (int32_t c = 0; c < 4; ++c) cells += DitherCell(level, r, c);
    EXPECT_EQ(cells, level + 1);
  }
}

// ---- colour conversion ------------------------------------------------------------

TEST(ColorConvert, WideningRule) {
  for (auto [v, bits, wide] : {std::tuple{0u, 5, 0u}, {31u, 5, 255u}, {16u, 5, 132u}, {15u, 5, 123u}, {1u, 5, 8u},
                               {0u, 6, 0u}, {63u, 6, 255u}, {32u, 6, 130u}, {200u, 8, 200u}})
    EXPECT_EQ(WidenChannel(v, bits), wide) << v << "/" << bits;
}

// Every 15- and 16-bit value: the key path (one pixel converted) and the
// copy path (a picture copied) agree, widening is one to one, and copying
// back gives the starting values.
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

// The fast sets' Copy moves overlapping rows as memmove does (the portable
// one walks forward): rows of 16 to 64 bytes, moved by vectors, and the
// rows around them, shifted either way by less than their length.
TEST(RowKernelCopy, OverlappingRowsComeOutAsMemmoveGivesThem) {
  if (&FastRowKernels() == &PortableRowKernels()) GTEST_SKIP() << "no vector kernels on this processor";
  std::vector<const TRowKernels*> sets = {&FastRowKernels()};
  if (Avx2RowKernels() != nullptr) sets.push_back(Avx2RowKernels());
  for (const TRowKernels* k : sets)
    for (const int32_t bits : {8, 16, 24, 32}) {
      const int32_t bytes = (bits + 7) / 8;
      for (int32_t n = 1; n * bytes <= 72; ++n)
        for (const int32_t shift : {-bytes * n + 1, -5, -1, 1, 3, 16, bytes * n - 1}) {
          if (shift == 0 || shift <= -bytes * n || shift >= bytes * n) continue;
          std::vector<uint8_t> buffer(256), expected;
          for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 7 + 1);
          expected = buffer;
          std::memmove(&expected[100 + shift], &expected[100], static_cast<size_t>(n * bytes));
          k->Copy(&buffer[static_cast<size_t>(100 + shift)], &buffer[100], n, bits);
          ASSERT_EQ(buffer, expected) << "bits " << bits << " n " << n << " shift " << shift;
        }
    }
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

#include "graphics/draw_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "graphics/pixel_view.h"

namespace orba {
namespace {

enum class Op {
  Copy, Fill, KeyedCopy, FillAlpha, FillAdd, FillSub, ColorMask, Blend, Add,
  MaskCopy, MaskBlend, MaskAdd, BitmapBlend, BitmapAlpha,
};

const char* OpName(Op op) {
  static const char* names[] = {"Copy",    "Fill",     "KeyedCopy", "FillAlpha", "FillAdd",
                                "FillSub", "ColorMask", "Blend",    "Add",       "MaskCopy",
                                "MaskBlend", "MaskAdd", "BitmapBlend", "BitmapAlpha"};
  return names[static_cast<int>(op)];
}

struct Case {
  Op op;
  int32_t bits;
};

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  return std::string(OpName(info.param.op)) + "_" + std::to_string(info.param.bits);
}

// Everything one kernel call needs, drawn at random. Pixel values come from a
// small pool half of the time so that keys and equal pixels occur often.
struct Inputs {
  std::vector<uint8_t> d, s, m;
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
  in.n = static_cast<int32_t>(rng() % 41);
  std::vector<uint32_t> pool = {0, WidthMask(bits), static_cast<uint32_t>(rng()) & WidthMask(bits),
                                static_cast<uint32_t>(rng()) & WidthMask(bits)};
  auto pixel = [&]() { return (rng() & 1) ? pool[rng() % pool.size()] : (rng() & WidthMask(bits)); };
  size_t size = static_cast<size_t>(in.n + guard) * bytes;
  in.d.resize(size);
  in.s.resize(size);
  in.m.resize(static_cast<size_t>(in.n + guard));
  for (int32_t i = 0; i < in.n + guard; ++i) {
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

void RunKernel(const TRowKernels& k, Op op, int32_t bits, Inputs& in) {
  uint8_t* d = in.d.data();
  const uint8_t* s = in.s.data();
  const uint8_t* m = in.m.data();
  switch (op) {
    case Op::Copy: k.Copy(d, s, in.n, bits); break;
    case Op::Fill: k.Fill(d, in.n, bits, in.pixel); break;
    case Op::KeyedCopy: k.KeyedCopy(d, s, in.n, bits, in.key); break;
    case Op::FillAlpha: k.FillAlpha(d, in.n, bits, in.pixel, in.alpha); break;
    case Op::FillAdd: k.FillAdd(d, in.n, bits, in.pixel); break;
    case Op::FillSub: k.FillSub(d, in.n, bits, in.pixel); break;
    case Op::ColorMask: k.ColorMask(d, m, in.n, bits, in.pixel, in.alpha); break;
    case Op::Blend: k.Blend(d, s, in.n, bits, in.alpha, in.key); break;
    case Op::Add: k.Add(d, s, in.n, bits, in.alpha, in.key); break;
    case Op::MaskCopy: k.Mask(d, s, m, in.n, bits, in.alpha, TMaskMode::Copy); break;
    case Op::MaskBlend: k.Mask(d, s, m, in.n, bits, in.alpha, TMaskMode::Blend); break;
    case Op::MaskAdd: k.Mask(d, s, m, in.n, bits, in.alpha, TMaskMode::Add); break;
    case Op::BitmapBlend: k.BitmapBlend(d, s, in.n, bits, in.alpha, in.key); break;
    case Op::BitmapAlpha: k.BitmapAlpha(d, s, m, in.n, bits, in.alpha); break;
  }
}

class RowKernelPaths : public testing::TestWithParam<Case> {};

// The fast and the portable kernels give the same bytes, and neither writes
// past the N pixels of the row.
TEST_P(RowKernelPaths, FastEqualsPortable) {
  const Case c = GetParam();
  std::mt19937 rng(1234u + static_cast<unsigned>(c.op) * 97u + static_cast<unsigned>(c.bits));
  const int guard = 5;
  for (int iter = 0; iter < 1500; ++iter) {
    Inputs a = Draw(rng, c.bits, guard);
    Inputs b = a;
    std::vector<uint8_t> before = a.d;
    RunKernel(PortableRowKernels(), c.op, c.bits, a);
    RunKernel(FastRowKernels(), c.op, c.bits, b);
    ASSERT_EQ(a.d, b.d) << "iteration " << iter << " n " << a.n << " alpha " << a.alpha;
    size_t end = static_cast<size_t>(a.n) * ((c.bits + 7) / 8);
    ASSERT_TRUE(std::equal(a.d.begin() + static_cast<std::ptrdiff_t>(end), a.d.end(),
                           before.begin() + static_cast<std::ptrdiff_t>(end)));
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (int op = 0; op <= static_cast<int>(Op::BitmapAlpha); ++op)
    for (int32_t bits : {8, 15, 16, 24, 32}) {
      Op o = static_cast<Op>(op);
      if ((o == Op::BitmapBlend || o == Op::BitmapAlpha) && bits == 8) continue;
      cases.push_back({o, bits});
    }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllOps, RowKernelPaths, testing::ValuesIn(AllCases()), CaseName);

// Hand-worked single pixels, run through both kernel sets.
struct Vector {
  const char* what;
  Op op;
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
  for (const TRowKernels* k : {&PortableRowKernels(), &FastRowKernels()}) {
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
    RunKernel(*k, v.op, v.bits, in);
    EXPECT_EQ(LoadPixelBytes(in.d.data(), bytes), v.expected) << v.what;
  }
}

const Vector kVectors[] = {
    // 255 is not a plain copy: white at 255 over black gives 254.
    {"blend32 white at 255 over black", Op::Blend, 32, 0, 0xFFFFFF, 0, 0, 255, {}, 0xFEFEFE},
    {"fill alpha 32 white at 255", Op::FillAlpha, 32, 0, 0, 0xFFFFFF, 0, 255, {}, 0xFEFEFE},
    {"fill alpha leaves equal pixel", Op::FillAlpha, 32, 0x123456, 0, 0x123456, 0, 128, {}, 0x123456},
    {"blend leaves equal pixel", Op::Blend, 16, 0x1234, 0x1234, 0, 0, 128, {}, 0x1234},
    {"add32 white at 128 onto black", Op::Add, 32, 0, 0xFFFFFF, 0, 0, 128, {}, 0x7F7F7F},
    {"add32 white onto white", Op::Add, 32, 0xFFFFFF, 0xFFFFFF, 0, 0, 128, {}, 0xFFFFFF},
    {"add8 raw bytes", Op::Add, 8, 200, 100, 0, 0, 1, {}, 255},
    {"add8 small", Op::Add, 8, 20, 30, 0, 0, 1, {}, 50},
    {"add keyed pixel stays", Op::Add, 32, 5, 0x00FF00, 0, 0, 255, {true, 0x00FF00}, 5},
    {"fill add 565 saturates", Op::FillAdd, 16, 0xFFFF, 0, 0x0821, 0, 0, {}, 0xFFFF},
    {"fill add 565 one step", Op::FillAdd, 16, 0x0000, 0, 0x0821, 0, 0, {}, 0x0821},
    {"fill sub 565 to zero", Op::FillSub, 16, 0xABCD, 0, 0xFFFF, 0, 0, {}, 0},
    {"fill sub 32 bytes", Op::FillSub, 32, 0x10203040, 0, 0x01020304, 0, 0, {}, 0x0F1E2D3C},
    {"mask blend 32 m255 a255", Op::MaskBlend, 32, 0, 0xFFFFFF, 0, 255, 255, {}, 0xFEFEFE},
    {"mask blend 24 m255 a255 (weight 254)", Op::MaskBlend, 24, 0, 0xFFFFFF, 0, 255, 255, {}, 0xFDFDFD},
    {"mask add m1 a255 adds nothing", Op::MaskAdd, 32, 0x101010, 0xFFFFFF, 0, 1, 255, {}, 0x101010},
    {"mask add m1 a255 adds nothing 16", Op::MaskAdd, 16, 0x1234, 0xFFFF, 0, 1, 255, {}, 0x1234},
    {"mask copy m255 copies", Op::MaskCopy, 16, 0, 0xBEEF, 0, 255, 0, {}, 0xBEEF},
    {"mask copy m0 keeps", Op::MaskCopy, 32, 7, 0xBEEF, 0, 0, 0, {}, 7},
    {"color mask 32 m255 a128", Op::ColorMask, 32, 0, 0, 0xFFFFFF, 255, 128, {}, 0x7F7F7F},
    {"color mask 24 weight m*a", Op::ColorMask, 24, 0, 0, 0xFFFFFF, 255, 255, {}, 0xFDFDFD},
    {"keyed copy 8 key -1 copies 255", Op::KeyedCopy, 8, 0, 255, 0, 0, 0, MakeDrawKey(-1, 8), 255},
    {"keyed copy 16 key -1 copies ffff", Op::KeyedCopy, 16, 0, 0xFFFF, 0, 0, 0, MakeDrawKey(-1, 16), 0xFFFF},
    {"keyed copy 24 skips key", Op::KeyedCopy, 24, 0x111111, 0xFF00FF, 0, 0, 0, MakeDrawKey(0xFF00FF, 24), 0x111111},
    // Bitmap blends divide by 255 at 24 bits and shift by 8 at 32 bits.
    {"bitmap blend 24 white at 128", Op::BitmapBlend, 24, 0, 0xFFFFFF, 0, 0, 128, {}, 0x808080},
    {"bitmap blend 32 white at 128", Op::BitmapBlend, 32, 0xFF000000, 0xFFFFFF, 0, 0, 128, {}, 0x7F7F7F},
    {"bitmap blend 565 white at 128", Op::BitmapBlend, 16, 0, 0xFFFF, 0, 0, 128, {}, (15u << 11) | (31u << 5) | 15u},
    {"bitmap alpha 32 a0 keeps", Op::BitmapAlpha, 32, 9, 0xFFFFFF, 0, 0, 255, {}, 9},
    {"bitmap alpha 32 a255 copies", Op::BitmapAlpha, 32, 9, 0x12FFFFFF, 0, 255, 255, {}, 0x12FFFFFF},
    {"bitmap alpha 24 opacity scales", Op::BitmapAlpha, 24, 0, 0xFFFFFF, 0, 255, 128, {}, 0x7E7E7E},
};

INSTANTIATE_TEST_SUITE_P(Worked, RowKernelVectors, testing::ValuesIn(kVectors));

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

}  // namespace
}  // namespace orba

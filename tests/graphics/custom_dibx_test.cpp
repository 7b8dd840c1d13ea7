#include "graphics/custom_dibx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>

#include "graphics/color_convert.h"
#include "graphics/dibx_test_util.h"
#include "graphics/draw_kernels_test_util.h"
#include "graphics/picture_fixtures.h"

namespace orba {
namespace {

using test::TTestPicture;
using test::DepthMask;
using test::kOperations;
using test::Pixels;
using test::Randomise;
using test::TSurfaceMaker;
using TRow = std::vector<uint32_t>;

// A drawing surface over a plain buffer: the primitives and nothing else, so
// that these tests see the base class's algorithms alone.
class TBufferDIBX : public TCustomDIBX {
 public:
  TBufferDIBX(int32_t w, int32_t h, int32_t bits) { SetSize(w, h, bits); }
  void SetSize(int32_t w, int32_t h, int32_t bits) override {
    FPicture.emplace(std::max(w, 1), std::max(h, 1), bits);
    FBits = bits;
    TCustomDIBX::SetSize(w, h, bits);
  }
  int32_t BitCount() override { return FBits; }
  uint32_t RedMask() override { return FPicture->View.RedMask; }
  uint32_t GreenMask() override { return FPicture->View.GreenMask; }
  uint32_t BlueMask() override { return FPicture->View.BlueMask; }
  std::ptrdiff_t Pitch() override { return FPicture->View.Pitch; }
  uint32_t GetPixel(int32_t x, int32_t y) override { return FPicture->Get(x, y); }
  void SetPixel(int32_t x, int32_t y, uint32_t v) override { FPicture->Set(x, y, v); }
  uint8_t* Lock(int32_t x, int32_t y) override { return FPicture->View.Row(y) + x * BytesPerPixel(); }
  bool IsMemorySurface() override { return true; }
  int32_t ColorToPixel(int32_t color) override { return orba::ColorToPixel(color, FBits); }

 private:
  std::optional<TTestPicture> FPicture;
  int32_t FBits = 32;
};

using TDraw = std::function<void(TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX& m)>;
constexpr TRect kOne{0, 0, 1, 1};

// Draws a one-pixel source of `src` (through a one-pixel mask of `mask`)
// onto a one-pixel surface of `dst` and gives the result.
uint32_t OnePixel(int32_t bits, uint32_t dst, uint32_t src, uint32_t mask, const TDraw& draw) {
  TBufferDIBX d(1, 1, bits), s(1, 1, bits), m(1, 1, 8);
  d.SetPixel(0, 0, dst);
  s.SetPixel(0, 0, src);
  m.SetPixel(0, 0, mask);
  draw(d, s, m);
  return d.GetPixel(0, 0);
}

std::unique_ptr<TCustomDIBX> MakeBuffer(int32_t w, int32_t h, int32_t bits) {
  return std::make_unique<TBufferDIBX>(w, h, bits);
}

struct TClipCase {
  const char* surface;
  TSurfaceMaker make;
  int op;
};

class ClipInvariance : public testing::TestWithParam<TClipCase> {};

TEST_P(ClipInvariance, ClippedEqualsUnclippedThenRestored) { test::CheckClipInvariance(GetParam().make, GetParam().op); }

std::vector<TClipCase> ClipCases(const char* surface, TSurfaceMaker make) {
  std::vector<TClipCase> cases;
  for (int op = 0; op < static_cast<int>(std::size(kOperations)); ++op) cases.push_back({surface, make, op});
  return cases;
}

std::string ClipCaseName(const testing::TestParamInfo<TClipCase>& info) {
  return std::string(info.param.surface) + "_" + kOperations[info.param.op].name;
}

INSTANTIATE_TEST_SUITE_P(Buffer, ClipInvariance, testing::ValuesIn(ClipCases("Buffer", MakeBuffer)), ClipCaseName);

// Where each source pixel lands: a plain copy compared with the mapping
// worked out pixel by pixel (flips, cuts to clip and to the source).
TEST(DrawingSurface, DrawPlacesEverySourcePixelByTheMapping) {
  std::mt19937 rng(77);
  auto any = [&](int32_t lo, int32_t hi) { return lo + static_cast<int32_t>(rng() % static_cast<uint32_t>(hi - lo + 1)); };
  for (int iter = 0; iter < 3000; ++iter) {
    int32_t w = any(1, 12), h = any(1, 12), sw = any(1, 9), sh = any(1, 9);
    TBufferDIBX dst(w, h, 32), src(sw, sh, 32);
    for (int32_t y = 0; y < sh; ++y)
      for (int32_t x = 0; x < sw; ++x) src.SetPixel(x, y, static_cast<uint32_t>(1 + x + 16 * y));
    int32_t x0 = any(-5, w), y0 = any(-5, h);
    int32_t l = any(-3, sw), t = any(-3, sh);
    TRect sr{l, t, l + any(0, sw + 3), t + any(0, sh + 3)};
    TRect clip{any(-2, w), any(-2, h), 0, 0};
    clip.Right = clip.Left + any(0, w + 2);
    clip.Bottom = clip.Top + any(0, h + 2);
    bool fh = rng() & 1, fv = rng() & 1;
    dst.SetClipRect(clip);
    dst.Draw(x0, y0, src, sr, false, fh, fv);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        int32_t i = x - x0, j = y - y0;
        uint32_t expected = 0;
        if (PointInRect({x, y}, clip) && i >= 0 && j >= 0 && i < sr.Right - sr.Left && j < sr.Bottom - sr.Top) {
          int32_t sx = fh ? sr.Right - 1 - i : sr.Left + i, sy = fv ? sr.Bottom - 1 - j : sr.Top + j;
          if (sx >= 0 && sy >= 0 && sx < sw && sy < sh) expected = src.GetPixel(sx, sy);
        }
        ASSERT_EQ(dst.GetPixel(x, y), expected) << iter << " at " << x << "," << y;
      }
  }
}

// Counts locks and unlocks; with Refuse, Lock gives no address.
class TCountingDIBX : public TBufferDIBX {
 public:
  using TBufferDIBX::TBufferDIBX;
  uint8_t* Lock(int32_t x, int32_t y) override {
    if (Refuse) return nullptr;
    ++Locks;
    return TBufferDIBX::Lock(x, y);
  }
  void Unlock() override { ++Unlocks; }
  bool Refuse = false;
  int Locks = 0, Unlocks = 0;
};

// Every lock that gave an address is released once, whichever of the
// destination, source and mask cannot be addressed; a refused lock is never
// released, and nothing is locked after a refusal.
TEST(DrawingSurface, EveryTakenLockIsReleasedOnce) {
  const TRect r{0, 0, 4, 4};
  const TDraw ops[] = {
      [&](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX&) { d.FillRectAlpha(r, 0x123456, 100); },
      [&](TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX&) { d.Draw(0, 0, s, r, true, false, false); },
      [&](TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX& m) { d.DrawAlphaMask(1, 1, s, r, false, true, m, 90); },
      [&](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX& m) { d.DrawColorMask(0, 0, m, r, false, false, 0xFF, 200); },
      [&](TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX&) { d.CopyFrom(s); },
      [&](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX&) {
        TTestPicture target(4, 4, 32);
        d.StretchToView(target.View, nullptr, r, r);
      },
  };
  for (size_t op = 0; op < std::size(ops); ++op)
    for (int refused = 0; refused < 8; ++refused) {
      SCOPED_TRACE(testing::Message() << "operation " << op << ", refused " << refused);
      auto d = std::make_unique<TCountingDIBX>(4, 4, 32), s = std::make_unique<TCountingDIBX>(4, 4, 32),
           m = std::make_unique<TCountingDIBX>(4, 4, 8);
      d->Refuse = refused & 1;
      s->Refuse = refused & 2;
      m->Refuse = refused & 4;
      ops[op](*d, *s, *m);
      for (const TCountingDIBX* v : {d.get(), s.get(), m.get()}) EXPECT_EQ(v->Locks, v->Unlocks);
      if (d->Refuse) {
        EXPECT_EQ(s->Locks + m->Locks, 0);
      }
    }
}

// ---- edge cases of the drawing surface -------------------------------------

TEST(DrawingSurface, IncludeClipRectOutsideLeavesClipAndResetReachesAll) {
  TBufferDIBX s(10, 10, 32);
  s.IncludeClipRect({2, 2, 4, 4});
  s.IncludeClipRect({20, 20, 30, 30});
  EXPECT_EQ(s.GetClipRect(), (TRect{2, 2, 4, 4}));
  s.IncludeClipRect({6, 1, 8, 3});
  EXPECT_EQ(s.GetClipRect(), (TRect{2, 1, 8, 4}));
  s.ResetClipRect();
  s.FillRect({0, 0, 10, 10}, 7);
  EXPECT_EQ(Pixels(s), TRow(100, 7));
}

TEST(DrawingSurface, NegativeXWithFlipLosesRightColumns) {
  // A B C mirrored is C B A; at X = -1 the C falls off: B A remain.
  TBufferDIBX d(4, 1, 32), s(3, 1, 32);
  test::SetRow(s, 0, {0xA, 0xB, 0xC});
  d.Draw(-1, 0, s, {0, 0, 3, 1}, false, true, false);
  EXPECT_EQ(test::RowOf(d, 0), (TRow{0xB, 0xA, 0, 0}));
}

TEST(DrawingSurface, DrawNearTheEdgeDrawsWhatFits) {
  TBufferDIBX d(100, 100, 16), s(10, 10, 16), e(100, 100, 16);
  s.Fill(0x1234);
  d.Draw(95, 95, s, {0, 0, 10, 10}, false, false, false);
  const TRow pixels = Pixels(d);
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0x1234u), 25);
  e.Draw(100, 100, s, {0, 0, 10, 10}, false, false, false);
  EXPECT_EQ(Pixels(e), TRow(100 * 100, 0));
}

TEST(DrawingSurface, FillRectAlphaZeroAndFull) {
  TBufferDIBX s(3, 3, 32);
  s.FillRectAlpha({0, 0, 3, 3}, 0xFFFFFF, 0);
  EXPECT_EQ(s.GetPixel(1, 1), 0u);
  s.FillRectAlpha({0, 0, 3, 3}, 0xFFFFFF, 255);
  EXPECT_EQ(s.GetPixel(1, 1), 0xFEFEFEu);
}

TEST(DrawingSurface, FillWithClipFillsOnlyTheClip) {
  TBufferDIBX s(6, 6, 8);
  s.SetClipRect({1, 2, 3, 5});
  s.Fill(9);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(s.GetPixel(x, y), x >= 1 && x < 3 && y >= 2 && y < 5 ? 9u : 0u);
}

TEST(DrawingSurface, FillRectOnSubByteSurfacesChangesNothing) {
  for (int32_t bits : {1, 4}) {
    TBufferDIBX s(9, 3, bits);
    s.FillRect({0, 0, 9, 3}, 1);
    EXPECT_EQ(Pixels(s), TRow(27, 0)) << bits;
  }
}

TEST(DrawingSurface, FillRectAlphaSequenceOnAChannel) {
  TBufferDIBX s(2, 1, 32);
  for (uint32_t e : {127, 190, 221, 237}) {
    s.FillRectAlpha({0, 0, 2, 1}, 0xFF, 128);
    EXPECT_EQ(s.GetPixel(1, 0), e);
  }
  for (int i = 0; i < 30; ++i) s.FillRectAlpha({0, 0, 2, 1}, 0xFF, 128);
  EXPECT_EQ(s.GetPixel(1, 0), 252u);
  s.SetPixel(0, 0, 0xFF);  // equal to the colour: stays
  s.FillRectAlpha({0, 0, 1, 1}, 0xFF, 128);
  EXPECT_EQ(s.GetPixel(0, 0), 0xFFu);
}

TEST(DrawingSurface, AddAndSubOn565) {
  TBufferDIBX s(2, 1, 16);
  s.Fill(0xFFFF);
  s.FillRectAdd({0, 0, 2, 1}, 0x0821);
  EXPECT_EQ(s.GetPixel(0, 0), 0xFFFFu);
  s.SetPixel(1, 0, 0x1234);
  s.FillRectSub({0, 0, 2, 1}, 0xFFFF);
  EXPECT_EQ(test::RowOf(s, 0), (TRow{0, 0}));
}

TEST(DrawingSurface, LowFrameHasNoSides) {
  TBufferDIBX s(12, 5, 8);
  s.FrameRectAdd({0, 0, 10, 3}, 2, 1);
  // Top and bottom overlap on row 1.
  for (auto [y, v] : {std::pair{0, 1u}, {1, 2u}, {2, 1u}, {3, 0u}})
    EXPECT_EQ(test::RowOf(s, y), (TRow{v, v, v, v, v, v, v, v, v, v, 0, 0})) << y;
  TBufferDIBX plain(12, 5, 8);
  plain.FrameRect({0, 0, 10, 3}, 2, 4);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 12; ++x) EXPECT_EQ(plain.GetPixel(x, y), x < 10 && y < 3 ? 4u : 0u);
  TBufferDIBX f(12, 8, 8);
  f.FrameRect({1, 1, 11, 8}, 2, 5);
  EXPECT_EQ(test::RowOf(f, 4), (TRow{0, 5, 5, 0, 0, 0, 0, 0, 0, 5, 5, 0}));
}

TEST(DrawingSurface, ColorMaskPastTheMaskDrawsNothing) {
  TBufferDIBX d(8, 8, 32), m(4, 4, 8);
  m.Fill(255);
  d.DrawColorMask(0, 0, m, {0, 0, 5, 4}, false, false, 0xFFFFFF, 255);
  EXPECT_EQ(Pixels(d), TRow(64, 0));
  d.DrawColorMask(0, 0, m, {0, 0, 4, 4}, false, false, 0xFFFFFF, 255);
  EXPECT_EQ(d.GetPixel(3, 3), 0xFEFEFEu);
}

TEST(DrawingSurface, KeyOfMinusOneCopiesEveryValue) {
  for (uint32_t top : {0xFFu, 0xFFFFu}) {
    const int32_t bits = top == 0xFF ? 8 : 16;
    TBufferDIBX d(2, 1, bits), s(2, 1, bits);
    s.Fill(top);
    s.TransparentColor = -1;
    d.Draw(0, 0, s, {0, 0, 2, 1}, true, false, false);
    EXPECT_EQ(d.GetPixel(1, 0), top);
  }
}

TEST(DrawingSurface, KeyedPixelAfterCopiedOneAt24Bits) {
  TBufferDIBX d(3, 1, 24), s(3, 1, 24);
  d.Fill(0x111111);
  test::SetRow(s, 0, {0xABCDEF, 0x00FF00, 0x123456});
  s.TransparentColor = 0x00FF00;
  d.Draw(0, 0, s, {0, 0, 3, 1}, true, false, false);
  EXPECT_EQ(test::RowOf(d, 0), (TRow{0xABCDEF, 0x111111, 0x123456}));
}

TEST(DrawingSurface, CopyFromOtherHeightDrawsAtTopLeft) {
  TBufferDIBX d(4, 4, 32), s(4, 2, 32), same(4, 2, 32);
  s.Fill(0x55);
  d.CopyFrom(s);
  EXPECT_EQ(d.Height(), 4);
  EXPECT_EQ(d.GetPixel(3, 1), 0x55u);
  EXPECT_EQ(d.GetPixel(3, 2), 0u);
  same.SetClipRect({0, 0, 1, 1});  // the block copy takes everything
  same.CopyFrom(s);
  EXPECT_EQ(same.GetPixel(3, 1), 0x55u);
}

TEST(DrawingSurface, AlphaLeavesEqualPixels) {
  for (int32_t bits : {16, 24, 32}) {
    const TDraw draw = [](auto& d, auto& s, auto&) { d.DrawAlpha(0, 0, s, kOne, false, false, false, 128); };
    EXPECT_EQ(OnePixel(bits, 0x1357, 0x1357, 0, draw), 0x1357u) << bits;
  }
}

TEST(DrawingSurface, AddWhiteAt128) {
  TBufferDIBX d(2, 1, 32), s(2, 1, 32);
  s.Fill(0xFFFFFF);
  d.SetPixel(1, 0, 0xFFFFFF);
  d.DrawAdd(0, 0, s, {0, 0, 2, 1}, false, false, false, 128);
  EXPECT_EQ(test::RowOf(d, 0), (TRow{0x7F7F7F, 0xFFFFFF}));
}

TEST(DrawingSurface, AddOn8BitsAddsRawBytes) {
  for (const auto& c : {std::pair{1, 150u}, {0, 100u}}) {  // opacity 0 adds nothing
    const int alpha = c.first;
    const TDraw draw = [alpha](auto& d, auto& s, auto&) { d.DrawAdd(0, 0, s, kOne, false, false, false, alpha); };
    EXPECT_EQ(OnePixel(8, 100, 50, 0, draw), c.second);
  }
}

TEST(DrawingSurface, MaskOf15BitsDrawsNothing) {
  TBufferDIBX d(2, 2, 16), s(2, 2, 16), m(2, 2, 15);
  s.Fill(0x1111);
  m.Fill(0x7FFF);
  d.DrawMask(0, 0, s, {0, 0, 2, 2}, false, false, m);
  EXPECT_EQ(Pixels(d), TRow(4, 0));
}

TEST(DrawingSurface, FullMaskEqualsPlainDraw) {
  std::mt19937 rng(5);
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    TBufferDIBX a(7, 5, bits), b(7, 5, bits), s(6, 4, bits), m(6, 4, 8);
    Randomise(a, rng, DepthMask(bits));
    b.CopyFrom(a);
    Randomise(s, rng, DepthMask(bits));
    m.Fill(255);
    s.TransparentColor = static_cast<int32_t>(s.GetPixel(0, 0));
    a.DrawMask(1, 1, s, {0, 0, 6, 4}, true, false, m);
    b.Draw(1, 1, s, {0, 0, 6, 4}, false, true, false);
    EXPECT_EQ(Pixels(a), Pixels(b)) << bits;
  }
}

TEST(DrawingSurface, AlphaMaskAtFullWeightPerDepth) {
  // 32 bits (row kernel): weight 255, white over black gives 254.
  // 24 bits (per-pixel rule): weight 254, the same pixel gives 253.
  const TDraw draw = [](auto& d, auto& s, auto& m) { d.DrawAlphaMask(0, 0, s, kOne, false, false, m, 255); };
  for (auto [bits, expected] : {std::pair{32, 0xFEFEFEu}, {24, 0xFDFDFDu}})
    EXPECT_EQ(OnePixel(bits, 0, 0xFFFFFF, 255, draw), expected) << bits;
}

TEST(DrawingSurface, AddMaskByteOneAddsNothing) {
  const TDraw draw = [](auto& d, auto& s, auto& m) { d.DrawAddMask(0, 0, s, kOne, false, false, m, 255); };
  for (int32_t bits : {16, 24, 32}) EXPECT_EQ(OnePixel(bits, 0x0842, DepthMask(bits), 1, draw), 0x0842u) << bits;
}

TEST(DrawingSurface, StretchToViewWidensToTheTarget) {
  TBufferDIBX s(2, 1, 16);
  test::SetRow(s, 0, {0xF800, 0x001F});
  TTestPicture target(4, 2, 32);
  s.StretchToView(target.View, nullptr, {0, 0, 4, 2}, {0, 0, 2, 1});
  EXPECT_EQ(target.Get(1, 1), 0xFF0000u);
  EXPECT_EQ(target.Get(2, 0), 0x0000FFu);
}

// ---- faults mended -----------------------------------------------------------

TEST(DrawingSurface, SourceRectIsCutToTheSource) {
  TBufferDIBX d(8, 8, 32), s(2, 2, 32);
  s.Fill(0x77);
  d.Fill(0x11);
  d.Draw(1, 1, s, {-2, -2, 6, 6}, false, false, false);
  // Only the source's own 2 x 2 pixels land, where they belong.
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(d.GetPixel(x, y), x >= 3 && x < 5 && y >= 3 && y < 5 ? 0x77u : 0x11u);
}

TEST(DrawingSurface, MaskSmallerThanTheDrawDrawsNothing) {
  TBufferDIBX d(8, 8, 32), s(6, 6, 32), m(3, 3, 8);
  s.Fill(0x77);
  m.Fill(255);
  d.DrawMask(0, 0, s, {0, 0, 6, 6}, false, false, m);
  d.DrawAlphaMask(0, 0, s, {0, 0, 6, 6}, false, false, m, 200);
  d.DrawAddMask(0, 0, s, {0, 0, 6, 6}, false, false, m, 200);
  EXPECT_EQ(Pixels(d), TRow(64, 0));
}

TEST(DrawingSurface, ClipEndingAtZeroIsEmpty) {
  TBufferDIBX d(4, 4, 32), s(4, 4, 32);
  s.Fill(0x77);
  d.SetClipRect({0, 0, 0, 4});
  d.Fill(5);
  d.Draw(0, 0, s, {0, 0, 4, 4}, false, false, false);
  EXPECT_EQ(Pixels(d), TRow(16, 0));
}

TEST(DrawingSurface, ZeroSizesAndForeignDepthsDrawNothing) {
  TBufferDIBX d(4, 4, 32), s(4, 4, 32), s8(4, 4, 8);
  s.Fill(0x77);
  s8.Fill(0x77);
  d.Draw(0, 0, s, {1, 1, 1, 3}, false, false, false);
  d.Draw(0, 0, s, {1, 3, 3, 3}, false, false, false);
  d.FillRect({2, 2, 2, 4}, 1);
  d.Draw(0, 0, s8, {0, 0, 4, 4}, false, false, false);
  EXPECT_EQ(Pixels(d), TRow(16, 0));
}

TEST(DrawingSurface, ClipBeyondTheSurfaceStaysInside) {
  TBufferDIBX d(4, 4, 32), s(10, 10, 32);
  s.Fill(0x77);
  d.SetClipRect({-50, -50, 50, 50});
  d.Draw(-2, -2, s, {0, 0, 10, 10}, false, false, false);
  d.FillRectAdd({-10, -10, 20, 20}, 1);
  EXPECT_EQ(Pixels(d), TRow(16, 0x78));
}

TEST(DrawingSurface, DrawOntoItselfUsesThePixelsAsTheyWere) {
  TBufferDIBX d(6, 1, 32);
  test::SetRow(d, 0, {1, 2, 3, 4, 5, 6});
  d.Draw(1, 0, d, {0, 0, 5, 1}, false, false, false);
  EXPECT_EQ(test::RowOf(d, 0), (TRow{1, 1, 2, 3, 4, 5}));
  d.Draw(0, 0, d, {0, 0, 6, 1}, false, true, false);
  EXPECT_EQ(test::RowOf(d, 0), (TRow{5, 4, 3, 2, 1, 1}));
}

}  // namespace
}  // namespace orba

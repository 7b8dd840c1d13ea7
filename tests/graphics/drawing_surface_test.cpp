// Drawing surfaces: the base class's own algorithms on surfaces over plain
// buffers (where draws land, worked fills, frames and blends, edge cases of
// clips, sizes and depths), the memory surface over an alpha bitmap, and the
// wave surface that shifts the rows drawn through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <utility>

#include "graphics/custom_dibx.h"
#include "graphics/dibx.h"
#include "graphics/draw_test_util.h"
#include "graphics/wave_surface.h"

namespace orba {
namespace {

using test::Box;
using test::DepthMask;
using test::Flat;
using test::MakeDIBX;
using test::Map;
using test::PaintedDIBX;
using test::Pixels;
using test::Randomise;
using test::TBufferDIBX;
using test::TRow;

// A w x h surface holding `pixels` row by row, or all of one value.
std::unique_ptr<TBufferDIBX> Buf(int32_t w, int32_t h, int32_t bits, const TRow& pixels) {
  auto s = std::make_unique<TBufferDIBX>(w, h, bits);
  for (int32_t i = 0; i < w * h; ++i) s->SetPixel(i % w, i / w, pixels[pixels.size() == 1 ? 0 : static_cast<size_t>(i)]);
  return s;
}

struct TCase {
  const char* what;
  int32_t w, h, bits;
  TRow start;  // the destination's pixels, or one value for all
  std::function<void(TCustomDIBX& d)> draw;
  TRow expected;
};

TEST(DrawingSurface, WorkedDrawsFillsAndEdgeCases) {
  const TCase cases[] = {
      // A B C mirrored is C B A; at X = -1 the C falls off: B A remain.
      {"flip at negative x", 4, 1, 32, {0}, [](auto& d) { d.Draw(-1, 0, *Buf(3, 1, 32, {0xA, 0xB, 0xC}), {0, 0, 3, 1}, false, true, false); },
       {0xB, 0xA, 0, 0}},
      {"draw near the edge", 100, 100, 16, {0}, [](auto& d) { d.Draw(95, 95, *Buf(10, 10, 16, {0x1234}), {0, 0, 10, 10}, false, false, false); },
       Box(100, 100, {95, 95, 100, 100}, 0x1234)},
      {"draw past the edge", 100, 100, 16, {0}, [](auto& d) { d.Draw(100, 100, *Buf(10, 10, 16, {0x1234}), {0, 0, 10, 10}, false, false, false); },
       TRow(10000, 0)},
      {"fill alpha 0", 3, 3, 32, {0}, [](auto& d) { d.FillRectAlpha({0, 0, 3, 3}, 0xFFFFFF, 0); }, TRow(9, 0)},
      {"fill alpha 255", 3, 3, 32, {0}, [](auto& d) { d.FillRectAlpha({0, 0, 3, 3}, 0xFFFFFF, 255); }, TRow(9, 0xFEFEFE)},
      {"fill within the clip", 6, 6, 8, {0}, [](auto& d) { d.SetClipRect({1, 2, 3, 5}); d.Fill(9); }, Box(6, 6, {1, 2, 3, 5}, 9)},
      {"fill rect at 1 bit", 9, 3, 1, {0}, [](auto& d) { d.FillRect({0, 0, 9, 3}, 1); }, TRow(27, 0)},
      {"fill rect at 4 bits", 9, 3, 4, {0}, [](auto& d) { d.FillRect({0, 0, 9, 3}, 1); }, TRow(27, 0)},
      {"565 add saturates", 2, 1, 16, {0xFFFF}, [](auto& d) { d.FillRectAdd({0, 0, 2, 1}, 0x0821); }, {0xFFFF, 0xFFFF}},
      {"565 sub to zero", 2, 1, 16, {0xFFFF, 0x1234}, [](auto& d) { d.FillRectSub({0, 0, 2, 1}, 0xFFFF); }, {0, 0}},
      // A frame lower than twice its thickness: top and bottom overlap on row 1, no sides.
      {"low added frame", 12, 5, 8, {0}, [](auto& d) { d.FrameRectAdd({0, 0, 10, 3}, 2, 1); },
       Map(12, 5, [](int32_t x, int32_t y) { return x < 10 && y < 3 ? (y == 1 ? 2u : 1u) : 0u; })},
      {"low frame", 12, 5, 8, {0}, [](auto& d) { d.FrameRect({0, 0, 10, 3}, 2, 4); }, Box(12, 5, {0, 0, 10, 3}, 4)},
      {"frame", 12, 8, 8, {0}, [](auto& d) { d.FrameRect({1, 1, 11, 8}, 2, 5); },
       Map(12, 8, [](int32_t x, int32_t y) { return PointInRect({x, y}, {1, 1, 11, 8}) && !PointInRect({x, y}, {3, 3, 9, 6}) ? 5u : 0u; })},
      {"colour mask past the mask", 8, 8, 32, {0}, [](auto& d) { d.DrawColorMask(0, 0, *Buf(4, 4, 8, {255}), {0, 0, 5, 4}, false, false, 0xFFFFFF, 255); },
       TRow(64, 0)},
      {"colour mask", 8, 8, 32, {0}, [](auto& d) { d.DrawColorMask(0, 0, *Buf(4, 4, 8, {255}), {0, 0, 4, 4}, false, false, 0xFFFFFF, 255); },
       Box(8, 8, {0, 0, 4, 4}, 0xFEFEFE)},
      {"key -1 at 8 bits", 2, 1, 8, {0}, [](auto& d) { auto s = Buf(2, 1, 8, {0xFF}); s->TransparentColor = -1; d.Draw(0, 0, *s, {0, 0, 2, 1}, true, false, false); },
       {0xFF, 0xFF}},
      {"key -1 at 16 bits", 2, 1, 16, {0}, [](auto& d) { auto s = Buf(2, 1, 16, {0xFFFF}); s->TransparentColor = -1; d.Draw(0, 0, *s, {0, 0, 2, 1}, true, false, false); },
       {0xFFFF, 0xFFFF}},
      {"keyed pixel after a copied one at 24 bits", 3, 1, 24, {0x111111},
       [](auto& d) { auto s = Buf(3, 1, 24, {0xABCDEF, 0x00FF00, 0x123456}); s->TransparentColor = 0x00FF00; d.Draw(0, 0, *s, {0, 0, 3, 1}, true, false, false); },
       {0xABCDEF, 0x111111, 0x123456}},
      {"copy from a lower surface", 4, 4, 32, {0}, [](auto& d) { d.CopyFrom(*Buf(4, 2, 32, {0x55})); }, Box(4, 4, {0, 0, 4, 2}, 0x55)},
      // The block copy of an equal surface takes everything.
      {"copy from an equal surface", 4, 2, 32, {0}, [](auto& d) { d.SetClipRect({0, 0, 1, 1}); d.CopyFrom(*Buf(4, 2, 32, {0x55})); }, TRow(8, 0x55)},
      {"blend of equal pixels at 16 bits", 1, 1, 16, {0x1357}, [](auto& d) { d.DrawAlpha(0, 0, *Buf(1, 1, 16, {0x1357}), {0, 0, 1, 1}, false, false, false, 128); }, {0x1357}},
      {"blend of equal pixels at 24 bits", 1, 1, 24, {0x1357}, [](auto& d) { d.DrawAlpha(0, 0, *Buf(1, 1, 24, {0x1357}), {0, 0, 1, 1}, false, false, false, 128); }, {0x1357}},
      {"blend of equal pixels at 32 bits", 1, 1, 32, {0x1357}, [](auto& d) { d.DrawAlpha(0, 0, *Buf(1, 1, 32, {0x1357}), {0, 0, 1, 1}, false, false, false, 128); }, {0x1357}},
      {"add white at 128", 2, 1, 32, {0, 0xFFFFFF}, [](auto& d) { d.DrawAdd(0, 0, *Buf(2, 1, 32, {0xFFFFFF}), {0, 0, 2, 1}, false, false, false, 128); },
       {0x7F7F7F, 0xFFFFFF}},
      // 8-bit adds add the raw bytes; opacity 0 adds nothing.
      {"add at 8 bits", 1, 1, 8, {100}, [](auto& d) { d.DrawAdd(0, 0, *Buf(1, 1, 8, {50}), {0, 0, 1, 1}, false, false, false, 1); }, {150}},
      {"add at 8 bits, opacity 0", 1, 1, 8, {100}, [](auto& d) { d.DrawAdd(0, 0, *Buf(1, 1, 8, {50}), {0, 0, 1, 1}, false, false, false, 0); }, {100}},
      {"15-bit mask", 2, 2, 16, {0}, [](auto& d) { d.DrawMask(0, 0, *Buf(2, 2, 16, {0x1111}), {0, 0, 2, 2}, false, false, *Buf(2, 2, 15, {0x7FFF})); },
       TRow(4, 0)},
      // 32 bits (row kernel): weight 255, white over black gives 254; 24 bits
      // (per-pixel rule): weight 254, the same pixel gives 253.
      {"alpha mask at 32 bits", 1, 1, 32, {0}, [](auto& d) { d.DrawAlphaMask(0, 0, *Buf(1, 1, 32, {0xFFFFFF}), {0, 0, 1, 1}, false, false, *Buf(1, 1, 8, {255}), 255); },
       {0xFEFEFE}},
      {"alpha mask at 24 bits", 1, 1, 24, {0}, [](auto& d) { d.DrawAlphaMask(0, 0, *Buf(1, 1, 24, {0xFFFFFF}), {0, 0, 1, 1}, false, false, *Buf(1, 1, 8, {255}), 255); },
       {0xFDFDFD}},
      {"add mask byte 1 at 16 bits", 1, 1, 16, {0x0842}, [](auto& d) { d.DrawAddMask(0, 0, *Buf(1, 1, 16, {0xFFFF}), {0, 0, 1, 1}, false, false, *Buf(1, 1, 8, {1}), 255); },
       {0x0842}},
      {"add mask byte 1 at 24 bits", 1, 1, 24, {0x0842}, [](auto& d) { d.DrawAddMask(0, 0, *Buf(1, 1, 24, {0xFFFFFF}), {0, 0, 1, 1}, false, false, *Buf(1, 1, 8, {1}), 255); },
       {0x0842}},
      {"add mask byte 1 at 32 bits", 1, 1, 32, {0x0842}, [](auto& d) { d.DrawAddMask(0, 0, *Buf(1, 1, 32, {0xFFFFFF}), {0, 0, 1, 1}, false, false, *Buf(1, 1, 8, {1}), 255); },
       {0x0842}},
      // Faults mended: only the source's own 2 x 2 pixels land, where they belong.
      {"source rectangle cut to the source", 8, 8, 32, {0x11}, [](auto& d) { d.Draw(1, 1, *Buf(2, 2, 32, {0x77}), {-2, -2, 6, 6}, false, false, false); },
       Box(8, 8, {3, 3, 5, 5}, 0x77, 0x11)},
      {"mask smaller than the draw", 8, 8, 32, {0},
       [](auto& d) {
         auto s = Buf(6, 6, 32, {0x77}), m = Buf(3, 3, 8, {255});
         d.DrawMask(0, 0, *s, {0, 0, 6, 6}, false, false, *m);
         d.DrawAlphaMask(0, 0, *s, {0, 0, 6, 6}, false, false, *m, 200);
         d.DrawAddMask(0, 0, *s, {0, 0, 6, 6}, false, false, *m, 200);
       },
       TRow(64, 0)},
      {"clip ending at 0", 4, 4, 32, {0},
       [](auto& d) { d.SetClipRect({0, 0, 0, 4}); d.Fill(5); d.Draw(0, 0, *Buf(4, 4, 32, {0x77}), {0, 0, 4, 4}, false, false, false); }, TRow(16, 0)},
      {"zero sizes and foreign depths", 4, 4, 32, {0},
       [](auto& d) {
         auto s = Buf(4, 4, 32, {0x77});
         d.Draw(0, 0, *s, {1, 1, 1, 3}, false, false, false);
         d.Draw(0, 0, *s, {1, 3, 3, 3}, false, false, false);
         d.FillRect({2, 2, 2, 4}, 1);
         d.Draw(0, 0, *Buf(4, 4, 8, {0x77}), {0, 0, 4, 4}, false, false, false);
       },
       TRow(16, 0)},
      {"clip beyond the surface", 4, 4, 32, {0},
       [](auto& d) {
         d.SetClipRect({-50, -50, 50, 50});
         d.Draw(-2, -2, *Buf(10, 10, 32, {0x77}), {0, 0, 10, 10}, false, false, false);
         d.FillRectAdd({-10, -10, 20, 20}, 1);
       },
       TRow(16, 0x78)},
      // A surface drawn onto itself reads its pixels as they were.
      {"draw onto itself", 6, 1, 32, {1, 2, 3, 4, 5, 6}, [](auto& d) { d.Draw(1, 0, d, {0, 0, 5, 1}, false, false, false); }, {1, 1, 2, 3, 4, 5}},
      // Rows are drawn in any order: a row down, a row up, doubled downwards.
      {"draw onto itself a row down", 1, 4, 32, {1, 2, 3, 4}, [](auto& d) { d.Draw(0, 1, d, {0, 0, 1, 3}, false, false, false); }, {1, 1, 2, 3}},
      {"draw onto itself a row up", 1, 4, 32, {1, 2, 3, 4}, [](auto& d) { d.Draw(0, 0, d, {0, 1, 1, 4}, false, false, false); }, {2, 3, 4, 4}},
      {"stretch onto itself", 1, 4, 32, {1, 2, 3, 4}, [](auto& d) { d.StretchDrawAlpha({0, 0, 1, 4}, d, {0, 0, 1, 2}, false, false, false, 255); }, {1, 1, 2, 2}},
      {"draw onto itself mirrored", 6, 1, 32, {1, 1, 2, 3, 4, 5}, [](auto& d) { d.Draw(0, 0, d, {0, 0, 6, 1}, false, true, false); }, {5, 4, 3, 2, 1, 1}},
  };
  for (const TCase& c : cases) {
    auto d = Buf(c.w, c.h, c.bits, c.start);
    c.draw(*d);
    EXPECT_EQ(Pixels(*d), c.expected) << c.what;
  }
}

// Where each source pixel lands: a plain copy compared with the mapping
// worked out pixel by pixel (flips, cuts to clip and to the source).
TEST(DrawingSurface, DrawPlacesEverySourcePixelByTheMapping) {
  std::mt19937 rng(77);
  auto any = [&](int32_t lo, int32_t hi) { return test::Any(rng, lo, hi); };
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

// ClipHolds answers true exactly when setting the clip afresh to the
// rectangle would leave it as it is (a 10 x 10 surface; the rectangle is
// cut to it as IncludeClipRect cuts it).
TEST(DrawingSurface, ClipHoldsWhenSettingItAfreshChangesNothing) {
  struct TCase { std::optional<TRect> clip; TRect rect; bool holds; };
  const TCase cases[] = {
      {std::nullopt, {0, 0, 10, 10}, false},  // no clip yet: setting one is a change
      {TRect{2, 2, 6, 6}, {2, 2, 6, 6}, true},
      {TRect{2, 2, 6, 6}, {2, 2, 6, 7}, false},
      {TRect{0, 0, 10, 10}, {-5, -5, 20, 20}, true},  // cut to the surface first
      {TRect{0, 0, 4, 4}, {-5, -5, 4, 4}, true},
      {TRect{0, 0, 4, 4}, {-5, -5, 5, 4}, false},
      {TRect{20, 20, 30, 30}, {20, 20, 30, 30}, false},  // an empty cut resets instead
  };
  for (const TCase& c : cases) {
    TBufferDIBX s(10, 10, 32);
    if (c.clip) s.SetClipRect(*c.clip);
    const bool holds = s.ClipHolds(c.rect);
    EXPECT_EQ(holds, c.holds) << c.rect.Left << "," << c.rect.Top << "," << c.rect.Right << "," << c.rect.Bottom;
    const auto before = std::pair(s.HasClipRect(), s.GetClipRect());
    s.ResetClipRect();
    s.IncludeClipRect(c.rect);
    if (holds) {
      EXPECT_EQ(std::pair(s.HasClipRect(), s.GetClipRect()), before);
    }
  }
}

TEST(WaveSurface, ClipHoldsNeverSinceTheTargetIsSetThroughIt) {
  auto target = MakeDIBX(40, 40, 32);
  TDIBXWave wave;
  wave.Target = target.get();
  wave.SetSize(10, 10, 0);
  wave.IncludeClipRect({0, 0, 5, 5});
  EXPECT_FALSE(wave.ClipHolds({0, 0, 5, 5}));
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

// ---- the memory surface ------------------------------------------------------

TEST(MemorySurface, SetBitCount15Converts565To555) {
  TDIBX s;
  s.SetSize(3, 2, 16);
  test::SetRow(s, 0, {0xF800, (8u << 11) | (40u << 5) | 9u});
  s.SetBitCount(15);
  EXPECT_EQ((std::array<uint32_t, 3>{uint32_t(s.BitCount()), uint32_t(s.StorageBitCount()), s.GreenMask()}),
            (std::array<uint32_t, 3>{15, 16, 0x3E0}));
  // 5-bit channels keep their values, the 6-bit green loses its low bit.
  EXPECT_EQ(test::RowOf(s, 0), (TRow{0x7C00, (8u << 10) | (20u << 5) | 9u, 0}));
  s.SetBitCount(16);
  EXPECT_EQ((std::pair{s.BitCount(), s.GetPixel(1, 0)}), (std::pair{16, (8u << 11) | (41u << 5) | 9u}));
}

TEST(MemorySurface, ColourOfRedAndNoneAndTheShiftsOfEachDepth) {
  for (auto [bits, red] : {std::pair{16, 0xF800}, {15, 0x7C00}, {32, 0xFF0000}, {24, 0x0000FF}, {8, 0x0000FF},
                           {1, -2}, {4, -2}}) {
    TDIBX s;
    s.SetSize(2, 2, bits);
    if (red != -2) {
      EXPECT_EQ(s.ColorToPixel(0x0000FF), red) << bits;
    }
    EXPECT_EQ(std::pair(s.ColorToPixel(-1), s.ColorToPixel(-5)), std::pair(-1, -1)) << bits;  // no colour stays none
    if (bits == 16 || bits == 32) {
      EXPECT_EQ((std::array{s.RedShift(), s.GreenShift(), s.BlueShift()}),
                (bits == 16 ? std::array{11, 5, 0} : std::array{16, 8, 0}));
    }
  }
}

TEST(MemorySurface, FillOnSubByteDepthsWritesWholeBytes) {
  for (auto [bits, value, byte] : {std::tuple{1, 1u, 0xFF}, {4, 5u, 0x55}}) {
    TDIBX s;
    s.SetSize(5, 3, bits);
    s.Fill(value);
    const uint8_t* p = s.Surface().PeekPixelBlock();
    EXPECT_EQ(std::count(p, p + s.Surface().Size(), byte), s.Surface().Size()) << bits;
  }
}

// A memory surface's Fill restarts the whole bitmap up to 16 bits: the clip
// rectangle is not looked at and the row padding is written too (5 pixels
// at 8 bits are stored in rows of 8 bytes). At 32 bits it is a FillRect,
// which keeps to the clip.
TEST(MemorySurface, FillUpTo16BitsIgnoresTheClipAndWritesThePadding) {
  struct TFillCase {
    int32_t bits;
    uint32_t value;
    uint8_t lo, hi;  // the bytes every word of the block holds
  };
  for (const TFillCase c : {TFillCase{8, 0x1A7, 0xA7, 0xA7}, TFillCase{16, 0xBEEF, 0xEF, 0xBE},
                            TFillCase{15, 0x1234, 0x34, 0x12}, TFillCase{4, 3, 0x33, 0x33}}) {
    TDIBX s;
    s.SetSize(5, 3, c.bits);
    s.SetClipRect({1, 1, 2, 2});
    s.Fill(c.value);
    const uint8_t* p = s.Surface().PeekPixelBlock();
    ASSERT_EQ(s.Surface().RowSize() % 4, 0);
    ASSERT_GT(s.Surface().RowSize() * 8, 5 * (c.bits == 15 ? 16 : c.bits)) << "no padding to check";
    for (int32_t i = 0; i < s.Surface().Size(); ++i) ASSERT_EQ(p[i], i % 2 == 0 ? c.lo : c.hi) << c.bits << " @" << i;
  }
  TDIBX wide;
  wide.SetSize(4, 3, 32);
  wide.Fill(0);
  wide.SetClipRect({1, 1, 3, 2});
  wide.Fill(0x00ABCDEF);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x)
      EXPECT_EQ(wide.GetPixel(x, y), x >= 1 && x < 3 && y == 1 ? 0x00ABCDEFu : 0u) << x << "," << y;
}

TEST(MemorySurface, LockOnEmptyBitmapIsNull) {
  TDIBX s;
  s.Surface().Clear();
  EXPECT_EQ(s.Lock(0, 0), nullptr);
  s.FillRect({0, 0, 5, 5}, 1);  // nothing to draw on, nothing happens
}

// A stretched copy onto a picture of another depth widens the channels; a
// whole memory bitmap is read row by row.
TEST(MemorySurface, StretchToViewWidensAndReadsEveryRow) {
  auto s = Buf(2, 1, 16, {0xF800, 0x001F});
  auto m = test::PaintedDIBX(3, 4, 32, [](int32_t x, int32_t y) { return uint32_t(0x010101 * (1 + x + 3 * y)); });
  test::TTestPicture wide(4, 2, 32), target(3, 4, 32);
  s->StretchToView(wide.View, nullptr, {0, 0, 4, 2}, {0, 0, 2, 1});
  for (int32_t y : {0, 1}) EXPECT_EQ(test::RowOf(wide, y), (TRow{0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF}));
  m->StretchToView(target.View, nullptr, {0, 0, 3, 4}, {0, 0, 3, 4});
  for (int32_t y = 0; y < 4; ++y) EXPECT_EQ(test::RowOf(target, y), test::RowOf(*m, y));
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
  uint8_t entries[1024] = {}, back[1024] = {};
  entries[4 * 7 + 2] = 200;  // red of entry 7
  s.SetPaletteRange(entries + 4 * 7, 7, 1);
  s.GetPaletteEntries(back);
  EXPECT_EQ((std::pair<int, int>{back[4 * 7 + 2], s.Surface().ImageTable()[7].Red}), (std::pair{200, 200}));
}

TEST(MemorySurface, CopiesAndDrawsBetweenMemorySurfaces) {
  auto a = test::Flat(5, 3, 24, 0x123456), b = test::MakeDIBX(5, 3, 24);
  b->SetClipRect({0, 0, 1, 1});  // the block copy takes everything
  b->CopyFrom(*a);
  EXPECT_EQ(Pixels(*b), Pixels(*a));
  auto s = test::Flat(2, 2, 32, 0xFFFFFF), m = test::Flat(2, 2, 8, 255);
  EXPECT_EQ(test::After(4, 2, 32, 0, [&](auto& d) { d.DrawAlphaMask(1, 0, *s, {0, 0, 2, 2}, false, false, *m, 255); }),
            (TRow{0, 0xFEFEFE, 0xFEFEFE, 0, 0, 0xFEFEFE, 0xFEFEFE, 0}));
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

// ---- the wave surface ----------------------------------------------------------

// A target that records the fills it receives.
class TRecordingDIBX : public TDIBX {
 public:
  std::vector<TRect> Fills;
  void FillRect(const TRect& rect, uint32_t pixel) override {
    Fills.push_back(rect);
    TDIBX::FillRect(rect, pixel);
  }
};

TEST(WaveSurface, AlternatingOffsetsSplitAFillIntoShiftedRows) {
  TRecordingDIBX target;
  target.SetSize(10, 4, 32);
  TDIBXWave wave;
  wave.Target = &target;
  wave.SetSize(10, 4, 0);
  wave.Offsets = {0, 5, 0, 5};
  wave.FillRect({0, 0, 3, 4}, 0xFFFFFF);
  EXPECT_EQ(target.Fills, (std::vector<TRect>{{0, 0, 3, 1}, {5, 1, 8, 2}, {0, 2, 3, 3}, {5, 3, 8, 4}}));
  // Equal offsets make one call.
  target.Fills.clear();
  wave.Offsets = {2, 2, 2, 2};
  wave.FillRect({0, 0, 3, 4}, 0);
  EXPECT_EQ(target.Fills, (std::vector<TRect>{{2, 0, 5, 4}}));
}

// A wave surface over the target's rows `origin_y` on, with these offsets.
struct TWave {
  std::unique_ptr<TDIBX> target;
  TDIBXWave wave;
  TWave(int32_t w, int32_t h, int32_t bits, int32_t origin_y, std::vector<int32_t> offsets) : target(MakeDIBX(w, h, bits)) {
    wave.Target = target.get();
    wave.OriginY = origin_y;
    wave.SetSize(w, static_cast<int32_t>(offsets.size()), 0);
    wave.Offsets = std::move(offsets);
  }
};

TEST(WaveSurface, RowsOutsideTheBentAreaAreNotDrawn) {
  TWave w(6, 8, 16, 2, {0, 0, 0});
  auto src = Flat(6, 8, 16, 0x1234);
  w.wave.Draw(0, 0, *src, {0, 0, 6, 8}, false, false, false);
  w.wave.StretchDrawAlpha({0, 0, 6, 8}, *src, {0, 0, 3, 3}, false, false, false, 255);
  w.wave.FillRectAdd({0, 0, 6, 8}, 1);
  EXPECT_EQ(Pixels(*w.target), test::Box(6, 8, {0, 2, 6, 5}, 0x1235));
}

TEST(WaveSurface, ShiftedRowsOfDrawsAndStretchedDraws) {
  auto src = PaintedDIBX(4, 3, 32, [](int32_t x, int32_t y) { return uint32_t(1 + x + 16 * y); });
  const std::vector<int32_t> offsets = {0, 3, -1};
  TWave plain(12, 3, 32, 0, offsets), stretched(12, 3, 32, 0, offsets);
  plain.wave.Draw(2, 0, *src, {0, 0, 4, 3}, false, false, true);
  EXPECT_EQ(Pixels(*plain.target), test::Map(12, 3, [&](int32_t x, int32_t y) {
              const int32_t i = x - 2 - offsets[static_cast<size_t>(y)];
              return i >= 0 && i < 4 ? uint32_t(1 + i + 16 * (2 - y)) : 0u;
            }));
  // A stretched draw is shifted row by row and cut at its unshifted columns.
  stretched.wave.StretchDrawAlpha({2, 0, 10, 3}, *src, {0, 0, 4, 3}, false, false, false, 255);
  EXPECT_EQ(Pixels(*stretched.target), test::Map(12, 3, [&](int32_t x, int32_t y) {
              const int32_t i = x - 2 - offsets[static_cast<size_t>(y)];
              return x >= 2 && x < 10 && i >= 0 && i < 8 ? uint32_t(1 + i / 2 + 16 * y) : 0u;
            }));
}

TEST(WaveSurface, TargetClipIsWhatItWasAfterAStretchedDraw) {
  TWave w(8, 8, 16, 0, std::vector<int32_t>(8, 1));
  auto src = Flat(2, 2, 16, 7);
  w.wave.StretchDrawAdd({0, 0, 8, 8}, *src, {0, 0, 2, 2}, false, false, false, 255);
  EXPECT_FALSE(w.target->HasClipRect());
  w.target->SetClipRect({1, 2, 6, 7});
  w.wave.StretchDrawAlphaMask({0, 0, 8, 8}, *src, {0, 0, 2, 2}, false, false, *Flat(2, 2, 8, 9), 255);
  w.wave.DrawRotate(3, 3, 256, 256, *src, {0, 0, 2, 2}, 0, 0, 10, false, false, false, 255);
  EXPECT_EQ(w.target->GetClipRect(), (TRect{1, 2, 6, 7}));
}

TEST(WaveSurface, ClipRectanglesReachTheTarget) {
  auto target = MakeDIBX(40, 40, 32);
  TDIBXWave wave;
  wave.Target = target.get();
  wave.OriginX = 10;
  wave.OriginY = 10;
  wave.SetSize(10, 10, 0);
  // Limited to the bent area; one outside changes nothing.
  for (auto [include, clip] : {std::pair{TRect{0, 0, 12, 12}, TRect{10, 10, 12, 12}},
                               {TRect{18, 18, 30, 30}, TRect{10, 10, 20, 20}}, {TRect{0, 0, 5, 5}, TRect{10, 10, 20, 20}}}) {
    wave.IncludeClipRect(include);
    EXPECT_EQ(std::pair(wave.GetClipRect(), target->GetClipRect()), std::pair(clip, clip));
  }
  wave.ResetClipRect();
  EXPECT_EQ(std::pair(wave.HasClipRect(), target->HasClipRect()), std::pair(false, false));
  EXPECT_EQ(wave.GetClipRect(), target->GetBoundsRect());
}

TEST(WaveSurface, WithoutATargetNothingHappens) {
  TDIBXWave wave;
  wave.SetSize(4, 4, 0);
  auto src = Flat(2, 2, 32, 1);
  wave.Fill(3);
  wave.Draw(0, 0, *src, {0, 0, 2, 2}, false, false, false);
  wave.StretchDrawAlpha({0, 0, 4, 4}, *src, {0, 0, 2, 2}, false, false, false, 255);
  wave.DrawTile({0, 0, 4, 4}, 0, 0, *src, {0, 0, 2, 2}, false, 0, 0);
  wave.ResetClipRect();
  EXPECT_EQ(wave.GetClipRect(), TRect{});
}

}  // namespace
}  // namespace orba

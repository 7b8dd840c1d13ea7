// The screen transitions on a pair of 320 x 240 pictures: every kind in both
// directions starts at the old page, ends at the new one exactly and shows
// something of its own in the middle; kinds whose middle frame the name
// fixes are compared pixel by pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include <climits>
#include <functional>

#include "core/files/vr_file_manager.h"
#include "core/vocab/vocab.h"
#include "core/vocab/wipe_defaults.h"
#include "film/film_loader.h"
#include "film/wipes/wipe_factory.h"
#include "graphics/dibx.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "support/test_support.h"

namespace orba {
namespace {

constexpr int32_t kW = 320, kH = 240, kLength = 1000;

// Two pictures that differ in every channel of every pixel.
struct TPages {
  TDIBX Old, New, Dest;
  TPages() {
    for (TDIBX* page : {&Old, &New, &Dest}) page->SetSize(kW, kH, 32);
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        const uint32_t r = static_cast<uint32_t>(x * 200 / kW), g = static_cast<uint32_t>(y), b = (x ^ y) & 0x7F;
        Old.SetPixel(x, y, r << 16 | g << 8 | b);
        New.SetPixel(x, y, (255 - r) << 16 | (255 - g) << 8 | (b + 128));
      }
    Dest.Fill(0x123456);
  }
  // The frame of Kind at Position.
  TDIBX& Frame(int32_t kind, bool reverse, int32_t position, const std::string& mask = "",
               TWipeParams params = GetWipeDefaultParams(0), bool set_params = false) {
    std::unique_ptr<TCustomWipe> wipe = CreateWipe(kind, Dest, New, Old);
    EXPECT_NE(wipe, nullptr) << WipeKindNames[static_cast<size_t>(kind)];
    if (wipe == nullptr) return Dest;
    wipe->SetLength(kLength);
    wipe->SetReverse(reverse);
    if (set_params) {
      wipe->SetParam(0, params.P0);
      wipe->SetParam(1, params.P1);
    }
    wipe->SetMaskName(mask);
    wipe->Prepare();
    wipe->SetPosition(position);
    EXPECT_EQ(wipe->CurrentRect(), (TRect{0, 0, kW, kH}));
    wipe->Step();
    return Dest;
  }
};

bool SamePixels(TDIBX& a, TDIBX& b) {
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
  return true;
}

TEST(Wipes, EveryKindRunsFromTheOldPageToTheNewOneBothWays) {
  TPages p;
  for (int32_t kind = WP_FADE; kind <= WP_BLOCKRANDOM; ++kind)
    for (const bool reverse : {false, true}) {
      const std::string name = std::string(WipeKindNames[static_cast<size_t>(kind)]) + (reverse ? " reversed" : "");
      if (CreateWipe(kind, p.Dest, p.New, p.Old) == nullptr) continue;  // not built yet
      EXPECT_TRUE(SamePixels(p.Frame(kind, reverse, 0), p.Old)) << name;
      EXPECT_TRUE(SamePixels(p.Frame(kind, reverse, kLength), p.New)) << name;
      TDIBX& middle = p.Frame(kind, reverse, kLength / 2);
      EXPECT_FALSE(SamePixels(middle, p.Old)) << name;
      EXPECT_FALSE(SamePixels(middle, p.New)) << name;
    }
  // Pages of another depth than 32 bits: a cut in the middle.
  TDIBX old16, new16, dest16;
  for (TDIBX* page : {&old16, &new16, &dest16}) page->SetSize(4, 4, 16);
  old16.Fill(0x1234);
  new16.Fill(0x4321);
  std::unique_ptr<TCustomWipe> cut = CreateWipe(WP_RIPPLE, dest16, new16, old16);
  cut->SetLength(10);
  for (const auto& [position, pixel] : {std::pair{4, 0x1234u}, std::pair{5, 0x4321u}}) {
    cut->SetPosition(position);
    cut->Step();
    EXPECT_EQ(dest16.GetPixel(3, 3), pixel) << position;
  }
  EXPECT_EQ(CreateWipe(WP_NONE, p.Dest, p.New, p.Old), nullptr);
  EXPECT_EQ(CreateWipe(39, p.Dest, p.New, p.Old), nullptr);
  EXPECT_EQ(CreateWipe(-1, p.Dest, p.New, p.Old), nullptr);
}

TEST(Wipes, FadeAtHalfIsTheMeanOfTheTwoPages) {
  TPages p;
  TDIBX& d = p.Frame(WP_FADE, false, kLength / 2);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x)
      for (int shift = 0; shift < 24; shift += 8) {
        const int a = (p.Old.GetPixel(x, y) >> shift) & 0xFF, b = (p.New.GetPixel(x, y) >> shift) & 0xFF;
        const int m = (d.GetPixel(x, y) >> shift) & 0xFF;
        ASSERT_LE(std::abs(2 * m - (a + b)), 2) << x << "," << y;
      }
}

// Frames that follow from the name alone, pixel by pixel: blinds of
// 16-pixel slats and curtains at half; a clock hand at a quarter (the top
// right quarter); the coil of 8 x 6 blocks at half (its outer ring); a
// scroll at half; and random blocks of 160 (2 x 2, the lower row cut to 80) with seed 1, whose order 1, 0,
// 3, 2 is worked from the generator by hand (states 1, 6, 31: indexes 1 mod
// 4, 6 mod 3, 31 mod 2).
TEST(Wipes, FramesThatTheNameFixesArePixelExact) {
  TPages p;
  auto page = [&p](bool fresh, int32_t x, int32_t y) { return (fresh ? p.New : p.Old).GetPixel(x, y); };
  auto ring = [](int32_t x, int32_t y) { return x < 40 || x >= 280 || y < 40 || y >= 200; };
  struct TCase {
    int32_t Kind;
    bool Reverse;
    int32_t Position;
    TWipeParams Params;
    std::function<uint32_t(int32_t x, int32_t y)> Expected;
  };
  const int32_t half = kLength / 2, quarter = kLength / 4;
  const TWipeParams none = GetWipeDefaultParams(WP_NONE);
  const TCase cases[] = {
      {WP_BLINDH, false, half, {16, 0}, [&](int32_t x, int32_t y) { return page(y % 16 < 8, x, y); }},
      {WP_BLINDH, true, half, {16, 0}, [&](int32_t x, int32_t y) { return page(y % 16 >= 8, x, y); }},
      {WP_BLINDV, false, half, {16, 0}, [&](int32_t x, int32_t y) { return page(x % 16 < 8, x, y); }},
      {WP_BLINDV, true, half, {16, 0}, [&](int32_t x, int32_t y) { return page(x % 16 >= 8, x, y); }},
      {WP_CURTAINH, false, half, none, [&](int32_t x, int32_t y) { return page(x >= 80 && x < 240, x, y); }},
      {WP_CURTAINH, true, half, none, [&](int32_t x, int32_t y) { return page(x < 80 || x >= 240, x, y); }},
      {WP_CURTAINV, false, half, none, [&](int32_t x, int32_t y) { return page(y >= 60 && y < 180, x, y); }},
      {WP_CURTAINV, true, half, none, [&](int32_t x, int32_t y) { return page(y < 60 || y >= 180, x, y); }},
      {WP_CLOCKHAND, false, quarter, none, [&](int32_t x, int32_t y) { return page(x >= 160 && y < 120, x, y); }},
      {WP_CLOCKHAND, true, quarter, none, [&](int32_t x, int32_t y) { return page(x < 160 && y < 120, x, y); }},
      {WP_BLOCKCOIL, false, half, {40, 0}, [&](int32_t x, int32_t y) { return page(ring(x, y), x, y); }},
      {WP_BLOCKCOIL, true, half, {40, 0}, [&](int32_t x, int32_t y) { return page(!ring(x, y), x, y); }},
      {WP_SCROLLH, false, half, none,
       [&](int32_t x, int32_t y) { return x < 160 ? page(false, x + 160, y) : page(true, x - 160, y); }},
      {WP_BLOCKRANDOM, false, half, {160, 1}, [&](int32_t x, int32_t y) { return page(y < 160, x, y); }},
      {WP_BLOCKRANDOM, false, kLength * 3 / 4, {160, 1},
       [&](int32_t x, int32_t y) { return page(y < 160 || x >= 160, x, y); }},
      {WP_BLOCKRANDOM, true, half, {160, 1}, [&](int32_t x, int32_t y) { return page(y >= 160, x, y); }},
  };
  for (const TCase& c : cases) {
    TDIBX& d = p.Frame(c.Kind, c.Reverse, c.Position, "", c.Params, true);
    int32_t wrong = 0;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) wrong += d.GetPixel(x, y) != c.Expected(x, y);
    EXPECT_EQ(wrong, 0) << WipeKindNames[static_cast<size_t>(c.Kind)] << (c.Reverse ? " reversed" : "") << " at "
                        << c.Position;
  }
}

// Parameters come from scripts: sizes of zero, below zero or past the
// screen, and the extremes of int32, draw a frame like any other.
TEST(Wipes, HostileParametersDrawWithinThePages) {
  TPages p;
  const TWipeParams hostile[] = {{0, 0}, {-7, -1}, {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, {1, 1}, {100000, 3}};
  for (int32_t kind = WP_FADE; kind <= WP_BLOCKRANDOM; ++kind)
    for (const TWipeParams& params : hostile) {
      p.Frame(kind, false, 1, "", params, true);
      p.Frame(kind, true, kLength / 3, "", params, true);
      EXPECT_TRUE(SamePixels(p.Frame(kind, false, kLength, "", params, true), p.New));
    }
}

// A mask picture read through the picture cache: its dark half turns first
// (reversed: its light half), each pixel where the sweep passes its grey.
TEST(Wipes, MaskKindsTurnThePixelsInTheOrderOfTheMasksGreys) {
  test::TempDir dir;
  TDIBX mask;
  mask.SetSize(2, 1, 24);
  mask.SetPixel(0, 0, 0x000000);
  mask.SetPixel(1, 0, 0xFFFFFF);
  mask.Surface().SaveToFile(dir / "half.bmp");
  TVrFileManager files;
  files.SetOverrideFolder(dir.path());
  InitBrixCollection();
  BrixCollection()->Files = &files;
  TPages p;
  for (const bool reverse : {false, true}) {
    // A quarter of the way with a one-level edge: the dark half is new.
    TDIBX& d = p.Frame(WP_MASKFADE, reverse, kLength / 4, "half.bmp", TWipeParams{1, 0}, true);
    int32_t wrong = 0;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x)
        wrong += d.GetPixel(x, y) != (((x < kW / 2) != reverse) ? p.New : p.Old).GetPixel(x, y);
    EXPECT_EQ(wrong, 0) << reverse;
  }
  // Through white: at a quarter the dark half is white already.
  TDIBX& white = p.Frame(WP_MASKWHITE, false, kLength / 4, "half.bmp", TWipeParams{1, 0}, true);
  EXPECT_EQ(white.GetPixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(white.GetPixel(kW - 1, 0), p.Old.GetPixel(kW - 1, 0));
  // A mask that cannot be read: every pixel at the same weight, a fade.
  const uint32_t plain = p.Frame(WP_MASKFADE, false, kLength / 2, "missing.bmp").GetPixel(3, 4);
  EXPECT_EQ(plain, p.Frame(WP_FADE, false, kLength / 2).GetPixel(3, 4));
  FinalBrixCollection();
}

// The object manager's flip makes the transition through the installed
// factory, from the picture of the root it keeps active (0, red) to the
// other one's (blue); each Draw shows the frame of the position set last.
TEST(Wipes, TheObjectManagerDrawsTheTransitionOfItsFlip) {
  InitFilmGlobals();
  TOrbaBaseList m;
  m.SetWidth(64);
  m.SetHeight(48);
  m.GetBase(0)->SetColor(0x0000FF);
  m.GetBase(1)->SetColor(0xFF0000);
  m.Draw();
  ASSERT_NE(m.Flip({.Index = 0, .Kind = WP_BLINDH, .Force = true, .Length = 300}), nullptr);
  EXPECT_EQ(m.GetWipeLength(), 300);
  TCustomDIBX& screen = *m.GetDIB();
  const uint32_t red = screen.ColorToPixel(0x0000FF), blue = screen.ColorToPixel(0xFF0000);
  m.Draw();
  EXPECT_EQ(screen.GetPixel(5, 20), red);
  m.SetWipePos(150);
  m.Draw();
  EXPECT_EQ(screen.GetPixel(5, 16 + 7), blue);
  EXPECT_EQ(screen.GetPixel(5, 16 + 8), red);
  m.SetWipePos(300);
  m.Draw();
  EXPECT_EQ(screen.GetPixel(5, 20), blue);
  DoneFilmGlobals();
}

// The zoom point follows the project's screen size; the rest keep theirs.
TEST(Wipes, DefaultParametersAreTheKindsPairsUntilChanged) {
  SetWipeDefaultParams(WP_ZOOMIN, TWipeParams{400, 300});
  SetWipeDefaultParams(99, TWipeParams{1, 1});
  EXPECT_EQ(GetWipeDefaultParams(WP_ZOOMIN), (TWipeParams{400, 300}));
  EXPECT_EQ(GetWipeDefaultParams(99), TWipeParams{});
  EXPECT_EQ(GetWipeDefaultParams(-1), TWipeParams{});
  ResetWipeDefaultParams();
  EXPECT_EQ(GetWipeDefaultParams(WP_ZOOMIN), (TWipeParams{320, 240}));
  EXPECT_EQ(GetWipeDefaultParams(WP_BLINDH), (TWipeParams{16, 0}));
}

}  // namespace
}  // namespace orba

// The screen transitions on a pair of 320 x 240 pictures: every kind in both
// directions starts at the old page, ends at the new one exactly and shows
// something of its own in the middle; kinds whose middle frame the name
// fixes are compared pixel by pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/vocab/vocab.h"
#include "core/vocab/wipe_defaults.h"
#include "film/wipes/wipe_factory.h"
#include "graphics/dibx.h"

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
  TDIBX& Frame(int32_t kind, bool reverse, int32_t position) {
    std::unique_ptr<TCustomWipe> wipe = CreateWipe(kind, Dest, New, Old);
    EXPECT_NE(wipe, nullptr) << WipeKindNames[static_cast<size_t>(kind)];
    if (wipe == nullptr) return Dest;
    wipe->SetLength(kLength);
    wipe->SetReverse(reverse);
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

}  // namespace
}  // namespace orba

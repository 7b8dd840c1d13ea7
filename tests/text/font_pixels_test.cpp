#include "text/font_pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/errors.h"
#include "platform/headless/fake_fonts.h"

namespace orba {
namespace {

const std::string kFace = "Fake";

std::set<int> TableOf(int level) {
  std::set<int> values;
  for (int g = 0; g <= MaxGrayOfLevel(level); ++g) values.insert(CoverageOfGray(level, g));
  return values;
}

TEST(FontPixels, CoverageBelongsToTheLevelsTable) {
  EXPECT_EQ(TableOf(0), (std::set<int>{0, 255}));
  EXPECT_EQ(TableOf(1).size(), 5u);
  EXPECT_EQ(TableOf(2).size(), 17u);
  EXPECT_EQ(TableOf(3).size(), 65u);
  TFakeFonts fonts;
  TFontPixelManager cache(&fonts);
  for (int level = 0; level <= 3; ++level) {
    cache.SetLevel(level);
    TFontPixel& glyph = cache.GetGlyph(0x82A0, kFace, 0, 24);
    std::set<int> seen;
    for (int y = 0; y < glyph.GetHeight(); ++y)
      for (int x = 0; x < glyph.GetWidth(); ++x) seen.insert(glyph.Coverage.Lock(x, y)[0]);
    EXPECT_TRUE(std::includes(TableOf(level).begin(), TableOf(level).end(), seen.begin(), seen.end())) << level;
    EXPECT_GT(seen.size(), level == 0 ? 1u : 4u);
  }
}

TEST(FontPixels, EvictsTheLeastRecentlyUsed) {
  TFakeFonts fonts;
  TFontPixelManager cache(&fonts);
  for (uint16_t code = 0x100; code < 0x200; ++code) cache.GetGlyph(code, kFace, 0, 16);
  TFontPixel* first = &cache.GetGlyph(0x100, kFace, 0, 16);  // used again: kept
  EXPECT_EQ(first, cache.Find(0x100, kFace, 16, 0, 3));
  cache.GetGlyph(0x200, kFace, 0, 16);
  EXPECT_EQ(cache.Count(), 256u);
  EXPECT_EQ(cache.Find(0x101, kFace, 16, 0, 3), nullptr);
  EXPECT_EQ(cache.Find(0x100, kFace, 16, 0, 3), first);
  EXPECT_NE(cache.Find(0x102, kFace, 16, 0, 3), nullptr);
  EXPECT_EQ(cache.Find(0x102, "fake", 16, 0, 3), nullptr);  // names compare exactly
}

TEST(FontPixels, GrayFailureFallsBackToBitsUntilTheLevelIsSetAgain) {
  TFakeFonts fonts;
  fonts.GrayFailCodes = {0x41};
  TFontPixelManager cache(&fonts);
  TFontPixel& glyph = cache.GetGlyph(0x41, kFace, 0, 16);
  EXPECT_EQ(cache.Level(), 0);
  EXPECT_EQ(glyph.Coverage.Lock(4, 0)[0], FakeGray(0x41, 4, 0) >= 32 ? 255 : 0);
  EXPECT_EQ(cache.GetGlyph(0x42, kFace, 0, 16).Level, 0);
  cache.SetLevel(3);
  EXPECT_EQ(cache.GetGlyph(0x43, kFace, 0, 16).Level, 3);
}

TEST(FontPixels, SpaceHasNoBoxAndItsAdvanceAsRemainder) {
  TFakeFonts fonts;
  TFontPixelManager cache(&fonts);
  TFontPixel& space = cache.GetGlyph(0x8140, kFace, 0, 20);
  EXPECT_EQ(space.GetWidth(), 0);
  EXPECT_EQ(space.RightRemainder, 20);
  fonts.NoFaces = true;
  try {
    cache.GetGlyph(0x41, "Other", 0, 20);
    FAIL();
  } catch (const EOrbaError& e) {
    EXPECT_STREQ(e.what(), "Error:GetOutlineTextMetrics");
  }
}

// The drawing worked out pixel by pixel from the rules: the glyph (and its
// bars) at its place, the outline the greatest coverage within the border
// square, the shadow the outline moved, each pass laid over the last.
struct TReference {
  int w, h;
  std::vector<int> cover, colour;
  TReference(int w_, int h_, int old_cover, int old_colour) : w(w_), h(h_), cover(w * h, old_cover), colour(w * h, old_colour) {}
  void Pass(int x, int y, int c, int pass) {
    int& a = cover[y * w + x];
    int& p = colour[y * w + x];
    if (c == 0) return;
    if (c == 255) {
      a = 255, p = pass;
      return;
    }
    a = a + (255 - a) * c / 255;
    const int weight = std::min(255, c * 255 / a);
    int out = 0;
    for (int s = 0; s < 24; s += 8) out |= ((((pass >> s) & 255) * weight + ((p >> s) & 255) * (255 - weight)) / 256) << s;
    p = out;
  }
};

class GlyphDraw : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(GlyphDraw, MatchesTheReferenceAndStaysInTheCell) {
  const int border = std::get<0>(GetParam()), shadow = std::get<1>(GetParam());
  TFakeFonts fonts;
  TFontPixelManager cache(&fonts);
  TFontPixel& g = cache.GetGlyph(0x8A9F, kFace, kFontUnderline | kFontStrikeOut, 16);
  const TRect cell{5, 3, 5 + g.Advance() + 2 * border + shadow + 2, 3 + 16 + 2 * border + shadow};
  TDIBX colour, cover;
  colour.SetSize(40, 30, 32);
  cover.SetSize(40, 30, 8);
  colour.Fill(0x123456);
  cover.Fill(40);
  const TRect drawn = g.Draw(colour, cover, TGlyphPaint{0xFF8040, 0x2040C0, 0x00FF00, border, shadow}, cell);

  const int w = cell.Right - cell.Left, h = cell.Bottom - cell.Top;
  const int gx = g.XOffset + border, gy = g.YOffset + border;  // A = C = 1: the slack is A's, less x offset 1
  const auto glyph = [&](int x, int y) -> int {
    const int row = y - border, left = border, right = w - border - shadow;
    if (x >= left && x < right && ((row >= g.UnderlineY && row < g.UnderlineY + g.UnderlineThickness) ||
                                   (row >= g.StrikeY && row < g.StrikeY + g.StrikeThickness)))
      return 255;
    x -= gx, y -= gy;
    return x >= 0 && y >= 0 && x < g.GetWidth() && y < g.GetHeight() ? g.Coverage.Lock(x, y)[0] : 0;
  };
  const auto outline = [&](int x, int y) {
    int v = 0;
    for (int j = std::max(0, y - border); j <= std::min(h - 1, y + border); ++j)
      for (int i = std::max(0, x - border); i <= std::min(w - 1, x + border); ++i) v = std::max(v, glyph(i, j));
    return v;
  };
  TReference ref(40, 30, 40, 0x123456);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int X = cell.Left + x, Y = cell.Top + y;
      if (border == 0 && shadow == 0) {
        if (glyph(x, y) != 0) ref.colour[Y * 40 + X] = 0x4080FF, ref.cover[Y * 40 + X] = std::max(40, glyph(x, y));
        continue;
      }
      if (x >= shadow && y >= shadow) ref.Pass(X, Y, outline(x - shadow, y - shadow), 0x00FF00);
      if (border > 0) ref.Pass(X, Y, outline(x, y), 0xC04020);
      ref.Pass(X, Y, glyph(x, y), 0x4080FF);
    }
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      ASSERT_EQ(static_cast<int>(colour.GetPixel(x, y)), ref.colour[y * 40 + x]) << x << "," << y;
      ASSERT_EQ(static_cast<int>(cover.GetPixel(x, y)), ref.cover[y * 40 + x]) << x << "," << y;
    }
  EXPECT_GE(drawn.Left, cell.Left);
  EXPECT_LE(drawn.Bottom, cell.Bottom);
}

INSTANTIATE_TEST_SUITE_P(BorderAndShadow, GlyphDraw,
                         ::testing::Values(std::make_pair(0, 0), std::make_pair(2, 1), std::make_pair(0, 2)),
                         [](const ::testing::TestParamInfo<std::pair<int, int>>& info) {
                           return "Border" + std::to_string(info.param.first) + "Shadow" +
                                  std::to_string(info.param.second);
                         });

}  // namespace
}  // namespace orba

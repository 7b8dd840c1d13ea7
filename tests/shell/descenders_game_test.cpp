// The "descenders" game draws "waiting gjpqy" in captions of the default
// face with the installed fonts: every row FreeType draws for the letters,
// above and below the baseline, is on the screen, two-tone and smoothed, at
// 12, 24 and 48 pixels. The rows are worked out here from FreeType itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "core/streams/big_stream.h"
#include "graphics/picture_rgba.h"
#include "platform/linux/freetype_fonts.h"
#include "shell/test_games.h"
#include "support/test_support.h"
#include "text/label_list.h"

namespace orba {
namespace {

struct TCaptionBand {
  const char* name;
  int32_t left, top, right, size, level;
};

// The first and last screen rows a caption at `top` inks: its highest glyph
// top and lowest glyph bottom around the baseline the font's ascent sets.
std::pair<int32_t, int32_t> InkRows(TFreeTypeFonts& fonts, const std::string& text, const TCaptionBand& band) {
  auto face = fonts.CreateFace(TFontRequest{kDefaultLabelFont, band.size, 0});
  int32_t up = 0, down = 0;
  for (char c : text) {
    TGlyphBitmap g;
    if (!face->RenderGlyph(static_cast<uint8_t>(c), band.level, g) || g.Height == 0) continue;
    up = std::max(up, g.OriginY);
    down = std::max(down, g.Height - g.OriginY);
  }
  const int32_t ascent = face->Metrics().Ascent;
  return {band.top + std::max(0, ascent - up), band.top + ascent + down - 1};
}

TEST(DescendersGame, CaptionsKeepEveryRowFreeTypeDraws) {
  if (!std::filesystem::exists("/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"))
    GTEST_SKIP() << "IPAPGothic is not installed";
  const test::TempDir dir;
  test::BuildGame("descenders", dir / "game", true);
  const test::CommandResult r = test::PlayGame(dir / "game", 3, {"--screenshot", dir / "shot.png"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  TKsMemoryStream png;
  png.LoadFromFile(dir / "shot.png");
  const TRgbaPicture shot = DecodePictureRgba(png);
  ASSERT_EQ(shot.Width, 320);
  TFreeTypeFonts fonts;
  const TCaptionBand bands[] = {{"12 two-tone", 0, 0, 160, 12, 0},    {"24 two-tone", 0, 20, 160, 24, 0},
                                {"24 smoothed", 160, 20, 320, 24, 3}, {"48 two-tone", 0, 60, 320, 48, 0},
                                {"48 smoothed", 0, 130, 320, 48, 3}};
  for (const TCaptionBand& band : bands) {
    int32_t first = -1, last = -1;
    for (int32_t y = band.top; y < band.top + band.size; ++y)
      for (int32_t x = band.left; x < band.right; ++x) {
        const uint8_t* p = &shot.Pixels[(static_cast<size_t>(y) * shot.Width + x) * 4];
        if (p[0] == 0 && p[1] == 0 && p[2] == 0) continue;
        if (first < 0) first = y;
        last = y;
      }
    const auto [top, bottom] = InkRows(fonts, "waiting gjpqy", band);
    EXPECT_EQ(first, top) << band.name;
    EXPECT_EQ(last, bottom) << band.name;
  }
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"), {"var log str = \"drawn\""});
}

}  // namespace
}  // namespace orba

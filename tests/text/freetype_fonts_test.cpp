#include "platform/linux/freetype_fonts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>

#include "platform/text_convert.h"
#include "support/test_support.h"
#include "platform/choice_window.h"
#include "text/control_glyphs.h"
#include "text/font_pixels.h"
#include "text/label_list.h"

namespace orba {
namespace {

const std::string kGothic = "\x82l\x82r \x83S\x83V\x83" "b\x83N";  // ＭＳ ゴシック
const std::string kMincho = "\x82l\x82r \x96\xbe\x92\xa9";         // ＭＳ 明朝

class FreeTypeFonts : public ::testing::Test {
 protected:
  TFreeTypeFonts fonts;
  void SetUp() override {
    for (const char* file : {"gothic/ipag.ttf", "gothic/ipagp.ttf", "mincho/ipam.ttf", "mincho/ipamp.ttf"})
      if (!std::filesystem::exists(std::string("/usr/share/fonts/opentype/ipafont-") + file))
        GTEST_SKIP() << file << " is not installed";
  }
};

TEST_F(FreeTypeFonts, WindowsFacesAreTheIpaFilesFcMatchNames) {
  const std::pair<std::string, const char*> cases[] = {
      {kGothic, "IPAGothic"},     {"MS Gothic", "IPAGothic"},    {"\x82l\x82r \x82o\x83S\x83V\x83" "b\x83N", "IPAPGothic"},
      {"MS UI Gothic", "IPAPGothic"}, {kMincho, "IPAMincho"}, {"\x82l\x82r \x82o\x96\xbe\x92\xa9", "IPAPMincho"},
      {"No Such Face", "IPAGothic"}};
  for (const auto& [name, family] : cases) {
    const std::string file = test::RunCommand({"fc-match", "-f", "%{file}", family}).output;
    const TFontFile found = fonts.Resolve(name);
    EXPECT_EQ(std::filesystem::canonical(found.Path), std::filesystem::canonical(file)) << SjisToUtf8(name);
    EXPECT_TRUE(found.StandIn);
  }
}

TEST_F(FreeTypeFonts, JapaneseGlyphsFillTheirSquareCells) {
  TFontPixelManager cache(&fonts);
  for (int size : {16, 24, 32}) {
    TFontPixel& a = cache.GetGlyph(0x82A0, kGothic, 0, size);  // あ
    EXPECT_EQ(a.Advance(), size);
    EXPECT_LE(a.XOffset + a.GetWidth(), size);
    EXPECT_LE(a.YOffset + a.GetHeight(), size);
    EXPECT_GT(a.GetWidth(), size / 2);
    EXPECT_EQ(cache.GetGlyph('A', kGothic, 0, size).Advance(), size / 2);
    EXPECT_EQ(cache.GetGlyph('A', kGothic, kFontBold, size).Advance(), size / 2 + 1);
    TFontPixel& space = cache.GetGlyph(' ', kGothic, 0, size);
    EXPECT_EQ(space.GetWidth(), 0);
    EXPECT_EQ(space.RightRemainder, size / 2);
    // The cell is the em square, split at the Windows descent (401 of
    // 2048, not the typographic 246) or lower.
    const TFontMetrics& m = cache.SelectFont(kGothic, size, 0).Metrics();
    EXPECT_EQ(m.Height, size);
    EXPECT_GE(m.Descent, static_cast<int32_t>(std::lround(size * 401.0 / 2048)));
    EXPECT_EQ(m.Ascent, m.Height - m.Descent);
  }
}

// A label of the Latin descenders keeps every row FreeType draws for them,
// in both Gothic faces (labels and captions default to the proportional
// one) at every size a game commonly asks for: each glyph lies within the
// font's ascent and descent, and the label's coverage reaches from the
// highest glyph top to the lowest glyph bottom.
TEST_F(FreeTypeFonts, DescendersKeepEveryRowFreeTypeDraws) {
  const std::string text = "gjpqy";
  TFontPixelManager cache(&fonts);
  for (const std::string& name : {kGothic, std::string(kDefaultLabelFont)})
    for (int size : {12, 16, 24, 32, 48}) {
      const std::string where = SjisToUtf8(name) + " " + std::to_string(size);
      auto face = fonts.CreateFace(TFontRequest{name, size, 0});
      const TFontMetrics& m = face->Metrics();
      EXPECT_EQ(m.Height, size) << where;
      int32_t up = 0, down = 0;
      for (char letter : text)
        for (int32_t level : {0, 3}) {
          TGlyphBitmap g;
          ASSERT_TRUE(face->RenderGlyph(static_cast<uint8_t>(letter), level, g)) << where;
          EXPECT_LE(g.Height - g.OriginY, m.Descent) << where << " " << letter;
          EXPECT_LE(g.OriginY, m.Ascent) << where << " " << letter;
          if (level != 3) continue;
          up = std::max(up, g.OriginY);
          down = std::max(down, g.Height - g.OriginY);
        }
      TKsLabelList labels(&cache);
      labels.FontName = name;
      labels.FontSize = size;
      TKsLabelDIB& label = labels.Add();
      label.SetText(text);
      labels.CalcWidths();
      label.Render();
      int32_t first = -1, last = -1;
      for (int32_t y = 0; y < label.Cover.Height(); ++y)
        for (int32_t x = 0; x < label.Cover.Width(); ++x)
          if (label.Cover.Lock(x, y)[0] != 0) {
            if (first < 0) first = y;
            last = y;
          }
      EXPECT_EQ(first, m.Ascent - up) << where;
      EXPECT_EQ(last, m.Ascent + down - 1) << where;
    }
}

TEST_F(FreeTypeFonts, CoverageOfEveryLevelIsInItsTable) {
  auto face = fonts.CreateFace(TFontRequest{kMincho, 24, kFontItalic});
  for (int level = 0; level <= 3; ++level) {
    std::set<int> table, seen;
    for (int g = 0; g <= MaxGrayOfLevel(level); ++g) table.insert(CoverageOfGray(level, g));
    TGlyphBitmap glyph;
    ASSERT_TRUE(face->RenderGlyph(0x8ABF, level, glyph));  // 漢
    seen.insert(glyph.Coverage.begin(), glyph.Coverage.end());
    EXPECT_TRUE(std::includes(table.begin(), table.end(), seen.begin(), seen.end())) << level;
    EXPECT_GT(seen.size(), level == 0 ? 1u : 3u);
  }
}

// A two-tone glyph is the smooth glyph's outline in two tones: its box is
// the smooth box within a pixel on each side, inside the box its ABC widths
// give, with the same advance, so letters keep their spacing at every level.
TEST_F(FreeTypeFonts, TwoToneGlyphsKeepTheSmoothBoxAndTheAbcWidths) {
  const std::string proportional = "\x82l\x82r \x82o\x83S\x83V\x83" "b\x83N";  // ＭＳ Ｐゴシック
  for (const std::string& name : {proportional, kMincho})
    for (int size : {12, 16, 24}) {
      auto face = fonts.CreateFace(TFontRequest{name, size, 0});
      for (const char c : std::string("gypqbdmW")) {
        const auto code = static_cast<uint16_t>(c);
        const std::string where = SjisToUtf8(name) + " " + std::to_string(size) + " " + c;
        const TAbcWidths abc = face->CharWidths(code);
        TGlyphBitmap two, smooth;
        ASSERT_TRUE(face->RenderGlyph(code, 0, two));
        ASSERT_TRUE(face->RenderGlyph(code, 3, smooth));
        EXPECT_NEAR(two.OriginX, smooth.OriginX, 1) << where;
        EXPECT_NEAR(two.OriginX + two.Width, smooth.OriginX + smooth.Width, 1) << where;
        EXPECT_GE(two.OriginX, abc.A) << where;
        EXPECT_LE(two.OriginX + two.Width, abc.A + abc.B) << where;
        EXPECT_EQ(two.Advance, abc.A + abc.B + abc.C) << where;
      }
    }
}

// Boxes and offsets agree with Pillow's FreeType rendering of the same file
// at the same pixel size within a pixel.
TEST_F(FreeTypeFonts, BoxesAgreeWithPillow) {
  const std::string text = "\x82\xa0" "A g\x8a\xbf\x81\x41" "j";  // あA g漢、j
  for (const std::string& name : {kGothic, kMincho})
    for (int size : {16, 24, 32}) {
      const TFontFile file = fonts.Resolve(name);
      const auto result = test::RunPython("fixtures/glyph_reference.py",
                                          {file.Path, std::to_string(file.Index), std::to_string(size), SjisToUtf8(text)});
      ASSERT_EQ(result.exit_code, 0);
      std::istringstream lines(result.output);
      auto face = fonts.CreateFace(TFontRequest{name, size, 0});
      for (size_t i = 0; i < text.size(); ++i) {
        uint16_t code = static_cast<uint8_t>(text[i]);
        if (code >= 0x80) code = static_cast<uint16_t>(code << 8 | static_cast<uint8_t>(text[++i]));
        std::string left, top;
        int width = 0, height = 0, advance = 0;
        lines >> left >> top >> width >> height >> advance;
        TGlyphBitmap g;
        ASSERT_TRUE(face->RenderGlyph(code, 3, g));
        const std::string where = std::to_string(size) + " " + std::to_string(code);
        EXPECT_EQ(g.Advance, advance) << where;
        EXPECT_NEAR(g.Width, width, 1) << where;
        EXPECT_NEAR(g.Height, height, 1) << where;
        if (left == "-") continue;
        EXPECT_NEAR(g.OriginX, std::stoi(left), 1) << where;
        EXPECT_NEAR(g.OriginY, std::stoi(top), 1) << where;
      }
    }
}

// The icon chooser's list draws its lines in cells of the font's height:
// "bpp" and the other descenders end inside their line, and the lowest row
// painted for the line is the lowest row their glyphs have.
TEST_F(FreeTypeFonts, TheChoosersLinesKeepTheirDescenders) {
  const auto engine = SetFontEngine(std::make_shared<TFreeTypeFonts>());
  const auto glyphs = SetControlGlyphs(std::make_shared<TCachedControlGlyphs>());
  const std::string text = "32 x 32, 8 bpp gjpqy";
  TChoiceWindow window(TChoiceRequest{"icons", {"first", text}});
  const int32_t line_h = window.LineHeight();
  int32_t deepest = 0;
  for (char c : text) {
    TGlyphBitmap g;
    ASSERT_TRUE(ControlGlyphs()->Glyph(static_cast<uint8_t>(c), TTextControlFont{}, g));
    if (g.Height == 0) continue;
    EXPECT_GE(g.OriginY, 0) << c;
    EXPECT_LE(g.OriginY + g.Height, line_h) << c;
    deepest = std::max(deepest, g.OriginY + g.Height);
  }
  // The second line, not selected: dark ink on white.
  const std::vector<uint32_t> pixels = window.Paint();
  const int32_t top = TChoiceWindow::kList.Top + 1 + line_h;
  int32_t last = -1;
  for (int32_t y = top; y < top + line_h; ++y)
    for (int32_t x = TChoiceWindow::kList.Left + 1; x < TChoiceWindow::kList.Left + TChoiceWindow::kList.Width - 1; ++x)
      if (pixels[static_cast<size_t>(y) * TChoiceWindow::kWidth + x] != TChoiceWindow::kWhite) last = y;
  EXPECT_EQ(last, top + deepest - 1);
  SetControlGlyphs(glyphs);
  SetFontEngine(engine);
}

}  // namespace
}  // namespace orba

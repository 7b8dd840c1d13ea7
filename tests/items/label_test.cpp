// The caption item: lines, sizes, the picture it draws against a reference
// composed from the fake glyphs, the turned hit test and its saved form.
#include "items/label.h"

#include "items/choice_items_support.h"
#include "text/label_list.h"

namespace orba {
namespace {

using test::TBytes;

class LabelTest : public test::ChoiceItemsTest {};

TEST_F(LabelTest, TextLinesAndSizes) {
  auto* l = Make<TOrbaLabel>();
  l->SetFontHeight(16);
  l->SetLineSpace(2);
  l->SetText("AB\r\nC\r\n");
  EXPECT_EQ(l->GetText(), "AB\r\nC");
  EXPECT_EQ((TRect{0, 0, l->Width, l->Height}), (TRect{0, 0, 16, 36}));
  l->SetZoomX(0);
  l->SetZoomY(384);
  EXPECT_EQ((TRect{l->ZoomX, l->ZoomY, l->Width, l->Height}), (TRect{1, 384, 0, 54}));
  l->SetText("");
  EXPECT_EQ((TPoint{l->Width, l->Height}), (TPoint{0, 0}));
  // Script values far out of range saturate instead of overflowing.
  l->SetText("A");
  l->SetLineSpace(INT32_MAX);
  EXPECT_EQ(l->NaturalHeight, INT32_MAX);
  EXPECT_TRUE(l->TextBitmap.IsEmpty());
}

// The font colour through each character's coverage, right-aligned lines,
// composed here from the glyphs of the fake fonts.
TEST_F(LabelTest, DrawsTheGlyphCoverageInTheFontColour) {
  auto* l = Make<TOrbaLabel>();
  l->SetBounds(3, 2, 0, 0);
  for (auto [alpha, colour] : {std::pair{255, 0x00FF00}, std::pair{128, 0x0000FF}}) {
    l->SetFontHeight(16);
    l->SetHAlign(HA_RIGHT);
    l->SetAntiAlias(true);
    l->SetFontColor(colour);
    l->SetAlpha(alpha);
    l->SetText("AB\nC");
    Paint();
    TFontPixelManager glyphs;
    std::vector<uint32_t> expected(64 * 48, 0);
    const struct { uint16_t code; int32_t x, y; } chars[] = {{'A', 3, 2}, {'B', 11, 2}, {'C', 11, 18}};
    for (const auto& c : chars) {
      TFontPixel& g = glyphs.GetGlyph(c.code, kDefaultLabelFont, 0, 16);
      for (int32_t y = 0; y < g.GetHeight(); ++y)
        for (int32_t x = 0; x < g.GetWidth(); ++x) {
          const uint32_t cover = g.Coverage.GetPixel(x, y);
          const uint32_t w = alpha == 255 || cover == 255 ? cover * alpha / 255 : cover * 128 >> 8;
          const uint32_t v = (255 * w) >> 8;
          expected[static_cast<size_t>((c.y + g.YOffset + y) * 64 + c.x + g.XOffset + x)] =
              cover == 0 ? 0 : (colour == 0x00FF00 ? v << 8 : v << 16);
        }
    }
    for (int32_t y = 0; y < 48; ++y)
      for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(Pixel(x, y), expected[static_cast<size_t>(y * 64 + x)]) << x << "," << y;
  }
}

TEST_F(LabelTest, TurnedLabelIsHitOnlyInsideItsTurnedRectangle) {
  auto* l = Make<TOrbaLabel>();
  l->SetFontHeight(16);
  l->SetText("ABCD");  // 32 x 16
  l->SetBounds(20, 10, l->Width, l->Height);
  EXPECT_EQ(l->HitTest({40, 20}, 29), l);
  l->SetAngle(64);  // a quarter turn about (20, 10)
  EXPECT_EQ(l->HitTest({40, 20}, 29), nullptr);
  EXPECT_EQ(l->HitTest({12, 30}, 29), l);
}

TEST_F(LabelTest, SavedFormRoundTripsAndOlderVersionsReadTheirFields) {
  auto* l = Make<TOrbaLabel>();
  l->SetFontHeight(14);
  l->SetText("x\r\ny");
  l->SetSource("walk.omt");
  l->SetOnIdle("idle");
  l->SetZoomY(300);
  test::ExpectRoundTrip(m, *l);
  for (int32_t version : {103, 104}) {
    TBytes b = test::ControlPart(version, "cap");
    b.S("").I(16).I(0).B(1).I(200).I(0xFF).B(1).B(0).B(0).B(0).I(0).I(512).S("hi");
    if (version >= 104) b.S("idle").S("").B(1).B(0).S("end").B(0).I(128);
    auto* read = test::LoadHandBuilt<TOrbaLabel>(m, b, version);
    EXPECT_EQ(read->GetText(), "hi");
    EXPECT_EQ(read->FontName, "");
    EXPECT_EQ((TRect{read->ZoomX, read->ZoomY, read->Width, read->Height}),
              (TRect{512, version >= 104 ? 128 : 256, 36, version >= 104 ? 8 : 16}));
    EXPECT_EQ(read->OnPlayEnd, version >= 104 ? "end" : "");
  }
}

}  // namespace
}  // namespace orba

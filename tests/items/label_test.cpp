// The caption item: lines, sizes, the picture it draws against a reference
// composed from the fake glyphs, the turned hit test and its saved form.
#include "items/label.h"

#include "items/choice_items_support.h"
#include "items/surface_limits.h"

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
  EXPECT_EQ((TRect{0, 0, l->GetWidth(), l->GetHeight()}), (TRect{0, 0, 16, 36}));
  l->SetZoomX(0);
  l->SetZoomY(384);
  EXPECT_EQ((TRect{l->ZoomX, l->ZoomY, l->GetWidth(), l->GetHeight()}), (TRect{1, 384, 0, 54}));
  l->SetText("");
  EXPECT_EQ((TPoint{l->GetWidth(), l->GetHeight()}), (TPoint{0, 0}));
  // Script values far out of range stop at the screen-sized limit
  // instead of overflowing or making a bitmap of gigabytes.
  l->SetText("A");
  l->SetLineSpace(INT32_MAX);
  EXPECT_EQ(l->NaturalHeight, 16 + kMinItemSideLimit);
  EXPECT_EQ(l->TextBitmap.Height(), 16 + kMinItemSideLimit);
}

// The font colour through each character's coverage, right-aligned lines.
TEST_F(LabelTest, DrawsTheGlyphCoverageInTheFontColour) {
  auto* l = Make<TOrbaLabel>();
  l->SetBounds(3, 2, 0, 0);
  l->SetFontHeight(16);
  l->SetHAlign(HA_RIGHT);
  l->SetAntiAlias(true);
  l->SetFontColor(0x00FF00);
  l->SetText("AB\nC");
  Paint();
  std::vector<uint32_t> expected(64 * 48, 0);
  ComposeText(expected, "AB", 3, 2, 0x00FF00);
  ComposeText(expected, "C", 11, 18, 0x00FF00);
  EXPECT_EQ(Screen(), expected);
}

TEST_F(LabelTest, TurnedLabelIsHitOnlyInsideItsTurnedRectangle) {
  auto* l = Make<TOrbaLabel>();
  l->SetFontHeight(16);
  l->SetText("ABCD");  // 32 x 16
  l->SetBounds(20, 10, l->GetWidth(), l->GetHeight());
  EXPECT_EQ(l->HitTest({40, 20}, 29), l);
  l->SetAngle(64);  // a quarter turn about (20, 10)
  EXPECT_EQ(l->HitTest({40, 20}, 29), nullptr);
  EXPECT_EQ(l->HitTest({12, 30}, 29), l);
}

TEST_F(LabelTest, SavedFormRoundTripsAndTheOldestSlotVersionReadsEveryField) {
  auto* l = Make<TOrbaLabel>();
  l->SetFontHeight(14);
  l->SetText("x\r\ny");
  l->SetSource("walk.omt");
  l->SetOnIdle("idle");
  l->SetZoomY(300);
  test::ExpectRoundTrip(m, *l);
  // The oldest game slot that loads (107: no tag, key handlers or motion in
  // the control part) holds the idle handler, animation and ZoomY already.
  for (int32_t version : {107, kSceneVersion}) {
    TBytes b = test::ControlPart(version, "cap");
    b.S("").I(16).I(0).B(1).I(200).I(0xFF).B(1).B(0).B(0).B(0).I(0).I(512).S("hi");
    b.S("idle").S("").B(1).B(0).S("end").B(0).I(128);
    auto* read = test::LoadHandBuilt<TOrbaLabel>(m, b, version);
    EXPECT_EQ(read->GetText(), "hi");
    EXPECT_EQ(read->FontName, "");
    EXPECT_EQ((TRect{read->ZoomX, read->ZoomY, read->GetWidth(), read->GetHeight()}), (TRect{512, 128, 36, 8}));
    EXPECT_EQ(read->OnIdle + read->OnPlayEnd, "idleend") << version;
  }
}

}  // namespace
}  // namespace orba

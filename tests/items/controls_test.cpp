// The slider, the scroll bar, the gauge and the image-font label on a small
// screen: geometry worked by hand, the held button's and the gauge's timing
// through the fake clock, paging, dragging, keys, glyph lookup, and every
// item's stream round-tripped byte for byte with its version gates.
#include "items/gauge.h"
#include "items/image_font_label.h"
#include "items/slider.h"

#include "items/choice_items_support.h"
#include "script/values/param_collection.h"

namespace orba {
namespace {

using test::TBytes;

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kGrey = 0x808080, kWhite = 0xFFFFFF;

class ControlsTest : public test::ChoiceItemsTest {
 protected:
  void SetUp() override {
    ChoiceItemsTest::SetUp();
    WriteCells("bar.brx", {kGrey, kGreen}, 20, 4, 100, true);                              // 20 x 4 bar
    WriteCells("thumb.brx", {kRed, kWhite, kBlue}, 4, 8, 100, true);                      // 4 x 8 thumb
    WriteCells("btn.brx", {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}, 6, 8, 100, true);        // 6 x 8 buttons
  }
  template <class T>
  T* Control(uint8_t orientation, int32_t value, const std::string& thumb = "thumb.brx") {
    auto* s = Make<T>();
    s->SetOrientation(orientation);
    s->SetSource("bar.brx");
    s->SetThumbSource(thumb);
    s->SetButtonSource("btn.brx");
    s->SetMax(100);
    s->SetValue(value);
    s->SetAlpha(255);
    s->SetSmallChange(1);
    s->SetOnNotify("notify");
    return s;
  }
  void Mouse(int32_t x, int32_t y, int button = 0) {
    m.MouseMove(x, y);
    if (button != 0) m.MouseButton(true, button > 0);
    Tick();
  }
  // The arguments of the queued OnNotify events, in order.
  std::string Notified() {
    std::string out;
    for (int32_t i = 0; i < m.Events.Count(); ++i)
      if (m.Events.GetItem(i)->Code == PR_ONNOTIFY) out += m.Events.GetItem(i)->Args.Get(0) + " ";
    return out;
  }
};

// Geometry of a 20 x 4 bar, 4 x 8 thumb and 6 x 8 buttons: the thumb's
// travel, halves rounded to even, values outside the range shown at its end.
TEST_F(ControlsTest, SliderAndScrollBarPlaceTheirThumbs) {
  const struct { bool scroll; uint8_t orientation; int32_t max, value; int32_t pos, w, h; TRect thumb; } cases[] = {
      {false, 0, 100, 50, 10, 36, 8, {16, 0, 20, 8}}, {false, 0, 8, 1, 2, 36, 8, {8, 0, 12, 8}},
      {false, 0, 8, 3, 8, 36, 8, {14, 0, 18, 8}},     {false, 0, 100, 300, 20, 36, 8, {26, 0, 30, 8}},
      {false, 0, 0, 0, 0, 36, 8, {6, 0, 10, 8}},      {false, 1, 100, 0, 0, 20, 28, {8, 12, 12, 20}},
      {true, 0, 100, 50, 8, 32, 8, {14, 0, 18, 8}},   {true, 1, 100, 0, 0, 20, 20, {8, 8, 12, 16}}};
  for (const auto& c : cases) {
    TOrbaSlider* s = c.scroll ? Control<TOrbaScrollbar>(c.orientation, 0) : Control<TOrbaSlider>(c.orientation, 0);
    s->SetMax(c.max);
    s->SetValue(c.value);
    EXPECT_EQ(s->ThumbPos, c.pos) << c.value;
    EXPECT_EQ((TPoint{s->GetWidth(), s->GetHeight()}), (TPoint{c.w, c.h})) << c.value;
    EXPECT_EQ(s->ThumbRect(), c.thumb) << c.value;
    s->Scrap();
  }
}

TEST_F(ControlsTest, SliderDrawsFilledBarThumbAndButtons) {
  auto* s = Control<TOrbaSlider>(0, 50);
  Paint();
  // Filled left of the thumb, empty right of it, the thumb's normal cell,
  // the first button's cell 0 and the second's cell 3.
  EXPECT_EQ(std::vector<uint32_t>({Pixel(10, 3), Pixel(25, 3), Pixel(17, 1), Pixel(2, 1), Pixel(33, 1), Pixel(10, 1)}),
            std::vector<uint32_t>({kGreen, kGrey, kRed, 0x11, 0x44, 0}));
  s->SetMax(0);  // no range: no thumb
  Paint();
  EXPECT_EQ(Pixel(17, 1), 0u);
}

// A held button steps at the press, after 300 ms, then every 50 ms of frame
// time; off the button it shows its normal cell and stops.
TEST_F(ControlsTest, HeldButtonRepeatsByFrameTime) {
  FrameTime = 10;
  auto* s = Control<TOrbaSlider>(0, 50);
  Mouse(33, 4);
  Mouse(33, 4, 1);
  std::vector<int32_t> steps;
  for (int32_t t = 0, last = s->Value; t <= 420; t += 10, Tick())
    if (s->Value != last || t == 0) steps.push_back(t), last = s->Value;
  EXPECT_EQ(steps, std::vector<int32_t>({0, 300, 350, 400}));
  EXPECT_EQ(s->Value, 54);
  EXPECT_EQ(s->ButtonState[1], 2);
  Mouse(20, 40);
  for (int i = 0; i < 10; ++i) Tick();
  EXPECT_EQ(s->Value, 54);
  EXPECT_EQ(s->ButtonState[1], 0);
  EXPECT_EQ(Notified(), "51 52 53 54 ");
  s->SetValue(10);  // a script's change queues nothing
  EXPECT_EQ(Notified(), "51 52 53 54 ");
}

TEST_F(ControlsTest, ThumbDragAndBarClick) {
  auto* s = Control<TOrbaSlider>(0, 50);
  s->SetOnHold("hold");
  s->SetOnRelease("release");
  Mouse(18, 4);
  Mouse(18, 4, 1);  // grabbed at its centre
  Mouse(23, 4);
  EXPECT_EQ(s->Value, 75);
  Mouse(60, 4);
  EXPECT_EQ(s->Value, 100);
  Mouse(60, 4, -1);
  EXPECT_EQ(m.Events.FindQueuedEvent(s->Handle(), PR_ONRELEASE) >= 0, true);
  Mouse(12, 4);
  Mouse(12, 4, 1);  // on the bar: the value jumps there
  EXPECT_EQ(s->Value, 20);
  EXPECT_EQ(s->ThumbState, 2);
}

// A thumb as long as the bar leaves no travel: the drag keeps the value.
TEST_F(ControlsTest, ScrollBarThumbFillingTheBarSurvivesADrag) {
  WriteCells("long.brx", {kRed, kWhite, kBlue}, 20, 8, 100, true);
  auto* s = Control<TOrbaScrollbar>(0, 30, "long.brx");
  EXPECT_EQ(s->ThumbPos, 0);
  Mouse(10, 4);
  Mouse(10, 4, 1);
  Mouse(20, 4);
  Mouse(2, 4);
  EXPECT_EQ(s->Value, 30);
}

TEST_F(ControlsTest, ScrollBarPagesUntilTheThumbReachesThePointer) {
  FrameTime = 10;
  auto* s = Control<TOrbaScrollbar>(0, 0);
  s->SetLargeChange(25);
  Mouse(21, 4);
  Mouse(21, 4, 1);
  EXPECT_EQ(s->Value, 25);
  EXPECT_EQ(s->MouseMode, TOrbaSlider::kPageUp);
  for (int i = 0; i < 60; ++i) Tick();
  // The thumb covers x 10..13 at 25, 14..17 at 50, 18..21 at 75: there it
  // holds the pointer and paging stops.
  EXPECT_EQ(s->Value, 75);
  EXPECT_FALSE(s->TrackPressed);
}

TEST_F(ControlsTest, ArrowKeysFollowTheOrientation) {
  const struct { bool scroll; uint8_t orientation; int32_t key, value; } cases[] = {
      {false, 0, 39, 51}, {false, 0, 37, 49}, {false, 1, 38, 51}, {false, 1, 40, 49},
      {true, 1, 40, 51},  {true, 1, 38, 49},  {true, 0, 39, 51},  {false, 1, 39, 50}};
  for (const auto& c : cases) {
    TOrbaSlider* s = c.scroll ? Control<TOrbaScrollbar>(c.orientation, 50) : Control<TOrbaSlider>(c.orientation, 50);
    m.KeyRepeat.fill(0);
    m.KeyRepeat[static_cast<size_t>(c.key)] = 1;
    s->DoKeyRepeat();
    EXPECT_EQ(s->Value, c.value) << c.key;
    s->Scrap();
  }
}

// 20 to 80 of 0..100 with Delay 1000 arrives at 600 ms; 80 to 20 with
// Duration 500 shows 20 at once and a trail of 60 held for 500 ms, shrinking
// at 100 per 1000 ms; Delay 0 changes at the next frame.
TEST_F(ControlsTest, GaugeAnimatesByFrameTime) {
  WriteCells("gauge.brx", {kGreen, kRed}, 10, 4, 100, true);
  FrameTime = 15;
  auto* g = Make<TOrbaGauge>();
  g->SetSource("gauge.brx");
  g->SetAlpha(255);
  g->SetMax(100);
  g->SetValue(20);
  Tick();
  EXPECT_EQ(g->Shown, 20);
  g->SetDelay(1000);
  g->SetDuration(500);
  g->SetValue(80);
  int ticks = 0;
  for (; g->GetPlaying() && ticks < 100; ++ticks) Tick();
  EXPECT_EQ(ticks * 15, 600);
  EXPECT_EQ(g->Shown, 80);
  g->SetValue(20);
  EXPECT_EQ(std::vector<int32_t>({g->Shown, g->Trail}), std::vector<int32_t>({20, 60}));
  for (int i = 0; i < 35; ++i) Tick();  // 525 ms: the hold is over, one step shrank it
  EXPECT_EQ(g->Trail, 58);
  Paint();  // 10-pixel bar: 2 main pixels, 6 of trail
  EXPECT_EQ(std::vector<uint32_t>({Pixel(1, 1), Pixel(7, 1), Pixel(8, 1)}), std::vector<uint32_t>({kGreen, kRed, 0}));
  g->SetDelay(0);
  Tick();
  EXPECT_FALSE(g->GetPlaying());
  g->SetMin(50);
  g->SetMax(150);
  g->SetValue(100);
  Tick();
  Paint();
  EXPECT_EQ(std::vector<uint32_t>({Pixel(4, 1), Pixel(5, 1)}), std::vector<uint32_t>({kGreen, 0}));
  g->SetBarSize(INT32_MAX);  // tiled only where it can be seen
  Paint();
  EXPECT_EQ(Pixel(63, 1), kGreen);
}

// A main bar of 2 pixels and a trail of 3 beyond it, from the left or the
// bottom, or from the other end with Reverse.
TEST_F(ControlsTest, GaugeFillsFromEitherEnd) {
  WriteCells("h.brx", {kGreen, kRed}, 10, 4, 100, true);
  WriteCells("v.brx", {kGreen, kRed}, 4, 10, 100, true);
  const struct { uint8_t orientation; bool reverse; TPoint main, trail, empty; } cases[] = {
      {0, false, {1, 1}, {3, 1}, {6, 1}}, {0, true, {8, 1}, {6, 1}, {3, 1}},
      {1, false, {1, 8}, {1, 6}, {1, 3}}, {1, true, {1, 1}, {1, 3}, {1, 6}}};
  int32_t left = 0;
  for (const auto& c : cases) {
    auto* g = Make<TOrbaGauge>();
    g->SetLeft(left);
    g->SetOrientation(c.orientation);
    g->SetSource(c.orientation == 1 ? "v.brx" : "h.brx");
    g->SetAlpha(255);
    g->SetReverse(c.reverse);
    g->SetMax(100);
    g->SetValue(50);
    Tick();
    g->SetDelay(1000);
    g->SetDuration(1000);
    g->SetValue(20);
    Paint();
    EXPECT_EQ(std::vector<uint32_t>({Pixel(left + c.main.X, c.main.Y), Pixel(left + c.trail.X, c.trail.Y),
                                     Pixel(left + c.empty.X, c.empty.Y)}),
              std::vector<uint32_t>({kGreen, kRed, 0})) << left;
    left += 12;
  }
}

// Cells A, B, あ (82 A0), C of 3 x 5 pixels: a missing character leaves a
// gap; the double-byte character is one cell; glyph size 0 is 1.
TEST_F(ControlsTest, ImageFontLabelLooksUpCharacters) {
  WriteCells("font.brx", {kRed, kGreen, kBlue, kWhite}, 3, 5, 100, true);
  auto* l = Make<TOrbaCGLabel>();
  l->SetSource("font.brx");
  l->SetMapText("AB\x82\xa0" "C");
  l->SetGlyphWidth(3);
  l->SetGlyphHeight(5);
  l->SetText("A?\x82\xa0\nC");
  l->SetLineSpace(2);
  EXPECT_EQ(l->GlyphLines, (std::vector<std::vector<int32_t>>{{0, -1, 2}, {3}}));
  EXPECT_EQ((TPoint{l->GetWidth(), l->GetHeight()}), (TPoint{9, 12}));
  Paint();
  EXPECT_EQ(std::vector<uint32_t>({Pixel(1, 1), Pixel(4, 1), Pixel(7, 1), Pixel(1, 8), Pixel(1, 5)}),
            std::vector<uint32_t>({kRed, 0, kBlue, kWhite, 0}));
  l->SetGlyphWidth(13);  // wider than the picture: nothing
  Paint();
  EXPECT_EQ(Pixel(1, 1), 0u);
  l->SetGlyphWidth(0);
  EXPECT_EQ(l->GlyphWidth, 1);
}

TEST_F(ControlsTest, CellBrightnessSaturatesEachChannel) {
  WriteCells("c.brx", {0x102030}, 2, 2);
  TBrixItem& entry = BrixCollection()->Acquire(this, "c.brx", false, false);
  TOrbaImageData cell(entry.GetFrame(0));
  const struct { int32_t level; uint32_t rgb; } cases[] = {{300, 0xFFFFFF}, {255, 0xFFFFFF}, {-300, 0}, {16, 0x203040}};
  for (const auto& c : cases) {
    cell.SetBrightness(c.level);
    EXPECT_EQ(cell.GetDIB()->GetPixel(0, 0) & 0xFFFFFF, c.rgb) << c.level;
  }
  entry.RemoveOwner(this);
}

TEST_F(ControlsTest, StreamsRoundTripAndReadTheirVersionsFields) {
  auto* s = Control<TOrbaScrollbar>(1, 40);
  s->SetCaptureMask(true);
  s->SetBarSize(30);
  s->SetLargeChange(7);
  test::ExpectRoundTrip(m, *s);
  test::ExpectRoundTrip(m, *Control<TOrbaSlider>(0, 60));
  auto* g = Make<TOrbaGauge>();
  g->SetMax(10);
  g->SetValue(4);
  g->SetBarSize(9);
  test::ExpectRoundTrip(m, *g);
  auto* l = Make<TOrbaCGLabel>();
  l->SetText("ab");
  l->SetGlyphWidth(4);
  test::ExpectRoundTrip(m, *l);
  for (int32_t v : {118, 119, 127, 128}) {
    for (bool scroll : {false, true}) {
      TBytes t = test::ControlPart(v, "s");
      t.S("").S("").S("").I(0).I(9).I(5).I(1).I(255).B(0).B(1).S("n").S("h").S("r").S("i");
      if (v >= 119) t.B(1);
      if (v >= 128) t.I(33);
      if (scroll) t.I(4);
      TOrbaSlider* read = scroll ? test::LoadHandBuilt<TOrbaScrollbar>(m, t, v) : test::LoadHandBuilt<TOrbaSlider>(m, t, v);
      EXPECT_EQ(std::tuple(read->Max, read->OnIdle, read->CaptureMask, read->BarSize), std::tuple(9, "i", v >= 119, v >= 128 ? 33 : 0));
    }
    TBytes t = test::ControlPart(v, "g");
    t.S("").I(0).I(9).I(5).I(255).B(0).B(0).I(10).I(20).B(1);
    if (v >= 125) t.S("i");
    if (v >= 128) t.I(33);
    auto* gauge = test::LoadHandBuilt<TOrbaGauge>(m, t, v);
    EXPECT_EQ(std::tuple(gauge->Shown, gauge->OnIdle, gauge->BarSize), std::tuple(5, v >= 125 ? "i" : "", v >= 128 ? 33 : 0));
    TBytes c = test::ControlPart(v, "c");
    c.S("").S("ab").S("ba").I(0).I(-3).I(1).B(0).B(2).I(255);
    if (v >= 125) c.S("i");
    auto* label = test::LoadHandBuilt<TOrbaCGLabel>(m, c, v);
    EXPECT_EQ(std::tuple(label->GlyphWidth, label->GlyphHeight, label->GlyphLines[0][0]), std::tuple(1, 1, 1));
  }
}

}  // namespace
}  // namespace orba

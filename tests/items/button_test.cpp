// The image button: its strips under the pointer, clicks and their events,
// radio groups, the keyboard, the caption and the saved form.
#include "items/button.h"

#include "graphics/icon_file.h"
#include "items/choice_items_support.h"
#include "platform/headless/recorded_cursors.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

namespace orba {
namespace {

using test::TBytes;

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kGrey = 0x808080, kWhite = 0xFFFFFF;

class ButtonTest : public test::ChoiceItemsTest {
 protected:
  void SetUp() override {
    ChoiceItemsTest::SetUp();
    WriteCells("n.brx", {kRed}, 20, 20);
    WriteCells("h.brx", {kGreen}, 20, 20);
    WriteCells("p.brx", {kBlue}, 20, 20);
    WriteCells("c.brx", {kGrey, kWhite}, 20, 20, 40);
  }
  TOrbaButton* Button(int32_t left, bool all_strips = true) {
    auto* b = Make<TOrbaButton>();
    b->SetSource("n.brx");
    if (all_strips) {
      b->SetHoverSource("h.brx");
      b->SetPressedSource("p.brx");
      b->SetClickedSource("c.brx");
    }
    b->SetLeft(left);
    b->SetOnNotify("notify");
    return b;
  }
  void Mouse(int32_t x, int32_t y, int button = 0) {
    m.MouseMove(x, y);
    if (button != 0) m.MouseButton(true, button > 0);
    Tick();
  }
  bool Notified(TOrbaButton* b) { return m.Events.FindQueuedEvent(b->Handle(), PR_ONNOTIFY) >= 0; }
  uint32_t Shown(TOrbaButton* b) {
    Paint();
    return Pixel(b->GetLeft() + 1, 1);
  }
};

// Normal, hover, pressed, clicked for its two cells, then normal again.
TEST_F(ButtonTest, StripsFollowThePointerAndTheClick) {
  auto* b = Button(0);
  b->SetOnPlayEnd("end");
  const struct { int32_t x, button; uint32_t shown; bool lpush; } steps[] = {
      {40, 0, kRed, false}, {5, 0, kGreen, false}, {5, 1, kBlue, false}, {30, 0, kRed, false},
      {6, 0, kBlue, false}, {6, -1, kGrey, false}, {6, 0, kGrey, false}, {6, 0, kWhite, false},
      {6, 0, kWhite, false}, {6, 0, kWhite, false}, {6, 0, kRed, false}};
  for (const auto& s : steps) {
    Mouse(s.x, 5, s.button);
    EXPECT_EQ(Shown(b), s.shown) << s.x;
    EXPECT_EQ(m.Services.GetLPush(), s.lpush);
  }
  EXPECT_TRUE(Notified(b));
  EXPECT_GE(m.Events.FindQueuedEvent(b->Handle(), PR_ONPLAYEND), 0);
  // A button without hover cells keeps its normal look.
  auto* plain = Button(30, false);
  Mouse(35, 5);
  EXPECT_EQ(Shown(plain), kRed);
}

TEST_F(ButtonTest, PressDraggedOffAndReleasedRaisesNothing) {
  auto* b = Button(0);
  for (auto [x, button] : {std::pair{5, 1}, std::pair{40, 0}, std::pair{40, -1}}) Mouse(x, 5, button);
  EXPECT_FALSE(Notified(b));
  EXPECT_EQ(Shown(b), kRed);
  // Without a clicked strip an auto-scrapping button goes at the next tick.
  auto* once = Button(30, false);
  once->SetAutoScrap(true);
  const TObjectHandle h = once->Handle();
  for (int button : {1, -1}) Mouse(35, 5, button);
  EXPECT_EQ(m.Lookup(h), nullptr);
}

TEST_F(ButtonTest, GroupsAndTheKeyboard) {
  TOrbaButton* group[] = {Button(0), Button(21), Button(42)};
  for (TOrbaButton* b : group) b->SetGroupIndex(1);
  const struct { int32_t x; bool allow_all_up; bool a, b; } clicks[] = {
      {5, false, true, false}, {5, false, true, false}, {25, false, false, true}, {25, true, false, false}};
  for (const auto& c : clicks) {
    group[0]->SetAllowAllUp(c.allow_all_up);
    for (int button : {1, -1}) Mouse(c.x, 5, button);
    EXPECT_EQ(group[0]->Selected, c.a);
    EXPECT_EQ(group[1]->Selected, c.b);
    EXPECT_EQ(group[2]->AllowAllUp, c.allow_all_up);
  }
  EXPECT_EQ(Shown(group[1]), kRed);
  group[2]->SetHandleKey(true);
  m.SetFocusObject(group[2]);
  m.SetKeyState(13, true);
  Tick();
  EXPECT_TRUE(group[2]->Selected);
  EXPECT_TRUE(Notified(group[2]));
}

// The caption centred over the picture, one pixel lower right while pressed.
TEST_F(ButtonTest, CaptionInEachState) {
  auto* b = Button(0);
  b->SetFontHeight(16);
  b->SetText("AB");
  for (auto [x, button, colour, shift] : {std::tuple{40, 0, kRed, 0}, std::tuple{5, 0, kGreen, 0},
                                          std::tuple{5, 1, kBlue, 1}}) {
    Mouse(x, 5, button);
    Paint();
    std::vector<uint32_t> expected(64 * 48, 0);
    Fill(expected, TRect{0, 0, 20, 20}, colour);
    ComposeText(expected, "AB", 2 + shift, 2 + shift, kWhite);
    EXPECT_EQ(Screen(), expected) << colour;
  }
}

// A cursor file shows over its object and stays while the pointer goes
// straight to another object with one; "@Cursor" stands in for objects
// without one.
TEST_F(ButtonTest, CursorFiles) {
  TDIBSurface picture;
  picture.SetSize(4, 4, 24);
  TKsMemoryStream file;
  WriteIcon(picture, file, true, TPoint{1, 2}, false, nullptr, -1);
  for (const char* name : {"a.cur", "b.cur"}) test::WriteFileBytes(dir_ / name, file.MutableBytes());
  auto cursors = std::make_shared<TRecordedCursors>();
  const auto saved = SetCursorService(cursors);
  TParamCollection store;
  TSysFuncMan funcs{store};
  m.Services.Funcs = &funcs;
  Button(0)->SetCursor("a.cur");
  Button(21)->SetCursor("b.cur");
  for (auto [x, at_cursor, shown] : {std::tuple{5, "", "a.cur"}, {25, "", "a.cur"}, {50, "", ""}, {25, "", "b.cur"},
                                     {50, "b.cur", "b.cur"}, {60, "", ""}}) {
    store.CursorName = at_cursor;
    Mouse(x, 5);
    EXPECT_EQ(cursors->Shown, shown) << x;
  }
  m.Services.Funcs = nullptr;
  SetCursorService(saved);
}

TEST_F(ButtonTest, SavedFormRoundTripsAndEachSlotVersionReadsItsFields) {
  auto* b = Button(3);
  b->SetGroupIndex(2);
  b->SetSelected(true);
  b->SetFontColor(0x123456);
  b->SetText("Hello");
  test::ExpectRoundTrip(m, *b);
  for (int32_t version : {107, 136, 137, kButtonCaptionTextVersion - 1, kButtonCaptionTextVersion}) {
    TBytes t = test::ControlPart(version, "btn");
    t.I(255).I(256).I(0).B(0).B(0).B(0).I(256);  // image item
    if (version >= 140) t.I(0).I(0);       // blur span and delay
    t.I(0).I(0).I(0).B(0).I(0);            // animated image, an empty delay expression
    t.B(0).B(0).S("n.brx").S("").S("");    // repeat, auto-scrap, source, OnPlayEnd, OnIdle
    t.S("h.brx").S("p.brx").I(1).B(1).B(0).S("go");
    t.S("idle").S("c.brx");
    if (version >= 137) {
      t.I(3).I(0).I(255).I(20).S("F").I(0xFF).I(0).B(0);
      t.b.resize(t.b.size() + 212);
      t.I(2).I(0);
    }
    if (version >= kButtonCaptionTextVersion) t.S("OK");
    auto* read = test::LoadHandBuilt<TOrbaButton>(m, t, version);
    EXPECT_EQ(read->OnNotify, "go");
    EXPECT_EQ(read->Selected, true);
    EXPECT_EQ(std::make_pair(read->OnIdle, read->Strips[3]->Count()), std::make_pair(std::string("idle"), 2));
    EXPECT_EQ(read->Caption.FontSize, version >= 137 ? 20 : 12);
    EXPECT_EQ(read->GetText(), version >= kButtonCaptionTextVersion ? "OK" : "") << version;
  }
}

}  // namespace
}  // namespace orba

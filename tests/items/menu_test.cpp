// The list box and the pop-up menu: the picture against a reference composed
// from its parts, rows under the pointer and the keys, the scroll bar, the
// open and close animation, choices and cancels, and the saved form.
#include "items/menu.h"

#include "items/choice_items_support.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

namespace orba {
namespace {

using test::TBytes;

class MenuTest : public test::ChoiceItemsTest {
 protected:
  void SetUp() override {
    ChoiceItemsTest::SetUp();
    m.Services.Funcs = &funcs;
    WriteCells("tl.brx", {0x112233}, 3, 2);
    WriteCells("bg.brx", {0x445566}, 4, 4);
    WriteCells("scroll.brx", {0x100000, 0x200000, 0x300000, 0x400000, 0x500000, 0x600000, 0x700000}, 3, 4, 0, true);
    WriteCells("check.brx", {0x00AA00, 0x00BB00}, 4, 4, 0, true);
  }
  void TearDown() override {
    m.Services.Funcs = nullptr;
    ChoiceItemsTest::TearDown();
  }
  // A menu of Text at (2, 2), opened at once.
  TOrbaMenu* Menu(const std::string& text, int32_t rows) {
    auto* menu = Make<TOrbaMenu>();
    menu->SetBounds(2, 2, 0, 0);
    menu->SetAlpha(255);
    menu->SetFontHeight(16);
    menu->SetRowCount(rows);
    menu->SetText(text);
    menu->SetOnSelect("sel");
    menu->SetState(0);
    return menu;
  }
  TParamCollection store;
  TSysFuncMan funcs{store};
};

// Frame line, background, a corner and the centre piece, the scroll bar,
// the hovered row's fill, check marks and captions with border and shadow.
TEST_F(MenuTest, PictureIsComposedOfItsParts) {
  auto* menu = Menu("A\nB\nC", 2);
  menu->SetBorderWidth(1);
  menu->SetBorderColor(0xFFFFFF);
  menu->SetColor(0x202020);
  menu->SetMarginX(1);
  menu->SetMarginY(1);
  menu->SetFontBorder(1);
  menu->SetFontShadow(1);
  menu->SetHoverColor(0x0000FF);
  menu->SetBorderSource(0, "tl.brx");
  menu->SetBorderSource(4, "bg.brx");
  menu->SetScrollSource("scroll.brx");
  menu->SetCheckSource("check.brx");
  menu->SetItemCheck(0, true);
  menu->SetItemCheck(1, true);
  menu->Layout();
  menu->SetHoverRow(0);
  Paint();
  EXPECT_EQ((TRect{menu->GetLeft(), menu->GetTop(), menu->GetWidth(), menu->GetHeight()}), (TRect{2, 2, 25, 44}));
  TDIBX ref;
  ref.SetSize(64, 48, 32);
  ref.Fill(0);
  // Frame line, background, corner, centre; the scroll bar's up arrow,
  // thumb, lower track and down arrow; the hovered row; two check cells.
  for (auto [r, rgb] : {std::pair{TRect{2, 2, 27, 46}, 0xFFFFFF}, {{3, 3, 26, 45}, 0x202020}, {{3, 3, 6, 5}, 0x112233},
                        {{6, 5, 23, 45}, 0x445566}, {{23, 5, 26, 9}, 0x100000}, {{23, 9, 26, 13}, 0x700000},
                        {{23, 13, 26, 41}, 0x500000}, {{23, 41, 26, 45}, 0x300000}, {{7, 6, 22, 25}, 0xFF0000},
                        {{7, 13, 11, 17}, 0x00BB00}, {{7, 32, 11, 36}, 0x00AA00}})
    ref.FillRect(r, static_cast<uint32_t>(rgb));
  TKsLabelList normal, hover;
  normal.FontSize = hover.FontSize = 16;
  normal.Border = normal.ShadowOffset = 1;
  normal.Target = hover.Target = &ref;
  hover.Add().SetText("A");
  normal.Add().SetText("B");
  hover.GetItem(0)->Draw(11, 6);
  normal.GetItem(0)->Draw(11, 25);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x) ASSERT_EQ(Pixel(x, y), ref.GetPixel(x, y) & 0xFFFFFF) << x << "," << y;
}

TEST_F(MenuTest, RowsKeysAndTheScrollBar) {
  auto* menu = Menu("\r\nA\r\nB\r\n", 4);
  EXPECT_EQ(menu->Count(), 2);
  // A box taller than its rows: below the last row is no row.
  menu->SetHeight(44);
  m.MouseMove(5, 40);
  Tick();
  EXPECT_EQ(menu->HoverRow, -1);
  // Up and down from a hovered row, and from none: the last or the first.
  for (auto [from, key, to] : {std::tuple{-1, 38, 1}, {-1, 40, 0}, {1, 38, 0}, {0, 38, 0}, {0, 40, 1}, {1, 40, 1}}) {
    menu->SetHoverRow(from);
    m.SetKeyState(key, true);
    m.UpdateInput();
    menu->DoKeyRepeat();
    m.SetKeyState(key, false);
    EXPECT_EQ(menu->HoverRow, to) << from << " " << key;
  }
  // Without lines the keys change nothing.
  menu->SetText("");
  menu->SetHoverRow(-1);
  m.SetKeyState(40, true);
  m.UpdateInput();
  menu->DoKeyRepeat();
  EXPECT_EQ(menu->HoverRow, -1);
  // Top rows are clamped to the lines that can scroll.
  menu->SetText("0\n1\n2\n3\n4\n5\n6\n7\n8\n9");
  for (auto [asked, stored] : {std::pair{100, 6}, {-5, 0}, {3, 3}}) {
    menu->SetTopIndex(asked);
    EXPECT_EQ(menu->TopIndex, stored);
  }
  // A box too short for a track leaves the top row where it is.
  menu->SetScrollSource("scroll.brx");
  menu->SetHeight(10);
  menu->ThumbGrab = 0;
  EXPECT_EQ(menu->ThumbDragValue(40), 3);
}

TEST_F(MenuTest, DownArrowRepeatsAfter300MsThenEvery50) {
  auto* menu = Menu("0\n1\n2\n3\n4\n5\n6\n7\n8\n9", 2);
  menu->SetScrollSource("scroll.brx");
  menu->Layout();
  const int32_t down_y = menu->GetTop() + menu->GetHeight() - 2, x = menu->GetLeft() + menu->GetWidth() - 2;
  m.MouseMove(x, down_y);
  m.MouseButton(true, true);
  std::vector<int32_t> tops;
  for (int i = 0; i < 25; ++i) {
    Tick();
    tops.push_back(menu->TopIndex);
  }
  // Pressed at tick 1; 300 ms later (tick 21); 50 ms after that, at the
  // first 15 ms tick past it (tick 25).
  EXPECT_EQ((std::vector{tops[0], tops[19], tops[20], tops[23], tops[24]}), (std::vector{1, 1, 2, 2, 3}));
}

// Opened outside a tick: Delay 0 is full at the third tick (in a game, two
// ticks after the one that runs the Menu command); a grow over 300 ms starts
// at the second tick and is full once 300 ms have passed since then.
TEST_F(MenuTest, OpeningTimes) {
  for (auto [delay, full_at] : {std::pair{0, 3}, std::pair{300, 22}}) {
    auto* menu = Menu("A\nB", 2);
    const int32_t full = menu->GetHeight();
    menu->SetState(2);
    menu->SetDelay(delay);
    menu->SetState(1);
    for (int tick = 0; tick <= full_at; ++tick) {
      EXPECT_EQ(menu->GetHeight() == full, tick == full_at) << delay << " tick " << tick;
      Tick();
    }
    EXPECT_EQ(menu->GetState(), 1);
  }
}

TEST_F(MenuTest, ChoicesCancelsAndTheirEnd) {
  auto* menu = Menu("one\ntwo\nthree\nfour", 4);
  menu->SetAutoScrap(true);
  menu->SetOnClosed("closed");
  m.MouseMove(8, 2 + 1 + 16 * 2 + 4);
  Tick();
  for (bool down : {true, false}) {
    m.MouseButton(true, down);
    Tick();
  }
  EXPECT_EQ((std::pair{store.SelStr, store.SelIndex}), (std::pair{std::string("three"), 2}));
  const TTimerData* e = m.Events.GetItem(m.Events.FindQueuedEvent(menu->Handle(), PR_ONSELECT));
  EXPECT_EQ(e->Args.Get(0) + e->Args.Get(1), "three2");
  // Removed once its closing events were taken from the queue.
  const TObjectHandle h = menu->Handle();
  Tick();
  m.Events.Clear();
  Tick();
  EXPECT_EQ(m.Lookup(h), nullptr);
  // Escape and the right click cancel a menu that allows it.
  for (bool escape : {true, false}) {
    auto* other = Menu("x\ny", 2);
    other->SetRClickScrap(true);
    other->SetHandleKey(true);
    m.SetFocusObject(other);
    store.SelIndex = 5;
    if (escape) m.SetKeyState(27, true), m.SetKeyClick(27, true);
    else m.MouseButton(false, true);
    Tick();
    Tick();
    EXPECT_EQ(store.SelIndex, -1);
    EXPECT_EQ(other->GetState(), 3);
    m.SetKeyState(27, false);
    m.MouseButton(false, false);
    other->Scrap();
    Tick();
  }
  EXPECT_TRUE(m.PrevMenus.empty());
}

TEST_F(MenuTest, SavedFormRoundTripsAndEachSlotVersionReadsItsFields) {
  auto* menu = Menu("A\nB", 2);
  menu->SetItemCheck(1, true);
  menu->SetOnMapIn("in");
  test::ExpectRoundTrip(m, *menu);
  for (int32_t version : {107, 130, 131, 134}) {
    TBytes t = test::ControlPart(version, "menu");
    for (int i = 0; i < 2; ++i) {
      t.I(3).I(0).I(255).I(16).S("").I(0xFFFFFF).I(0).B(0);
      t.b.resize(t.b.size() + 212);
      if (version >= 122) t.I(0).I(0);
    }
    t.S("A\r\nB").I(0).I(255).I(0).I(0).I(0).I(-1).I(1);
    for (int i = 0; i < 9; ++i) t.S("").B(0).B(0);
    t.S("").S("").I(1);
    t.B(2).B(0).B(1).S("sel").B(0).I(-1).I(0);
    if (version >= 131) t.S("idle");
    if (version >= 134) t.S("in").S("out");
    t.I(0).I(-1).B(0).B(1).B(2).S("").S("").S("").S("");
    auto* read = test::LoadHandBuilt<TOrbaMenu>(m, t, version);
    EXPECT_EQ((std::vector{read->TopIndex, read->TextHAlign + 0, read->GetItemCheck(1) + 0}),
              (std::vector{1, 2, 1}));
    EXPECT_EQ(read->OnIdle + read->OnMapOut, std::string(version >= 131 ? "idle" : "") + (version >= 134 ? "out" : ""));
  }
}

}  // namespace
}  // namespace orba

// The editing of the text controls (keys, characters, selection, double-byte
// characters, words, the clipboard), the mouse on them, their painting, and
// the conversion of typed UTF-8.
#include "platform/text_controls.h"

#include "platform/headless/text_control_input.h"
#include "platform/text_controls_view.h"

#include <gtest/gtest.h>

#include "platform/headless/scripted_input.h"

namespace orba {
namespace {

using C = TTextControl;

// A text to type (Shift-JIS) or a key with or without Shift.
struct TStep {
  std::string Type;
  int32_t Key = 0;
  bool Shift = false;
  bool Ctrl = false;
};

TEST(TextControlTest, KeysEditTheText) {
  const struct {
    bool multi_line;
    std::vector<TStep> steps;
    std::string text;
    size_t caret;
  } cases[] = {
      {false, {{"abc"}, {"", C::kVkLeft}, {"", C::kVkBack}}, "ac", 1},
      {false, {{"abc"}, {"", C::kVkHome}, {"", C::kVkDelete}}, "bc", 0},
      {false, {{"abc"}, {"", C::kVkHome}, {"", C::kVkRight, true}, {"", C::kVkRight, true}, {"X"}}, "Xc", 1},
      {false, {{"a\x93\xfa"}, {"", C::kVkBack}}, "a", 1},  // a double-byte character as a whole
      {false, {{"\x93\xfa" "b"}, {"", C::kVkHome}, {"", C::kVkRight}}, "\x93\xfa" "b", 2},
      // Control characters other than the memo's line break insert nothing.
      {false, {{"a\x01\x7f"}, {"", C::kVkReturn}}, "a", 1},
      {true, {{"ab"}, {"", C::kVkReturn}, {"cd"}, {"", C::kVkUp}, {"", C::kVkEnd}, {"!"}}, "ab!\r\ncd", 3},
      {true, {{"ab"}, {"", C::kVkReturn}, {"", C::kVkBack}}, "ab", 2},
      // Ctrl with the arrows by words (runs of signs are words of their own),
      // with Home and End to the text's ends; Ctrl+A, then typing replaces all.
      {false, {{"ab cd.ef"}, {"", C::kVkLeft, false, true}, {"X"}}, "ab cd.Xef", 7},
      {false, {{"ab cd.ef"}, {"", C::kVkHome}, {"", C::kVkRight, false, true}, {"X"}}, "ab Xcd.ef", 4},
      {false, {{"ab cd"}, {"", C::kVkLeft, true, true}, {"X"}}, "ab X", 4},
      {true, {{"ab"}, {"", C::kVkReturn}, {"cd"}, {"", C::kVkHome, false, true}, {"X"}}, "Xab\r\ncd", 1},
      {false, {{"\x93\xfa\x96\x7b go"}, {"", C::kVkLeft, false, true}, {"", C::kVkLeft, false, true}, {"X"}},
       "X\x93\xfa\x96\x7b go", 1},
      {false, {{"abc"}, {"", C::kVkA, false, true}, {"Z"}}, "Z", 1},
      // Copy and paste: Ctrl+C keeps, Ctrl+X takes the selection away.
      {false, {{"abc"}, {"", C::kVkLeft, true}, {"", C::kVkC, false, true}, {"", C::kVkHome}, {"", C::kVkV, false, true}},
       "cabc", 1},
      {false, {{"abc"}, {"", C::kVkLeft, true}, {"", C::kVkX, false, true}, {"", C::kVkHome}, {"", C::kVkV, false, true}},
       "cab", 1},
  };
  for (const auto& c : cases) {
    TStateTextControls group;
    auto control = group.Create(c.multi_line);
    for (const TStep& s : c.steps) {
      if (!s.Type.empty()) control->TypeText(s.Type);
      if (s.Key != 0) control->KeyDown(s.Key, s.Shift, s.Ctrl);
    }
    EXPECT_EQ(control->Text(), c.text);
    EXPECT_EQ(control->Caret(), c.caret);
  }
}

// A paste takes a one-line control's first line and leaves control
// characters out; a read-only control takes none.
TEST(TextControlTest, PastesAreCleanedAndReadOnlyRefusesThem) {
  TStateTextControls group;
  auto edit = group.Create(false);
  auto memo = group.Create(true);
  edit->Paste("one\x01\t two\r\nthree");
  memo->Paste("one\x01\t two\r\nthree");
  EXPECT_EQ(edit->Text(), "one two");
  EXPECT_EQ(memo->Text(), "one\t two\r\nthree");
  memo->SetReadOnly(true);
  memo->Paste("x");
  EXPECT_EQ(memo->Text(), "one\t two\r\nthree");
}

// Double-clicking selects the word under the pointer, or the run of signs or
// spaces there; a word's end takes the word before it.
TEST(TextControlTest, SelectWordTakesTheRunOfOneKind) {
  const struct {
    std::string text;
    size_t at;
    std::string selected;
  } cases[] = {
      {"hello big_world", 8, "big_world"}, {"hello big_world", 5, "hello"},  {"a  b", 2, "  "},
      {"x--y", 1, "--"},                   {"\x93\xfa\x96\x7b\x81\x41z", 2, "\x93\xfa\x96\x7b"},
      {"end", 3, "end"},                   {"", 0, ""},
  };
  for (const auto& c : cases) {
    TStateTextControls group;
    auto control = group.Create(false);
    control->SetText(c.text);
    control->SelectWord(c.at);
    EXPECT_EQ(control->SelectedText(), c.selected) << c.text << " at " << c.at;
  }
}

// Without a glyph source each character is half the font's height wide: a
// 12-pixel font lays "hello world" out 6 pixels a character from x = 2
// (the padding) in an edit at (10, 10).
class TextControlMouseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    edit = group.Create(false);
    edit->SetBounds(10, 10, 100, 20);
    edit->SetVisible(true);
    edit->SetText("hello world");
    memo = group.Create(true);
    memo->SetBounds(10, 40, 100, 26);  // two lines of 12 pixels
    memo->SetVisible(true);
    memo->SetText("1\r\n2\r\n3\r\n4\r\n5\r\n6");
  }
  // The game x of the gap before character N of the edit.
  static int32_t Gap(int32_t n) { return 10 + 2 + 6 * n; }
  TStateTextControls group;
  std::unique_ptr<TTextControl> edit, memo;
};

TEST_F(TextControlMouseTest, DragsShiftClicksAndDoubleClicksSelect) {
  EXPECT_TRUE(group.MouseDown(Gap(1), 20, true, false, 1000));
  EXPECT_EQ(group.FocusedControl(), edit.get());
  EXPECT_TRUE(group.MouseMove(Gap(4), 25));
  EXPECT_TRUE(group.MouseUp());
  EXPECT_EQ(edit->SelectedText(), "ell");
  EXPECT_FALSE(group.MouseMove(Gap(6), 25));  // no button held: the game's
  // Shift+click extends from the anchor.
  group.MouseDown(Gap(8), 20, true, true, 3000);
  group.MouseUp();
  EXPECT_EQ(edit->SelectedText(), "ello wo");
  // Two presses 300 ms apart at one place: the word.
  group.MouseDown(Gap(7), 20, true, false, 5000);
  group.MouseUp();
  group.MouseDown(Gap(7) + 1, 21, true, false, 5300);
  group.MouseUp();
  EXPECT_EQ(edit->SelectedText(), "world");
  // Too slow for a double click: a caret only.
  group.MouseDown(Gap(2), 20, true, false, 8000);
  group.MouseDown(Gap(2), 20, true, false, 8000 + TTextControlGroup::kDoubleClickMs + 1);
  EXPECT_EQ(edit->SelectedText(), "");
  EXPECT_EQ(edit->Caret(), 2u);
  // A press elsewhere is the game's and takes the focus away.
  EXPECT_FALSE(group.MouseDown(5, 5, true, false, 9000));
  EXPECT_EQ(group.FocusedControl(), nullptr);
}

TEST_F(TextControlMouseTest, TheMemosScrollBarAndWheelScroll) {
  const TControlScrollBar bar = ControlScrollBar(*memo);
  ASSERT_TRUE(bar.Shown && bar.HasThumb);
  EXPECT_EQ(bar.Left, 88);
  EXPECT_EQ(std::make_pair(bar.Lines, bar.Rows), std::make_pair(6, 2));
  EXPECT_FALSE(group.OverText(10 + 90, 50));
  EXPECT_TRUE(group.OverText(10 + 50, 50));
  // The track below the thumb: a page down; the caret stays where it was.
  group.MouseDown(10 + 94, 40 + 25, true, false, 1000);
  group.MouseUp();
  EXPECT_EQ(memo->TopLine(), 2);
  EXPECT_EQ(memo->Caret(), 0u);
  // The thumb dragged to the bottom: the last page.
  const TControlScrollBar now = ControlScrollBar(*memo);
  group.MouseDown(10 + 94, 40 + now.ThumbTop, true, false, 2000);
  group.MouseMove(10 + 94, 40 + 200);
  group.MouseUp();
  EXPECT_EQ(memo->TopLine(), 4);
  // The wheel: three lines a notch, up.
  EXPECT_TRUE(group.Wheel(10 + 50, 50, 1));
  EXPECT_EQ(memo->TopLine(), 1);
  EXPECT_FALSE(group.Wheel(Gap(1), 20, 1));  // the edit does not scroll
  // A click on a line of the text puts the caret there.
  group.MouseDown(10 + 2, 40 + 1 + 12 + 3, true, false, 3000);
  EXPECT_EQ(memo->Caret(), memo->LineStarts()[2]);
}

// The caret shows after each change, then blinks; painted, a focused edit
// shows its background, the selection and the caret.
TEST_F(TextControlMouseTest, TheCaretBlinksAndPaintingShowsSelectionAndCaret) {
  edit->SetBackColor(0xFFFFFF);
  edit->SetTextColor(0x000000);
  group.MouseDown(Gap(3), 20, true, false, 1000);
  group.Blink(1000);
  EXPECT_TRUE(group.CaretShown());
  group.Blink(1000 + TTextControlGroup::kBlinkMs);
  EXPECT_FALSE(group.CaretShown());
  EXPECT_TRUE(group.TakeChanged());
  edit->KeyDown(C::kVkLeft);  // a change: the caret shows again at once
  group.Blink(1000 + TTextControlGroup::kBlinkMs + 10);
  EXPECT_TRUE(group.CaretShown());
  std::vector<uint32_t> picture(120 * 80, 0x123456);
  PaintTextControls(group, picture.data(), 120, 80, 120);
  auto at = [&](int32_t x, int32_t y) { return picture[static_cast<size_t>(y * 120 + x)]; };
  // The caret before character 2, as high as the line (rows 14 to 25).
  EXPECT_EQ(at(Gap(2), 14), 0u);
  EXPECT_EQ(at(Gap(2), 25), 0u);
  EXPECT_EQ(at(Gap(2) + 1, 14), 0xFFFFFFu);
  EXPECT_EQ(at(9, 14), 0x123456u);  // outside the edit
  edit->KeyDown(C::kVkRight, true);
  PaintTextControls(group, picture.data(), 120, 80, 120);
  EXPECT_EQ(at(Gap(2) + 3, 14), 0x3399FFu);  // the selected character's cell
  EXPECT_EQ(at(Gap(3) + 3, 14), 0xFFFFFFu);
}

// The headless player's input: presses reach the controls, keys type their
// US-layout characters into the focused one (Shift from its own key), and
// what the controls take does not reach the game.
TEST_F(TextControlMouseTest, HeadlessInputTypesIntoTheFocusedControl) {
  struct TClockAt : TClock {
    uint32_t NowMs() override { return 500; }
  } clock;
  TScriptedInput script = TScriptedInput::FromText(
      "tick 1: lbutton down 5 5\n"
      "tick 1: lbutton down 110 30\n"
      "tick 1: key down 65\n"
      "tick 1: lbutton down 20 20\n"
      "tick 1: lbutton up 20 20\n"
      "tick 1: key down 16\ntick 1: key down 0xBD\ntick 1: key up 16\n"
      "tick 1: key down 71\ntick 1: key down 0x31\ntick 1: key down 0x20\ntick 1: key down 8\n");
  script.BeforeTick(1);
  TTextControlInput input(script, group, clock);
  std::vector<std::string> game;
  for (TInputEvent e; input.NextEvent(e);) game.push_back(FormatInputEvent(e));
  EXPECT_EQ(game, (std::vector<std::string>{"lbutton down 5 5", "lbutton down 110 30", "key down 65"}));
  EXPECT_EQ(edit->Text(), "h_g1ello world");  // the caret was after the "h"
  EXPECT_EQ(VkTypedChar(0xDE, true), '"');
  EXPECT_EQ(VkTypedChar(0x70, false), 0);  // F1 types nothing
}

TEST(TextControlTest, ReadOnlyTakesNoTypingAndOnlyAShownEnabledControlHasTheFocus) {
  TStateTextControls group;
  auto control = group.Create(false);
  control->SetReadOnly(true);
  control->TypeText("y");
  control->SetFocus();
  EXPECT_TRUE(control->Text().empty() && group.FocusedControl() == nullptr);
  control->SetVisible(true);
  control->SetFocus();
  EXPECT_EQ(group.FocusedControl(), control.get());
  control->SetEnabled(false);
  EXPECT_EQ(group.FocusedControl(), nullptr);
}

TEST(TextControlTest, TypedUtf8BecomesShiftJisAndUnmappableCharactersGo) {
  EXPECT_EQ(TypedUtf8ToSjis("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"), "\x93\xfa\x96\x7b\x8c\xea");  // 日本語
  EXPECT_EQ(TypedUtf8ToSjis("a\xF0\x9F\x98\x80?\xEF\xBD\xB1"), "a?\xb1");  // emoji dropped, half-width ｱ
}

}  // namespace
}  // namespace orba

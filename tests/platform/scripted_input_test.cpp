#include "platform/headless/scripted_input.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/sjis_test_helpers.h"
#include "support/test_support.h"

namespace orba {
namespace {

std::vector<TInputEvent> Drain(TScriptedInput& input) {
  std::vector<TInputEvent> events;
  for (TInputEvent e; input.NextEvent(e);) events.push_back(e);
  return events;
}

TInputEvent Mouse(TInputKind kind, TMouseButton button, int32_t x, int32_t y) {
  TInputEvent e;
  e.Kind = kind;
  e.Button = button;
  e.X = x;
  e.Y = y;
  return e;
}

TEST(ScriptedInput, ParsesEveryEventKind) {
  EXPECT_EQ(ParseInputEvent("mouse move 10 -20"), Mouse(TInputKind::MouseMove, TMouseButton::Left, 10, -20));
  EXPECT_EQ(ParseInputEvent("lbutton down 1 2"), Mouse(TInputKind::ButtonDown, TMouseButton::Left, 1, 2));
  EXPECT_EQ(ParseInputEvent("lbutton up 3 4"), Mouse(TInputKind::ButtonUp, TMouseButton::Left, 3, 4));
  EXPECT_EQ(ParseInputEvent(" rbutton  down 5\t6 "), Mouse(TInputKind::ButtonDown, TMouseButton::Right, 5, 6));
  EXPECT_EQ(ParseInputEvent("rbutton up 7 8"), Mouse(TInputKind::ButtonUp, TMouseButton::Right, 7, 8));
  for (auto [text, notches] : std::vector<std::pair<const char*, int32_t>>{
           {"wheel up", 1}, {"wheel down", -1}, {"wheel down 3", -3}}) {
    EXPECT_EQ(ParseInputEvent(text).Kind, TInputKind::Wheel) << text;
    EXPECT_EQ(ParseInputEvent(text).Notches, notches) << text;
  }
  const TInputEvent key = ParseInputEvent("key down 0x0D");
  EXPECT_TRUE(key.Kind == TInputKind::KeyDown && key.Key == 13 && !key.Repeat);
  EXPECT_TRUE(ParseInputEvent("key down 32 repeat").Repeat);
  for (auto [text, kind] : std::vector<std::pair<const char*, TInputKind>>{
           {"key up 255", TInputKind::KeyUp}, {"focus lost", TInputKind::FocusLost},
           {"focus gained", TInputKind::FocusGained}, {"close", TInputKind::Close}})
    EXPECT_EQ(ParseInputEvent(text).Kind, kind) << text;
}

TEST(ScriptedInput, FormattedEventsParseBackToThemselves) {
  for (const char* text : {"mouse move 10 -20", "lbutton down 1 2", "rbutton up 7 8", "wheel up", "wheel down 3",
                           "key down 13", "key down 32 repeat", "key up 255", "focus lost", "focus gained",
                           "close"}) {
    const TInputEvent e = ParseInputEvent(text);
    EXPECT_EQ(FormatInputEvent(e), text);
    EXPECT_EQ(ParseInputEvent(FormatInputEvent(e)), e) << text;
  }
}

TEST(ScriptedInput, RejectsMalformedEvents) {
  for (const char* text : {"", "mouse", "mouse move 1", "mouse move 1 2 3", "mouse move x 2", "mbutton down 1 2",
                           "lbutton press 1 2", "wheel", "wheel left", "wheel up 0", "wheel up -2", "key down 0",
                           "key down 256", "key down -1", "key up 13 repeat", "key down 13 again",
                           "close now", "mouse move 99999999999 0", "key down 0x", "key down 1e3"}) {
    EXPECT_THROW(ParseInputEvent(text), EInputScriptError) << '"' << text << '"';
  }
}

TEST(ScriptedInput, HandsEventsOutAtTheirTicks) {
  TScriptedInput input = TScriptedInput::FromText(
      "# comment\n"
      "tick 3: key down 65\r\n"
      "\n"
      "tick 1: mouse move 5 6\n"
      "tick 3: key up 65\n"
      "  tick 7 : close\n");
  EXPECT_EQ(input.Pending(), 4u);
  EXPECT_TRUE(Drain(input).empty());  // nothing before the first tick
  input.BeforeTick(1);
  std::vector<TInputEvent> events = Drain(input);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], Mouse(TInputKind::MouseMove, TMouseButton::Left, 5, 6));
  input.BeforeTick(2);
  EXPECT_TRUE(Drain(input).empty());
  input.BeforeTick(3);
  events = Drain(input);
  ASSERT_EQ(events.size(), 2u);  // in file order within the tick
  EXPECT_EQ(events[0].Kind, TInputKind::KeyDown);
  EXPECT_EQ(events[1].Kind, TInputKind::KeyUp);
  // A tick that was skipped still gets its events before the next one.
  input.BeforeTick(9);
  events = Drain(input);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Kind, TInputKind::Close);
  EXPECT_EQ(input.Pending(), 0u);
}

TEST(ScriptedInput, ErrorsNameTheLine) {
  for (const char* text : {"tick 1: close\nclose\n", "tick 1: close\ntick x: close\n", "tick 1: close\ntick 0: close\n",
                           "tick 1: close\ntick 2 close\n", "tick 1: close\ntick 2: jump\n"}) {
    const std::string error = test::ErrorText<EInputScriptError>([&] { TScriptedInput::FromText(text); });
    EXPECT_NE(error.find("line 2"), std::string::npos) << text << ": " << error;
  }
}

TEST(ScriptedInput, ReadsAFile) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "input.txt", test::Bytes("tick 2: wheel up\n"));
  TScriptedInput input = TScriptedInput::FromFile(dir / "input.txt");
  input.BeforeTick(2);
  TInputEvent e;
  ASSERT_TRUE(input.NextEvent(e));
  EXPECT_EQ(e.Kind, TInputKind::Wheel);
  EXPECT_THROW(TScriptedInput::FromFile(dir / "missing.txt"), EInputScriptError);
}

}  // namespace
}  // namespace orba

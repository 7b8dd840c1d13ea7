// The headless back end the tests and `orba --headless` run on: scripted
// message boxes, the picture in memory and the input script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/sjis_test_helpers.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_dialogs.h"
#include "platform/headless/scripted_input.h"
#include "platform/headless/silent_dialogs.h"
#include "support/test_support.h"

namespace orba {
namespace {

TEST(ScriptedDialogs, AnswersFromTheQueueAndRecordsEveryBox) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  auto previous = SetMessageBoxService(boxes);
  boxes->Push(TDialogAnswer::No);
  boxes->Push(TDialogAnswer::Custom, 2);
  EXPECT_EQ(MessageBoxes().Ask("t", "question", TDialogButtons::YesNo), TDialogAnswer::No);
  const TDialogResult custom = MessageBoxes().Show(TDialogRequest{"t", "pick", TDialogButtons::Custom, {"a", "b", "c"}});
  EXPECT_EQ(std::make_pair(custom.Answer, custom.CustomIndex), std::make_pair(TDialogAnswer::Custom, 2));
  // With the queue empty each box takes its first button.
  EXPECT_EQ(MessageBoxes().Ask("t", "again?", TDialogButtons::RetryCancel), TDialogAnswer::Retry);
  MessageBoxes().ShowMessage("title", "done");
  ASSERT_EQ(boxes->Shown().size(), 4u);
  EXPECT_EQ(boxes->Shown()[1].Labels.size(), 3u);
  EXPECT_TRUE(boxes->Shown()[3].Title == "title" && boxes->Shown()[3].Buttons == TDialogButtons::Ok);
  // The silent back end answers without showing anything; with no back end
  // installed, asking is a fault of the program.
  SetMessageBoxService(std::make_shared<TSilentMessageBoxes>());
  EXPECT_EQ(MessageBoxes().Ask("t", "q", TDialogButtons::OkCancel), TDialogAnswer::Ok);
  EXPECT_EQ(boxes->Shown().size(), 4u);
  SetMessageBoxService(nullptr);
  EXPECT_THROW(MessageBoxes(), std::logic_error);
  SetMessageBoxService(previous);
}

TEST(MemoryVideo, StartsBlackAndCopiesOnlyTheDirtyRectangles) {
  TMemoryVideo video;
  EXPECT_THROW(video.CreateWindow(0, 10, ""), std::invalid_argument);
  EXPECT_FALSE(video.WindowCreated());
  video.CreateWindow(6, 4, "\x83\x65\x83\x58\x83\x67");  // テスト
  EXPECT_TRUE(video.WindowCreated());
  EXPECT_EQ(video.Title(), "\x83\x65\x83\x58\x83\x67");
  EXPECT_EQ(video.Picture(), std::vector<uint32_t>(24, 0));
  // Frames of 6x4 kept in buffers 8 pixels wide; pixel (x, y) is 0x00YY00XX + base.
  std::vector<uint32_t> frame(8 * 4, 0xDEADBEEF), other(8 * 4, 0xDEADBEEF);
  for (uint32_t y = 0; y < 4; ++y)
    for (uint32_t x = 0; x < 6; ++x) {
      frame[y * 8 + x] = 0x100 + (y << 16) + x;
      other[y * 8 + x] = 0x200 + (y << 16) + x;
    }
  video.Present({frame.data(), 6, 4, 8}, {{1, 1, 3, 2}, {5, 3, 9, 9}});
  EXPECT_EQ(video.PresentCount(), 1);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 6; ++x) {
      const bool dirty = (y == 1 && (x == 1 || x == 2)) || (x == 5 && y == 3);
      EXPECT_EQ(video.Pixel(x, y), dirty ? frame[y * 8 + x] : 0u) << x << "," << y;
    }
  }
  // Rectangles off the screen, empty or turned around change nothing.
  video.Present({other.data(), 6, 4, 8}, {{-5, -5, 0, 0}, {6, 0, 10, 4}, {3, 3, 3, 4}, {4, 2, 2, 1}});
  EXPECT_EQ(std::make_pair(video.Pixel(1, 1), video.Pixel(0, 0)), std::make_pair(0x10101u, 0u));
  video.Present({other.data(), 6, 4, 8}, {{-5, -5, 100, 100}});
  // (6, 0) lies outside the window.
  EXPECT_EQ((std::vector<uint32_t>{video.Pixel(0, 0), video.Pixel(5, 3), video.Pixel(6, 0), uint32_t(video.PresentCount())}),
            (std::vector<uint32_t>{0x200, 0x30205, 0, 3}));
  // An overlay shows over the game's picture, which takes presents below it.
  const std::vector<uint32_t> film(4, 0xFF0A0B0C);
  const TVideoOverlay over{{film.data(), 2, 2, 2}, {0, 0, 2, 2}, {0, 0, 2, 2}, 1};
  auto shown = [&] { return std::vector<uint32_t>{video.Pixel(1, 0), video.Pixel(2, 0), video.Pixel(0, 1)}; };
  video.SetOverlays({over});
  video.Present({frame.data(), 6, 4, 8}, {{1, 0, 6, 1}});
  video.SetOverlays({over});
  EXPECT_EQ(shown(), (std::vector<uint32_t>{0x0A0B0C, 0x102, 0x0A0B0C}));
  EXPECT_EQ(video.PresentBuffer().Pixels, nullptr);
  video.SetOverlays({});
  EXPECT_EQ(shown(), (std::vector<uint32_t>{0x101, 0x102, 0x10200}));
}

TEST(ScriptedInput, ParsesAndFormatsEveryEventKind) {
  using K = TInputKind;
  struct Case {
    const char* text;
    TInputEvent event;
    const char* formatted = nullptr;  // when not the text itself
  };
  const Case cases[] = {
      {"mouse move 10 -20", {.Kind = K::MouseMove, .X = 10, .Y = -20}},
      {"lbutton down 1 2", {.Kind = K::ButtonDown, .X = 1, .Y = 2}},
      {"lbutton up 3 4", {.Kind = K::ButtonUp, .X = 3, .Y = 4}},
      {" rbutton  down 5\t6 ", {.Kind = K::ButtonDown, .X = 5, .Y = 6, .Button = TMouseButton::Right}, "rbutton down 5 6"},
      {"rbutton up 7 8", {.Kind = K::ButtonUp, .X = 7, .Y = 8, .Button = TMouseButton::Right}},
      {"wheel up", {.Kind = K::Wheel, .Notches = 1}},
      {"wheel down", {.Kind = K::Wheel, .Notches = -1}},
      {"wheel down 3", {.Kind = K::Wheel, .Notches = -3}},
      {"key down 0x0D", {.Kind = K::KeyDown, .Key = 13}, "key down 13"},
      {"key down 32 repeat", {.Kind = K::KeyDown, .Key = 32, .Repeat = true}},
      {"key up 255", {.Kind = K::KeyUp, .Key = 255}},
      {"focus lost", {.Kind = K::FocusLost}},
      {"focus gained", {.Kind = K::FocusGained}},
      {"close", {.Kind = K::Close}},
      {"window  destroyed", {.Kind = K::WindowDestroyed}, "window destroyed"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ParseInputEvent(c.text), c.event) << c.text;
    EXPECT_EQ(FormatInputEvent(c.event), c.formatted ? c.formatted : c.text);
    EXPECT_EQ(ParseInputEvent(FormatInputEvent(c.event)), c.event) << c.text;
  }
  for (const char* text : {"", "mouse", "mouse move 1", "mouse move 1 2 3", "mouse move x 2", "mbutton down 1 2",
                           "lbutton press 1 2", "wheel", "wheel left", "wheel up 0", "wheel up -2", "key down 0",
                           "key down 256", "key down -1", "key up 13 repeat", "key down 13 again",
                           "close now", "mouse move 99999999999 0", "key down 0x", "key down 1e3"}) {
    EXPECT_THROW(ParseInputEvent(text), EInputScriptError) << '"' << text << '"';
  }
}

TEST(ScriptedInput, HandsEventsOutAtTheirTicks) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "input.txt", test::Bytes("# comment\n"
                                                      "tick 3: key down 65\r\n"
                                                      "\n"
                                                      "tick 1: mouse move 5 6\n"
                                                      "tick 3: key up 65\n"
                                                      "  tick 7 : close\n"));
  TScriptedInput input = TScriptedInput::FromFile(dir / "input.txt");
  EXPECT_EQ(input.Pending(), 4u);
  // The events handed out before each tick, in file order within the tick.
  std::vector<std::string> ticks;
  for (int32_t tick : {0, 1, 2, 3, 9}) {  // tick 7 is skipped: its events come before tick 9
    if (tick) input.BeforeTick(tick);
    std::string events;
    for (TInputEvent e; input.NextEvent(e);) events += FormatInputEvent(e) + ";";
    ticks.push_back(events);
  }
  EXPECT_EQ(ticks, (std::vector<std::string>{"", "mouse move 5 6;", "", "key down 65;key up 65;", "close;"}));
  EXPECT_EQ(input.Pending(), 0u);
  EXPECT_THROW(TScriptedInput::FromFile(dir / "missing.txt"), EInputScriptError);
  // Errors name the line.
  for (const char* text : {"tick 1: close\nclose\n", "tick 1: close\ntick x: close\n", "tick 1: close\ntick 0: close\n",
                           "tick 1: close\ntick 2 close\n", "tick 1: close\ntick 2: jump\n"}) {
    const std::string error = test::ErrorText<EInputScriptError>([&] { TScriptedInput::FromText(text); });
    EXPECT_NE(error.find("line 2"), std::string::npos) << text << ": " << error;
  }
}

}  // namespace
}  // namespace orba

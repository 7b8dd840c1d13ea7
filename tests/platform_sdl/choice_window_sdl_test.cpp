// The chooser's SDL window under SDL's "dummy" video driver: it takes its
// own clicks, keys and close button, shows the picture of the selected line,
// and leaves a quit for the player. Skipped where that driver cannot start.
// On an Xvfb display it is transient for the window it opens over, and a
// chooser destroyed by another client ends the choice on its line.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/sdl/sdl_choice_window.h"
#include "platform/sdl/sdl_dialogs.h"
#include "platform/sdl/x11_window.h"
#include "platform_sdl/dummy_video.h"
#include "platform_sdl/xvfb_run.h"
#include "support/test_support.h"

// Last: the X headers' macros (None, Status, ...) reach nothing above.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace orba {
namespace {

// Three lines; the picture of line N is 100 x 100 of grey 40 x (N + 1).
TChoiceRequest ThreeLines() {
  TChoiceRequest request{"Select One from Multiple Icons", {"001", "002", "003"}, nullptr};
  request.Preview = [](int line) {
    return TChoicePicture{100, 100, std::vector<uint8_t>(100 * 100 * 3, static_cast<uint8_t>(40 * (line + 1)))};
  };
  return request;
}

class SdlChoiceWindowTest : public test::DummyVideoTest {
 protected:
  static void Click(uint32_t window, int32_t x, int32_t y) { Push(ButtonEvent(window, SDL_MOUSEBUTTONDOWN, x, y)); }
  static void Key(uint32_t window, SDL_Keycode key) { Push(KeyEvent(window, key)); }
  static void Close(uint32_t window) { Push(WindowEvent(window, SDL_WINDOWEVENT_CLOSE)); }
};

TEST_F(SdlChoiceWindowTest, AClickOnALineAndOnOkPicksItAndShowsItsPicture) {
  TSdlChoiceWindow window(nullptr, ThreeLines());
  if (!window.IsOpen()) GTEST_SKIP() << "no window";
  const int32_t line_h = window.View().LineHeight();
  Click(window.WindowId(), 40, TChoiceWindow::kList.Top + 1 + 2 * line_h + 2);
  Click(window.WindowId(), TChoiceWindow::kOk.Left + 10, TChoiceWindow::kOk.Top + 10);
  EXPECT_EQ(window.Run(), 2);
  EXPECT_EQ(PixelAt(window.Window(), 230, 66), 0x787878u);
}

TEST_F(SdlChoiceWindowTest, KeysAndTheCloseButtonEndTheChoiceKeepingTheSelection) {
  struct Case {
    const char* name;
    std::vector<SDL_Keycode> keys;
    bool close;
    int want;
  };
  const Case cases[] = {
      {"Down then Return", {SDLK_DOWN, SDLK_RETURN}, false, 1},
      {"End then Escape", {SDLK_END, SDLK_ESCAPE}, false, 2},
      {"Down then the close button", {SDLK_DOWN}, true, 1},
  };
  for (const Case& c : cases) {
    TSdlChoiceWindow window(nullptr, ThreeLines());
    if (!window.IsOpen()) GTEST_SKIP() << "no window";
    for (SDL_Keycode key : c.keys) Key(window.WindowId(), key);
    if (c.close) Close(window.WindowId());
    EXPECT_EQ(window.Run(), c.want) << c.name;
  }
}

// A quit asked for while the list is open ends the choice on its line and
// is left for the player; input meant for another window is dropped.
TEST_F(SdlChoiceWindowTest, AQuitEndsTheChoiceAndStaysQueued) {
  uint32_t id = 0;
  {
    TSdlChoiceWindow window(nullptr, ThreeLines());
    if (!window.IsOpen()) GTEST_SKIP() << "no window";
    id = window.WindowId();
    Key(id + 100, SDLK_DOWN);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    EXPECT_EQ(window.Run(), 0);
  }
  // Left once the window is gone: the quit, and no event of that window.
  const std::vector<uint32_t> left = EventsLeftAfter(id);
  EXPECT_EQ(Count(left, SDL_QUIT), 1);
  EXPECT_EQ(Count(left, SDL_KEYDOWN), 0);
}

// The player ending (a quit signal) ends the choice on its line.
TEST_F(SdlChoiceWindowTest, ThePlayerEndingEndsTheChoiceKeepingTheSelection) {
  TSdlChoiceWindow window(nullptr, ThreeLines());
  if (!window.IsOpen()) GTEST_SKIP() << "no window";
  Key(window.WindowId(), SDLK_DOWN);
  int asked = 0;
  EXPECT_EQ(window.Run([&asked] { return ++asked > 2; }), 1);
}

// The X window an SDL window draws into.
Window XWindowOf(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  return SDL_GetWindowWMInfo(window, &info) == SDL_TRUE ? info.info.x11.window : 0;
}

// Run by the test below on an Xvfb display with openbox: the chooser over
// a window of its own is transient for it; destroyed by another client
// after Down, it ends the choice on the second line, and its X errors do
// not end the process.
TEST(ChoiceWindowOnTheDisplay, IsTransientAndAGoneChooserKeepsItsLine) {
  if (std::getenv("ORBA_CHOOSER_DISPLAY") == nullptr) GTEST_SKIP() << "run by ChoiceWindowOnXvfb";
  TX11Window::CatchErrors();
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* game = SDL_CreateWindow("game", 100, 100, 320, 240, 0);
  ASSERT_NE(game, nullptr);
  {
    TSdlChoiceWindow window(game, ThreeLines());
    ASSERT_TRUE(window.IsOpen());
    const Window box = XWindowOf(window.Window());
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    Window owner = 0;
    EXPECT_NE(XGetTransientForHint(other, box, &owner), 0);
    EXPECT_EQ(owner, XWindowOf(game));
    SDL_Event down{};
    down.type = SDL_KEYDOWN;
    down.key.windowID = window.WindowId();
    down.key.keysym.sym = SDLK_DOWN;
    SDL_PushEvent(&down);
    std::thread closer([other, box] {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      XDestroyWindow(other, box);
      XSync(other, False);
    });
    EXPECT_EQ(window.Run(), 1);
    closer.join();
    EXPECT_TRUE(window.Destroyed());
    XCloseDisplay(other);
  }
  SDL_DestroyWindow(game);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(ChoiceWindowOnXvfb, IsTransientAndAGoneChooserKeepsItsLine) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb && command -v openbox"}).exit_code != 0)
    GTEST_SKIP() << "Xvfb or openbox is not installed";
  const test::CommandResult r = test::RunOnXvfb("800x600", "SDL_VIDEODRIVER=x11 ORBA_CHOOSER_DISPLAY=1",
                                                "(openbox >/dev/null 2>&1 &) && sleep 1",
                                                "ChoiceWindowOnTheDisplay.*");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("[  PASSED  ] 1 test"), std::string::npos) << r.output;
}

// The message boxes show a list with a picture in the window; one without a
// picture stays a box (which cannot be shown here, and keeps the first line).
TEST_F(SdlChoiceWindowTest, TheMessageBoxesUseTheWindowForAListWithAPicture) {
  TSdlMessageBoxes boxes;
  // The window the boxes open next takes the Return queued for it: its id
  // is the next one SDL gives.
  SDL_Window* probe = SDL_CreateWindow("probe", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
  if (probe == nullptr) GTEST_SKIP() << SDL_GetError();
  const uint32_t next = SDL_GetWindowID(probe) + 1;
  SDL_DestroyWindow(probe);
  Key(next, SDLK_END);
  Key(next, SDLK_RETURN);
  EXPECT_EQ(boxes.Choose(ThreeLines()), 2);
  EXPECT_EQ(boxes.Choose(TChoiceRequest{"t", {"a", "b"}, nullptr}), 0);
}

}  // namespace
}  // namespace orba

// The game window on a real X display (a private Xvfb): what the server
// shows of a window another client grew, before the player repaints it, and
// a window another client destroyed, which ends the game in order instead
// of the process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/game_clock.h"
#include "platform/headless/fake_clock.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_video.h"
#include "shell/game_client.h"
#include "shell/shell_runner.h"
#include "shell/test_games.h"
#include "platform_sdl/xvfb_run.h"
#include "support/test_support.h"

// Last: the X headers' macros (None, Status, ...) reach nothing above.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace orba {
namespace {

// Run by X11Window.UnderXvfb on its display (skipped elsewhere).
class X11WindowOnTheDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("ORBA_X11_WINDOW_DISPLAY") == nullptr) GTEST_SKIP() << "run by X11Window.UnderXvfb";
    video = std::make_unique<TSdlVideo>();
    other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
  }
  void TearDown() override {
    if (other != nullptr) XCloseDisplay(other);
    ResetPlayerGlobals();
  }
  // The X window SDL drew into.
  Window XWindow() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    EXPECT_EQ(SDL_GetWindowWMInfo(video->Window(), &info), SDL_TRUE) << SDL_GetError();
    return info.info.x11.window;
  }
  // The window's pixels on row Y at the columns, as another client reads
  // them from the server: 0x00RRGGBB.
  std::vector<unsigned long> Row(Window window, int y, const std::vector<int>& xs) {
    std::vector<unsigned long> out;
    for (int x : xs) {
      XImage* image = XGetImage(other, window, x, y, 1, 1, AllPlanes, ZPixmap);
      out.push_back(image != nullptr ? XGetPixel(image, 0, 0) & 0xFFFFFFu : 0xDEADu);
      if (image != nullptr) XDestroyImage(image);
    }
    return out;
  }

  std::unique_ptr<TSdlVideo> video;
  Display* other = nullptr;
};

// Grown by another client from 64 to 160 pixels wide, before the player has
// seen any event: the picture stays in the middle (x 48 to 111), and the
// server shows the uncovered sides black, as the bars are drawn.
TEST_F(X11WindowOnTheDisplay, AGrownWindowShowsBlackBarsAtOnce) {
  constexpr unsigned long kRed = 0xFF0000u;
  video->CreateWindow(64, 48, "grow");
  const std::vector<uint32_t> picture(64 * 48, kRed);
  video->Present({picture.data(), 64, 48, 64}, {{0, 0, 64, 48}});
  const Window window = XWindow();
  XSync(other, False);
  ASSERT_EQ(Row(window, 20, {0, 63}), (std::vector<unsigned long>{kRed, kRed}));
  XResizeWindow(other, window, 160, 48);
  XSync(other, False);
  EXPECT_EQ(Row(window, 20, {0, 47, 48, 111, 112, 159}), (std::vector<unsigned long>{0, 0, kRed, kRed, 0, 0}));
}

// The "counter" game's window destroyed by another client after two ticks:
// the player runs no further tick, ends through the exit page and the status
// save, and lives on past the end of its window (an X error about it would
// have ended the test program).
TEST_F(X11WindowOnTheDisplay, ADestroyedWindowEndsTheGameThroughItsExitPage) {
  const test::TempDir dir;
  test::BuildGame("counter", dir / "game", true);
  TSdlInput input(*video);
  TFakeClock clock{1000};
  TGameClient client(dir / "game", TScriptedEvents());
  auto runner = std::make_unique<TShellRunner>(clock, *video, input, client);
  ASSERT_TRUE(runner->StartUp());
  RunSteps(*runner, clock, 2, 15);
  ASSERT_TRUE(runner->Running());
  XDestroyWindow(other, XWindow());
  XSync(other, False);
  RunSteps(*runner, clock, 1, 15);
  EXPECT_FALSE(runner->Running());
  EXPECT_EQ(TickCount, 2);
  EXPECT_TRUE(video->WindowDestroyed());
  runner->ShutDown();
  runner.reset();
  video.reset();
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"), {"var exits int = 1"});
}

// SDL asks a moved window for its parent and translates from the parent it
// read: for a window another client destroyed, the question fails and the
// parent read is whatever the variable held (here an id of no window), so
// the translation fails too. Neither error ends the process.
TEST_F(X11WindowOnTheDisplay, TheTranslationAfterAGoneWindowsParentQuestionEndsNothing) {
  video->CreateWindow(64, 48, "gone");
  const Window window = XWindow();
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_EQ(SDL_GetWindowWMInfo(video->Window(), &info), SDL_TRUE);
  Display* own = info.info.x11.display;
  XDestroyWindow(other, window);
  XSync(other, False);
  Window root = 0, parent = 0x23742500, child = 0, *children = nullptr;
  unsigned int count = 0;
  EXPECT_EQ(XQueryTree(own, window, &root, &parent, &children, &count), 0);
  int x = 0, y = 0;
  XTranslateCoordinates(own, parent, DefaultRootWindow(own), 0, 0, &x, &y, &child);
  XSync(own, False);
  EXPECT_TRUE(video->WindowDestroyed());
}

TEST(X11Window, UnderXvfb) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb"}).exit_code != 0) GTEST_SKIP() << "Xvfb is not installed";
  const test::CommandResult r =
      test::RunOnXvfb("800x600", "SDL_VIDEODRIVER=x11 ORBA_X11_WINDOW_DISPLAY=1", "", "X11WindowOnTheDisplay.*");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("[  PASSED  ] 3 tests"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace orba

// Test games played in an SDL window under SDL's "dummy" video driver: the
// window's own events close the game, and the picture reaches the window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/game_clock.h"
#include "platform/headless/fake_clock.h"
#include "platform/sdl/sdl_dialogs.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_video.h"
#include "sdl_window_fixture.h"
#include "shell/game_client.h"
#include "shell/shell_runner.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

class SdlGameTest : public test::SdlWindowTest {
 protected:
  void SetUp() override {
    SdlWindowTest::SetUp();
    if (IsSkipped()) return;
    input = std::make_unique<TSdlInput>(*video);
    boxes = std::make_shared<TSdlMessageBoxes>();
    previous_boxes = SetMessageBoxService(boxes);
  }
  void TearDown() override {
    if (boxes) SetMessageBoxService(previous_boxes);
    ResetPlayerGlobals();
  }

  // Builds the game and starts it in the window.
  void Start(const std::string& name, const std::vector<std::string>& settings = {}) {
    test::BuildGame(name, dir / "game", true, settings);
    client = std::make_unique<TGameClient>(dir / "game", TScriptedEvents());
    runner = std::make_unique<TShellRunner>(clock, *video, *input, *client);
    ASSERT_TRUE(runner->StartUp());
    boxes->SetParent(video->Window());
  }
  void Close() {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = video->WindowId();
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    Push(e);
  }

  test::TempDir dir;
  TFakeClock clock{1000};
  std::unique_ptr<TSdlInput> input;
  std::shared_ptr<TSdlMessageBoxes> boxes;
  std::shared_ptr<TMessageBoxService> previous_boxes;
  std::unique_ptr<TGameClient> client;
  std::unique_ptr<TShellRunner> runner;
};

// The close question cannot be shown without a display: the first close is
// refused, the second closes, and the game ends through its exit page and
// the status save.
TEST_F(SdlGameTest, ClosingTheWindowEndsTheGameThroughItsExitPage) {
  Start("counter");
  RunSteps(*runner, clock, 2, 15);
  Close();
  RunSteps(*runner, clock, 1, 15);
  EXPECT_TRUE(runner->Running());
  EXPECT_EQ(TickCount, 3);
  Close();
  RunSteps(*runner, clock, 1, 15);
  EXPECT_FALSE(runner->Running());
  EXPECT_EQ(TickCount, 3);
  runner->ShutDown();
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"), {"var exits int = 1"});
}

// The box of the test game shows in the window, also once the window is
// resized to twice the game's width (the picture then lies between bars).
TEST_F(SdlGameTest, TheGamesPictureShowsInTheWindow) {
  Start("paint");
  int w = 0, h = 0;
  SDL_GetWindowSize(video->Window(), &w, &h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(160, 120));
  EXPECT_STREQ(SDL_GetWindowTitle(video->Window()), "paint");
  RunSteps(*runner, clock, 2, 15);
  EXPECT_EQ((std::vector<uint32_t>{Shown(20, 30), Shown(59, 79), Shown(60, 79)}),
            (std::vector<uint32_t>{0xFF0000, 0xFF0000, 0}));
  SDL_SetWindowSize(video->Window(), 320, 120);
  RunSteps(*runner, clock, 1, 15);  // the size change redraws the kept picture
  EXPECT_EQ(std::make_pair(Shown(80 + 20, 30), Shown(80 + 19, 30)), std::make_pair(0xFF0000u, 0u));
  runner->ShutDown();
}

}  // namespace
}  // namespace orba

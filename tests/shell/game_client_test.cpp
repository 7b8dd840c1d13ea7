// Test games run in this process by the game client under the shell's loop,
// with a clock the test moves and a window kept in memory.
#include "shell/game_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <string>

#include "core/game_clock.h"
#include "items/base_list.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_input.h"
#include "shell/shell_runner.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

constexpr uint32_t kRed = 0xFF0000u, kGreen = 0x00FF00u;

class GameClientTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetPlayerGlobals(); }

  // Builds the game and starts it under the loop.
  void Start(const std::string& name) {
    test::BuildGame(name, dir / "game", true);
    client = std::make_unique<TGameClient>(dir / "game", TScriptedEvents());
    runner = std::make_unique<TShellRunner>(clock, video, input, *client);
    ASSERT_TRUE(runner->StartUp());
  }
  void Step(uint32_t ms) { RunSteps(*runner, clock, 1, ms); }
  const TParamCollectionItem* Find(const std::string& name) {
    const TParamCollectionItem* v = client->Store()->Find(name);
    if (v == nullptr) ADD_FAILURE() << "no variable " << name;
    return v;
  }
  // A variable of the running game as an int (flags are 1 and 0) or text.
  int32_t Var(const std::string& name) {
    const TParamCollectionItem* v = Find(name);
    return v != nullptr ? v->GetAsInt() : -1;
  }
  std::string Text(const std::string& name) {
    const TParamCollectionItem* v = Find(name);
    return v != nullptr ? v->GetAsStr() : "?";
  }

  test::TempDir dir;
  TFakeClock clock{1000};
  TMemoryVideo video;
  TScriptedInput input;
  std::unique_ptr<TGameClient> client;
  std::unique_ptr<TShellRunner> runner;
};

// The tick that loads a saved game paints nothing, the window keeps the
// picture it had; the next tick shows the loaded scene. A gap of 300 ms or
// more is no tick and adds nothing to the game clock.
TEST_F(GameClientTest, NoPaintingInTheTickOfALoadAndNoTickInAGap) {
  Start("loadpaint");
  Step(15);  // tick 1: a red box, saved
  EXPECT_EQ(TickCount, 1);
  EXPECT_EQ(video.Pixel(0, 0), kRed);
  EXPECT_EQ(video.Pixel(8, 8), 0u);
  Step(15);  // tick 2: the box turns green
  EXPECT_EQ(video.Pixel(7, 7), kGreen);
  const int32_t presented = video.PresentCount();

  Step(300);  // a gap: no tick
  Step(1000);
  EXPECT_EQ(TickCount, 2);
  EXPECT_EQ(GameClock, 30u);
  EXPECT_EQ(FrameTime, 15);
  EXPECT_EQ(Var("loaded"), 0);

  Step(20);  // tick 3: the save is loaded; nothing is painted
  EXPECT_EQ(TickCount, 3);
  EXPECT_EQ(GameClock, 50u);
  EXPECT_EQ(Var("loaded"), 1);
  EXPECT_EQ(video.PresentCount(), presented);
  EXPECT_EQ(video.Pixel(7, 7), kGreen);
  EXPECT_EQ(runner->PaintedTicks(), 2);

  Step(15);  // tick 4: the loaded scene, red again
  EXPECT_EQ(video.PresentCount(), presented + 1);
  EXPECT_EQ(video.Pixel(7, 7), kRed);
  EXPECT_EQ(video.Pixel(8, 8), 0u);

  // What the inactive root painted is not painted again in every tick:
  // presenting empties both roots' dirty lists.
  Bases->GetBase(Bases->Active ^ 1)->InvalidateAll();
  Step(15);
  EXPECT_EQ(Bases->GetBase(0)->Dirty.Count(), 0);
  EXPECT_EQ(Bases->GetBase(1)->Dirty.Count(), 0);
  runner->ShutDown();
}

// The window's input reaches the "@" variables through the object manager,
// and the script's full-screen switch and pointer moves reach the window.
TEST_F(GameClientTest, ScriptsSeeTheWindowsInputAndDriveTheWindow) {
  input = TScriptedInput::FromText(
      "tick 2: mouse move 10 20\n"
      "tick 2: lbutton down 10 20\n"
      "tick 2: key down 65\n"
      "tick 2: wheel down\n");
  Start("shellinput");
  EXPECT_EQ(video.Width(), 100);
  EXPECT_EQ(video.Height(), 80);
  EXPECT_EQ(video.Title(), "shellinput");
  Step(15);
  // Focus only to a visible control that handles keys; the manager's
  // switches follow the variables.
  EXPECT_EQ(Text("focus0"), "");
  EXPECT_EQ(Text("focus1"), "");
  EXPECT_EQ(Text("focus2"), "k");
  EXPECT_EQ(Var("sound"), 1);
  EXPECT_EQ(Var("sound2"), 0);
  EXPECT_FALSE(Bases->SoundOn);
  EXPECT_EQ(Var("dither"), 1);
  EXPECT_TRUE(Bases->GetCGDither());
  EXPECT_TRUE(video.FullScreen());
  Step(15);
  Step(15);
  // Tick 2 saw the input given before it; "@MouseX = 5" moved the system
  // pointer, keeping its Y. A tick later the click is gone and the key is
  // still held but no longer new.
  const std::pair<const char*, int32_t> seen[] = {
      {"full", 1},  {"lclick", 1}, {"lpush", 1},   {"mx", 10},        {"my", 20},   {"key", 1},
      {"keyclick", 1}, {"wheel", 1}, {"lclick3", 0}, {"key3", 1}, {"keyclick3", 0}, {"full3", 0},
  };
  for (const auto& [name, value] : seen) EXPECT_EQ(Var(name), value) << name;
  EXPECT_EQ(video.MouseX(), 5);
  EXPECT_EQ(video.MouseY(), 20);
  EXPECT_FALSE(video.FullScreen());
  runner->ShutDown();
}

}  // namespace
}  // namespace orba

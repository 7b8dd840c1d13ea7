// Test games run in this process by the game client under the shell's loop,
// with a clock the test moves and a window kept in memory.
#include "shell/game_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <string>
#include <vector>

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
  // Ticks, game clock, frame length and the variable "loaded".
  std::vector<int64_t> Clock() { return {TickCount, GameClock, FrameTime, Var("loaded")}; }
  std::vector<uint32_t> Pixels(const std::vector<std::pair<int32_t, int32_t>>& points) {
    std::vector<uint32_t> out;
    for (auto [x, y] : points) out.push_back(video.Pixel(x, y));
    return out;
  }
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
  EXPECT_EQ(Pixels({{0, 0}, {8, 8}}), (std::vector<uint32_t>{kRed, 0}));
  Step(15);  // tick 2: the box turns green
  EXPECT_EQ(video.Pixel(7, 7), kGreen);
  const int32_t presented = video.PresentCount();

  Step(300);  // a gap: no tick
  Step(1000);
  EXPECT_EQ(Clock(), (std::vector<int64_t>{2, 30, 15, 0}));

  Step(20);  // tick 3: the save is loaded; nothing is painted
  EXPECT_EQ(Clock(), (std::vector<int64_t>{3, 50, 20, 1}));
  EXPECT_EQ(std::make_pair(video.PresentCount(), runner->PaintedTicks()), std::make_pair(presented, 2));
  EXPECT_EQ(video.Pixel(7, 7), kGreen);

  Step(15);  // tick 4: the loaded scene, red again
  EXPECT_EQ(video.PresentCount(), presented + 1);
  EXPECT_EQ(Pixels({{7, 7}, {8, 8}}), (std::vector<uint32_t>{kRed, 0}));

  // What the inactive root painted is not painted again in every tick:
  // presenting empties both roots' dirty lists.
  Bases->GetBase(Bases->Active ^ 1)->InvalidateAll();
  Step(15);
  EXPECT_EQ(Bases->GetBase(0)->Dirty.Count() + Bases->GetBase(1)->Dirty.Count(), 0);
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
  EXPECT_EQ(std::to_string(video.Width()) + "x" + std::to_string(video.Height()) + " " + video.Title(),
            "100x80 shellinput");
  Step(15);
  // Focus only to a visible control that handles keys; the manager's
  // switches follow the variables.
  EXPECT_EQ(Text("focus0") + "|" + Text("focus1") + "|" + Text("focus2"), "||k");
  EXPECT_EQ((std::vector<int32_t>{Var("sound"), Var("sound2"), Var("dither")}), (std::vector<int32_t>{1, 0, 1}));
  EXPECT_TRUE(!Bases->SoundOn && Bases->GetCGDither() && video.FullScreen());
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
  EXPECT_EQ(std::make_pair(video.MouseX(), video.MouseY()), std::make_pair(5, 20));
  EXPECT_FALSE(video.FullScreen());
  runner->ShutDown();
}

}  // namespace
}  // namespace orba

#include "shell/shell_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/game_clock.h"
#include "core/system/trace.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_input.h"
#include "shell/blank_game.h"

namespace orba {
namespace {

// Writes down every call the shell makes, with the tick it came in.
class TRecordingClient : public TTickClient {
 public:
  int32_t ScreenWidth() const override { return 32; }
  int32_t ScreenHeight() const override { return 24; }
  std::string Title() const override { return "\x83\x51\x81\x5B\x83\x80"; }  // ゲーム
  bool PauseWhenInactive() const override { return pause_when_inactive; }
  bool StartUp() override { Note("StartUp"); return start_up_result; }
  void HandleInput(const TInputEvent& e) override {
    Note("input " + FormatInputEvent(e) + " @" + std::to_string(TickCount));
  }
  bool CloseQuery() override { Note("CloseQuery"); return allow_close; }
  void ReleaseExpiredFiles() override { Note("ReleaseExpiredFiles"); }
  void DeleteTempFiles() override { Note("DeleteTempFiles"); }
  void UpdateInput() override { Note("UpdateInput"); }
  void RunInterpreter() override { Note("RunInterpreter"); if (TickCount == quit_at_tick) QuitFlag = 1; }
  bool ProcessSaveLoad() override { Note("ProcessSaveLoad"); return TickCount == load_at_tick; }
  void PumpOgg() override { Note("PumpOgg"); }
  void Idle() override { Note("Idle"); }
  void Draw() override { Note("Draw"); }
  void Present(TVideo& video) override { Note("Present"); video.Present({frame.data(), 32, 24, 32}, {{0, 0, 32, 24}}); }
  void ShutDown() override { Note("ShutDown"); }

  void Note(const std::string& call) { calls.push_back(call); }
  int Count(const std::string& call) const { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }

  std::vector<std::string> calls;
  std::vector<uint32_t> frame = std::vector<uint32_t>(32 * 24, 0x00FF00);
  bool start_up_result = true;
  bool allow_close = true;
  bool pause_when_inactive = false;
  int32_t quit_at_tick = -1;
  int32_t load_at_tick = -1;
};

class ShellRunnerTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetPlayerGlobals(); }
  // Runs the whole program: start-up, Steps steps of FrameMs, shut-down.
  void Play(int32_t steps, uint32_t frame_ms = 15) {
    TShellRunner runner(clock, video, input, client);
    if (runner.StartUp()) RunSteps(runner, clock, steps, frame_ms);
    runner.ShutDown();
    painted = runner.PaintedTicks();
  }
  TFakeClock clock{50000};
  TMemoryVideo video;
  TScriptedInput input;
  TRecordingClient client;
  int32_t painted = 0;
};

TEST_F(ShellRunnerTest, OneTickRunsItsStepsInOrder) {
  EXPECT_TRUE(RunTick(client, video));
  EXPECT_EQ(client.calls, (std::vector<std::string>{"ReleaseExpiredFiles", "DeleteTempFiles", "UpdateInput",
                                                    "RunInterpreter", "ProcessSaveLoad", "PumpOgg", "Idle", "Draw",
                                                    "Present"}));
}

TEST_F(ShellRunnerTest, TheTickThatLoadedAGamePaintsNothing) {
  client.load_at_tick = 2;
  video.CreateWindow(32, 24, "");
  TickCount = 2;
  EXPECT_FALSE(RunTick(client, video));
  EXPECT_EQ(client.calls, (std::vector<std::string>{"ReleaseExpiredFiles", "DeleteTempFiles", "UpdateInput",
                                                    "RunInterpreter", "ProcessSaveLoad", "PumpOgg", "Idle"}));
  EXPECT_EQ(video.PresentCount(), 0);
  // The whole run: every tick but the second paints.
  client.calls.clear();
  ResetPlayerGlobals();
  Play(5);
  // Ticks, Draw, Present, Idle, painted ticks, frames shown.
  EXPECT_EQ((std::vector<int64_t>{TickCount, client.Count("Draw"), client.Count("Present"), client.Count("Idle"),
                                  painted, video.PresentCount()}),
            (std::vector<int64_t>{5, 4, 4, 5, 4, 4}));
}

TEST_F(ShellRunnerTest, StartsUpOpensTheWindowTicksAndShutsDown) {
  Play(10);
  EXPECT_EQ(client.calls.front() + " " + client.calls.back(), "StartUp ShutDown");
  EXPECT_TRUE(video.WindowCreated() && Terminating);
  EXPECT_EQ(std::to_string(video.Width()) + "x" + std::to_string(video.Height()) + " " + video.Title(),
            "32x24 \x83\x51\x81\x5B\x83\x80");
  EXPECT_EQ((std::vector<int64_t>{TickCount, GameClock, FrameTime, client.Count("RunInterpreter")}),
            (std::vector<int64_t>{10, 150, 15, 10}));
  EXPECT_EQ(video.Pixel(31, 23), 0x00FF00u);
}

TEST_F(ShellRunnerTest, AFailedStartUpOpensNoWindowAndRunsNoTick) {
  client.start_up_result = false;
  Play(10);
  EXPECT_TRUE(!video.WindowCreated() && QuitFlag == 1);
  EXPECT_EQ(client.calls, (std::vector<std::string>{"StartUp", "ShutDown"}));
}

TEST_F(ShellRunnerTest, TheQuitFlagEndsTheLoopAfterItsTick) {
  client.quit_at_tick = 3;
  Play(10);
  EXPECT_EQ(TickCount, 3);
  EXPECT_EQ(client.Count("Present"), 3);  // the tick that set it still finishes
  EXPECT_EQ(client.calls.back(), "ShutDown");
}

TEST_F(ShellRunnerTest, ScriptedInputArrivesBeforeItsTick) {
  input = TScriptedInput::FromText(
      "tick 1: mouse move 3 4\n"
      "tick 3: lbutton down 3 4\n"
      "tick 3: lbutton up 3 4\n"
      "tick 4: key down 27\n");
  Play(5);
  std::vector<std::string> seen;
  for (const std::string& c : client.calls)
    if (c.rfind("input", 0) == 0) seen.push_back(c);
  // "@N" is the tick count when the event came: the ticks before have run.
  EXPECT_EQ(seen, (std::vector<std::string>{"input mouse move 3 4 @0", "input lbutton down 3 4 @2",
                                            "input lbutton up 3 4 @2", "input key down 27 @3"}));
  // Between the ticks, not within one: the event precedes the tick's first step.
  const auto it = std::find(client.calls.begin(), client.calls.end(), "input key down 27 @3");
  ASSERT_NE(it, client.calls.end());
  EXPECT_EQ(*(it + 1), "ReleaseExpiredFiles");
}

TEST_F(ShellRunnerTest, ACloseRequestEndsTheProgramUnlessRefused) {
  input = TScriptedInput::FromText("tick 3: close\n");
  Play(10);
  EXPECT_EQ(TickCount, 2);
  EXPECT_EQ(client.Count("CloseQuery"), 1);
  EXPECT_EQ(client.calls.back(), "ShutDown");

  ResetPlayerGlobals();
  client = TRecordingClient();
  client.allow_close = false;
  input = TScriptedInput::FromText("tick 3: close\n");
  Play(10);
  EXPECT_EQ(TickCount, 10);
  EXPECT_EQ(client.Count("CloseQuery"), 1);
}

TEST_F(ShellRunnerTest, AnInactiveWindowPausesTheGameWhenTheGameAsksForIt) {
  const char* script = "tick 3: focus lost\ntick 3: focus gained\ntick 2: focus lost\n";
  input = TScriptedInput::FromText(script);
  client.pause_when_inactive = true;
  Play(10);
  // Paused from before tick 2 on; "focus gained" waits for tick 3, which
  // never comes.
  EXPECT_EQ(TickCount, 1);
  EXPECT_EQ(GameClock, 15u);

  ResetPlayerGlobals();
  client = TRecordingClient();
  input = TScriptedInput::FromText(script);
  Play(10);
  EXPECT_EQ(TickCount, 10);
  EXPECT_EQ(client.Count("input focus lost @1"), 1);
}

TEST_F(ShellRunnerTest, WaitingCodeCanHandleInputBetweenSteps) {
  // Code that waits for a thread hands waiting input over through the
  // message-processing hook, without a tick.
  input = TScriptedInput::FromText("tick 1: wheel up\n");
  {
    TShellRunner runner(clock, video, input, client);
    ASSERT_TRUE(runner.StartUp());
    input.BeforeTick(1);
    ProcessMessages();
    EXPECT_EQ(client.Count("input wheel up @0"), 1);
    EXPECT_EQ(input.Pending(), 0u);
    EXPECT_EQ(TickCount, 0);
    runner.ShutDown();
  }
  ProcessMessages();  // the runner is gone: nothing happens
}

TEST_F(ShellRunnerTest, TraceNamesTheStepsAndTicks) {
  std::vector<std::string> lines;
  SetTraceSink([&lines](const std::string& line) { lines.push_back(line); });
  input = TScriptedInput::FromText("tick 2: key down 32\n");
  client.load_at_tick = 2;
  TShellRunner runner(clock, video, input, client);
  ASSERT_TRUE(runner.StartUp());
  RunSteps(runner, clock, 2, 15);
  RunSteps(runner, clock, 1, 400);
  runner.ShutDown();
  SetTraceSink(nullptr);
  EXPECT_EQ(lines, (std::vector<std::string>{"start up", "window 32x24", "start ticks", "tick 1 clock 15 frame 15",
                                             "input key down 32", "tick 2 clock 30 frame 15",
                                             "no painting after a load", "gap of 400 ms dropped", "stop ticks",
                                             "shut down"}));
}

TEST_F(ShellRunnerTest, TheBlankGameShowsABlackScreenOnce) {
  TBlankGame game("orba");
  TShellRunner runner(clock, video, input, game);
  ASSERT_TRUE(runner.StartUp());
  EXPECT_EQ(std::to_string(video.Width()) + "x" + std::to_string(video.Height()) + " " + video.Title(),
            "640x480 orba");
  RunSteps(runner, clock, 3, 15);
  runner.ShutDown();
  EXPECT_EQ(runner.PaintedTicks(), 3);
  EXPECT_EQ(video.PresentCount(), 3);
  EXPECT_EQ(video.Picture(), std::vector<uint32_t>(640 * 480, 0));
}

}  // namespace
}  // namespace orba

// The shell's loop over a client that writes down every call it gets.
#include "shell/shell_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/game_clock.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_input.h"
#include "platform/trace.h"

namespace orba {
namespace {

// Writes down every call the shell makes, inputs with the tick count when
// they came.
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
  bool start_up_result = true, allow_close = true, pause_when_inactive = false;
  int32_t quit_at_tick = -1, load_at_tick = -1;
};

class ShellRunnerTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetPlayerGlobals(); }
  TFakeClock clock{50000};
  TMemoryVideo video;
  TScriptedInput input;
  TRecordingClient client;
};

TEST_F(ShellRunnerTest, OneTickRunsItsStepsInOrderAndTheTickOfALoadPaintsNothing) {
  const std::vector<std::string> steps{"ReleaseExpiredFiles", "DeleteTempFiles", "UpdateInput",
                                       "RunInterpreter",      "ProcessSaveLoad", "PumpOgg",
                                       "Idle",                "Draw",            "Present"};
  video.CreateWindow(32, 24, "");
  EXPECT_TRUE(RunTick(client, video));
  EXPECT_EQ(client.calls, steps);
  client.calls.clear();
  client.load_at_tick = TickCount = 2;
  EXPECT_FALSE(RunTick(client, video));
  EXPECT_EQ(client.calls, std::vector<std::string>(steps.begin(), steps.end() - 2));
  EXPECT_EQ(video.PresentCount(), 1);
}

// Whole runs of ten 15 ms steps: start-up, the ticks, shut-down.
TEST_F(ShellRunnerTest, RunsEndByQuitFlagCloseOrFailedStartAndPauseWhenInactive) {
  const std::string focus = "tick 3: focus lost\ntick 3: focus gained\ntick 2: focus lost\n";
  struct {
    const char* what;
    std::string input;
    bool start_up_result, allow_close, pause_when_inactive;
    int32_t quit_at_tick, load_at_tick;
    std::string summary;
  } const runs[] = {
      {"plain", "", true, true, false, -1, -1,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 10 presents 10 painted 10 closes 0 calls 92 window"},
      {"failed start-up", "", false, true, false, -1, -1,
       "ticks 0 clock 0 frame 0 runs 0 idles 0 draws 0 presents 0 painted 0 closes 0 calls 2 quit"},
      // The tick that set the quit flag still finishes.
      {"quit", "", true, true, false, 3, -1,
       "ticks 3 clock 45 frame 15 runs 3 idles 3 draws 3 presents 3 painted 3 closes 0 calls 29 window quit"},
      {"load", "", true, true, false, -1, 2,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 9 presents 9 painted 9 closes 0 calls 90 window"},
      {"close", "tick 3: close\n", true, true, false, -1, -1,
       "ticks 2 clock 30 frame 15 runs 2 idles 2 draws 2 presents 2 painted 2 closes 1 calls 21 window"},
      {"close refused", "tick 3: close\n", true, false, false, -1, -1,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 10 presents 10 painted 10 closes 1 calls 93 window"},
      // Paused from before tick 2 on; "focus gained" waits for tick 3,
      // which never comes.
      {"paused", focus, true, true, true, -1, -1,
       "ticks 1 clock 15 frame 15 runs 1 idles 1 draws 1 presents 1 painted 1 closes 0 calls 12 window "
       "input focus lost @1"},
      {"not paused", focus, true, true, false, -1, -1,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 10 presents 10 painted 10 closes 0 calls 95 window "
       "input focus lost @1 input focus lost @2 input focus gained @2"},
      // Input comes between the ticks, before the first step of the next:
      // "@N" says that the N ticks before it have run.
      {"input", "tick 1: mouse move 3 4\ntick 3: lbutton down 3 4\ntick 3: lbutton up 3 4\ntick 4: key down 27\n",
       true, true, false, -1, -1,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 10 presents 10 painted 10 closes 0 calls 96 window "
       "input mouse move 3 4 @0 input lbutton down 3 4 @2 input lbutton up 3 4 @2 input key down 27 @3"},
  };
  for (const auto& run : runs) {
    ResetPlayerGlobals();
    TMemoryVideo window;
    TScriptedInput script = TScriptedInput::FromText(run.input);
    TRecordingClient c;
    c.start_up_result = run.start_up_result;
    c.allow_close = run.allow_close;
    c.pause_when_inactive = run.pause_when_inactive;
    c.quit_at_tick = run.quit_at_tick;
    c.load_at_tick = run.load_at_tick;
    TShellRunner runner(clock, window, script, c);
    if (runner.StartUp()) RunSteps(runner, clock, 10, 15);
    runner.ShutDown();
    auto n = [](auto v) { return std::to_string(v); };
    std::string summary = "ticks " + n(TickCount) + " clock " + n(GameClock) + " frame " + n(FrameTime) +
                          " runs " + n(c.Count("RunInterpreter")) + " idles " + n(c.Count("Idle")) + " draws " +
                          n(c.Count("Draw")) + " presents " + n(c.Count("Present")) + " painted " +
                          n(runner.PaintedTicks()) + " closes " + n(c.Count("CloseQuery")) + " calls " +
                          n(c.calls.size()) + (window.WindowCreated() ? " window" : "") + (QuitFlag != 0 ? " quit" : "");
    for (size_t i = 0; i < c.calls.size(); ++i) {
      if (c.calls[i].rfind("input", 0) != 0) continue;
      summary += " " + c.calls[i];
      const std::string next = c.calls[i + 1];
      EXPECT_TRUE(next.rfind("input", 0) == 0 || next == "ReleaseExpiredFiles" || next == "ShutDown") << run.what << ": " << next;
    }
    EXPECT_EQ(summary, run.summary) << run.what;
    EXPECT_EQ(c.calls.front() + " " + c.calls.back(), "StartUp ShutDown") << run.what;
    EXPECT_EQ(window.PresentCount(), runner.PaintedTicks()) << run.what;
    EXPECT_TRUE(Terminating) << run.what;
  }
}

TEST_F(ShellRunnerTest, TheWindowHasTheClientsSizeTitleAndPicture) {
  TShellRunner runner(clock, video, input, client);
  ASSERT_TRUE(runner.StartUp());
  RunSteps(runner, clock, 1, 15);
  runner.ShutDown();
  EXPECT_EQ(std::to_string(video.Width()) + "x" + std::to_string(video.Height()) + " " + video.Title(),
            "32x24 \x83\x51\x81\x5B\x83\x80");
  EXPECT_EQ(video.Pixel(31, 23), 0x00FF00u);
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

}  // namespace
}  // namespace orba

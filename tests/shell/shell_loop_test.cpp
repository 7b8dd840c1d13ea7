// The shell's loop: the tick source, the timing globals, the loop over a
// client that writes down every call it gets, and the screenshot file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/game_clock.h"
#include "core/system/trace.h"
#include "graphics/graphic_errors.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_input.h"
#include "shell/screenshot.h"
#include "shell/shell_runner.h"
#include "shell/tick_source.h"
#include "support/test_support.h"

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
  bool SleepBetweenTicks() const override { return sleep_between_ticks; }
  bool StartUp() override { Note("StartUp"); return start_up_result; }
  void HandleInput(const TInputEvent& e) override {
    Note("input " + FormatInputEvent(e) + " @" + std::to_string(TickCount));
  }
  bool CloseQuery() override { Note("CloseQuery"); return allow_close; }
  void CatchUpSound() override { Note("CatchUpSound"); }
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
  bool start_up_result = true, allow_close = true, pause_when_inactive = false, sleep_between_ticks = true;
  int32_t quit_at_tick = -1, load_at_tick = -1;
};

class ShellLoop : public ::testing::Test {
 protected:
  void SetUp() override { ResetPlayerGlobals(); }
  void TearDown() override {
    SetDateTimeSource(nullptr);
    SetSystemClock(nullptr);
    SetMessageProcessor(nullptr);
    SetTraceSink(nullptr);
    ResetPlayerGlobals();
  }
  // Advances the clock by each of Ms in turn and polls the tick source.
  // Per step: "tick" or "none", the tick count, game clock and frame length
  // after the poll, the time until a tick is due asked before it and the
  // gap it dropped.
  std::string Steps(const std::vector<uint32_t>& ms) {
    std::string out;
    for (const uint32_t step : ms) {
      clock.Advance(step);
      const uint32_t due = ticks.MsUntilDue();
      const bool tick = ticks.Poll();
      out += std::string(tick ? "tick " : "none ") + std::to_string(TickCount) + "/" +
             std::to_string(GameClock) + "/" + std::to_string(FrameTime) + " due " + std::to_string(due) +
             " gap " + std::to_string(ticks.LastDroppedGap()) + "\n";
    }
    return out;
  }
  TFakeClock clock{1000};
  TTickSource ticks{clock};
  TMemoryVideo video;
  TScriptedInput input;
  TRecordingClient client;
};

// Ticks of 15 ms steps the whole runs below count; a poll right after a tick
// makes none.
TEST_F(ShellLoop, ShorterStepsWaitForThePeriodAndCountWhole) {
  EXPECT_EQ(Steps({10, 10, 0}), "none 0/0/0 due 5 gap 0\ntick 1/20/20 due 0 gap 0\nnone 1/20/20 due 15 gap 0\n");
}

// A gap of 300 ms or more adds nothing and makes no tick (the frame length
// stays the last accepted tick's); the time goes on from the end of the
// gap, and just under the gap still counts.
TEST_F(ShellLoop, AGapOf300MsOrMoreAddsNothingAndMakesNoTick) {
  EXPECT_EQ(Steps({15, 300, 100000, 16, 299}),
            "tick 1/15/15 due 0 gap 0\nnone 1/15/15 due 0 gap 300\nnone 1/15/15 due 0 gap 100000\n"
            "tick 2/31/16 due 0 gap 0\ntick 3/330/299 due 0 gap 0\n");
}

TEST_F(ShellLoop, PausedTimeIsNeverCounted) {
  Steps({15});
  ticks.SetPaused(true);
  std::string none;
  for (int i = 0; i < 10; ++i) none += "none 1/15/15 due 0 gap 0\n";
  EXPECT_EQ(Steps(std::vector<uint32_t>(10, 15)), none);
  ticks.SetPaused(false);
  EXPECT_EQ(Steps({20}), "tick 2/35/20 due 0 gap 0\n");
}

TEST_F(ShellLoop, TheTimerMayWrapAround) {
  clock.Set(0xFFFFFFF8u);
  ticks.Restart();
  clock.Advance(15);
  EXPECT_EQ(clock.NowMs(), 7u);
  EXPECT_TRUE(ticks.Poll());
  EXPECT_EQ(FrameTime, 15);
  // The game clock and the tick count wrap in the same way.
  GameClock = 0xFFFFFFFFu;
  TickCount = INT32_MAX;
  EXPECT_EQ(Steps({15}), "tick " + std::to_string(INT32_MIN) + "/14/15 due 0 gap 0\n");
}

double fake_now = 0;
double FakeNow() { return fake_now; }

TEST_F(ShellLoop, CachedNowIsTakenAgainOnlyWhenTheGameClockMoved) {
  SetDateTimeSource(&FakeNow);
  fake_now = 100.25;
  EXPECT_EQ(CachedNow(), 100.25);
  fake_now = 200.5;
  EXPECT_EQ(CachedNow(), 100.25);
  GameClock += 15;
  EXPECT_EQ(CachedNow(), 200.5);
  fake_now = 300;
  EXPECT_EQ(CachedNow(), 200.5);
  SetDateTimeSource(&FakeNow);  // a new source forgets the cached value
  EXPECT_EQ(CachedNow(), 300.0);
}

TEST_F(ShellLoop, DatesCountDaysFrom30December1899) {
  // 1900 has no 29 February: 1 March 1900 is day 61.
  for (const auto& [y, m, d, days] : std::vector<std::array<int32_t, 4>>{
           {1899, 12, 30, 0}, {1899, 12, 31, 1}, {1900, 1, 1, 2}, {1900, 3, 1, 61}, {1970, 1, 1, 25569},
           {2000, 3, 1, 36586}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465}})
    EXPECT_EQ(DaysSince1899(y, m, d), days) << y << "-" << m << "-" << d;
  // The local date lies within a day of the UTC one.
  const double days_utc = 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0;
  EXPECT_NEAR(LocalNow(), days_utc, 1.0);
}

TEST_F(ShellLoop, SystemTimerAndMessageProcessingAreHooks) {
  EXPECT_EQ(SystemMilliseconds(), 0u);
  TFakeClock other(1234);
  SetSystemClock(&other);
  EXPECT_EQ(SystemMilliseconds(), 1234u);
  ProcessMessages();  // nothing set: nothing happens
  int calls = 0;
  SetMessageProcessor([&calls] { ++calls; });
  ProcessMessages();
  EXPECT_EQ(calls, 1);
}

TEST_F(ShellLoop, OneTickRunsItsStepsInOrderAndTheTickOfALoadPaintsNothing) {
  const std::vector<std::string> steps{"CatchUpSound", "ReleaseExpiredFiles", "DeleteTempFiles",
                                       "UpdateInput",  "RunInterpreter",      "ProcessSaveLoad",
                                       "PumpOgg",      "Idle",                "Draw",
                                       "Present"};
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
TEST_F(ShellLoop, RunsEndByQuitFlagCloseOrFailedStartAndPauseWhenInactive) {
  const std::string focus = "tick 3: focus lost\ntick 3: focus gained\ntick 2: focus lost\n";
  struct {
    const char* what;
    std::string input;
    bool start_up_result, allow_close, pause_when_inactive;
    int32_t quit_at_tick, load_at_tick;
    std::string summary;
  } const runs[] = {
      {"plain", "", true, true, false, -1, -1,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 10 presents 10 painted 10 closes 0 calls 102 window"},
      {"failed start-up", "", false, true, false, -1, -1,
       "ticks 0 clock 0 frame 0 runs 0 idles 0 draws 0 presents 0 painted 0 closes 0 calls 2 quit"},
      // The tick that set the quit flag still finishes.
      {"quit", "", true, true, false, 3, -1,
       "ticks 3 clock 45 frame 15 runs 3 idles 3 draws 3 presents 3 painted 3 closes 0 calls 32 window quit"},
      {"load", "", true, true, false, -1, 2,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 9 presents 9 painted 9 closes 0 calls 100 window"},
      {"close", "tick 3: close\n", true, true, false, -1, -1,
       "ticks 2 clock 30 frame 15 runs 2 idles 2 draws 2 presents 2 painted 2 closes 1 calls 23 window"},
      {"close refused", "tick 3: close\n", true, false, false, -1, -1,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 10 presents 10 painted 10 closes 1 calls 103 window"},
      // Paused from before tick 2 on; "focus gained" waits for tick 3,
      // which never comes.
      {"paused", focus, true, true, true, -1, -1,
       "ticks 1 clock 15 frame 15 runs 1 idles 1 draws 1 presents 1 painted 1 closes 0 calls 13 window "
       "input focus lost @1"},
      {"not paused", focus, true, true, false, -1, -1,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 10 presents 10 painted 10 closes 0 calls 105 window "
       "input focus lost @1 input focus lost @2 input focus gained @2"},
      // Input comes between the ticks, before the first step of the next:
      // "@N" says that the N ticks before it have run.
      {"input", "tick 1: mouse move 3 4\ntick 3: lbutton down 3 4\ntick 3: lbutton up 3 4\ntick 4: key down 27\n",
       true, true, false, -1, -1,
       "ticks 10 clock 150 frame 15 runs 10 idles 10 draws 10 presents 10 painted 10 closes 0 calls 106 window "
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
      EXPECT_TRUE(next.rfind("input", 0) == 0 || next == "CatchUpSound" || next == "ShutDown") << run.what << ": " << next;
    }
    EXPECT_EQ(summary, run.summary) << run.what;
    EXPECT_EQ(c.calls.front() + " " + c.calls.back(), "StartUp ShutDown") << run.what;
    EXPECT_EQ(window.PresentCount(), runner.PaintedTicks()) << run.what;
    EXPECT_TRUE(Terminating) << run.what;
    if (window.WindowCreated()) {
      EXPECT_EQ(std::to_string(window.Width()) + "x" + std::to_string(window.Height()) + " " + window.Title() +
                    " " + std::to_string(window.Pixel(31, 23)),
                "32x24 \x83\x51\x81\x5B\x83\x80 " + std::to_string(0x00FF00));
    }
  }
}

// A window that cannot be opened ends the start-up; the shut-down follows.
TEST_F(ShellLoop, AWindowThatCannotOpenEndsThroughTheShutDown) {
  struct TNoWindow : TMemoryVideo {
    void CreateWindow(int32_t, int32_t, const std::string&) override { throw std::runtime_error("no display"); }
  } no_window;
  std::string trace;
  SetTraceSink([&trace](const std::string& line) { trace += line + "\n"; });
  TShellRunner runner(clock, no_window, input, client);
  EXPECT_FALSE(runner.StartUp());
  runner.ShutDown();
  EXPECT_EQ(trace, "start up\nwindow 32x24\nthe window cannot be opened\nstop ticks\nshut down\n");
}

// The loop waits for input during the rest of the tick whether or not the
// game asks to sleep between ticks: an idle window must not spin.
TEST_F(ShellLoop, WaitsForTheNextTickWhateverTheGameAsks) {
  struct TTimedInput final : TInputSource {
    bool NextEvent(TInputEvent&) override { return false; }
    void Wait(uint32_t timeout_ms) override { waits.push_back(timeout_ms); }
    std::vector<uint32_t> waits;
  };
  for (const bool sleep : {true, false}) {
    TTimedInput timed;
    client.sleep_between_ticks = sleep;
    TShellRunner runner(clock, video, timed, client);
    ASSERT_TRUE(runner.StartUp());
    clock.Advance(5);
    runner.Wait();
    clock.Advance(10);
    runner.Wait();
    // Due now: no wait.
    EXPECT_EQ(timed.waits, (std::vector<uint32_t>{10, 0})) << sleep;
    runner.ShutDown();
  }
}

TEST_F(ShellLoop, WaitingCodeCanHandleInputBetweenSteps) {
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

TEST_F(ShellLoop, TraceNamesTheStepsAndTicks) {
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

// A PNG of one pixel: its signature, header and end chunk; no pixels, a
// width that is not the buffer's or no window is refused. Every game's
// screenshot is read back by Pillow.
TEST_F(ShellLoop, ScreenshotHasAKnownHeaderAndRefusesBadInput) {
  const uint32_t pixel = 0xFF8040;
  TKsMemoryStream stream;
  SavePixelsAsPng(&pixel, 1, 1, 1, stream);
  const std::vector<uint8_t>& png = stream.Bytes();
  ASSERT_GE(png.size(), 33u);
  // Signature, then IHDR: length 13, 1x1, 8 bits, colour type 2, and its CRC.
  EXPECT_EQ(test::ToHex(std::vector<uint8_t>(png.begin(), png.begin() + 33)),
            "89 50 4e 47 0d 0a 1a 0a 00 00 00 0d 49 48 44 52 00 00 00 01 00 00 00 01 08 02 00 00 00 90 77 53 de");
  EXPECT_EQ(test::ToHex(std::vector<uint8_t>(png.end() - 12, png.end())), "00 00 00 00 49 45 4e 44 ae 42 60 82");
  for (auto [pixels, width] : {std::pair{&pixel, 0}, std::pair{&pixel, 2}, std::pair<const uint32_t*, int>{nullptr, 1}})
    EXPECT_THROW(SavePixelsAsPng(pixels, width, 1, 1, stream), EInvalidGraphicOperation) << width;
  TMemoryVideo closed;
  EXPECT_THROW(WriteScreenshot(closed.Frame(), "/nonexistent/x.png"), EInvalidGraphicOperation);
  TMemoryVideo open;
  open.CreateWindow(1, 1, "");
  EXPECT_THROW(WriteScreenshot(open.Frame(), "/nonexistent/x.png"), EWriteError);
}

// A screenshot named in a game's folder where the game planted a link under
// that name replaces the link, and the file it led to stays as it was.
TEST_F(ShellLoop, ScreenshotReplacesALinkUnderItsNameAndNeverWritesThroughIt) {
  const test::TempDir dir;
  test::WriteFileBytes(dir / "canary", test::Bytes("the user's own file\n"));
  std::filesystem::create_symlink(dir / "canary", dir / "shot.png");
  TMemoryVideo open;
  open.CreateWindow(1, 1, "");
  WriteScreenshot(open.Frame(), dir / "shot.png");
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(dir / "shot.png")));
  EXPECT_EQ(test::ReadFileBytes(dir / "canary"), test::Bytes("the user's own file\n"));
}

}  // namespace
}  // namespace orba

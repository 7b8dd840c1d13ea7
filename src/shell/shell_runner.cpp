#include "shell/shell_runner.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>

#include "core/game_clock.h"
#include "core/system/heap_watch.h"
#include "core/system/quit_request.h"
#include "core/system/trace.h"
#include "shell/quit_signals.h"

namespace orba {

bool RunTick(TTickClient& client, TVideo& video) {
  client.CatchUpSound();
  client.ReleaseExpiredFiles();
  client.DeleteTempFiles();
  client.UpdateInput();
  client.RunInterpreter();
  if (CheckHeapCeiling()) {
    // A state that filled the memory is neither saved nor loaded over:
    // the game ends at once, the save file as the last ordered end left it.
    Trace("heap ceiling: no save, load, idle pass or painting");
    return false;
  }
  const bool loaded = client.ProcessSaveLoad();
  if (QuitSignalled()) {
    // The player ends: a scene of many objects is not updated and painted
    // first.
    Trace("quit signal: no idle pass or painting");
    return false;
  }
  client.PumpOgg();
  client.Idle();
  if (loaded) {
    Trace("no painting after a load");
    return false;
  }
  client.Draw();
  client.Present(video);
  // Items grow in the idle pass and painting too; past the ceiling the
  // next step ends the game.
  CheckHeapCeiling();
  return true;
}

TShellRunner::TShellRunner(TClock& clock, TVideo& video, TInputSource& input, TTickClient& client)
    : video_(video), input_(input), client_(client), ticks_(clock) {
  ResetPlayerGlobals();
  SetSystemClock(&clock);
  SetMessageProcessor([this] { DispatchInput(); });
}

TShellRunner::~TShellRunner() {
  SetMessageProcessor(nullptr);
  SetSystemClock(nullptr);
}

bool TShellRunner::StartUp() {
  Trace("start up");
  if (!client_.StartUp() || QuitFlag != 0) {
    QuitFlag = 1;
    Trace("start-up failed");
    return false;
  }
  const int32_t width = client_.ScreenWidth(), height = client_.ScreenHeight();
  Trace("window " + std::to_string(width) + "x" + std::to_string(height));
  try {
    video_.CreateWindow(width, height, client_.Title());
  } catch (const std::exception& e) {
    // The game has started: it still ends through the ordered shut-down.
    Trace("the window cannot be opened");
    std::fprintf(stderr, "orba: the window cannot be opened: %s\n", e.what());
    QuitFlag = 1;
    return false;
  }
  client_.WindowOpened(video_);
  Trace("start ticks");
  ticks_.Restart();
  started_ = true;
  return true;
}

bool TShellRunner::Running() const {
  return started_ && !closed_ && QuitFlag == 0 && !shut_down_ && !QuitSignalled() && !HeapCeilingPassed();
}

void TShellRunner::DispatchInput() {
  TInputEvent event;
  while (input_.NextEvent(event)) {
    if (TraceEnabled()) Trace("input " + FormatInputEvent(event));
    switch (event.Kind) {
      case TInputKind::Close:
        // Once confirmed, a close asked again (queued while the question
        // was open) is not asked a second time.
        if (!closed_ && client_.CloseQuery()) closed_ = true;
        continue;
      case TInputKind::FocusLost:
      case TInputKind::FocusGained:
        if (client_.PauseWhenInactive()) ticks_.SetPaused(event.Kind == TInputKind::FocusLost);
        break;
      default:
        break;
    }
    client_.HandleInput(event);
  }
}

bool TShellRunner::Step() {
  ReportProgress();
  if (!Running()) return false;
  // The number the next tick will have; the count wraps as scripts see it.
  input_.BeforeTick(static_cast<int32_t>(static_cast<uint32_t>(TickCount) + 1));
  DispatchInput();
  if (!Running()) return false;
  if (ticks_.Poll()) {
    if (TraceEnabled())
      Trace("tick " + std::to_string(TickCount) + " clock " + std::to_string(GameClock) +
            " frame " + std::to_string(FrameTime));
    if (RunTick(client_, video_)) ++painted_;
  } else if (ticks_.LastDroppedGap() != 0) {
    if (TraceEnabled()) Trace("gap of " + std::to_string(ticks_.LastDroppedGap()) + " ms dropped");
  }
  return Running();
}

// Until input arrives or the next tick is due, whether or not the game asks
// to sleep between ticks: the ticks come on time either way, and an idle
// window then costs next to nothing. At most one tick period, so that a quit
// signal is seen within a tick.
void TShellRunner::Wait() { input_.Wait(std::min(ticks_.MsUntilDue(), TTickSource::kPeriodMs)); }

void TShellRunner::ShutDown() {
  if (shut_down_) return;
  shut_down_ = true;
  if (QuitSignalled()) Trace("quit signal");
  Terminating = true;
  Trace("stop ticks");
  Trace("shut down");
  ReportProgress();
  client_.ShutDown();
  ReportProgress();
}

void RunRealTime(TShellRunner& runner) {
  while (runner.Step()) runner.Wait();
}

void RunSteps(TShellRunner& runner, TManualClock& clock, int32_t steps, uint32_t frame_ms) {
  for (int32_t i = 0; i < steps; ++i) {
    clock.Advance(frame_ms);
    if (!runner.Step()) break;
  }
}

}  // namespace orba

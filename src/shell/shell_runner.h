// The player's main loop: it starts the tick client, opens the window,
// hands window input to the client as it arrives, runs a tick whenever the
// tick source makes one, and shuts down in order once the quit flag is set,
// the window was closed or a quit signal arrived (shell/quit_signals). A
// window that cannot be opened ends the start; the client still shuts down.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/input.h"
#include "platform/video.h"
#include "shell/tick_client.h"
#include "shell/tick_source.h"

namespace orba {

// Runs one tick's steps in order. Painting and presenting are left out in
// the tick that loaded a saved game, so that the restored scene is first
// brought up to date by the next tick; a tick in which a quit signal
// arrived ends after the script and its save or load; one whose script
// took the heap past its ceiling (core/system/heap_watch.h) ends after the
// script. Answers whether it painted.
bool RunTick(TTickClient& client, TVideo& video);

class TShellRunner {
 public:
  // Resets the player's globals and makes Clock the system timer.
  TShellRunner(TClock& clock, TVideo& video, TInputSource& input, TTickClient& client);
  ~TShellRunner();
  TShellRunner(const TShellRunner&) = delete;
  TShellRunner& operator=(const TShellRunner&) = delete;

  // Starts the client, opens the window of its screen size and starts the
  // ticks. False when the program cannot go on (ShutDown still has to run).
  bool StartUp();
  // Hands the waiting input to the client, then runs a tick when one is
  // due. False once the program should end.
  bool Step();
  // Waits until a tick is due or input arrives.
  void Wait();
  bool Running() const;
  // Stops the ticks and shuts the client down; runs once.
  void ShutDown();

  // Hands every waiting input event to the client without running a tick.
  void DispatchInput();

  TTickSource& Ticks() { return ticks_; }
  int32_t PaintedTicks() const { return painted_; }

 private:
  TVideo& video_;
  TInputSource& input_;
  TTickClient& client_;
  TTickSource ticks_;
  bool started_ = false;
  bool closed_ = false;
  bool shut_down_ = false;
  int32_t painted_ = 0;
};

// Runs the loop against the real clock until the program ends.
void RunRealTime(TShellRunner& runner);
// Runs Steps steps of the loop, the clock advancing FrameMs before each;
// stops early when the program ends.
void RunSteps(TShellRunner& runner, TManualClock& clock, int32_t steps, uint32_t frame_ms);

}  // namespace orba

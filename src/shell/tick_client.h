// What the shell drives: the subsystems that start up before the window
// opens, take the window's input, do their share of every tick and shut
// down after the ticks have stopped. Every step does nothing by default, so
// parts of the player can be plugged in one at a time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/input.h"
#include "platform/video.h"

namespace orba {

class TTickClient {
 public:
  virtual ~TTickClient() = default;

  // Start-up before the window opens: sound, the object manager, the
  // project and the media layer. Answers false, or leaves the quit flag
  // set, when the program cannot go on.
  virtual bool StartUp() { return true; }
  // The game screen's size and the window title (Shift-JIS), read once
  // start-up has succeeded.
  virtual int32_t ScreenWidth() const = 0;
  virtual int32_t ScreenHeight() const = 0;
  virtual std::string Title() const = 0;
  // True when the game should stand still while its window is inactive.
  virtual bool PauseWhenInactive() const { return false; }
  // The game's setting "sleep between ticks". The loop waits for input or
  // the next tick either way (TShellRunner::Wait): polling would keep the
  // same tick times and only spend a core.
  virtual bool SleepBetweenTicks() const { return true; }
  // The window has opened; it stays open until ShutDown has run.
  virtual void WindowOpened(TVideo& video) {}

  // Window input, handed over as it arrives between ticks (never Close).
  virtual void HandleInput(const TInputEvent& event) {}
  // The user asked to close the window; false keeps the program running.
  virtual bool CloseQuery() { return true; }

  // The steps of one tick, in the order the tick runs them.
  virtual void CatchUpSound() {}         // a tick-driven sound output plays the time up to this tick
  virtual void ReleaseExpiredFiles() {}  // age the file layer's cache
  virtual void DeleteTempFiles() {}      // delete the temporary files queued for deletion
  virtual void UpdateInput() {}          // keyboard and mouse state, mouse events
  virtual void RunInterpreter() {}       // the script interpreter
  virtual bool ProcessSaveLoad() { return false; }  // true when a saved game was loaded
  virtual void PumpOgg() {}              // Ogg playback without a thread of its own
  virtual void Idle() {}                 // update the objects
  virtual void Draw() {}                 // paint the objects into their surfaces
  virtual void Present(TVideo& video) {} // show the dirty parts of the screen

  // After the ticks have stopped: frees the project, the function library,
  // the variable store, the object manager and the media layer, in order.
  virtual void ShutDown() {}
};

}  // namespace orba

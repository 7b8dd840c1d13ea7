// Input from the SDL game window: mouse positions mapped back to game
// coordinates, keys as virtual-key codes. Alt+Enter switches between window
// and full screen and is not handed on (the video repaints size changes as
// SDL queues them). While a text control has the focus, its keys and typed text
// go to the control and not to the game. A window another client destroyed
// is told once, after the events that came before.
#pragma once

#include "platform/input.h"
#include "platform/sdl/sdl_video.h"

namespace orba {

class TSdlTextControls;

class TSdlInput : public TInputSource {
 public:
  explicit TSdlInput(TSdlVideo& video) : video_(video) {}
  // The text controls see each event first; what they take goes no further.
  void SetTextControls(TSdlTextControls* controls) { controls_ = controls; }
  void Wait(uint32_t timeout_ms) override;
  bool NextEvent(TInputEvent& event) override;

 private:
  TSdlVideo& video_;
  TSdlTextControls* controls_ = nullptr;
  bool destroyed_told_ = false;
};

}  // namespace orba

// Input from the SDL game window: mouse positions mapped back to game
// coordinates, keys as virtual-key codes. Alt+Enter switches between window
// and full screen and is not handed on; size changes and uncovering redraw
// the picture.
#pragma once

#include "platform/input.h"
#include "platform/sdl/sdl_video.h"

namespace orba {

class TSdlInput : public TInputSource {
 public:
  explicit TSdlInput(TSdlVideo& video) : video_(video) {}
  void Wait(uint32_t timeout_ms) override;
  bool NextEvent(TInputEvent& event) override;

 private:
  TSdlVideo& video_;
};

}  // namespace orba

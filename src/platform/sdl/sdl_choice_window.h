// The list to choose from with its picture (platform/choice_window.h) in a
// small SDL window of its own, modal over the player's window
// (platform/sdl/sdl_modal_window.h): it waits, answering the mouse, the
// wheel and the keys, until OK, Return, Escape, its close button or a quit
// ends the choice.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/choice_window.h"
#include "platform/sdl/sdl_modal_window.h"

struct SDL_Window;

namespace orba {

class TSdlChoiceWindow {
 public:
  // Opens the window over `parent` (may be null); IsOpen() says whether it
  // could be made.
  TSdlChoiceWindow(SDL_Window* parent, const TChoiceRequest& request);

  bool IsOpen() const { return window_.IsOpen(); }
  uint32_t WindowId() const { return window_.WindowId(); }
  SDL_Window* Window() const { return window_.Window(); }
  // Whether another client destroyed the window.
  bool Destroyed() const { return window_.Destroyed(); }
  const TChoiceWindow& View() const { return view_; }

  // Shows the window and takes its events until the choice ends; the
  // selected line. Events of other windows wait for the player (a quit
  // among them ends the choice too); their input is dropped. Ending (may be
  // empty) says whether the player is ending, which ends the choice too, as
  // does the window destroyed by another client.
  int Run(const std::function<bool()>& ending = nullptr);

 private:
  TChoiceWindow view_;
  TSdlModalWindow window_;
};

}  // namespace orba

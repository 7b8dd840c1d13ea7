// A message box (platform/message_box_view.h) in a small SDL window of its
// own, modal over the player's window (platform/sdl/sdl_modal_window.h):
// drawn with the player's own glyphs, so that its Japanese reads on any X
// server, and waiting until a button, a key or its close button answers.
// An SDL quit event that arrives meanwhile waits for the player; it does not
// answer the box, which a quit question or a disc request would ask again at
// once. The player ending (a quit signal) answers the box as Escape does, as
// does its window destroyed by another client.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/message_box_view.h"
#include "platform/sdl/sdl_modal_window.h"

struct SDL_Window;

namespace orba {

class TSdlMessageBox {
 public:
  // Opens the window over `parent` (may be null); IsOpen() says whether it
  // could be made.
  TSdlMessageBox(SDL_Window* parent, const TDialogRequest& request);

  bool IsOpen() const { return window_.IsOpen(); }
  uint32_t WindowId() const { return window_.WindowId(); }
  SDL_Window* Window() const { return window_.Window(); }
  const TMessageBoxWindow& View() const { return view_; }

  // Shows the window and takes its events until the box is answered; the
  // answer. Ending (may be empty) says whether the player is ending.
  TDialogResult Run(const std::function<bool()>& ending = nullptr);

 private:
  TMessageBoxWindow view_;
  TSdlModalWindow window_;
};

}  // namespace orba

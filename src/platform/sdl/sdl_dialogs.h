// Message boxes shown with SDL over the player's window; a list to choose
// from is a box with one button a line, or, with a picture to show, a
// window of its own (platform/sdl/sdl_choice_window.h).
//
// A box that cannot be shown (no display, an X server without the fonts
// SDL's boxes need) is printed on standard error and answered with its
// cautious last button (Cancel, No), except that an OK/Cancel box is
// answered OK: closing the window then closes it at once. Only the same
// question asked again right after an OK is answered Cancel, so that a disc
// request that keeps failing is given up (and the quit question after it,
// a different text, confirmed) instead of asking for ever.
#pragma once

#include <string>

#include "platform/dialogs.h"

struct SDL_Window;

namespace orba {

class TSdlMessageBoxes : public TMessageBoxService {
 public:
  // `parent` may be null (before the window exists).
  explicit TSdlMessageBoxes(SDL_Window* parent = nullptr) : parent_(parent) {}
  void SetParent(SDL_Window* parent) { parent_ = parent; }
  TDialogResult Show(const TDialogRequest& request) override;
  int Choose(const TChoiceRequest& request) override;

 private:
  SDL_Window* parent_;
  // The text of the OK/Cancel box that could not be shown and was answered
  // OK last; empty when the last such box was answered Cancel.
  std::string answered_ok_;
};

}  // namespace orba

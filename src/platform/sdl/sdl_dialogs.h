// Message boxes shown with SDL over the player's window; a list to choose
// from is a box with one button a line.
//
// A box that cannot be shown (no display, no message-box support) is
// printed on standard error and answered with its cautious last button
// (Cancel, No), except that OK/Cancel boxes are answered Cancel and OK in
// turn: a disc request is then given up and the quit question after it
// confirmed instead of asking again for ever, and of two requests to close
// the window the second closes it.
#pragma once

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
  bool cancel_next_ = false;  // OK/Cancel boxes that could not be shown
};

}  // namespace orba

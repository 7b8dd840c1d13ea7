// Message boxes shown with SDL over the player's window.
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

 private:
  SDL_Window* parent_;
};

}  // namespace orba

// Message boxes shown over the player's window in small SDL windows of the
// player's own, drawn with its own glyphs (platform/sdl/sdl_message_box.h),
// so that Japanese reads whatever fonts the X server has; a list to choose
// from in the chooser's window (platform/sdl/sdl_choice_window.h).
//
// A box that cannot be shown (no display, no window, no glyphs to write
// with) is printed on standard error and answered as closing it would
// (EscapeAnswer: Cancel, No, or its only button), except that an OK/Cancel
// box is answered OK: closing the window then closes it at once. Only the
// same question asked again right after an OK is answered Cancel, so that a
// disc request that keeps failing is given up (and the quit question after
// it, a different text, confirmed) instead of asking for ever.
//
// While the player is ending (a quit signal: Ending, which the program
// sets), an open box is answered as Escape answers it and a new one is not
// shown but answered so at once; a list keeps its selection.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/dialogs.h"

struct SDL_Window;

namespace orba {

class TSdlMessageBoxes : public TMessageBoxService {
 public:
  // `parent` may be null (before the window exists).
  explicit TSdlMessageBoxes(SDL_Window* parent = nullptr) : parent_(parent) {}
  void SetParent(SDL_Window* parent) { parent_ = parent; }
  void SetEnding(std::function<bool()> ending) { ending_ = std::move(ending); }
  TDialogResult Show(const TDialogRequest& request) override;
  int Choose(const TChoiceRequest& request) override;

 private:
  bool Ending() const { return ending_ && ending_(); }

  SDL_Window* parent_;
  std::function<bool()> ending_;
  // The text of the OK/Cancel box that could not be shown and was answered
  // OK last; empty when the last such box was answered Cancel.
  std::string answered_ok_;
};

// Whether a window can reach a person: SDL's video runs on a real display,
// or (before it runs) a display is named and no screenless driver chosen.
bool SdlDisplayReachable();

}  // namespace orba

// The text controls on SDL: each visible control is drawn over the game's
// picture after it, scaled with it: its background, the text through the
// installed glyph source, the selection, a caret while it has the focus, the
// text an input method is composing, and a scroll bar for the memo.
//
// A click on a visible control gives it the focus and places the caret; a
// click anywhere else gives the focus back to the game. While a control has
// the focus, SDL's text input is on: typed text (UTF-8) reaches it as
// Shift-JIS, characters code page 932 lacks are dropped, and its keys do not
// reach the game. Alt+Enter still switches the window.
#pragma once

#include <SDL.h>

#include <string>

#include "platform/sdl/sdl_video.h"
#include "platform/text_controls.h"

namespace orba {

class TSdlTextControls final : public TTextControlGroup, public TSdlOverlay {
 public:
  // Draws over Video's picture from now on; stops SDL's text input.
  explicit TSdlTextControls(TSdlVideo& video);
  ~TSdlTextControls() override;

  std::unique_ptr<TTextControl> Create(bool multi_line) override;
  // Takes the events meant for the controls; false for the game's.
  bool HandleEvent(const SDL_Event& e);

  bool TakeChanged() override;
  void Render(SDL_Renderer* renderer, const TLetterbox& box) override;
  void MarkChanged() { changed_ = true; }

  // The width of the scroll bar of a memo.
  static constexpr int32_t kScrollBarWidth = 12;

 protected:
  void FocusChanged() override;

 private:
  TTextControl* ControlAt(int32_t x, int32_t y) const;
  TSdlVideo& video_;
  bool changed_ = true;
  bool captured_ = false;
  std::string composing_;  // Shift-JIS
};

}  // namespace orba

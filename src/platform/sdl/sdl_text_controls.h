// The text controls on SDL: each visible control is painted as the shared
// view paints it (platform/text_controls_view) and drawn over the game's
// picture after it, scaled with it.
//
// The mouse reaches the group in game coordinates (a press on a control
// focuses it and places the caret, drags select, a double click selects a
// word, the memo's scroll bar and wheel scroll); a press anywhere else gives
// the focus back to the game. The pointer is an I-beam over a control's
// text. While a control has the focus, SDL's text input is on: typed text
// (UTF-8) reaches it as Shift-JIS, characters code page 932 lacks are
// dropped, and its keys do not reach the game; Ctrl+C, Ctrl+X and Ctrl+V use
// the desktop's clipboard. Alt+Enter still switches the window.
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

  bool TakeChanged() override { return TTextControlGroup::TakeChanged(); }
  void Render(SDL_Renderer* renderer, const TLetterbox& box) override;

  void SetClipboardText(const std::string& sjis) override;
  std::string ClipboardText() override;

 protected:
  void FocusChanged() override;

 private:
  // The I-beam over a control's text, the cursor it replaced elsewhere.
  void ShowPointer(bool over_text);
  TSdlVideo& video_;
  SDL_Cursor* ibeam_ = nullptr;
  SDL_Cursor* replaced_ = nullptr;
};

}  // namespace orba

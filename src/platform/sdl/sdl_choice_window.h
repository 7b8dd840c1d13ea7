// The list to choose from with its picture (platform/choice_window.h) in a
// small SDL window of its own, modal over the player's window: it waits,
// answering the mouse, the wheel and the keys, until OK, Return, Escape or
// its close button ends the choice.
#pragma once

#include <cstdint>

#include "platform/choice_window.h"

struct SDL_Window;

namespace orba {

class TSdlChoiceWindow {
 public:
  // Opens the window over `parent` (may be null); IsOpen() says whether it
  // could be made.
  TSdlChoiceWindow(SDL_Window* parent, const TChoiceRequest& request);
  ~TSdlChoiceWindow();
  TSdlChoiceWindow(const TSdlChoiceWindow&) = delete;
  TSdlChoiceWindow& operator=(const TSdlChoiceWindow&) = delete;

  bool IsOpen() const { return window_ != nullptr; }
  uint32_t WindowId() const;
  SDL_Window* Window() const { return window_; }
  const TChoiceWindow& View() const { return view_; }

  // Shows the window and takes its events until the choice ends; the
  // selected line. Events of other windows wait for the player (a quit
  // among them ends the choice too); their input is dropped.
  int Run();

 private:
  void Show();

  TChoiceWindow view_;
  SDL_Window* window_ = nullptr;
  bool started_video_ = false;
};

}  // namespace orba

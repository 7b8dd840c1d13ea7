// A small SDL window of the player's own (the icon chooser, a message box),
// modal over the player's window: it shows a picture the caller paints and
// hands the caller its own events until the caller is done. Events of
// other windows wait for the player: a quit and the other windows' window
// events are queued again when the window closes, their input is dropped,
// and so is a request to close the player's window (a window under a modal
// box takes no input: a close asked meanwhile would ask its question again
// after the box). The keyboard is the box's while it is open: the focus
// another window of the player's gains (a click on the player's window)
// goes back to the box.
//
// On X11 the window is a dialog of the player's window (x11_window.h),
// centred over it within the screen, and a window another client destroys
// (xdotool windowclose) closes the box as its close button would, instead
// of its X errors ending the process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/sdl/x11_window.h"

struct SDL_Window;
union SDL_Event;

namespace orba {

// What the window's input does, each part optional: its close button (or
// the window gone), the left button pressed and released at a point, wheel
// notches (positive: up), a key (virtual-key code, Shift held), an SDL quit
// event meanwhile. Ending, asked every kEndingPollMs, says whether the
// player is ending (a quit signal): the window then closes as by its close
// button.
struct TModalInput {
  std::function<void()> Close;
  std::function<void(int32_t x, int32_t y)> Press, Release;
  std::function<void(int32_t notches)> Wheel;
  std::function<void(int32_t vk, bool shift)> Key;
  std::function<void()> Quit;
  std::function<bool()> Ending;
};

class TSdlModalWindow {
 public:
  // How often a waiting window asks whether the player is ending. The wait
  // reports no progress, and after a quit signal the quit watchdog ends a
  // player that reports none for 5 s (core/system/quit_request.h): asked
  // this often, the box closes long before, and the game ends in order.
  static constexpr int kEndingPollMs = 50;

  // Opens the window, hidden, Width x Height, titled (Shift-JIS), over
  // `parent` (may be null); IsOpen() says whether it could be made (the
  // reason is on standard error).
  TSdlModalWindow(SDL_Window* parent, const std::string& title, int32_t width, int32_t height);
  ~TSdlModalWindow();
  TSdlModalWindow(const TSdlModalWindow&) = delete;
  TSdlModalWindow& operator=(const TSdlModalWindow&) = delete;

  // The usable width of the screen Parent is on, 0 when unknown: the most
  // a box over it may take.
  static int32_t ScreenWidth(SDL_Window* parent);

  bool IsOpen() const { return window_ != nullptr; }
  uint32_t WindowId() const;
  SDL_Window* Window() const { return window_; }
  // Whether another client destroyed the window.
  bool Destroyed() const { return x11_ != nullptr && x11_->Destroyed(); }

  // Shows the window and waits: the window's input and each quit go to
  // Input, and after each event the picture Paint answers (Width x Height,
  // 0x00RRGGBB) is shown, until Done. A quit that closing this window made
  // (SDL asks to quit when the last window closes) is not queued again.
  void Run(const TModalInput& input, const std::function<bool()>& done,
           const std::function<std::vector<uint32_t>()>& paint);

 private:
  void Show(const std::vector<uint32_t>& pixels);
  void Take(const TModalInput& input, const SDL_Event& e);
  // Raises the shown window and gives it the keyboard's focus.
  void TakeFocus();
  void PlaceOver(SDL_Window* parent);

  SDL_Window* window_ = nullptr;
  std::unique_ptr<TX11Window> x11_;
  int32_t width_ = 0, height_ = 0;
  bool started_video_ = false;
  // Whether the window's close button was pressed.
  bool closed_ = false;
};

}  // namespace orba

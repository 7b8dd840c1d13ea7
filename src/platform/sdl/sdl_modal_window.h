// A small SDL window of the player's own (the icon chooser, a message box),
// modal over the player's window: it shows a picture the caller paints and
// hands the caller its own events until the caller is done. Events of
// other windows wait for the player: a quit and the other windows' window
// events are queued again when the window closes, their input is dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SDL_Window;
union SDL_Event;

namespace orba {

// What the window's input does, each part optional: its close button, the
// left button pressed and released at a point, wheel notches (positive:
// up), a key (virtual-key code, Shift held), a quit asked for meanwhile.
struct TModalInput {
  std::function<void()> Close;
  std::function<void(int32_t x, int32_t y)> Press, Release;
  std::function<void(int32_t notches)> Wheel;
  std::function<void(int32_t vk, bool shift)> Key;
  std::function<void()> Quit;
};

class TSdlModalWindow {
 public:
  // Opens the window, hidden, Width x Height, titled (Shift-JIS), over
  // `parent` (may be null); IsOpen() says whether it could be made (the
  // reason is on standard error).
  TSdlModalWindow(SDL_Window* parent, const std::string& title, int32_t width, int32_t height);
  ~TSdlModalWindow();
  TSdlModalWindow(const TSdlModalWindow&) = delete;
  TSdlModalWindow& operator=(const TSdlModalWindow&) = delete;

  bool IsOpen() const { return window_ != nullptr; }
  uint32_t WindowId() const;
  SDL_Window* Window() const { return window_; }

  // Shows the window and waits: the window's input and each quit go to
  // Input, and after each event the picture Paint answers (Width x Height,
  // 0x00RRGGBB) is shown, until Done. A quit that closing this window made
  // (SDL asks to quit when the last window closes) is not queued again.
  void Run(const TModalInput& input, const std::function<bool()>& done,
           const std::function<std::vector<uint32_t>()>& paint);

 private:
  void Show(const std::vector<uint32_t>& pixels);
  void Take(const TModalInput& input, const SDL_Event& e);

  SDL_Window* window_ = nullptr;
  int32_t width_ = 0, height_ = 0;
  bool started_video_ = false;
  // Whether the window's close button was pressed.
  bool closed_ = false;
};

}  // namespace orba

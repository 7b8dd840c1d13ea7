// Input from the game window, in the form the player's window handlers take
// it: mouse positions in game coordinates, keys as Windows virtual-key codes.
#pragma once

#include <cstdint>
#include <string>

namespace orba {

enum class TInputKind : uint8_t {
  MouseMove,
  ButtonDown,
  ButtonUp,
  Wheel,
  KeyDown,
  KeyUp,
  FocusLost,
  FocusGained,
  Close,  // the user asked to close the window
  // The window was destroyed from outside (the window manager, a session
  // ending): nothing is asked, the game ends in order.
  WindowDestroyed,
};

enum class TMouseButton : uint8_t { Left, Right };

struct TInputEvent {
  TInputKind Kind = TInputKind::MouseMove;
  int32_t X = 0, Y = 0;                     // MouseMove, ButtonDown, ButtonUp
  TMouseButton Button = TMouseButton::Left;  // ButtonDown, ButtonUp
  int32_t Notches = 0;                       // Wheel: positive away from the user
  int32_t Key = 0;                           // KeyDown, KeyUp: virtual-key code 1..255
  bool Repeat = false;                       // KeyDown sent by the keyboard's auto-repeat
  bool operator==(const TInputEvent&) const = default;
};

class TInputSource {
 public:
  virtual ~TInputSource() = default;
  // Called before tick number Tick (1 for the first) runs; a source that
  // replays recorded input releases that tick's events here.
  virtual void BeforeTick(int32_t tick) {}
  // Waits at most TimeoutMs milliseconds for input; returns at once when
  // input is already waiting.
  virtual void Wait(uint32_t timeout_ms) {}
  // Takes the next waiting event; false when none waits.
  virtual bool NextEvent(TInputEvent& event) = 0;
};

// The event as a line of text, for the trace and for recorded input
// ("mouse move 10 20", "lbutton down 10 20", "wheel down 2", "key down 13
// repeat", "focus lost", "close", "window destroyed").
std::string FormatInputEvent(const TInputEvent& event);

}  // namespace orba

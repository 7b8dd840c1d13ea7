#include "platform/input.h"

namespace orba {

std::string FormatInputEvent(const TInputEvent& e) {
  const std::string at = " " + std::to_string(e.X) + " " + std::to_string(e.Y);
  const std::string button = e.Button == TMouseButton::Left ? "lbutton" : "rbutton";
  switch (e.Kind) {
    case TInputKind::MouseMove: return "mouse move" + at;
    case TInputKind::ButtonDown: return button + " down" + at;
    case TInputKind::ButtonUp: return button + " up" + at;
    case TInputKind::Wheel: {
      const int64_t n = e.Notches < 0 ? -int64_t{e.Notches} : int64_t{e.Notches};
      return std::string(e.Notches < 0 ? "wheel down" : "wheel up") +
             (n == 1 ? "" : " " + std::to_string(n));
    }
    case TInputKind::KeyDown:
      return "key down " + std::to_string(e.Key) + (e.Repeat ? " repeat" : "");
    case TInputKind::KeyUp: return "key up " + std::to_string(e.Key);
    case TInputKind::FocusLost: return "focus lost";
    case TInputKind::FocusGained: return "focus gained";
    case TInputKind::Close: return "close";
    case TInputKind::WindowDestroyed: return "window destroyed";
  }
  return "?";
}

}  // namespace orba

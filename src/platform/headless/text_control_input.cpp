#include "platform/headless/text_control_input.h"


namespace orba {

namespace {

constexpr int32_t kVkShift = 0x10, kVkControl = 0x11, kVkSpace = 0x20;

// The signs of the US layout's sign keys: the key, then without and with Shift.
struct TSignKey {
  int32_t Vk;
  char Plain, Shifted;
};
constexpr TSignKey kSignKeys[] = {
    {0xBA, ';', ':'}, {0xBB, '=', '+'}, {0xBC, ',', '<'}, {0xBD, '-', '_'}, {0xBE, '.', '>'},  {0xBF, '/', '?'},
    {0xC0, '`', '~'}, {0xDB, '[', '{'}, {0xDC, '\\', '|'}, {0xDD, ']', '}'}, {0xDE, '\'', '"'},
};
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

}  // namespace

uint16_t VkTypedChar(int32_t vk, bool shift) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<uint16_t>(shift ? vk : vk - 'A' + 'a');
  if (vk >= '0' && vk <= '9') return static_cast<uint16_t>(shift ? kShiftedDigits[vk - '0'] : vk);
  if (vk == kVkSpace) return ' ';
  for (const TSignKey& k : kSignKeys)
    if (k.Vk == vk) return static_cast<uint8_t>(shift ? k.Shifted : k.Plain);
  return 0;
}

bool TTextControlInput::NextEvent(TInputEvent& event) {
  while (input_.NextEvent(event))
    if (!Take(event)) return true;
  return false;
}

bool TTextControlInput::Take(const TInputEvent& e) {
  switch (e.Kind) {
    case TInputKind::MouseMove:
      mouse_x_ = e.X, mouse_y_ = e.Y;
      return group_.MouseMove(e.X, e.Y);
    case TInputKind::ButtonDown:
      mouse_x_ = e.X, mouse_y_ = e.Y;
      return group_.MouseDown(e.X, e.Y, e.Button == TMouseButton::Left, shift_, clock_.NowMs());
    case TInputKind::ButtonUp:
      return group_.MouseUp();
    case TInputKind::Wheel:
      return group_.Wheel(mouse_x_, mouse_y_, e.Notches);
    case TInputKind::KeyDown:
    case TInputKind::KeyUp: {
      const bool down = e.Kind == TInputKind::KeyDown;
      if (e.Key == kVkShift) shift_ = down;
      if (e.Key == kVkControl) ctrl_ = down;
      TTextControl* focused = group_.FocusedControl();
      if (focused == nullptr) return false;
      if (!down) return true;
      group_.KeyDown(e.Key, shift_, ctrl_);
      // The key's character follows it, as the desktop's typing sends it.
      const uint16_t ch = ctrl_ ? 0 : VkTypedChar(e.Key, shift_);
      if (ch != 0 && group_.FocusedControl() == focused) focused->Char(ch);
      return true;
    }
    case TInputKind::FocusLost:
    case TInputKind::FocusGained:
    case TInputKind::Close:
    case TInputKind::WindowDestroyed:
      return false;
  }
  return false;
}

}  // namespace orba

// The headless player's input as its text controls see it first, as the SDL
// window's controls see SDL's events: presses, drags and the wheel in game
// coordinates, and while a control has the focus its keys, with the
// characters they type on a US keyboard (Shift from the Shift key's own
// events; Ctrl keys edit, as Ctrl+A, Ctrl+C, Ctrl+X and Ctrl+V). What the
// controls take does not reach the game. Presses are timed by the clock the
// run steps, so a double click is two presses within the double-click time.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/input.h"
#include "platform/text_controls.h"

namespace orba {

// The character a virtual key types on a US keyboard: letters, digits, the
// space and the signs, with or without Shift; 0 for a key that types none.
uint16_t VkTypedChar(int32_t vk, bool shift);

class TTextControlInput : public TInputSource {
 public:
  TTextControlInput(TInputSource& input, TTextControlGroup& group, TClock& clock)
      : input_(input), group_(group), clock_(clock) {}
  void BeforeTick(int32_t tick) override { input_.BeforeTick(tick); }
  void Wait(uint32_t timeout_ms) override { input_.Wait(timeout_ms); }
  bool NextEvent(TInputEvent& event) override;

 private:
  // True when the controls took the event.
  bool Take(const TInputEvent& e);
  TInputSource& input_;
  TTextControlGroup& group_;
  TClock& clock_;
  bool shift_ = false, ctrl_ = false;
  int32_t mouse_x_ = 0, mouse_y_ = 0;
};

}  // namespace orba

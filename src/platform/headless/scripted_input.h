// Recorded input for the headless player: a text of lines
//
//   tick N: <event>
//
// handed out before tick N runs. Events are written as
//
//   mouse move X Y          lbutton down X Y      lbutton up X Y
//   rbutton down X Y        rbutton up X Y
//   wheel up [N]            wheel down [N]        (N notches, default 1)
//   key down VK [repeat]    key up VK             (VK 1..255, decimal or 0x..)
//   focus lost              focus gained          close
//
// in game coordinates. Blank lines and lines starting with '#' are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/input.h"

namespace orba {

class EInputScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One event in the text form above (without "tick N:", as FormatInputEvent
// writes it); raises EInputScriptError on anything else.
TInputEvent ParseInputEvent(const std::string& text);

struct TScriptedEvent {
  int32_t Tick = 0;
  TInputEvent Event;
};

class TScriptedInput : public TInputSource {
 public:
  TScriptedInput() = default;
  // Raises EInputScriptError naming the line of the first fault.
  static TScriptedInput FromText(const std::string& text);
  static TScriptedInput FromFile(const std::string& path);

  void BeforeTick(int32_t tick) override;
  bool NextEvent(TInputEvent& event) override;

  // Events not yet handed out, released or not.
  size_t Pending() const { return script_.size() - next_ + ready_.size(); }

 private:
  std::vector<TScriptedEvent> script_;  // by tick, in file order within a tick
  size_t next_ = 0;
  std::deque<TInputEvent> ready_;
};

}  // namespace orba

// A clock that moves only when told to, for runs without a window and for
// tests.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace orba {

class TFakeClock : public TManualClock {
 public:
  explicit TFakeClock(uint32_t start_ms = 0) : now_(start_ms) {}
  uint32_t NowMs() override { return now_; }
  void Advance(uint32_t ms) override { now_ += ms; }
  void Set(uint32_t ms) { now_ = ms; }

 private:
  uint32_t now_;
};

}  // namespace orba

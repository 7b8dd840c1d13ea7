// The system millisecond timer, read through SDL.
#pragma once

#include "platform/clock.h"

namespace orba {

class TSdlClock : public TClock {
 public:
  TSdlClock();
  ~TSdlClock() override;
  TSdlClock(const TSdlClock&) = delete;
  TSdlClock& operator=(const TSdlClock&) = delete;
  uint32_t NowMs() override;
};

}  // namespace orba

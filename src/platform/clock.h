// The player's millisecond timer: a monotonic count of milliseconds since an
// arbitrary start, wrapping at 2^32 like the system timer the games were
// made for. Differences are taken in unsigned arithmetic, so a wrap between
// two readings is harmless.
#pragma once

#include <cstdint>

namespace orba {

class TClock {
 public:
  virtual ~TClock() = default;
  virtual uint32_t NowMs() = 0;
};

// A clock that moves only when told to: runs without a window step it.
class TManualClock : public TClock {
 public:
  // Wraps at 2^32 as the system timer does.
  virtual void Advance(uint32_t ms) = 0;
};

}  // namespace orba

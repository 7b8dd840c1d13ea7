// The player's tick: every 15 ms the time since the last measurement is
// taken. A gap of 300 ms or more (the program was stalled, the window was
// dragged, the machine slept) is dropped: it adds nothing to the game clock
// and causes no tick. Otherwise the gap becomes the tick's length
// (FrameTime), the game clock advances by it and the tick count grows.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace orba {

class TTickSource {
 public:
  static constexpr uint32_t kPeriodMs = 15;
  static constexpr uint32_t kGapMs = 300;

  explicit TTickSource(TClock& clock);

  // Takes the clock's present time as the last measurement.
  void Restart();
  // When a period has passed since the last measurement, measures; answers
  // true when that makes a tick, after counting it into GameClock,
  // FrameTime and TickCount.
  bool Poll();
  // Milliseconds until the next measurement is due (0: due now).
  uint32_t MsUntilDue();

  // While paused no tick happens and the game clock stands still; the
  // paused time is never counted.
  void SetPaused(bool paused);
  bool Paused() const { return paused_; }

  // The gap that the last Poll dropped; 0 when it dropped none.
  uint32_t LastDroppedGap() const { return dropped_gap_; }

 private:
  TClock& clock_;
  uint32_t last_ = 0;
  uint32_t dropped_gap_ = 0;
  bool paused_ = false;
};

}  // namespace orba

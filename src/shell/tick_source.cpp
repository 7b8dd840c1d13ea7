#include "shell/tick_source.h"

#include "core/game_clock.h"

namespace orba {

TTickSource::TTickSource(TClock& clock) : clock_(clock) { Restart(); }

void TTickSource::Restart() { last_ = clock_.NowMs(); }

bool TTickSource::Poll() {
  const uint32_t now = clock_.NowMs();
  const uint32_t elapsed = now - last_;
  dropped_gap_ = 0;
  if (paused_) {
    last_ = now;
    return false;
  }
  if (elapsed < kPeriodMs) return false;
  last_ = now;
  if (elapsed >= kGapMs) {
    dropped_gap_ = elapsed;
    return false;
  }
  FrameTime = static_cast<int32_t>(elapsed);
  GameClock += elapsed;
  // The count wraps like the 32-bit counter scripts read.
  TickCount = static_cast<int32_t>(static_cast<uint32_t>(TickCount) + 1);
  return true;
}

uint32_t TTickSource::MsUntilDue() {
  const uint32_t elapsed = clock_.NowMs() - last_;
  return elapsed >= kPeriodMs ? 0 : kPeriodMs - elapsed;
}

void TTickSource::SetPaused(bool paused) {
  if (paused_ == paused) return;
  paused_ = paused;
  Restart();
}

}  // namespace orba

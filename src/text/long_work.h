// Long text work, the markup and glyphs of a message of millions of
// characters, gives way every kLongWorkStride characters or glyphs: to a
// quit request, so that the ordered shut-down comes soon (the exit page,
// run while shutting down, is laid out whole), and to the heap watch; each
// check reports progress to the quit watchdog. The work then ends early and its
// result is cut short; nothing is shown of it.
#pragma once

#include <cstdint>

#include "core/game_clock.h"
#include "core/system/heap_watch.h"
#include "core/system/quit_request.h"

namespace orba {

inline constexpr int64_t kLongWorkStride = 1024;

// Whether long work must give way now; asking reports progress to the quit
// watchdog (an exit page laid out whole is slow, not stuck).
inline bool LongWorkMustGiveWay() {
  ReportProgress();
  return CheckHeapCeiling() || (QuitRequested() && !Terminating);
}

// Whether the work must stop after its Done-th glyph.
inline bool LongWorkMustStop(int64_t done) { return done % kLongWorkStride == 0 && LongWorkMustGiveWay(); }

// One long piece of work counted in steps of any size, a glyph measured or
// placed each: it gives way each time its count passes a multiple of
// kLongWorkStride, and once it has, it stays stopped, so that the loops
// around the step that stopped it end too.
class TLongWork {
 public:
  bool MustStop(int64_t steps = 1) {
    if (stopped_) return true;
    done_ += steps;
    if (done_ < next_check_) return false;
    next_check_ = done_ - done_ % kLongWorkStride + kLongWorkStride;
    stopped_ = LongWorkMustGiveWay();
    return stopped_;
  }
  bool Stopped() const { return stopped_; }

 private:
  int64_t done_ = 0, next_check_ = kLongWorkStride;
  bool stopped_ = false;
};

}  // namespace orba

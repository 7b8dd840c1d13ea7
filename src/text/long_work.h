// Long text work, the glyphs of a message of millions of characters, gives
// way every kLongWorkStride glyphs: to a quit request, so that the ordered
// shut-down runs within the quit watchdog's grace time (the exit page, run
// while shutting down, is laid out whole), and to the heap watch. The work
// then ends early and its result is cut short; nothing is shown of it.
#pragma once

#include <cstdint>

#include "core/game_clock.h"
#include "core/system/heap_watch.h"
#include "core/system/quit_request.h"

namespace orba {

inline constexpr int64_t kLongWorkStride = 1024;

// Whether the work must stop after its Done-th glyph.
inline bool LongWorkMustStop(int64_t done) {
  if (done % kLongWorkStride != 0) return false;
  return CheckHeapCeiling() || (QuitRequested() && !Terminating);
}

}  // namespace orba

// Version gates of the page format: from which page version a command's
// record holds a field (a field a page's version predates keeps its
// default). Pages from kOldestPageVersion (page.h) to kNewestPageVersion
// load, so every gate from there on is reached.
#pragma once

#include <cstdint>

namespace orba {

// The flip command's mask expression.
inline constexpr int32_t kPageMaskVersion = 101;
// The game-save command's on-load target.
inline constexpr int32_t kPageOnLoadTargetVersion = 105;
// The event-lock expression of the waiting commands (movie stop, flip,
// text insert, wait).
inline constexpr int32_t kPageEventLockVersion = 107;
// The property-motion command's paused expression.
inline constexpr int32_t kPagePausedVersion = 108;
// The history commands' format expression.
inline constexpr int32_t kPageFormatVersion = 111;

}  // namespace orba

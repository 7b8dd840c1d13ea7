// How large a picture an item may make from script values. A caption's
// text bitmap grows with its font height and line space, a fire's field
// with its sides; a game can give any int32 there, and a few such items
// would then hold gigabytes. Each such value is clamped at a screen-sized
// limit before it sizes a surface: nothing larger can be seen whole on the
// screen anyway.
#pragma once

#include <cstdint>

namespace orba {

class TOrbaBaseList;

// The limit never falls below this, so that a screen not yet sized (8 x 8)
// or a small private stage does not cut ordinary sizes.
inline constexpr int32_t kMinItemSideLimit = 1024;

// The larger side of the manager's screen, within kMinItemSideLimit and
// the largest screen side; kMinItemSideLimit without a manager.
int32_t ItemSideLimit(const TOrbaBaseList* manager);
// Value clamped to -limit .. limit: a negative line space or side keeps
// its sign, as the items give those their own meaning.
int32_t ClampItemSide(int64_t value, const TOrbaBaseList* manager);

}  // namespace orba

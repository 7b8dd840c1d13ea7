// Version gates of the Brix picture format ("Brix" and three digits; none:
// version 0): from which version a file holds a part. Every version loads,
// so every gate is reached.
#pragma once

#include <cstdint>

namespace orba {

// A layer's alpha plane.
inline constexpr int32_t kBrixAlphaPlaneVersion = 100;
// A layer's alpha-enabled flag.
inline constexpr int32_t kBrixAlphaFlagVersion = 101;
// The picture's background colour.
inline constexpr int32_t kBrixBackgroundVersion = 102;
// The sized header record (tiles, scrambling, JPEG planes).
inline constexpr int32_t kBrixHeaderRecordVersion = 103;
// A frame's two rectangle lists.
inline constexpr int32_t kBrixFrameRectsVersion = 104;
// The header's opaque base.
inline constexpr int32_t kBrixOpaqueBaseVersion = 105;

}  // namespace orba

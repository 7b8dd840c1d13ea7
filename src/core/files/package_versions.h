// Version gates of a package's directory ("vf" and a version after the
// magic; no magic: version 0, plain names and 4-byte offsets).
#pragma once

#include <cstdint>

namespace orba {

// The oldest "vf" version: names and offsets scrambled with the directory key.
inline constexpr int32_t kPackageScrambledVersion = 100;
// 8-byte offsets, and per entry its raw flag, age and CRC.
inline constexpr int32_t kPackageWideOffsetsVersion = 101;
// Per entry whether its CRC is that of the unpacked bytes; the newest
// version, the one the package writer writes.
inline constexpr int32_t kPackageUnpackedCrcVersion = 102;

}  // namespace orba

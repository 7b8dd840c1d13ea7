// Large pictures the whole-player fuzzer plants in the game folder, under
// the ".brx" names its image items read: only one of them fits the budget
// of one picture (256 MB of surfaces), so that a game holding them all at
// once still stays near one picture's cost; the others are refused from
// their headers.
#pragma once

#include <cstdint>
#include <filesystem>

namespace orba::fuzz {

// PNG pictures: "huge.brx", 8192 x 8192 colour of about 200 KB (the whole
// budget at 32 bits); "bits.brx", 8192 x 8192 at 1 bit (a few KB; its copy
// at 32 bits passes the budget); "over.brx", 8192 x 6554 with alpha (just
// over); "sparse.brx", an 8192 x 8192 header with alpha before 4 MB of
// nothing (a sparse file).
void PlantLargePngs(const std::filesystem::path& game);
// "progressive.brx", a progressive JPEG header naming 8192 x 8192 before
// 64 KB of data (its coefficients alone are 192 MiB), and "layers.brx", a
// Brix frame of 8192 x 8192 at 24 bits with three layers.
void PlantLargeJpegAndBrix(const std::filesystem::path& game);

// The peak resident size of the process from its making on (Linux's
// high-water mark, reset at the start), above the resident size then.
class TPeakWatch {
 public:
  TPeakWatch();
  // 0 when the mark cannot be reset or read.
  int64_t RiseKb() const;

 private:
  int64_t start_kb_ = -1;
};

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizerBuild = true;
#else
inline constexpr bool kAddressSanitizerBuild = false;
#endif
#else
inline constexpr bool kAddressSanitizerBuild = false;
#endif
// The quarantine of the whole-player target, in MB, and its options.
inline constexpr int64_t kFuzzQuarantineMb = 16;
inline constexpr const char* kFuzzAsanOptions = "quarantine_size_mb=16";

}  // namespace orba::fuzz

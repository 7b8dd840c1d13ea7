// Whether the tests run under the address sanitizer, for the tests that
// measure the player's memory: its shadow and its quarantine raise every
// figure.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>

#include "support/test_support.h"

namespace orba::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

// Kilobytes in a megabyte, as peak_rss_kb counts.
inline constexpr long long kPeakMB = 1024;

// Play(Base), then Play(Measured): the figures of a game that reads
// nothing much, then those of the game under test. The
// address sanitizer keeps freed blocks aside for a while, which would count
// everything a run reads at once: both runs go without that.
template <typename Play>
std::pair<CommandResult, CommandResult> PlayWithoutQuarantine(const Play& play, const std::string& base,
                                                              const std::string& measured) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string asan_before = asan != nullptr ? asan : "";
  ::setenv("ASAN_OPTIONS", (asan_before + ":quarantine_size_mb=0").c_str(), 1);
  std::pair<CommandResult, CommandResult> runs{play(base), play(measured)};
  if (asan != nullptr) {
    ::setenv("ASAN_OPTIONS", asan_before.c_str(), 1);
  } else {
    ::unsetenv("ASAN_OPTIONS");
  }
  return runs;
}

}  // namespace orba::test

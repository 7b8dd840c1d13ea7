// What the game tests of large files share: making large files in a child
// process, so that the player started later does not inherit their memory,
// and the bound on what a run adds to the peak of the same game over small
// files.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <functional>

#include "shell/test_games.h"

namespace orba::test {

// Runs Make in a child process: a child forked later starts with its
// parent's resident size, which would count in the player's peak.
inline void MakeInChild(const std::function<void()>& make) {
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    make();
    std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "making the files failed";
}

// R's peak is at most Limit_mb above Base's; under the address sanitizer its
// shadow adds an eighth to every byte the player touches.
inline void ExpectPeakWithin(const CommandResult& r, const CommandResult& base, int64_t limit_mb) {
  const int64_t limit = kAddressSanitizer ? limit_mb * kPeakMB * 9 / 8 : limit_mb * kPeakMB;
  EXPECT_LT(r.peak_rss_kb - base.peak_rss_kb, limit) << r.peak_rss_kb << " against " << base.peak_rss_kb;
}

}  // namespace orba::test

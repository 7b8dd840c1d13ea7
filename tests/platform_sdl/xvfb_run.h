// Running this test program again on a private Xvfb display, for tests that
// need a real X server: the Xvfb ends with the run.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace orba::test {

// Runs the tests Filter selects on a display of Screen ("800x600") with the
// variables Exports ("NAME=value ...") set, after the shell command Before
// (may be empty). SDL's X11 driver leaves D-Bus's data behind: no leak
// check there.
inline CommandResult RunOnXvfb(const std::string& screen, const std::string& exports, const std::string& before,
                               const std::string& filter) {
  const std::string script = "Xvfb -displayfd 3 -screen 0 " + screen +
                             "x24 -noreset -nolisten tcp 3>\"$1\" 2>/dev/null & x=$!\n"
                             "trap 'kill $x; wait' EXIT\n"
                             "for i in $(seq 100); do [ -s \"$1\" ] && break; sleep 0.1; done\n"
                             "export DISPLAY=:$(cat \"$1\") " + exports + " ASAN_OPTIONS=detect_leaks=0\n" +
                             (before.empty() ? "" : before + " && ") + "\"$2\" --gtest_filter='" + filter + "'";
  const TempDir dir;
  return RunCommand({"sh", "-c", script, "sh", dir / "display", std::filesystem::read_symlink("/proc/self/exe")});
}

}  // namespace orba::test

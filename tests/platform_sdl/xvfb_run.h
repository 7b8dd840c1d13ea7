// Running this test program (or another program) on a private Xvfb
// display, for tests that need a real X server: the Xvfb ends with the run.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.h"

namespace orba::test {

// The first lines of a shell script that runs the rest on a private Xvfb
// display of Screen ("800x600"), ended with the script: the display's
// number is written to DisplayFile (a shell word, such as "\"$1\""),
// DISPLAY names it, SDL is left to find it, and with WindowManager openbox
// runs on it. SDL's X11 driver leaves D-Bus's data behind: no leak check
// there. No D-Bus session is started for the display: its start reads a
// pipe that a child forked meanwhile (a test's xdotool) may hold open, and
// then waits as long as that child does.
inline std::string XvfbPrologue(const std::string& screen, const std::string& display_file, bool window_manager) {
  return "Xvfb -displayfd 3 -screen 0 " + screen + "x24 -noreset -nolisten tcp 3>" + display_file +
         " 2>/dev/null & x=$!\n"
         "trap 'kill $x; wait' EXIT\n"
         "for i in $(seq 100); do [ -s " + display_file + " ] && break; sleep 0.1; done\n"
         "export DISPLAY=:$(cat " + display_file + ") ASAN_OPTIONS=detect_leaks=0 DBUS_SESSION_BUS_ADDRESS=disabled:\n"
         "unset WAYLAND_DISPLAY\n" +
         (window_manager ? "openbox >/dev/null 2>&1 & sleep 1\n" : "");
}

// Runs the tests Filter selects on a display of Screen ("800x600") with the
// variables Exports ("NAME=value ...") set, after the shell command Before
// (may be empty).
inline CommandResult RunOnXvfb(const std::string& screen, const std::string& exports, const std::string& before,
                               const std::string& filter) {
  const std::string script = XvfbPrologue(screen, "\"$1\"", false) + (exports.empty() ? "" : "export " + exports + "\n") +
                             (before.empty() ? "" : before + " && ") +
                             // Bounded, so that a box no key reaches fails the test instead of hanging it.
                             "timeout -k 5 240 \"$2\" --gtest_filter='" + filter + "'";
  const TempDir dir;
  return RunCommand({"sh", "-c", script, "sh", dir / "display", std::filesystem::read_symlink("/proc/self/exe")});
}

}  // namespace orba::test

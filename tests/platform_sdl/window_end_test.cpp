// The player program in a window on a real X server (a private Xvfb, with
// openbox as its window manager where it is installed), ended from outside
// as a desktop ends it: its window closed by another client (xdotool
// windowclose), its X connection killed (xkill) and its X server ended. The
// "closewait" game shows a caption and waits. Skipped without Xvfb or
// xdotool, as the other display tests are.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Runs the player on GAME RUNS times and ends each run from outside as MODE
// says ("close", "xkill", "server", or "askserver": the server ended while
// the close question, which the window manager's Alt+F4 asked for, is
// open), one line per run on standard output:
// "run N: exit CODE after MS ms: STDERR" (MS from the end's request to the
// process's end; STDERR's lines joined by "|"), or "run N: still running"
// when it lived on for a minute (a player that waits on a gone window
// never ends; the time is printed, never judged, so that a loaded machine
// fails nothing). "close" and "xkill" share one server; the others start one a run
// and end it. Each run waits at most thirty seconds for the window (a
// loaded sanitizer build may start slowly).
const char kEndFromOutside[] = R"sh(mode=$1 runs=$2 dir=$3 game=$4 player=$5
start_x() {
  rm -f "$dir/display"
  Xvfb -displayfd 3 -screen 0 640x480x24 -noreset -nolisten tcp 3>"$dir/display" 2>/dev/null & x=$!
  for i in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.05; done
  export DISPLAY=:$(cat "$dir/display")
  wm=
  if command -v openbox >/dev/null && command -v xprop >/dev/null; then
    openbox --sm-disable >/dev/null 2>&1 & wm=$!
    for i in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.05; done
  fi
}
stop_x() {
  [ -n "$wm" ] && kill $wm 2>/dev/null
  kill $x 2>/dev/null
  wait 2>/dev/null
}
own_x() { case $mode in *server) return 0 ;; esac; return 1; }
own_x || start_x
for n in $(seq $runs); do
  own_x && start_x
  kids=
  SDL_VIDEODRIVER=x11 ASAN_OPTIONS=detect_leaks=0 "$player" "$game" 2>"$dir/err$n" & p=$!
  # The window that stays (SDL may make it anew for its renderer), asked
  # again when a search fails (xdotool stops at a window that goes while it
  # looks).
  w=
  for i in $(seq 150); do
    now=$(xdotool search --onlyvisible --name '^closewait$' 2>/dev/null | tail -n 1)
    [ -n "$now" ] && [ "$now" = "$w" ] && break; w=$now; sleep 0.2
  done
  sleep 0.3
  # A run that is counted: its first step has run (a loaded build is slow).
  [ $mode = close ] || sleep 0.7
  t0=$(date +%s%N)
  case $mode in
    close) xdotool windowclose $w ;;
    xkill) xkill -id $w >/dev/null ;;
    server) kill $x ;;
    askserver)
      xdotool key --window $w alt+F4
      # The question is a second window of the player's.
      for i in $(seq 100); do
        [ "$(xdotool search --onlyvisible --pid $p 2>/dev/null | wc -l)" -ge 2 ] && break; sleep 0.05
      done
      sleep 0.5; t0=$(date +%s%N); kill $x ;;
  esac
  for i in $(seq 6000); do kill -0 $p 2>/dev/null || break; sleep 0.01; done
  if kill -0 $p 2>/dev/null; then
    kill -9 $p; wait $p; echo "run $n: still running"
  else
    wait $p; rc=$?
    echo "run $n: exit $rc after $(( ($(date +%s%N) - t0) / 1000000 )) ms: $(paste -sd'|' "$dir/err$n")"
  fi
  own_x && stop_x
done
own_x || stop_x
)sh";

struct TRunEnd {
  int Code = -1;
  int Ms = -1;
  std::string Said;
};

class WindowEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool"})
      if (test::RunCommand({"sh", "-c", std::string("command -v ") + tool}).exit_code != 0)
        GTEST_SKIP() << tool << " is not installed";
    test::BuildGame("closewait", game, true);
  }
  // The ends of Runs runs in Mode; a run that did not end, or whose line
  // cannot be read, fails the test.
  std::vector<TRunEnd> EndFromOutside(const std::string& mode, int runs) {
    const test::CommandResult r = test::RunCommand(
        {"sh", "-c", kEndFromOutside, "sh", mode, std::to_string(runs), dir.path(), game, ORBA_PLAYER_PATH});
    std::vector<TRunEnd> ends;
    size_t at = 0;
    for (int n = 1; n <= runs; ++n) {
      const size_t end = r.output.find('\n', at);
      const std::string line = r.output.substr(at, end == std::string::npos ? std::string::npos : end - at);
      at = end == std::string::npos ? r.output.size() : end + 1;
      TRunEnd e;
      int number = 0, said_at = 0;
      if (std::sscanf(line.c_str(), "run %d: exit %d after %d ms: %n", &number, &e.Code, &e.Ms, &said_at) != 3 ||
          number != n) {
        ADD_FAILURE() << mode << " run " << n << ": " << line;
        continue;
      }
      e.Said = line.substr(static_cast<size_t>(said_at));
      ends.push_back(e);
    }
    if (static_cast<int>(ends.size()) != runs) ADD_FAILURE() << r.output;
    return ends;
  }

  test::TempDir dir;
  const std::string game = dir / "game";
};

// Ten times: the window is destroyed by another client while the game
// waits; each time the player ends, says nothing and exits
// 0, through the exit page and the status save.
TEST_F(WindowEnd, AWindowClosedFromOutsideEndsThePlayerEveryTime) {
  const std::vector<TRunEnd> ends = EndFromOutside("close", 10);
  for (size_t n = 0; n < ends.size(); ++n) {
    EXPECT_EQ(ends[n].Code, 0) << "run " << n + 1 << ": " << ends[n].Said;
    EXPECT_EQ(ends[n].Said, "") << "run " << n + 1;
  }
  ASSERT_EQ(ends.size(), 10u);
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var runs int = 10", "var exits int = 10"});
}

// The X connection killed, the X server ended, and (with a window manager
// to ask for the close) the server ended while the close question is open:
// the player says in one line that the display went away and exits 1
// (within the minute a run is given: how soon it learns of the loss
// is the X library's and the loaded machine's), without the exit page (no
// "exits" variable), its status saved (every run counted).
TEST_F(WindowEnd, ALostDisplayKeepsTheStatusSave) {
  std::vector<std::string> modes{"server"};
  const auto installed = [](const std::string& tool) {
    return test::RunCommand({"sh", "-c", "command -v " + tool}).exit_code == 0;
  };
  if (installed("xkill")) modes.insert(modes.begin(), "xkill");
  if (installed("openbox") && installed("xprop")) modes.push_back("askserver");
  for (const std::string& mode : modes) {
    const std::vector<TRunEnd> ends = EndFromOutside(mode, 1);
    ASSERT_EQ(ends.size(), 1u) << mode;
    EXPECT_EQ(ends[0].Code, 1) << mode;
    EXPECT_EQ(ends[0].Said, "orba: the display went away; the game ended after its status save") << mode;
  }
  const std::string dump = test::DumpSave(game + "/save.dat");
  test::ExpectContains(dump, {"var runs int = " + std::to_string(modes.size())});
  test::ExpectLacks(dump, {"var exits"});
}

}  // namespace
}  // namespace orba

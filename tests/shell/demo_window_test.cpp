// The demo game of examples/demo played in a window on a virtual X display
// (Xvfb): a screenshot of the whole display shows the title picture exactly
// as the generator drew it. Without Xvfb (or ImageMagick's import) the test
// is skipped; scripts/install-deps.sh installs both.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Arguments: folder, player, game, title picture, Python, reference script.
// Starts Xvfb on a display it picks itself and the player in a window there
// (its leak report off, as it is killed), then screenshots the display until
// the title picture is found in one (the window takes a moment to open and
// paint), for at most 30 seconds. Prints what the search found and whether
// the player still runs; the player and Xvfb end with the script.
const char kScript[] = R"sh(d=$1
Xvfb -displayfd 3 -screen 0 1600x900x24 -nolisten tcp 3>"$d/display" 2>"$d/xvfb.log" & xvfb=$!
trap 'kill -9 $pid 2>/dev/null; kill $xvfb; wait' EXIT
for i in $(seq 150); do [ -s "$d/display" ] && break; sleep 0.1; done
[ -s "$d/display" ] || { echo "Xvfb did not start: $(cat "$d/xvfb.log")"; exit 1; }
export DISPLAY=:$(cat "$d/display")
SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 "$2" "$3" >"$d/player.log" 2>&1 & pid=$!
end=$((SECONDS + 30))
while [ $SECONDS -lt $end ] && kill -0 $pid 2>/dev/null; do
  if timeout 10 import -window root "$d/shot.png" 2>/dev/null; then
    found=$("$5" "$6" find "$4" "$d/shot.png")
    case $found in "found at "*) break;; esac
  fi
  sleep 0.25
done
echo "$found"
kill -0 $pid 2>/dev/null && echo "the player runs"
)sh";

TEST(DemoWindow, ScreenshotShowsTheTitlePicture) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb && command -v import"}).exit_code != 0)
    GTEST_SKIP() << "Xvfb or ImageMagick's import is not installed (scripts/install-deps.sh)";
  const test::TempDir dir;
  std::filesystem::create_directories(dir / "demo");
  std::filesystem::copy_file(ORBA_DEMO_GAME, dir / "demo/game.dat");
  const std::string out =
      test::RunCommand({"bash", "-c", kScript, "demo_window", dir.path(), ORBA_PLAYER_PATH, dir / "demo",
                        std::string(ORBA_DEMO_PICTURES) + "/title.png", ORBA_PYTHON,
                        test::TestsPath("fixtures/demo_reference.py")})
          .output;
  EXPECT_EQ(out.rfind("found at ", 0), 0u) << out << "player output:\n" << test::FileText(dir / "player.log");
  EXPECT_NE(out.find("\nthe player runs\n"), std::string::npos) << out << test::FileText(dir / "player.log");
}

}  // namespace
}  // namespace orba

// The demo game of examples/demo: played without a window, its frames are
// compared with reference pictures that tests/fixtures/demo_reference.py
// composes with Pillow from the PNG twins of the game's pictures and the
// pages' layout, the clicks coming from an input script; played in a window
// on a virtual X display (Xvfb), a screenshot of the whole display shows the
// title picture exactly as the generator drew it. Without Xvfb (or
// ImageMagick's import) that test is skipped; scripts/install-deps.sh
// installs both.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// Where the buttons are (game coordinates inside each picture).
const char kStart[] = "600 520", kMove[] = "280 560", kSave[] = "640 560", kLoad[] = "1000 560";

// "tick N: lbutton down P" and, one tick later, the release: a click.
std::string Click(int tick, const std::string& at) {
  return "tick " + std::to_string(tick) + ": lbutton down " + at + "\ntick " + std::to_string(tick + 1) +
         ": lbutton up " + at + "\n";
}

class DemoHeadless : public ::testing::Test {
 protected:
  // Plays a fresh copy of the built demo, in the folder NAME, for Ticks
  // ticks with the input script given; the last frame goes to NAME.png.
  // Answers the trace.
  std::string Play(const std::string& name, int ticks, const std::string& input, std::vector<std::string> extra = {}) {
    fs::create_directories(dir_ / name);
    fs::copy_file(ORBA_DEMO_GAME, dir_ / name + "/game.dat");
    test::WriteText(dir_ / (name + ".input"), input);
    extra.insert(extra.begin(), {"--input", dir_ / (name + ".input"), "--screenshot", dir_ / (name + ".png")});
    const test::CommandResult r = test::PlayGame(dir_ / name, ticks, extra);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    return r.output;
  }

  // Composes the reference of a page ("title" or "room") with the options
  // given and compares the frame NAME.png with it: "match" when equal.
  std::string Compare(const std::string& name, const std::string& page, std::vector<std::string> options) {
    const std::string golden = dir_ / (name + ".golden.png");
    options.insert(options.begin(), {page, ORBA_DEMO_PICTURES, golden});
    const test::CommandResult composed = test::RunPython("fixtures/demo_reference.py", options);
    EXPECT_EQ(composed.exit_code, 0) << composed.output;
    const test::CommandResult compared =
        test::RunPython("fixtures/demo_reference.py", {"compare", golden, dir_ / (name + ".png")});
    EXPECT_EQ(compared.exit_code, 0);
    return compared.output;
  }

  test::TempDir dir_;
};

// The title's two timers: "slide" (30 ms) moves the marker 10 pixels from
// 240, "blink" (400 ms) hides and shows the arrow. Both were started in
// tick 1 at 15 ms; a timer queues its event in the idle pass of the tick in
// which its time is up, and the handler runs in the next tick. So slide's
// handler runs in ticks 4, 6, 8, ... and blink's first in tick 29 (due at
// 415 ms, tick 28 at 420 ms).
TEST_F(DemoHeadless, TitleTimersMoveTheMarkerAndBlinkTheArrow) {
  struct {
    int ticks;
    const char* slider;
    bool arrow;
  } const cases[] = {{1, "240", true}, {25, "350", true}, {28, "370", true}, {29, "370", false}};
  for (const auto& c : cases) {
    const std::string name = "title" + std::to_string(c.ticks);
    Play(name, c.ticks, "");
    std::vector<std::string> options{"--slider", c.slider};
    if (!c.arrow) options.push_back("--no-arrow");
    EXPECT_EQ(Compare(name, "title", options), "match\n") << name;
  }
}

TEST_F(DemoHeadless, ClickOnStartReachesTheSecondPage) {
  // Pressed and released before tick 30: tick 30's input pass takes the
  // press, tick 31's the release, whose handler runs in that tick; the
  // title's main flow goes on to the second page in the same tick.
  const std::string trace = Play("click", 60, "tick 30: lbutton down 600 520\ntick 30: lbutton up 600 520\n",
                                 {"--audio", dir_ / "click.wav"});
  const size_t release = trace.find("input lbutton up 600 520\ntick 30 "), room = trace.find(" : room.osb(");
  ASSERT_NE(release, std::string::npos) << trace;
  EXPECT_TRUE(room != std::string::npos && room > release && room > trace.find("tick 31 ") &&
              room < trace.find("tick 32 "))
      << trace;
  EXPECT_EQ(Compare("click", "room", {}), "match\n");
  // The comparison is not blind: the frame differs from the page after a load.
  EXPECT_NE(Compare("click", "room", {"--lamp"}), "match\n");
  // Halfway through the 300 ms fade the frame is neither page.
  Play("fading", 41, Click(30, kStart));
  EXPECT_NE(Compare("fading", "room", {}), "match\n");
  EXPECT_NE(Compare("fading", "title", {"--slider", "490"}), "match\n");
  // The message window (140, 624)-(1140, 704) is typing its first row.
  const std::string rows =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
      "lit = [y for y in range(624, 704) if any(min(im.getpixel((x, y))) > 200 for x in range(140, 1140))]\n"
      "print(len(lit) > 10, lit[0] < 650, lit[-1] < 660)\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", rows, dir_ / "click.png"}).output, "True True True\n");
  // The click, taken in tick 31, chimes: the mix is silent for its first
  // 400 ms and sounds before 600 ms.
  const test::CommandResult peaks = test::RunCommand(
      {ORBA_PYTHON, "-c",
       "import array, sys, wave\nw = wave.open(sys.argv[1])\nr = w.getframerate() * w.getnchannels()\n"
       "s = array.array('h', w.readframes(w.getnframes()))\n"
       "print(max(map(abs, s[:r * 400 // 1000])), max(map(abs, s[r * 400 // 1000:r * 600 // 1000])) > 1000)",
       dir_ / "click.wav"});
  EXPECT_EQ(peaks.output, "0 True\n");

  // A press without a release, or a click beside the button, stays on the title.
  for (const std::string& input : {std::string("tick 30: lbutton down 600 520\n"), Click(30, "470 520")}) {
    EXPECT_EQ(Play("stay", 40, input).find("room.osb"), std::string::npos) << input;
    fs::remove_all(dir_ / "stay");
  }
}

// MOVE steps the marker, SAVE frames its place and saves slot 1, LOAD loads
// it: the marker returns to the saved place and the lamp turns green.
TEST_F(DemoHeadless, SaveMoveAndLoadBringTheMarkerBack) {
  // The second page fades in over ticks 32 to 51; the clicks come after.
  const std::string before_load = Click(30, kStart) + Click(60, kMove) + Click(70, kSave) + Click(80, kMove) +
                                  Click(90, kMove);
  Play("moved", 100, before_load);
  EXPECT_EQ(Compare("moved", "room", {"--pos", "3", "--saved", "1"}), "match\n");
  test::ExpectContains(test::DumpSave(dir_ / "moved/save.dat"),
                       {"slot 1 version 141 caption \"place 1\" onload \"room.osb\""});

  test::ExpectContains(Play("loaded", 120, before_load + Click(100, kLoad)), {"no painting after a load\n"});
  EXPECT_EQ(Compare("loaded", "room", {"--pos", "1", "--saved", "1", "--lamp"}), "match\n");

  // Loading before anything was saved changes nothing.
  Play("unsaved", 80, Click(30, kStart) + Click(60, kMove) + Click(65, kLoad));
  EXPECT_EQ(Compare("unsaved", "room", {"--pos", "1"}), "match\n");
}

// The message's English line (the second row, y 656 to 680, cells of 24
// pixels from x 140) reads evenly: every letter's ink is centred in its
// cell within 3 pixels (a letter's cell is as wide as the font is high, so
// the line is written in full-width letters; half-width ones sit where
// their bearings put them, 'a' at the right of its cell).
TEST_F(DemoHeadless, TheMessageLettersSitEvenlyInTheirCells) {
  Play("typed", 300, Click(30, kStart));
  const std::string centres =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\nletters = off = 0\n"
      "for c in range(40):\n"
      "  xs = [x for x in range(140 + 24 * c, 164 + 24 * c) for y in range(656, 680) if min(im.getpixel((x, y))) > 128]\n"
      "  if not xs or max(xs) - min(xs) < 4: continue\n"
      "  letters += 1\n"
      "  off += abs((min(xs) + max(xs)) / 2 - (152 + 24 * c)) > 3\n"
      "print(letters, off)\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", centres, dir_ / "typed.png"}).output, "20 0\n");
}

// Arguments: folder, player, game, title picture, Python, reference script.
// Starts Xvfb on a display it picks itself and the player in a window there
// (its leak report off, as it is killed), then screenshots the display until
// the title picture is found in one (the window takes a moment to open and
// paint), for at most 30 seconds. Prints what the search found and whether
// the player still runs; the player and Xvfb end with the script.
const char kScript[] = R"sh(d=$1
Xvfb -displayfd 3 -screen 0 1600x900x24 -noreset -nolisten tcp 3>"$d/display" 2>"$d/xvfb.log" & xvfb=$!
trap 'kill -9 $pid 2>/dev/null; kill $xvfb; wait' EXIT
for i in $(seq 150); do [ -s "$d/display" ] && break; sleep 0.1; done
[ -s "$d/display" ] || { echo "Xvfb did not start: $(cat "$d/xvfb.log")"; exit 1; }
export DISPLAY=:$(cat "$d/display")
for i in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
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

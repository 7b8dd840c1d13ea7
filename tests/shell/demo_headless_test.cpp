// The demo game of examples/demo played without a window. Its frames are
// compared with reference pictures that tests/fixtures/demo_reference.py
// composes with Pillow from the PNG twins of the game's pictures and the
// pages' layout; the clicks come from an input script.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// Where the buttons are (game coordinates inside each picture).
const char kStart[] = "600 520";
const char kMove[] = "280 560";
const char kSave[] = "640 560";
const char kLoad[] = "1000 560";

// "tick N: lbutton down P" and, one tick later, the release: a click.
std::string Click(int tick, const std::string& at) {
  return "tick " + std::to_string(tick) + ": lbutton down " + at + "\ntick " + std::to_string(tick + 1) +
         ": lbutton up " + at + "\n";
}

class DemoHeadless : public ::testing::Test {
 protected:
  // Plays a fresh copy of the built demo for Ticks ticks with the input
  // script given; the last frame goes to NAME.png, the trace to NAME.txt.
  test::CommandResult Play(const std::string& name, int ticks, const std::string& input) {
    const std::string game = dir_ / name;
    fs::create_directories(game);
    fs::copy_file(ORBA_DEMO_GAME, game + "/game.dat");
    test::WriteFileBytes(dir_ / (name + ".input"), test::Bytes(input));
    return test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", std::to_string(ticks), "--input",
                             dir_ / (name + ".input"), "--trace", dir_ / (name + ".txt"), "--screenshot",
                             dir_ / (name + ".png"), game});
  }

  std::string Trace(const std::string& name) const {
    const std::vector<uint8_t> bytes = test::ReadFileBytes(dir_ / (name + ".txt"));
    return std::string(bytes.begin(), bytes.end());
  }

  // Composes the reference of a page ("title" or "room") with the options
  // given and compares the frame NAME.png with it: "match" when equal.
  std::string Compare(const std::string& name, const std::string& page, std::vector<std::string> options) {
    const std::string golden = dir_ / (name + ".golden.png");
    std::vector<std::string> args{page, ORBA_DEMO_PICTURES, golden};
    args.insert(args.end(), options.begin(), options.end());
    const test::CommandResult composed = test::RunPython("fixtures/demo_reference.py", args);
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
    int slider;
    bool arrow;
  } const cases[] = {{1, 240, true}, {25, 350, true}, {28, 370, true}, {29, 370, false}};
  for (const auto& c : cases) {
    const std::string name = "title" + std::to_string(c.ticks);
    SCOPED_TRACE(name);
    const test::CommandResult r = Play(name, c.ticks, "");
    ASSERT_EQ(r.exit_code, 0) << r.output;
    std::vector<std::string> options{"--slider", std::to_string(c.slider)};
    if (!c.arrow) options.push_back("--no-arrow");
    EXPECT_EQ(Compare(name, "title", options), "match\n");
  }
}

TEST_F(DemoHeadless, ClickOnStartReachesTheSecondPage) {
  // Pressed and released before tick 30: tick 30's input pass takes the
  // press, tick 31's the release, whose handler runs in that tick; the
  // title's main flow goes on to the second page in the same tick.
  const test::CommandResult r =
      Play("click", 60, "tick 30: lbutton down 600 520\ntick 30: lbutton up 600 520\n");
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string trace = Trace("click");
  const size_t release = trace.find("input lbutton up 600 520\ntick 30 ");
  ASSERT_NE(release, std::string::npos) << trace;
  const size_t room = trace.find(" : room.osb(");
  ASSERT_NE(room, std::string::npos) << trace;
  const size_t tick31 = trace.find("tick 31 "), tick32 = trace.find("tick 32 ");
  ASSERT_NE(tick32, std::string::npos) << trace;
  EXPECT_GT(room, release);
  EXPECT_GT(room, tick31);
  EXPECT_LT(room, tick32);
  EXPECT_EQ(Compare("click", "room", {}), "match\n");
  // The comparison is not blind: the frame differs from the page after a load.
  EXPECT_NE(Compare("click", "room", {"--lamp"}), "match\n");

  // A press without a release, or a click beside the button, stays on the title.
  for (const std::string& input : {std::string("tick 30: lbutton down 600 520\n"), Click(30, "470 520")}) {
    const test::CommandResult stay = Play("stay", 40, input);
    ASSERT_EQ(stay.exit_code, 0) << stay.output;
    EXPECT_EQ(Trace("stay").find("room.osb"), std::string::npos) << input;
    fs::remove_all(dir_ / "stay");
  }
}

// MOVE steps the marker, SAVE frames its place and saves slot 1, LOAD loads
// it: the marker returns to the saved place and the lamp turns green.
TEST_F(DemoHeadless, SaveMoveAndLoadBringTheMarkerBack) {
  const std::string before_load = Click(30, kStart) + Click(40, kMove) + Click(50, kSave) + Click(60, kMove) +
                                  Click(70, kMove);
  test::CommandResult r = Play("moved", 80, before_load);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(Compare("moved", "room", {"--pos", "3", "--saved", "1"}), "match\n");
  const test::CommandResult dump = test::RunOrbaTool({"save", "dump", dir_ / "moved/save.dat"});
  EXPECT_NE(dump.output.find("slot 1 version 140 caption \"place 1\" onload \"room.osb\""), std::string::npos)
      << dump.output;

  r = Play("loaded", 100, before_load + Click(80, kLoad));
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(Trace("loaded").find("no painting after a load\n"), std::string::npos);
  EXPECT_EQ(Compare("loaded", "room", {"--pos", "1", "--saved", "1", "--lamp"}), "match\n");

  // Loading before anything was saved changes nothing.
  r = Play("unsaved", 60, Click(30, kStart) + Click(40, kMove) + Click(45, kLoad));
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(Compare("unsaved", "room", {"--pos", "1"}), "match\n");
}

}  // namespace
}  // namespace orba

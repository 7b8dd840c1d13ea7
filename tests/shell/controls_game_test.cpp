// The "controls" test game played without a window: a volume slider driven
// by the mouse and the keyboard, a gauge rising by the fake clock and an
// image-font caption, checked through save.dat and the screenshot.
#include <gtest/gtest.h>

#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// The pictures, PNG data under the ".brx" names they are loaded by: cells of
// one colour each, side by side.
const std::string kPictures = test::CellPicturesScript(R"(cells('bar.brx', 20, 4, [(128, 128, 128), (0, 255, 0)])
cells('thumb.brx', 4, 8, [(255, 0, 0), (255, 255, 255), (0, 0, 255)])
cells('btn.brx', 6, 8, [(0, 0, 17 * k) for k in range(1, 7)])
cells('gauge.brx', 20, 4, [(0, 200, 0), (200, 0, 0)])
cells('font.brx', 3, 5, [(10 * k, 100, 200) for k in range(10)])
)");

TEST(ControlsGame, SliderGaugeAndImageFontCaption) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("controls", game, true);
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kPictures, game}).exit_code, 0);
  // The second button held from tick 4 to 30 (15 ms ticks): steps at the
  // press, 300 ms later and 60 ms after that; then the right arrow; then
  // the left arrow tapped, down and up within one tick; then the thumb (at
  // x 19..22 for 65) dragged from its centre to x 13; then the right and the
  // left arrow tapped within one tick, each seen by a tick of its own.
  test::WriteFileBytes(dir / "input.txt", test::Bytes("tick 3: mouse move 33 4\n"
                                                      "tick 4: lbutton down 33 4\n"
                                                      "tick 30: lbutton up 33 4\n"
                                                      "tick 33: key down 39\n"
                                                      "tick 34: key up 39\n"
                                                      "tick 35: key down 37\n"
                                                      "tick 35: key up 37\n"
                                                      "tick 37: mouse move 21 4\n"
                                                      "tick 38: lbutton down 21 4\n"
                                                      "tick 39: mouse move 13 4\n"
                                                      "tick 40: lbutton up 13 4\n"
                                                      "tick 42: key down 39\n"
                                                      "tick 42: key up 39\n"
                                                      "tick 42: key down 37\n"
                                                      "tick 42: key up 37\n"));
  const test::CommandResult r = test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", "80", "--input",
                                                  dir / "input.txt", "--trace", "-", "--screenshot", dir / "shot.png",
                                                  game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"),
                       {"var notes str = \"55 60 65 70 65 25 30 25 \"", "var volume int = 25",
                        "var rising str = \"TRUE 80, FALSE\""});
  // The slider at 25: filled bar to x 13, the thumb at 13..16 (hovered: the
  // pointer was released over it), the empty bar after it; the gauge full to
  // 80 % (16 of 20 pixels); "4", a gap, "2".
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(10, 3), (14, 1), (20, 3), (33, 1), (15, 21), (17, 21), (41, 2), "
                                              "(44, 2), (47, 2)"),
            "[(0, 255, 0), (255, 255, 255), (128, 128, 128), (0, 0, 68), (0, 200, 0), (0, 0, 0), (40, 100, 200), "
            "(0, 0, 0), (20, 100, 200)]\n");
  // Its Value is applied before its Delay, so the gauge rises from 0 at 1.5
  // units a tick: after 20 ticks it shows 28 or 30, 6 of its 20 pixels.
  ASSERT_EQ(test::PlayGame(game, 20, {"--screenshot", dir / "mid.png"}).exit_code, 0);
  EXPECT_EQ(test::PngPixels(dir / "mid.png", "(5, 21), (6, 21)"), "[(0, 200, 0), (0, 0, 0)]\n");
}

// From the second button (x 30..35), where the pointer rested, a move and a
// press in one tick on the bar left of the thumb (x 10, bar from x 8, 5 per
// pixel) set the value there, 10, rather than stepping the button's +5.
TEST(ControlsGame, APressAfterAMoveInTheSameTickHitsTheBarNotTheButtonLeft) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("controls", game, true);
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kPictures, game}).exit_code, 0);
  test::WriteText(dir / "input.txt", "tick 3: mouse move 33 4\ntick 6: lbutton down 10 4\ntick 7: lbutton up 10 4\n");
  ASSERT_EQ(test::PlayGame(game, 10, {"--input", dir / "input.txt"}).exit_code, 0);
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var notes str = \"10 \"", "var volume int = 10"});
}

}  // namespace
}  // namespace orba

// The "choices" test game played without a window: a click on a menu row,
// Escape on a second menu, a caption and a button's clicks, checked through
// save.dat and the screenshots (one with the first menu open).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

TEST(ChoicesGame, MenusButtonsAndCaptions) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("choices", game, true);
  // The button's picture: PNG data under the ".brx" name it is loaded by.
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c",
                              "import sys\nfrom PIL import Image\n"
                              "Image.new('RGB', (20, 16), (200, 100, 50)).save(sys.argv[1], 'PNG')\n",
                              game + "/btn.brx"}).exit_code, 0);
  ASSERT_EQ(test::RunPython("fixtures/ico_fixtures.py", {dir / "ico"}).exit_code, 0);
  std::filesystem::copy_file(dir / "ico/hand_8_cursor.cur", game + "/hand.cur");
  // Row 2 of the first menu (rows 24 pixels apart from y = 10) is clicked;
  // Escape cancels the second; the button is clicked once, then pressed,
  // dragged off and released.
  test::WriteFileBytes(dir / "input.txt", test::Bytes("tick 5: mouse move 20 66\n"
                                                      "tick 6: lbutton down 20 66\n"
                                                      "tick 7: lbutton up 20 66\n"
                                                      "tick 14: key down 27\n"
                                                      "tick 15: key up 27\n"
                                                      "tick 20: mouse move 105 85\n"
                                                      "tick 21: lbutton down 105 85\n"
                                                      "tick 22: lbutton up 105 85\n"
                                                      "tick 24: lbutton down 105 85\n"
                                                      "tick 25: mouse move 150 110\n"
                                                      "tick 26: lbutton up 150 110\n"));
  const test::CommandResult r = test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", "30", "--input",
                                                  dir / "input.txt", "--trace", "-", "--screenshot", dir / "shot.png",
                                                  game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  // The button's cursor file is shown over it; the system's arrow again at
  // the first tick off it after the press it held ended.
  test::ExpectContains(r.output, {"tick 20 clock 300 frame 15\ncursor hand.cur 16x16\n",
                                  "tick 27 clock 405 frame 15\ncursor default\n"});
  test::ExpectContains(test::DumpSave(game + "/save.dat"),
                       {"var branch str = \"third row\"", "var picked int = 2", "var pickstr str = \"three\"",
                        "var selargs str = \"three/2\"", "var cancelled int = -1", "var notified int = 1",
                        "var menus str = \"m1 FALSE, m2 FALSE, m3 FALSE\"", "var closed3 int = 1"});
  // The button, and the caption's white text over the black screen.
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(101, 81), (118, 95), (99, 81)"),
            "[(200, 100, 50), (200, 100, 50), (0, 0, 0)]\n");
  const std::string caption =
      test::RunCommand({ORBA_PYTHON, "-c",
                        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('L')\n"
                        "print(max(im.crop((0, 0, 60, 14)).getdata()) > 200, max(im.crop((0, 20, 90, 120)).getdata()))\n",
                        dir / "shot.png"}).output;
  EXPECT_EQ(caption, "True 0\n");  // and the closed menus are gone

  // The slot's object tree: the active root with the caption and the button,
  // then the other root; a property list for each, one row per property with
  // its display label ("X座標" for PR_LEFT) or its name.
  const test::CommandResult tree = test::RunOrbaTool({"save", "dump", "--tree", game + "/save.dat"});
  ASSERT_EQ(tree.exit_code, 0) << tree.output;
  test::ExpectContains(tree.output, {"\n\xe7\x94\xbb\xe9\x9d\xa2" "1 (\xe3\x82\xa2\xe3\x82\xaf\xe3\x83\x86\xe3\x82\xa3"
                                     "\xe3\x83\x96)\n",  // 画面1 (アクティブ)
                                     "\n  cap\n", "\n  b\n", "\n\xe7\x94\xbb\xe9\x9d\xa2" "2\n",  // 画面2
                                     "[b]\n  PR_NAME = b\n  PR_PARENT = \x01" "BASE0\n  PR_SOURCE = btn.brx\n"
                                     "  X\xe5\xba\xa7\xe6\xa8\x99 = 100\n",  // X座標
                                     "  PR_BLURDELAY = "});
  EXPECT_EQ(test::DumpSave(game + "/save.dat").find("PR_NAME"), std::string::npos);  // only with --tree
}

// The open menu shows its rows: the background, white row texts, and the
// hovered third row (rows 24 pixels apart from y = 10) filled with the hover
// colour under yellow text.
TEST(ChoicesGame, TheOpenMenuShowsItsRowsAndTheHoveredOne) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("choices", game, true);
  test::WriteFileBytes(dir / "input.txt", test::Bytes("tick 5: mouse move 20 66\n"));
  ASSERT_EQ(test::PlayGame(game, 6, {"--input", dir / "input.txt", "--screenshot", dir / "shot.png"}).exit_code, 0);
  // Background, hover fill, and outside the menu.
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(12, 12), (47, 33), (12, 60), (47, 72), (55, 60)"),
            "[(16, 16, 64), (16, 16, 64), (32, 80, 128), (32, 80, 128), (0, 0, 0)]\n");
  // The brightest ink of the first row's text and of the hovered row's.
  const std::string rows =
      test::RunCommand({ORBA_PYTHON, "-c",
                        "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
                        "def ink(box): return max(im.crop(box).getdata(), key=sum)\n"
                        "print(ink((10, 10, 50, 34)), ink((10, 58, 50, 74)))\n",
                        dir / "shot.png"}).output;
  // Labels blend at their Alpha of 255: a channel of 255 comes out 254.
  EXPECT_EQ(rows, "(254, 254, 254) (254, 254, 0)\n");
}

}  // namespace
}  // namespace orba

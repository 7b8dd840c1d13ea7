// The message game: a message window types two messages, a click shows a
// typing page whole and the next click goes on; the backlog shows them
// again; read pages are remembered in "save.dat" across runs; a game saved
// in the middle of typing loads to the same page and characters; half-width
// letters take whole cells.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "shell/test_games.h"

namespace orba {
namespace {

namespace fs = std::filesystem;
using test::ExpectContains;

std::string Clicks(const std::vector<int>& ticks) {
  std::string input;
  for (int t : ticks)
    input += "tick " + std::to_string(t) + ": lbutton down 20 50\ntick " + std::to_string(t + 1) + ": lbutton up 20 50\n";
  return input;
}

// The lines of one slot's entry in a dump that describe the message window
// and the backlog.
std::string SlotState(const std::string& dump, int slot) {
  std::istringstream in(dump);
  std::string line, out;
  bool inside = false;
  while (std::getline(in, line)) {
    if (line.rfind("entry ", 0) == 0) inside = line.rfind("entry GAMESAVEDATA" + std::to_string(slot) + " ", 0) == 0;
    if (inside && (line.rfind("  message ", 0) == 0 || line.rfind("  backlog ", 0) == 0 || line.rfind("    ", 0) == 0))
      out += line + "\n";
  }
  return out;
}

TEST(MessageGame, ClicksReadMarksAndTheBacklog) {
  test::TempDir dir;
  test::BuildGame("message", dir / "g", true);
  test::WriteText(dir / "in.txt", Clicks({5, 10, 15, 20}));
  const std::vector<std::string> options{"--input", dir / "in.txt", "--screenshot", dir / "shot.png"};
  ASSERT_EQ(test::PlayGame(dir / "g", 30, options).exit_code, 0);
  // OnPlayStart "0" (never read), OnPlayEnd after each page, the backlog
  // display's starts, then the default (record) format's 2 messages, the
  // "wide" format's height in pixels and -1 for a format that does not exist.
  ExpectContains(test::DumpSave(dir / "g/save.dat"),
                 {"var log str = \"S0ES0ES0S0|2,48,-1\"", "read \"main.osb\" (2,0) (3,0)\n"});
  // Text pixels lie inside the window (8, 40)-(152, 80) only.
  const std::string count =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
      "inside = outside = 0\nfor y in range(im.height):\n  for x in range(im.width):\n"
      "    if im.getpixel((x, y)) != (0, 0, 0):\n"
      "      if 8 <= x < 152 and 40 <= y < 80: inside += 1\n      else: outside += 1\n"
      "print(inside > 50, outside)\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", count, dir / "shot.png"}).output, "True 0\n");
  // The second run: both pages were read before.
  ASSERT_EQ(test::PlayGame(dir / "g", 30, options).exit_code, 0);
  ExpectContains(test::DumpSave(dir / "g/save.dat"), {"S0ES0ES0S0|2,48,-1S1ES1ES0S0|2,48,-1\""});
}

TEST(MessageGame, ASaveWhileTypingLoadsToTheSamePageAndCharacters) {
  test::TempDir dir;
  test::BuildGame("message", dir / "g", true, {"StartPage = typing.osb"});
  ASSERT_EQ(test::PlayGame(dir / "g", 30).exit_code, 0);
  const std::string dump = test::DumpSave(dir / "g/save.dat");
  // Slot 1 was saved while typing, paused; slot 2 by the loaded game.
  const std::string saved = SlotState(dump, 1);
  ExpectContains(saved, {"message \"mes\" mode 1 page 0 of 1 text \"\xe3\x81\xaf\xe3\x81\x98\xe3\x82\x81\"\n",
                         "record \"typing.osb\" 3 page 0 size 144x40\n",
                         "row \"typing.osb\" 3 text 0..5 height 16\n"});
  EXPECT_EQ(SlotState(dump, 2), saved);
}

// Half-width letters advance by whole square cells as wide as the font is
// high (16 here): "llliiiWWW" puts each letter's ink at the same place in
// each of its three cells, 16 pixels on from the last.
TEST(MessageGame, HalfWidthLettersAdvanceByWholeCells) {
  test::TempDir dir;
  test::BuildGame("message", dir / "g", true, {"StartPage = cells.osb"});
  ASSERT_EQ(test::PlayGame(dir / "g", 50, {"--screenshot", dir / "shot.png"}).exit_code, 0);
  const std::string cells =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\nink = []\n"
      "for c in range(9):\n"
      "  xs = [x - 16 * c for x in range(8 + 16 * c, 24 + 16 * c) for y in range(40, 56) if im.getpixel((x, y)) != (0, 0, 0)]\n"
      "  ink.append((min(xs), max(xs)) if xs else None)\n"
      "print(all(ink[k] is not None and ink[k] == ink[k - k % 3] for k in range(9)), ink[0] != ink[3] != ink[6])\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", cells, dir / "shot.png"}).output, "True True\n");
}

}  // namespace
}  // namespace orba

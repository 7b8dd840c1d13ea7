// The newcomer's example of examples/hello, built as docs/game-builder.md
// builds it and played without a window: its greeting must be readable on
// the screen, not drawn in the screen's own black, and a click on the
// message goes on to the farewell, as the greeting asks.
#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Builds the example as the walk-through does and plays it for 100 ticks
// with the input lines given, writing the last picture to Png.
void PlayHello(const test::TempDir& dir, const std::string& input, const std::string& png) {
  const test::CommandResult built =
      test::RunOrbaTool({"game", "build", "--folder", test::TestsPath("../examples/hello"), "-o", dir / "hello"});
  ASSERT_EQ(built.exit_code, 0) << built.output;
  test::WriteText(dir / "input.txt", input);
  const test::CommandResult played =
      test::PlayGame(dir / "hello", 100, {"--input", dir / "input.txt", "--screenshot", png});
  ASSERT_EQ(played.exit_code, 0) << played.output;
}

// How many pixels of the picture are brighter than Above (0 to 255) in each
// rectangle (left, top, right, bottom).
std::vector<int> LitPixels(const std::string& png, int above, const std::vector<std::array<int, 4>>& rects) {
  std::string script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('L')\n"
      "def lit(x0, y0, x1, y1):\n"
      "    return sum(1 for y in range(y0, y1) for x in range(x0, x1) if im.getpixel((x, y)) > " +
      std::to_string(above) + ")\n"
      "print(*[lit(*r) for r in [";
  for (const auto& [x0, y0, x1, y1] : rects)
    script += "(" + std::to_string(x0) + "," + std::to_string(y0) + "," + std::to_string(x1) + "," +
              std::to_string(y1) + "),";
  script += "]])\n";
  std::istringstream out(test::RunCommand({ORBA_PYTHON, "-c", script, png}).output);
  std::vector<int> counts;
  for (int n = 0; out >> n;) counts.push_back(n);
  return counts;
}

// The message window is (10, 380)-(630, 470) on a black screen: the
// greeting's two rows of 20-pixel text light many pixels there brightly
// (the first row, nine characters, reaches past x 130), and nothing lies
// outside it.
TEST(HelloExample, ScreenshotShowsItsGreetingInTheMessageWindow) {
  const test::TempDir dir;
  PlayHello(dir, "", dir / "hello.png");
  const std::vector<int> bright = LitPixels(dir / "hello.png", 128, {{10, 380, 630, 470}, {130, 380, 640, 401}});
  ASSERT_EQ(bright.size(), 2u);
  EXPECT_GT(bright[0], 500);
  EXPECT_GT(bright[1], 0);
  EXPECT_EQ(LitPixels(dir / "hello.png", 0, {{0, 0, 640, 380}}), std::vector<int>{0});
}

// Clicked on its message window at tick 60, the greeting gives way to the
// farewell: one row of six characters, so nothing lit below y 401 or right
// of x 130.
TEST(HelloExample, AClickOnTheMessageGoesOnToTheFarewell) {
  const test::TempDir dir;
  PlayHello(dir, "tick 60: lbutton down 320 420\ntick 61: lbutton up 320 420\n", dir / "bye.png");
  const std::vector<int> lit =
      LitPixels(dir / "bye.png", 0, {{10, 380, 130, 401}, {130, 380, 640, 401}, {0, 401, 640, 480}, {0, 0, 640, 380}});
  ASSERT_EQ(lit.size(), 4u);
  EXPECT_GT(lit[0], 100);
  EXPECT_EQ(std::vector<int>(lit.begin() + 1, lit.end()), (std::vector<int>{0, 0, 0}));
}

}  // namespace
}  // namespace orba

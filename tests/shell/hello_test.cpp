// The newcomer's example of examples/hello, built as docs/game-builder.md
// builds it and played without a window: its greeting must be readable on
// the screen, not drawn in the screen's own black.
#include <gtest/gtest.h>

#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

TEST(HelloExample, ScreenshotShowsItsGreetingInTheMessageWindow) {
  const test::TempDir dir;
  const test::CommandResult built =
      test::RunOrbaTool({"game", "build", "--folder", test::TestsPath("../examples/hello"), "-o", dir / "hello"});
  ASSERT_EQ(built.exit_code, 0) << built.output;
  const test::CommandResult played = test::PlayGame(dir / "hello", 100, {"--screenshot", dir / "hello.png"});
  ASSERT_EQ(played.exit_code, 0) << played.output;
  // The message window is (10, 380)-(630, 470) on a black screen: its two
  // rows of 20-pixel text light many pixels there, and nothing lies
  // outside it.
  const std::string count =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('L')\n"
      "inside = sum(1 for y in range(380, 470) for x in range(10, 630) if im.getpixel((x, y)) > 128)\n"
      "outside = sum(1 for y in range(0, 380) for x in range(640) if im.getpixel((x, y)) > 0)\n"
      "print(inside > 500, outside)\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", count, dir / "hello.png"}).output, "True 0\n");
}

}  // namespace
}  // namespace orba

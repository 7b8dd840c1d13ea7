// A test game that creates a coloured box, played without a window: the
// screenshot shows the box at its place on a black screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

TEST(GamePaint, BoxAppearsInTheScreenshot) {
  const test::TempDir dir;
  const std::string game = dir / "paint";
  fs::create_directories(game);
  const test::CommandResult built =
      test::RunOrbaTool({"game", "build", test::TestsPath("games/paint"), "-o", game + "/game.dat"});
  ASSERT_EQ(built.exit_code, 0) << built.output;
  const std::string shot = dir / "out.png";
  const test::CommandResult played =
      test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", "10", "--screenshot", shot, game});
  ASSERT_EQ(played.exit_code, 0) << played.output;
  // The box: left 20, top 30, 40 x 50, colour 255 (red).
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1]).convert('RGB')\n"
      "print(im.size)\n"
      "print([im.getpixel(p) for p in [(20, 30), (59, 79), (40, 55)]])\n"
      "print([im.getpixel(p) for p in [(19, 30), (20, 29), (60, 79), (59, 80), (0, 0), (159, 119)]])\n";
  const test::CommandResult r = test::RunCommand({ORBA_PYTHON, "-c", script, shot});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output,
            "(160, 120)\n"
            "[(255, 0, 0), (255, 0, 0), (255, 0, 0)]\n"
            "[(0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0)]\n");
}

}  // namespace
}  // namespace orba

// A test game that creates a coloured box, played without a window: the
// screenshot shows the box at its place on a black screen.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/test_games.h"
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
  EXPECT_EQ(test::PngPixels(shot, "(20, 30), (59, 79), (40, 55)"), "[(255, 0, 0), (255, 0, 0), (255, 0, 0)]\n");
  EXPECT_EQ(test::PngPixels(shot, "(19, 30), (20, 29), (60, 79), (59, 80), (0, 0), (159, 119)"),
            "[(0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0)]\n");
}

}  // namespace
}  // namespace orba

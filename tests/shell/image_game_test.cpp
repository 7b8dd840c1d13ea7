// The "images" test game played without a window: its frame is compared
// pixel for pixel with a golden frame composed by an independent Python
// reference from the Pillow-decoded pictures, and the picture cache's
// dithering setting survives from one run to the next in the status save.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

TEST(ImageGame, FrameEqualsTheReferenceAndDitheringIsKept) {
  const test::TempDir dir;
  const std::string src = dir / "src";
  fs::copy(test::TestsPath("games/images"), src, fs::copy_options::recursive);
  const std::string fixture = test::TestsPath("fixtures/image_game_fixture.py");
  const test::CommandResult written = test::RunCommand({ORBA_PYTHON, fixture, "write", src});
  ASSERT_EQ(written.exit_code, 0) << written.output;
  const std::string game = dir / "game";
  fs::create_directories(game);
  const test::CommandResult built = test::RunOrbaTool({"game", "build", src, "-o", game + "/game.dat"});
  ASSERT_EQ(built.exit_code, 0) << built.output;

  for (const char* dither : {"FALSE", "TRUE"}) {
    const std::string shot = dir / "shot.png";
    const test::CommandResult played =
        test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", "5", "--screenshot", shot, game});
    ASSERT_EQ(played.exit_code, 0) << played.output;
    // Pictures decoded with dithering on look the same.
    const test::CommandResult checked = test::RunCommand({ORBA_PYTHON, fixture, "check", src, shot});
    EXPECT_EQ(checked.output, "ok\n") << "dither " << dither;
    // The setting the game started with (off at first, then as the run
    // before left it); the film item has no picture, and the script went on
    // past both films.
    test::ExpectContains(test::DumpSave(game + "/save.dat"),
                         {std::string("var dither bool = ") + dither, "var filmwidth int = 0", "var after int = 1"});
  }
}

}  // namespace
}  // namespace orba

// The boxquit game without a window: its overwrite question names the file
// with "/" throughout, as paths are written on this system (the game's
// folder and the name it extracts to, "out\a.dat" inside the game, alike),
// and is answered as the headless player answers a box.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/test_games.h"

namespace orba {
namespace {

TEST(BoxquitGame, TheOverwriteQuestionNamesTheFileWithSlashes) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("boxquit", game, true);
  std::filesystem::create_directories(game + "/out");
  test::WriteText(game + "/out/a.dat", "old a\n");
  const test::CommandResult r = test::PlayGame(game, 5);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string asked = "message box \xe7\xa2\xba\xe8\xaa\x8d: " + game + "/out/a.dat /  / ";  // 確認
  EXPECT_NE(r.output.find(asked), std::string::npos) << r.output;
  EXPECT_EQ(r.output.find('\\'), std::string::npos) << r.output;
  // The first button of the question, Yes, overwrote the file.
  EXPECT_EQ(test::FileText(game + "/out/a.dat"), "new a\n");
}

}  // namespace
}  // namespace orba

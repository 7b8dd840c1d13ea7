// The "edit" game without a window: an edit's and a memo's texts (and the
// memo's alignment) survive a save and a load made after they were changed.
#include <gtest/gtest.h>

#include "shell/test_games.h"

namespace orba {
namespace {

TEST(EditGame, SavedTextsComeBackWithTheLoad) {
  const test::TempDir dir;
  test::BuildGame("edit", dir / "game", true);
  ASSERT_EQ(test::PlayGame(dir / "game", 10).exit_code, 0);
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"),
                       {"var loaded int = 1", "var edittext str = \"orba\"", "var memotext str = \"memo\"",
                        "var memoalign int = 2", "var keys str = \"\""});
}

}  // namespace
}  // namespace orba

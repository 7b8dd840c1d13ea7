// The table store and the file functions in a running game: the test game
// "tables" played by the player program without a window, and what it
// leaves in "save.dat".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/files/vr_file_manager.h"
#include "core/vocab/vocab.h"
#include "script/functions/sys_func.h"
#include "script/project/project.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"
#include "shell/game_services.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// Builds the test game "tables" into the package Out/game.dat. The game
// carries a file named "mem:a.txt" for CopyFile to read as an in-memory
// file; it is written here, as such a name is no file of the source tree.
void BuildTablesGame(const std::string& out) {
  const test::TempDir src;
  fs::copy(test::TestsPath("games/tables"), src.path(), fs::copy_options::recursive);
  std::ofstream(src / "mem:a.txt", std::ios::binary) << "memory text";
  fs::create_directories(out);
  const test::CommandResult r = test::RunOrbaTool({"game", "build", src.path(), "-o", out + "/game.dat"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
}

test::CommandResult Play(const std::string& game, int ticks) {
  return test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", std::to_string(ticks), game});
}


// Attaching registers the functions and hooks the project's environment;
// detaching gives the library its defaults back.
TEST(GameServices, AttachPlacesTheTablesAndDetachUnregisters) {
  TParamCollection store;
  TSysFuncMan funcs(store);
  TVrFileManager files;
  TProjectEnvironment env;
  std::unique_ptr<TGameServices> services = AttachGameServices(funcs, files, env, nullptr);
  ASSERT_TRUE(env.PlaceSaveSections && env.ClearGameTables);

  TParamStr name, none;
  TParamFlag status, result;
  TCustomParam* create[] = {&name, &status};
  name.SetAsStr("G");
  funcs.CallSysFunc(result, FN_DBCreateTable, create);
  EXPECT_TRUE(result.GetAsFlag());
  name.SetAsStr("S");
  status.SetAsFlag(true);
  funcs.CallSysFunc(result, FN_DBCreateTable, create);
  EXPECT_TRUE(result.GetAsFlag());
  EXPECT_EQ(services->Tables().Count(), 2);

  TSaveSections sections;
  env.PlaceSaveSections(sections);
  ASSERT_NE(sections.GameTables, nullptr);
  ASSERT_NE(sections.StatusTables, nullptr);
  // The game tables of a slot hold "G" only, the status tables "S" only.
  TKsMemoryStream game, stat;
  sections.GameTables->SaveToStream(game);
  sections.StatusTables->SaveToStream(stat);
  TDBManager copy;
  game.SetPosition(0);
  copy.LoadFromStream(game, kDBGameCategory);
  stat.SetPosition(0);
  copy.LoadFromStream(stat, kDBStatusCategory);
  const int32_t g = copy.IndexOfTable("G"), st = copy.IndexOfTable("S");
  ASSERT_EQ(copy.Count(), 2);
  ASSERT_TRUE(g >= 0 && st >= 0);
  EXPECT_EQ(copy.GetTable(g)->Category, kDBGameCategory);
  EXPECT_EQ(copy.GetTable(st)->Category, kDBStatusCategory);

  // A game reset takes the game table only.
  env.ClearGameTables();
  EXPECT_EQ(services->Tables().IndexOfTable("G"), -1);
  EXPECT_EQ(services->Tables().IndexOfTable("S"), 0);

  // Without a project's check, a name the file layer does not find is not
  // available.
  EXPECT_FALSE(services->FileAvailable("nothing.txt"));

  DetachGameServices(services);
  EXPECT_EQ(services, nullptr);
  TParamStr answer;
  answer.SetAsStr("unchanged");
  funcs.CallSysFunc(answer, FN_DBGetActive, {});
  EXPECT_EQ(answer.GetAsStr(), "unchanged");
}

TEST(GameServices, TablesSaveFilesAndStatusTablesLastAcrossRuns) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildTablesGame(game);

  test::CommandResult r = Play(game, 4);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {
      "var created bool = TRUE", "var f1 bool = TRUE", "var f2 bool = TRUE", "var count int = 3",
      // Located without regard to case: banana's id.
      "var located bool = TRUE", "var locid int = 1",
      // Sorted by id, highest first.
      "var sorted bool = TRUE", "var top str = \"Apple\"", "var sc bool = TRUE", "var active str = \"Stat\"",
      "var copied bool = TRUE",
      // The table deleted before the load came back with the loaded game,
      // and so did the active table.
      "var gone bool = TRUE", "var left int = -1", "var back int = 3", "var backactive str = \"Stat\"",
      // Reset took the game table and left the status table.
      "var afterreset int = -1", "var statusleft int = 1",
      // The status table lies in the status entry.
      "  table Stat status rows 1 columns v:int\n    row 0: 42\n", "entry GAMESAVEDATA1", "entry save:s1.txt"});

  // The next run: the saved file and the status table came back from
  // "save.dat"; the game table did not. A packaged TSV file fills a table.
  r = Play(game, 2);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"),
                       {"var runs int = 2", "var exists bool = TRUE", "var nothere bool = FALSE",
                        "var gamenext int = -1", "var sa bool = TRUE", "var statusnext int = 42",
                        // A table read from a file of the game.
                        "var tsv bool = TRUE", "var tsvrows int = 2", "var tsvprice int = 7",
                        "var missing bool = FALSE"});
}

}  // namespace
}  // namespace orba

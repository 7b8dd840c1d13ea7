// The "startlinks" game with its start-up files planted after the build:
// settings, original settings and start page as links out of the game's
// folder to a canary in a fake HOME are not the game's (its package's own
// are read, nothing of the canary); "game.dat" as a link to another game's
// package mounts nothing; a start or exit page named outside the folder is
// a missing page; links that stay inside the folder work. A package there
// that cannot be opened says why.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "script/project/project_settings.h"
#include "shell/test_games.h"
#include "support/open_watch.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;
using test::ExpectLacks;

// "警告: スタートページがありません" as the player's message box line says it.
const char* const kNoStartPageLine =
    "message box \xe8\xad\xa6\xe5\x91\x8a: "
    "\xe3\x82\xb9\xe3\x82\xbf\xe3\x83\xbc\xe3\x83\x88\xe3\x83\x9a\xe3\x83\xbc\xe3\x82\xb8"
    "\xe3\x81\x8c\xe3\x81\x82\xe3\x82\x8a\xe3\x81\xbe\xe3\x81\x9b\xe3\x82\x93";

// A fake HOME with a key as the canary, beside the game's folder.
class StartLinksGame : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(home + "/.ssh");
    test::WriteText(key, "CANARY-KEY!\r\n");
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  }
  // Every file below the test's folder but the game's, with its time.
  std::map<std::string, std::string> Outside() const { return test::FilesBelow(top, {game}, true); }
  // Names the pages of a loose game's settings.
  void SetPages(const std::string& start, const std::string& exit) const {
    TKsMemoryStream in;
    in.LoadFromFile(game + "/orba.opb");
    TProjectSetting settings;
    settings.LoadFromStream(in);
    if (!start.empty()) settings.StartPage = start;
    if (!exit.empty()) settings.ExitPage = exit;
    TKsMemoryStream out;
    settings.SaveToStream(out);
    out.SaveToFile(game + "/orba.opb");
  }

  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string home = top + "/home", game = top + "/game", key = home + "/.ssh/id_rsa";
};

// The settings, original settings and start page beside a package, links
// to the user's key: the package's own are read, the key never opened.
TEST_F(StartLinksGame, StartUpFilesLinkedOutAreNotTheGames) {
  test::BuildGame("startlinks", game, false);
  for (const char* name : {"orba.opb", "original_orba.opb", "main.osb"}) fs::create_symlink(key, game + "/" + name);
  const auto before = Outside();
  const test::OpenWatch watch(key);
  ASSERT_TRUE(watch.Armed());
  const test::CommandResult r = test::PlayGame(game, 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"own start page FALSE  went on exit\""});
  ExpectContains(r.output, {"file read refused: " + game + "\\orba.opb"});
  EXPECT_FALSE(watch.Touched());
  ExpectLacks(r.output, {"CANARY"});
  EXPECT_EQ(Outside(), before);
}

// Links that stay inside the game's folder are its files: the settings and
// the start page read through them, and a loose file beside them.
TEST_F(StartLinksGame, StartUpFilesLinkedInsideWork) {
  test::BuildGame("startlinks", game, true);
  fs::create_directories(game + "/real");
  for (const char* name : {"orba.opb", "main.osb"}) {
    fs::rename(game + "/" + name, game + "/real/" + name);
    fs::create_symlink(std::string("real/") + name, game + "/" + name);
  }
  test::WriteText(game + "/real/note.txt", "note line\r\n");
  fs::create_symlink("real/note.txt", game + "/note.txt");
  const test::CommandResult r = test::PlayGame(game, 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"own start page TRUE note line went on exit\""});
}

// "game.dat" a link to another game's package in HOME: nothing of it is
// mounted or read, and without a game the player ends.
TEST_F(StartLinksGame, APackageLinkedOutMountsNothing) {
  const std::string other = home + "/other";
  test::BuildGame("startlinks", other, false, {"Var secret str CANARY-TITLE"});
  fs::create_directories(game);
  fs::create_symlink(other + "/game.dat", game + "/game.dat");
  const auto before = Outside();
  const test::OpenWatch watch(other + "/game.dat");
  ASSERT_TRUE(watch.Armed());
  const test::CommandResult r = test::PlayGame(game, 3);
  EXPECT_EQ(r.exit_code, 1) << r.output;
  ExpectContains(r.output, {"file read refused: " + game + "\\game.dat"});
  EXPECT_FALSE(watch.Touched());
  EXPECT_FALSE(fs::exists(game + "/save.dat"));
  EXPECT_EQ(Outside(), before);
}

// A package that is there but may not be read (copied from a disc with its
// permissions) says so with the system's reason and its path as the system
// spells it, and without a game the player ends.
TEST_F(StartLinksGame, APackageThatCannotBeOpenedSaysWhy) {
  test::BuildGame("startlinks", game, false);
  fs::permissions(game + "/game.dat", fs::perms::none);
  const test::CommandResult r = test::RunHeedingPermissions({ORBA_PLAYER_PATH, "--headless", "--ticks", "3", game});
  EXPECT_EQ(r.exit_code, 1) << r.output;
  EXPECT_EQ(r.output, "orba: " + game + "/game.dat: Permission denied\n");
  EXPECT_FALSE(fs::exists(game + "/save.dat"));
}

struct ClimbingPage {
  const char* name;
  const char* start;  // the start page the settings name, or "" for their own
  const char* exit;   // the exit page, or "" for their own
};

void PrintTo(const ClimbingPage& c, std::ostream* os) { *os << c.name; }

class StartLinksPages : public StartLinksGame, public ::testing::WithParamInterface<ClimbingPage> {};

// A page named outside the game's folder, by ".." or absolutely, is a
// missing page: a start page ends the start with the player's message, an
// exit page is left out; the key is never opened.
TEST_P(StartLinksPages, APageNamedOutsideTheFolderIsMissing) {
  test::BuildGame("startlinks", game, true);
  test::WriteText(game + "/note.txt", "note line\r\n");
  SetPages(GetParam().start, GetParam().exit);
  const auto before = Outside();
  const test::OpenWatch watch(key);
  ASSERT_TRUE(watch.Armed());
  const test::CommandResult r = test::PlayGameJoined(game, 3);
  if (*GetParam().start != '\0') {
    EXPECT_EQ(r.exit_code, 1) << r.output;
    ExpectContains(r.output, {kNoStartPageLine});
    ExpectLacks(r.output, {"tick 1"});
  } else {
    ASSERT_EQ(r.exit_code, 0) << r.output;
    ExpectContains(test::DumpSave(game + "/save.dat"), {"var log str = \"own start page TRUE note line went on\""});
    ExpectContains(r.output, {std::string("orba: ") + GetParam().exit + ":"});
  }
  EXPECT_FALSE(watch.Touched());
  ExpectLacks(r.output, {"CANARY"});
  EXPECT_EQ(Outside(), before);
}

INSTANTIATE_TEST_SUITE_P(Pages, StartLinksPages,
                         ::testing::Values(ClimbingPage{"StartClimbs", "..\\home\\.ssh\\id_rsa", ""},
                                           ClimbingPage{"StartClimbsBySlashes", "sub/../../home/.ssh/id_rsa", ""},
                                           ClimbingPage{"StartAbsolute", "/etc/hostname", ""},
                                           ClimbingPage{"ExitClimbs", "", "..\\home\\.ssh\\id_rsa"},
                                           ClimbingPage{"ExitOnADrive", "", "C:\\exit.osb"}),
                         [](const ::testing::TestParamInfo<ClimbingPage>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orba

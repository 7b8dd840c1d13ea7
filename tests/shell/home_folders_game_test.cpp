// The "homefolders" game writes into a fake HOME: HOME itself, "~/bin" (on
// the PATH of many desktops), "/bin" and the user's desktop, documents and
// pictures folders, missing or present, stay shut, as does a HOME of "/";
// a folder the player chose is written to in that run and in a later one,
// through the player's record, which the game cannot reach; HOME chosen
// takes the files ExtractFile names there, in that run, and nothing else.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/game_clock.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_dialogs.h"
#include "platform/headless/scripted_file_dialogs.h"
#include "platform/headless/scripted_input.h"
#include "platform/text_convert.h"
#include "script/values/param_collection.h"
#include "shell/game_client.h"
#include "shell/shell_runner.h"
#include "shell/in_process_game.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;

// The entries below Root (but Skipped) with their contents and times.
std::map<std::string, std::string> FilesBelow(const std::string& root, const std::vector<std::string>& skipped) {
  return test::FilesBelow(root, skipped, true);
}

constexpr char kNothingWritten[] = " home FALSEFALSEFALSEFALSE user FALSEFALSEFALSEFALSE";

// Without a desktop or documents folder, and with them and their canaries,
// the game writes nothing outside its folder and goes on; HOME "/" alike.
TEST(HomeFoldersGame, NoFolderOfHomeOpensWithoutTheChooser) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string home = top + "/home", game = top + "/game", data = top + "/data";
  fs::create_directories(home + "/bin");
  fs::create_directories(data);
  test::WriteText(home + "/.profile", "PATH=\"$HOME/bin:$PATH\"\n");
  test::BuildGame("homefolders", game, true, {"Var home str " + home});
  const test::EnvScope env({{"HOME", home}, {"XDG_DATA_HOME", data}});
  for (const bool present : {false, true}) {
    if (present) {
      for (const char* folder : {"/Desktop", "/Documents", "/Pictures"}) {
        fs::create_directories(home + folder);
        test::WriteText(home + folder + "/canary.txt", "CANARY\n");
      }
    }
    fs::remove(game + "/save.dat");
    const auto before = FilesBelow(top, {game});
    const test::CommandResult r = test::PlayGame(game, 3);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    ExpectContains(test::DumpSave(game + "/save.dat"),
                   {std::string("var log str = \"run 1") + kNothingWritten + " chose FALSEFALSEFALSEFALSEFALSE kept FALSE "
                    "went on\""});
    ExpectContains(r.output, {"file write refused: " + home + "/bin\\\n", "file write refused: " + home + "\\\n",
                              "file write refused: /bin\\\n", "file write refused: " + home + "/Documents\\\n"});
    EXPECT_EQ(FilesBelow(top, {game}), before) << "present " << present;
  }
  // HOME "/" (a service, a container): "~/bin" is "/bin".
  const std::string root_game = top + "/rootgame";
  test::BuildGame("homefolders", root_game, true, {"Var home str /"});
  const test::EnvScope root_env(test::EnvScope::TVars{{"HOME", "/"}});
  const auto before = FilesBelow(top, {root_game});
  const test::CommandResult r = test::PlayGame(root_game, 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(test::DumpSave(root_game + "/save.dat"), {std::string("var log str = \"run 1") + kNothingWritten});
  ExpectContains(r.output, {"file write refused: //bin\\\n"});
  EXPECT_FALSE(fs::exists("/bin/orba.opb"));
  EXPECT_EQ(FilesBelow(top, {root_game}), before);
}

// The game played in this process twice, its choosers answered from a
// script.
class HomeFoldersChooser : public ::testing::Test {
 protected:
  void TearDown() override {
    SetFileDialogService(previous);
    ResetPlayerGlobals();
  }
  // Plays one run of three ticks of Played (the game folder when empty);
  // the game's log.
  std::string Run(const std::string& played = std::string()) {
    return test::PlayLoggedRun(played.empty() ? game : played);
  }

  test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string home = top + "/home", game = top + "/game", data = top + "/data", chosen = top + "/chosen";
  std::shared_ptr<TScriptedFileDialogs> dialogs = std::make_shared<TScriptedFileDialogs>();
  std::shared_ptr<TFileDialogService> previous = SetFileDialogService(dialogs);
};

// The folder chosen in the first run is written to then and in the next
// run; HOME chosen opens nothing but takes the file ExtractFile names; a file chosen in the documents folder
// opens that file alone, not the folder; the record names the game's folder
// and the chosen one.
TEST_F(HomeFoldersChooser, AChosenFolderIsWrittenToInThisRunAndALaterOne) {
  for (const char* folder : {"/Desktop", "/Documents", "/Pictures"}) {
    fs::create_directories(home + folder);
    test::WriteText(home + folder + "/canary.txt", "CANARY\n");
  }
  fs::create_directories(chosen);
  fs::create_directories(data);
  test::BuildGame("homefolders", game, true, {"Var home str " + home});
  const test::EnvScope env({{"HOME", home}, {"XDG_DATA_HOME", data}});
  const auto before = FilesBelow(home, {});
  dialogs->Push(chosen);
  dialogs->Push(home);
  dialogs->Push(home + "/Documents/letter.txt");
  EXPECT_EQ(Run(), std::string("run 1") + kNothingWritten + " chose TRUETRUETRUETRUEFALSE kept TRUE went on");
  EXPECT_EQ(dialogs->Pending(), 0u);
  const std::string record = data + "/orba/chosen:folders";
  EXPECT_EQ(test::FileText(record), "orba chosen folders 2\n" + game + "\t" + chosen + "\n");
  EXPECT_EQ(test::FileText(chosen + "/orba.opb"), test::FileText(game + "/orba.opb"));
  fs::remove(chosen + "/orba.opb");
  // HOME chosen takes the one file the game named there, and is not kept.
  EXPECT_EQ(test::FileText(home + "/orba.opb"), test::FileText(game + "/orba.opb"));
  fs::remove(home + "/orba.opb");

  EXPECT_EQ(Run(), std::string("run 2") + kNothingWritten + " kept TRUE went on");
  EXPECT_EQ(test::FileText(chosen + "/orba.opb"), test::FileText(game + "/orba.opb"));
  EXPECT_EQ(FilesBelow(home, {}), before);
  EXPECT_EQ(test::FileText(record), "orba chosen folders 2\n" + game + "\t" + chosen + "\n");
}

// Two packages in one folder: the folder chosen for one is remembered for
// that package file alone, so the other, which never showed a chooser,
// cannot write there though it shares the folder and its "save.dat"; a
// record of the older form is still read.
TEST_F(HomeFoldersChooser, AFolderChosenForOnePackageStaysShutToAnotherBesideIt) {
  const std::string games = top + "/games";
  fs::create_directories(chosen);
  fs::create_directories(data + "/orba");
  fs::create_directories(home + "/Documents");
  test::BuildGame("homefolders", games, false, {"Var home str " + home});
  fs::copy_file(games + "/game.dat", games + "/evil.dat");
  fs::rename(games + "/game.dat", games + "/good.dat");
  const test::EnvScope env({{"HOME", home}, {"XDG_DATA_HOME", data}});
  // What the older form kept for the folder: no package's any more.
  const std::string record = data + "/orba/chosen:folders";
  test::WriteText(record, "orba chosen folders 1\n" + games + "\t" + chosen + "\n");
  dialogs->Push(chosen);
  dialogs->Push(home);
  dialogs->Push(home + "/Documents/letter.txt");
  EXPECT_EQ(Run(games + "/good.dat"),
            std::string("run 1") + kNothingWritten + " chose TRUETRUETRUETRUEFALSE kept TRUE went on");
  EXPECT_EQ(dialogs->Pending(), 0u);
  EXPECT_EQ(test::FileText(record), "orba chosen folders 2\n" + games + "\t" + chosen + "\n" + games + "/good.dat\t" +
                                        chosen + "\n");
  fs::remove(chosen + "/orba.opb");
  fs::remove(home + "/orba.opb");

  EXPECT_EQ(Run(games + "/evil.dat"), std::string("run 2") + kNothingWritten + " kept FALSE went on");
  EXPECT_FALSE(fs::exists(chosen + "/orba.opb"));
  EXPECT_EQ(Run(games + "/good.dat"), std::string("run 3") + kNothingWritten + " kept TRUE went on");
  EXPECT_TRUE(fs::exists(chosen + "/orba.opb"));
}

// HOME chosen in ExtractFile's chooser takes the file the game names, after
// the overwrite question (No keeps the user's file, Yes replaces it), and
// chosen through SelectDirectory it takes what a mask names; the game reads
// nothing there and writes nothing else, and the next run has HOME shut.
TEST_F(HomeFoldersChooser, HomeChosenTakesTheNamedFilesAloneInThatRun) {
  fs::create_directories(home);
  fs::create_directories(data);
  test::WriteText(home + "/canary.txt", "CANARY\n");
  test::WriteText(home + "/orba.opb", "the user's own\n");
  test::BuildGame("homechoice", game, true, {"Var home str " + home});
  const test::EnvScope env({{"HOME", home}, {"XDG_DATA_HOME", data}});
  const auto boxes = std::make_shared<TScriptedMessageBoxes>();
  const std::shared_ptr<TMessageBoxService> previous_boxes = SetMessageBoxService(boxes);
  boxes->Push(TDialogAnswer::Custom, 1);  // No
  boxes->Push(TDialogAnswer::Custom, 0);  // Yes
  dialogs->Push(home);
  dialogs->Push(home);
  dialogs->Push(home);
  const std::string first = Run();
  const std::vector<TDialogRequest> shown = boxes->Shown();
  SetMessageBoxService(previous_boxes);
  EXPECT_EQ(first, "kept FALSE overwritten TRUE dir TRUETRUE else FALSEFALSEFALSE run 1 home TRUE");
  EXPECT_EQ(dialogs->Pending(), 0u);
  EXPECT_EQ(boxes->Pending(), 0u);
  ASSERT_EQ(shown.size(), 2u);
  for (const TDialogRequest& box : shown) {
    EXPECT_EQ(box.Text.substr(0, home.size()), home);
    EXPECT_NE(box.Text.find("orba.opb\r\n"), std::string::npos) << box.Text;
  }
  EXPECT_EQ(shown[0].Labels.size(), 2u);
  EXPECT_EQ(test::FileText(home + "/orba.opb"), test::FileText(game + "/orba.opb"));
  EXPECT_EQ(test::FileText(home + "/main.osb"), test::FileText(game + "/main.osb"));
  EXPECT_EQ(test::FileText(home + "/canary.txt"), "CANARY\n");
  EXPECT_EQ(FilesBelow(home, {}).size(), 3u);
  EXPECT_FALSE(fs::exists(home + "/sub"));
  EXPECT_FALSE(fs::exists(data + "/orba/chosen:folders"));
  fs::remove(home + "/orba.opb");
  EXPECT_EQ(Run(), "kept FALSE overwritten TRUE dir TRUETRUE else FALSEFALSEFALSE run 1 home TRUE run 2 home FALSE");
  EXPECT_FALSE(fs::exists(home + "/orba.opb"));
}

}  // namespace
}  // namespace orba

// The "symlinks" game beside links, a FIFO and a device link planted after
// its build, with canaries in a fake HOME and a folder outside the game:
// nothing outside is read, written, truncated or deleted, the game goes on,
// and links that stay inside the game's folder work.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;
using test::ExpectLacks;

// Every file below Root with its content (links as their targets' names).
std::map<std::string, std::string> Snapshot(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string path = entry.path().string();
    if (entry.is_symlink()) {
      files[path] = "-> " + fs::read_symlink(entry.path()).string();
    } else {
      files[path] = entry.is_regular_file() ? test::FileText(path) : "<folder>";
    }
  }
  return files;
}

struct Build {
  const char* name;
  bool folder;
};

void PrintTo(const Build& build, std::ostream* os) { *os << build.name; }

class SymlinksGame : public ::testing::TestWithParam<Build> {};

TEST_P(SymlinksGame, PlantedLinksLeadNowhereOutsideAndInsideLinksWork) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string();
  const std::string home = top + "/home", outside = top + "/outside", game = top + "/game";
  fs::create_directories(home + "/.ssh");
  fs::create_directories(outside);
  test::WriteText(home + "/.ssh/id_rsa", "CANARY-KEY\n");
  test::WriteText(outside + "/secret.txt", "CANARY-SECRET\n");
  test::WriteText(outside + "/victim.brx", "CANARY-VICTIM");
  test::BuildGame("symlinks", game, GetParam().folder);
  // Planted after the build, as a downloaded game would carry them.
  fs::create_directories(game + "/sub");
  test::WriteText(game + "/inside.txt", "inside line\r\n");
  test::WriteText(game + "/sub/a.txt", "sub line\r\n");
  fs::create_symlink(outside + "/../game/inside.txt", outside + "/back.txt");
  const std::vector<std::pair<std::string, std::string>> links = {
      {"alias", "sub"},
      {"alias_file.txt", "inside.txt"},
      {"key.txt", home + "/.ssh/id_rsa"},
      {"etc", "../outside"},
      {"chain.txt", "../outside/back.txt"},
      {"dangling.txt", "../outside/none.txt"},
      {"zero.txt", "/dev/zero"},
      {"shot.brx", "../outside/victim.brx"},
      {"dangling.brx", "../outside/made.brx"},
  };
  for (const auto& [name, target] : links) fs::create_symlink(target, game + "/" + name);
  ASSERT_EQ(::mkfifo((game + "/fifo.txt").c_str(), 0644), 0);
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  const auto home_before = Snapshot(home);
  const auto outside_before = Snapshot(outside);

  const test::CommandResult r = test::RunCommand({"timeout", "-s", "KILL", "60", ORBA_PLAYER_PATH, "--headless",
                                                  "--ticks", "3", "--trace", "-", game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string save = test::DumpSave(game + "/save.dat");
  // Inside links answer as their targets; every link out, the FIFO and the
  // device answer as missing files, and the game goes on to its last line.
  ExpectContains(save, {"var log str = \"exists TRUETRUETRUEFALSEFALSEFALSEFALSEFALSEFALSE"
                        " read TRUEsub lineFALSEFALSEFALSEFALSEFALSEsub line tsv TRUEFALSEFALSEFALSE"
                        " shot FALSEFALSEFALSEFALSETRUE extract TRUEFALSE\""});
  ExpectContains(r.output, {"file read refused: " + game + "\\key.txt\n", "file read refused: " + game + "\\chain.txt\n",
                            "file write refused: " + game + "\\shot.brx\n",
                            "file write refused: " + game + "\\etc\\\n"});
  for (const std::string& text : {save, r.output}) ExpectLacks(text, {"CANARY"});
  // Nothing outside changed: no file written through a link, none
  // truncated, none made, none deleted.
  EXPECT_EQ(Snapshot(home), home_before);
  EXPECT_EQ(Snapshot(outside), outside_before);
  // Written inside, through the inside link; extracted copies hold only
  // what lies inside.
  EXPECT_TRUE(fs::is_regular_file(game + "/sub/own.brx"));
  EXPECT_FALSE(fs::exists(game + "/n"));
  EXPECT_EQ(test::FileText(game + "/copies/inside.txt"), "inside line\r\n");
  EXPECT_EQ(test::FileText(game + "/copies/alias_file.txt"), "inside line\r\n");
  for (const char* name : {"key.txt", "chain.txt", "zero.txt", "fifo.txt", "dangling.txt"})
    EXPECT_FALSE(fs::exists(game + "/copies/" + name)) << name;
}

INSTANTIATE_TEST_SUITE_P(Builds, SymlinksGame, ::testing::Values(Build{"Folder", true}, Build{"Package", false}),
                         [](const ::testing::TestParamInfo<Build>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orba

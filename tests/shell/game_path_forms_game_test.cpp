// The "downloaded" game in a folder of its own, named every way a person
// may name it from a chosen working folder: ".", "./", "..", a bare
// package name, relative paths with and without a trailing "/", a link to
// its folder. Each plays exactly as its real absolute path does: no notice,
// its loose files read, its save beside it. "." for HOME itself is refused
// under the name typed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;
using test::ExpectLacks;

constexpr char kNotice[] = "the game lies in HOME";

// The line of the save's dump that the game's script wrote.
std::string LogLine(const std::string& save_dat) {
  const std::string dump = test::DumpSave(save_dat);
  const size_t at = dump.find("var log str");
  return at == std::string::npos ? std::string() : dump.substr(at, dump.find('\n', at) - at);
}

struct TNamed {
  std::string game;  // as typed
  std::string cwd;   // below HOME, or absolute
};

TEST(GamePathForms, EveryNameOfTheGamePlaysAsItsRealAbsolutePath) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string(), home = top + "/home", own = home + "/Games/own";
  test::BuildGame("downloaded", own, false, {"Var home str " + home, "Var here str " + own});
  test::WriteText(own + "/bank-statement.txt", "own line\r\n");
  fs::create_directories(own + "/sub");
  fs::create_directory_symlink("Games/own", home + "/link");
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (top + "/data").c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");

  auto play = [&](const std::string& game, const std::string& cwd) {
    fs::remove(own + "/save.dat");
    fs::remove(own + "/main.osb");
    const test::CommandResult r = test::PlayGameJoined(game, 3, cwd);
    EXPECT_EQ(r.exit_code, 0) << game << " from " << cwd << "\n" << r.output;
    ExpectLacks(r.output, {kNotice});
    EXPECT_TRUE(fs::exists(own + "/save.dat")) << game << " from " << cwd << "\n" << r.output;
    return fs::exists(own + "/save.dat") ? LogLine(own + "/save.dat") : std::string();
  };
  const std::string reference = play(own, "/");
  ExpectContains(reference, {"start TRUE beside own line"});

  const std::vector<TNamed> forms = {
      {".", "Games/own"},           {"./", "Games/own"},        {"..", "Games/own/sub"},
      {"../", "Games/own/sub"},     {"game.dat", "Games/own"},  {"./game.dat", "Games/own"},
      {"../game.dat", "Games/own/sub"}, {"Games/own", ""},      {"Games/own/", ""},
      {"own", "Games"},             {"own/game.dat", "Games"},  {"../../own", "Games/own/sub"},
      {"link", ""},                 {"link/", ""},              {"link/game.dat", ""},
      {"../link/sub/..", "Games"},  {home + "/link", "/"},      {home + "/link/game.dat", "/"},
  };
  for (const TNamed& f : forms) {
    const std::string cwd = !f.cwd.empty() && f.cwd[0] == '/' ? f.cwd : home + "/" + f.cwd;
    EXPECT_EQ(play(f.game, cwd), reference) << f.game << " from " << cwd;
  }
}

// "." and "./" from inside HOME: refused as HOME named by the absolute
// path is, under the name typed, with nothing written.
TEST(GamePathForms, DotForHomeIsRefusedUnderTheNameTyped) {
  const test::TempDir dir;
  const std::string top = fs::canonical(dir.path()).string(), home = top + "/home";
  test::BuildGame("downloaded", home, false, {"Var home str " + home, "Var here str " + home});
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (top + "/data").c_str(), 1);
  const auto before = test::FilesBelow(top, {}, true);
  for (const char* game : {".", "./", "../home"}) {
    const test::CommandResult r = test::PlayGameJoined(game, 3, home);
    EXPECT_EQ(r.exit_code, 2) << game << "\n" << r.output;
    ExpectContains(r.output, {std::string("orba: ") + game + ": HOME, \"/\" or a folder holding HOME is no game folder"});
  }
  EXPECT_EQ(test::FilesBelow(top, {}, true), before);
}

}  // namespace
}  // namespace orba

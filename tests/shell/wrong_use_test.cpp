// The player and orbatool used wrongly, as a newcomer might: each wrong use
// ends with a status that says so and a line on standard error naming the
// problem and the file or folder it concerns; the help a person asks for is
// there.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;

// "パッケージファイルが壊れています" and "データファイルを作成することができません"
// in UTF-8, as the player prints them.
const char kDamagedPackage[] =
    "\xe3\x83\x91\xe3\x83\x83\xe3\x82\xb1\xe3\x83\xbc\xe3\x82\xb8\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab"
    "\xe3\x81\x8c\xe5\xa3\x8a\xe3\x82\x8c\xe3\x81\xa6\xe3\x81\x84\xe3\x81\xbe\xe3\x81\x99";
const char kCannotCreateDataFile[] =
    "\xe3\x83\x87\xe3\x83\xbc\xe3\x82\xbf\xe3\x83\x95\xe3\x82\xa1\xe3\x82\xa4\xe3\x83\xab\xe3\x82\x92\xe4\xbd\x9c"
    "\xe6\x88\x90\xe3\x81\x99\xe3\x82\x8b\xe3\x81\x93\xe3\x81\xa8\xe3\x81\x8c\xe3\x81\xa7\xe3\x81\x8d\xe3\x81\xbe"
    "\xe3\x81\x9b\xe3\x82\x93";

// Runs a program with standard error joined to its output and the named
// environment variables taken away; killed after 60 s, so that a player
// that wrongly runs on shows as a failure and not as a hang.
test::CommandResult RunJoined(const std::vector<std::string>& unset, const std::vector<std::string>& argv) {
  std::vector<std::string> command{"env"};
  for (const std::string& name : unset) command.insert(command.end(), {"-u", name});
  command.insert(command.end(), {"timeout", "-s", "KILL", "60", "sh", "-c", "exec \"$@\" 2>&1", "sh"});
  command.insert(command.end(), argv.begin(), argv.end());
  return test::RunCommand(command);
}

const std::vector<std::string> kNoDisplay = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};

struct WrongUse {
  const char* name;
  std::vector<std::string> unset;
  // Makes what the case needs in the folder; answers the player's arguments.
  std::function<std::vector<std::string>(const std::string& dir)> setup;
  // The parts the output must hold.
  std::function<std::vector<std::string>(const std::string& dir)> expected;
};

// A package cut after its first 300 bytes.
std::string CutPackage(const std::string& dir) {
  test::BuildGame("paint", dir + "/whole", false);
  const std::vector<uint8_t> bytes = test::ReadFileBytes(dir + "/whole/game.dat");
  test::WriteFileBytes(dir + "/cut.dat", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 300));
  return dir + "/cut.dat";
}

// A game folder below Dir where "save.dat" still fits the longest path
// there is, but no longer name does.
std::string DeepGame(const std::string& dir) { return test::PathNearTheLimit(dir + "/deep", PATH_MAX - 17); }

TEST(WrongUse, EachEndsWithStatus1AndNamesTheProblem) {
  const std::vector<WrongUse> cases = {
      {"a window without a display",
       kNoDisplay,
       [](const std::string& d) {
         test::BuildGame("paint", d + "/game", true);
         return std::vector<std::string>{d + "/game"};
       },
       [](const std::string&) {
         return std::vector<std::string>{"orba: no display: use --headless to run without a window"};
       }},
      {"an empty folder",
       {},
       [](const std::string& d) {
         fs::create_directory(d + "/empty");
         return std::vector<std::string>{"--headless", d + "/empty"};
       },
       [](const std::string& d) { return std::vector<std::string>{"orba: " + d + "/empty: no game here"}; }},
      {"an empty folder, in a window without a display: the folder is named first",
       kNoDisplay,
       [](const std::string& d) {
         fs::create_directory(d + "/empty");
         return std::vector<std::string>{d + "/empty"};
       },
       [](const std::string& d) { return std::vector<std::string>{"orba: " + d + "/empty: no game here"}; }},
      {"a text file",
       {},
       [](const std::string& d) {
         test::WriteText(d + "/notes.txt", "not a game\n");
         return std::vector<std::string>{"--headless", d + "/notes.txt"};
       },
       [](const std::string& d) { return std::vector<std::string>{"orba: " + d + "/notes.txt:", kDamagedPackage}; }},
      {"a text file, in a window without a display: it is named as no game first",
       kNoDisplay,
       [](const std::string& d) {
         test::WriteText(d + "/README.md", "# not a game\n");
         return std::vector<std::string>{d + "/README.md"};
       },
       [](const std::string& d) {
         return std::vector<std::string>{"orba: " + d + "/README.md: no game here: not a game package", kDamagedPackage};
       }},
      {"a truncated package",
       {},
       [](const std::string& d) { return std::vector<std::string>{"--headless", CutPackage(d)}; },
       [](const std::string& d) { return std::vector<std::string>{"orba: " + d + "/cut.dat:", kDamagedPackage}; }},
      {"a folder with a truncated game.dat",
       {},
       [](const std::string& d) {
         fs::create_directory(d + "/game");
         fs::copy_file(CutPackage(d), d + "/game/game.dat");
         return std::vector<std::string>{"--headless", d + "/game"};
       },
       [](const std::string& d) { return std::vector<std::string>{"orba: " + d + "/game", "game.dat:", kDamagedPackage}; }},
      // The probe file cannot be made where its name would pass the longest
      // path there is (even for root), and without HOME there is no data
      // folder either.
      {"a save folder that takes no file, without HOME",
       {"HOME", "XDG_DATA_HOME"},
       [](const std::string& d) {
         test::BuildGame("paint", d + "/game", true);
         fs::rename(d + "/game", DeepGame(d));
         return std::vector<std::string>{"--headless", DeepGame(d)};
       },
       [](const std::string& d) {
         return std::vector<std::string>{std::string("orba: ") + kCannotCreateDataFile,
                                         "nothing can be written in " + DeepGame(d) + "/",
                                         "neither $XDG_DATA_HOME nor $HOME is set"};
       }},
  };
  for (const WrongUse& c : cases) {
    SCOPED_TRACE(c.name);
    const test::TempDir dir;
    std::vector<std::string> argv{ORBA_PLAYER_PATH};
    const std::vector<std::string> args = c.setup(dir.path());
    argv.insert(argv.end(), args.begin(), args.end());
    const test::CommandResult r = RunJoined(c.unset, argv);
    EXPECT_EQ(r.exit_code, 1) << r.output;
    ExpectContains(r.output, c.expected(dir.path()));
  }
}

TEST(WrongUse, PlayerHelpShowsTheInputLinesAndTheKeys) {
  const test::CommandResult r = RunJoined({}, {ORBA_PLAYER_PATH, "--help"});
  EXPECT_EQ(r.exit_code, 0);
  ExpectContains(r.output, {"usage: orba", "lbutton down X Y", "wheel up [N]", "key down VK", "13 Enter",
                            "tick 30: lbutton down 600 520", "tick 31: lbutton up 600 520", "Alt+Enter",
                            "Ctrl+C", "--headless"});
}

// With no argument the usage is an error: it goes to standard error, and
// standard output stays empty for whatever reads it.
TEST(WrongUse, PlayerWithoutAGamePrintsItsUsageOnStandardErrorWithStatus2) {
  const test::CommandResult out = test::RunCommand({ORBA_PLAYER_PATH});
  EXPECT_EQ(out.exit_code, 2);
  EXPECT_EQ(out.output, "");
  const test::CommandResult joined = RunJoined({}, {ORBA_PLAYER_PATH});
  EXPECT_EQ(joined.exit_code, 2);
  ExpectContains(joined.output, {"orba: no GAME given", "usage: orba"});
}

TEST(WrongUse, ToolHelpIsThereForEveryCommand) {
  const std::vector<std::string> commands = {"calc", "game", "img", "opb", "page", "save", "vf"};
  const test::CommandResult list = test::RunOrbaTool({"help"});
  EXPECT_EQ(list.exit_code, 0);
  ExpectContains(list.output, commands);
  for (const std::string& command : commands) {
    for (const std::vector<std::string>& asked :
         {std::vector<std::string>{"help", command}, {command, "--help"}, {command, "-h"}}) {
      const test::CommandResult r = test::RunOrbaTool(asked);
      EXPECT_EQ(r.exit_code, 0) << asked[0] << " " << asked[1];
      EXPECT_EQ(r.output.rfind("usage: orbatool " + command, 0), 0u) << r.output;
    }
  }
  ExpectContains(test::RunOrbaTool({"img", "--help"}).output,
                 {"orbatool img gif [OPTIONS] OUT.gif IN...", "orbatool img info IN.gif", "--loop N", "--compact"});
}

TEST(WrongUse, ToolCalcPrintsTheValueOfABareExpression) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"calc", "1+2*3"}, "7\n"},
      {{"calc", "(1+2)*3"}, "9\n"},
      // An assignment prints nothing; a later bare expression sees it.
      {{"calc", "a = 2", "a * 3"}, "6\n"},
      {{"calc", "\"x\" ++ \"y\""}, "xy\n"},
      {{"calc", "a = 5", "--print", "a"}, "5\n"},
  };
  for (const auto& [args, output] : cases) {
    const test::CommandResult r = test::RunOrbaTool(args);
    EXPECT_EQ(r.exit_code, 0) << args[1];
    EXPECT_EQ(r.output, output) << args[1];
  }
}

TEST(WrongUse, ToolUsageErrorsExit2WithTheUsage) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"bogus"},
      {"help", "bogus"},
      {"calc"},
      {"calc", "1", "--print"},
      {"img"},
      {"img", "gif", "--loop", "x", "out.gif", "in.png"},
      {"img", "gif", "--bogus", "out.gif", "in.png"},
      {"img", "decode", "--code", "y", "in", "out", "x.png"},
      {"vf"},
      {"vf", "list"},
      {"page", "asm", "x"},
      {"page", "dump"},
      {"game"},
      {"opb", "dump"},
      {"save", "dump"},
  };
  for (const auto& args : cases) {
    std::vector<std::string> argv{ORBA_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const test::CommandResult r = RunJoined({}, argv);
    EXPECT_EQ(r.exit_code, 2) << r.output;
    EXPECT_NE(r.output.find("usage: orbatool"), std::string::npos) << r.output;
  }
}

}  // namespace
}  // namespace orba

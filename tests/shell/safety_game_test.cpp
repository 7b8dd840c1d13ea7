// Games that try what a hostile or broken game would: the "sandbox" game's
// file functions climb out of its folders and hand odd addresses to the
// desktop; the "busy" game never yields; the "stackcut" game's handler
// deletes the frame it would return to. And a save file a killed write left
// behind.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;
using test::ExpectLacks;
using test::FilesBelow;

// The sandbox game beside a file above its folder, with a HOME of desktop
// and hidden folders and a desktop opener that logs its arguments.
TEST(SandboxGame, FileFunctionsStayInTheGamesFoldersAndOnlyWebAddressesAndOpenFoldersReachTheDesktop) {
  const test::TempDir dir;
  const std::string home = dir / "home", game = dir / "game", log = dir / "opened.log";
  for (const std::string& folder : {home + "/Desktop", home + "/.config/autostart", home + "/.local/share", dir / "bin"})
    fs::create_directories(folder);
  test::BuildGame("sandbox", game, true, {"Var home str " + home});
  test::WriteText(game + "/inside.txt", "line one\r\nline two\r\n");
  test::WriteText(dir / "outside.txt", "secret\n");
  // One write a line: the openers run at once and must not interleave.
  test::WriteText(dir / "bin/xdg-open", "#!/bin/sh\nline=$(printf '%s|' \"$@\")\necho \"$line\" >> '" + log + "'\n");
  fs::permissions(dir / "bin/xdg-open", fs::perms::owner_all);
  ::setenv("HOME", home.c_str(), 1);
  ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  ::setenv("PATH", (dir / "bin:" + std::string(::getenv("PATH"))).c_str(), 1);
  const std::vector<std::string> kept = {game, home + "/Desktop", log};
  const auto before = FilesBelow(dir.path(), kept);

  const test::CommandResult r = test::PlayGame(game, 3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  // Inside the game's folder everything answers ("sub\..\" folds away as
  // Windows folds it, even without a folder "sub"); each climb out answers
  // as a missing file, and each refusal is traced with its path.
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var log str = \"read TRUEFALSEFALSETRUEFALSETRUEline one shot TRUEFALSEFALSE extract "
                  "FALSEFALSEFALSEFALSE tsv TRUEFALSE\""});
  ExpectContains(r.output, {"file read refused: " + game + "\\..\\outside.txt\n",
                            "file write refused: " + game + "\\..\\..\\above.brx\n",
                            "file write refused: " + home + "/.config/autostart\\\n",
                            "file write refused: " + home + "/Desktop/../.local/share/x\\\n",
                            "file write refused: " + game + "\\..\\out\\\n", "url refused: httpevil:--help\n",
                            "url refused: ftpx:/x\n", "url refused: /etc\n", "url refused: ..\\..\n",
                            "url refused: mailto:x@y.z?attach=~/.ssh/id_rsa\n", "url refused: " + home + "/.ssh\n",
                            "url refused: " + home + "/Desktop\n"});
  EXPECT_TRUE(fs::exists(game + "/shot.brx"));
  // The desktop folder is the user's: open only when chosen.
  EXPECT_FALSE(fs::exists(home + "/Desktop/manual"));
  // Nothing above the game's folder or in HOME's hidden folders changed.
  EXPECT_EQ(FilesBelow(dir.path(), kept), before);
  // The opener runs without being waited for.
  std::string opened;
  for (int i = 0; i < 500 && std::count(opened.begin(), opened.end(), '\n') < 3; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    opened = test::FileText(log);
  }
  for (const std::string& line : {std::string("http://example.com/a?b=1|\n"), std::string("https://example.com/|\n"),
                                  std::string("ftp://example.com/pub|\n")})
    EXPECT_NE(opened.find(line), std::string::npos) << opened;
  EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 3) << opened;
}

// Each tick of a flow that never yields still ends (by its step or time
// budget), and SIGTERM ends the player through its exit page, which never
// yields either, and its status save.
TEST(BusyGame, TicksEndAndSigtermEndsThePlayerThroughItsExitPage) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("busy", game, true);
  const test::CommandResult ticks = test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", "3", game});
  EXPECT_EQ(ticks.exit_code, 0) << ticks.output;
  const test::CommandResult r = test::PlayAndSigterm(game);
  EXPECT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var exits int = 2"});
}

// A handler that deleted the frame it returns to ends every tick at once:
// 200 ticks take no longer than a few without it (each such tick once ran
// its whole step budget).
TEST(StackCutGame, AHandlerWithoutItsFrameEndsEachTick) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("stackcut", game, true);
  test::WriteText(dir / "events.txt", "tick 2: event cut.osb\n");
  const test::CommandResult r = test::RunCommand({"timeout", "-s", "KILL", "60", ORBA_PLAYER_PATH, "--headless",
                                                  "--ticks", "200", "--trace", "-", "--events", dir / "events.txt",
                                                  game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"<Event>cut.osb(1)\n", "cut.osb(2)\n", "tick 200 clock 3000 frame 15\n"});
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var cut str = \"TRUE\""});
}

// A "save.dat.~tmp" a killed write left goes at the next start once
// "save.dat" reads whole; beside an unreadable "save.dat" it stays.
TEST(SaveFile, AStaleTemporaryGoesOnceTheSaveFileReads) {
  const test::TempDir dir;
  const std::string game = dir / "game", stale = game + "/save.dat.~tmp";
  test::BuildGame("counter", game, true);
  ASSERT_EQ(test::PlayGame(game, 2).exit_code, 0);
  test::WriteText(stale, "half a save");
  const test::CommandResult r = test::PlayGame(game, 2);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"removed a stale save.dat.~tmp\n"});
  EXPECT_FALSE(fs::exists(stale));
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var runs int = 2"});
  test::WriteText(game + "/save.dat", "not a package");
  test::WriteText(stale, "half a save");
  ASSERT_EQ(test::PlayGame(game, 2).exit_code, 0);
  EXPECT_EQ(test::FileText(stale), "half a save");
}

}  // namespace
}  // namespace orba

// The player program run without a window on the test games of tests/games,
// checking their trace, their screenshot and what they leave in "save.dat".
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/files/install_record.h"
#include "core/streams/big_stream.h"
#include "shell/test_games.h"
#include "support/open_watch.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;
using test::ExpectLacks;

test::CommandResult Player(const std::vector<std::string>& args) {
  std::vector<std::string> argv{ORBA_PLAYER_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return test::RunCommand(argv);
}

// The shell's own trace lines of a run; the script's, the message boxes'
// (in the user's language) and the shut-down's lines left out.
std::string ShellLines(const std::string& trace) {
  std::string out;
  for (size_t at = 0; at < trace.size();) {
    const size_t end = std::min(trace.find('\n', at), trace.size());
    const std::string line = trace.substr(at, end - at);
    for (const char* head : {"start ", "window ", "tick ", "input ", "stop ", "shut "})
      if (line.rfind(head, 0) == 0) out += line + "\n";
    at = end + 1;
  }
  return out;
}

TEST(PlayerProgram, HeadlessRunTicksAndWritesTheScreen) {
  test::TempDir dir;
  test::BuildGame("paint", dir / "game", true);
  const test::CommandResult r = test::PlayGame(dir / "game", 3, {"--screenshot", dir / "shot.png"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(ShellLines(r.output),
            "start up\nwindow 160x120\nstart ticks\n"
            "tick 1 clock 15 frame 15\ntick 2 clock 30 frame 15\ntick 3 clock 45 frame 15\n"
            "stop ticks\nshut down\n");
  // The red box on black.
  const std::string script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nprint(im.size, im.mode, im.getextrema())\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", script, dir / "shot.png"}).output,
            "(160, 120) RGB ((0, 255), (0, 0), (0, 0))\n");
}

TEST(PlayerProgram, FrameLengthAndInputFileShapeTheRun) {
  test::TempDir dir;
  test::BuildGame("paint", dir / "game", true);
  // Without a window the first close is refused, the second confirmed.
  test::WriteText(dir / "input.txt", "tick 2: lbutton down 10 20\ntick 3: close\ntick 4: close\n");
  const test::CommandResult r = test::PlayGame(
      dir / "game", 10, {"--frame-ms", "20", "--input", dir / "input.txt", "--trace", dir / "trace.txt"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "");
  EXPECT_EQ(ShellLines(test::FileText(dir / "trace.txt")),
            "start up\nwindow 160x120\nstart ticks\n"
            "tick 1 clock 20 frame 20\ninput lbutton down 10 20\ntick 2 clock 40 frame 20\n"
            "input close\ntick 3 clock 60 frame 20\ninput close\nstop ticks\nshut down\n");
}

TEST(PlayerProgram, BadCommandLinesAreRefused) {
  test::TempDir dir;
  test::BuildGame("paint", dir.path(), true);
  test::WriteText(dir / "bad.txt", "tick 1: jump\n");
  const std::vector<std::vector<std::string>> usage_errors = {
      {}, {"--headless"}, {"--ticks", "3", dir.path()}, {"--headless", "--ticks", "0", dir.path()},
      {"--headless", "--ticks", "x", dir.path()}, {"--headless", "--frame-ms", dir.path()},
      {"--headless", "--bogus", dir.path()}, {"--headless", dir.path(), dir.path()},
      {"--headless", "--surfaces", "video", dir.path()}, {"--headless", "--surfaces"},
      {"--surfaces", "memory", dir.path()},
  };
  for (const auto& args : usage_errors) EXPECT_EQ(Player(args).exit_code, 2) << args.size();
  const test::CommandResult help = Player({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.output.find("usage: orba"), std::string::npos);
  EXPECT_NE(help.output.find("[--surfaces memory|directdraw]"), std::string::npos);
  // A missing game, a bad or missing input script, a screenshot nowhere.
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--headless", dir / "missing"}, {"--headless", "--input", dir / "bad.txt", dir.path()},
           {"--headless", "--input", dir / "missing.txt", dir.path()},
           {"--headless", "--screenshot", dir / "no/shot.png", dir.path()}})
    EXPECT_EQ(Player(args).exit_code, 1) << args[args.size() - 2];
}

TEST(PlayerProgram, GameNamesMayBeJapanese) {
  test::TempDir dir;
  const std::string game = dir / "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0";  // ゲーム in UTF-8
  test::BuildGame("paint", game, true);
  EXPECT_EQ(Player({"--headless", game}).exit_code, 0);
  // A file of that name is taken as a package; one that is none is refused.
  test::WriteText(game + "/x.dat", "x");
  EXPECT_EQ(Player({"--headless", game + "/x.dat"}).exit_code, 1);
}

class GameRun : public ::testing::Test {
 protected:
  void Build(const std::string& name, bool folder, const std::vector<std::string>& settings = {},
             const std::string& extra = "") {
    test::BuildGame(name, game, folder, settings, extra);
  }
  test::CommandResult Play(int ticks, const std::vector<std::string>& options = {}) {
    return test::PlayGame(game, ticks, options);
  }
  std::string Dump() { return test::DumpSave(game + "/save.dat"); }
  // The dump after a run of Ticks ticks that must end well.
  std::string PlayedDump(int ticks, const std::vector<std::string>& options = {}) {
    const test::CommandResult r = Play(ticks, options);
    EXPECT_EQ(r.exit_code, 0) << r.output;
    return Dump();
  }

  test::TempDir dir;
  const std::string game = dir / "game";
};

// Without WriteSaveData a game that only has status variables writes no
// "save.dat", and a game save reaches the disk without the status entry. An
// unreadable "save.dat" is left alone until a game is saved; then it is kept
// as "save.dat.bak".
TEST_F(GameRun, SaveDataIsWrittenOnlyWhenAllowedAndNeverLost) {
  const std::vector<uint8_t> junk = test::Bytes("not a package at all");
  auto run = [&](const std::string& name, const std::string& settings, bool unreadable) {
    const std::string at = dir / (name + settings);
    test::BuildGame(name, at, !unreadable, {settings});
    if (unreadable) test::WriteFileBytes(at + "/save.dat", junk);
    EXPECT_EQ(test::PlayGame(at, 6).exit_code, 0);
    return at + "/save.dat";
  };
  EXPECT_FALSE(fs::exists(run("counter", "WriteSaveData = 0", false)));
  const std::string dump = test::DumpSave(run("saveload", "WriteSaveData = 0", false));
  ExpectContains(dump, {"entry GAMESAVEDATA3"});
  ExpectLacks(dump, {"entry STATUSSAVEDATA"});
  EXPECT_EQ(test::ReadFileBytes(run("counter", "", true)), junk);
  const std::string saved = run("saveload", "", true);
  EXPECT_EQ(test::ReadFileBytes(saved + ".bak"), junk);
  ExpectContains(test::DumpSave(saved), {"entry GAMESAVEDATA3"});
}

TEST_F(GameRun, SavedGameLoadsIntoItsOnLoadPageThenGoesOn) {
  Build("saveload", true);
  const test::CommandResult r = Play(5);  // the last command runs in tick 5
  ASSERT_EQ(r.exit_code, 0) << r.output;
  // The ticks' lines alone: start-up and shut-down have tests of their own.
  const size_t from = r.output.find("start ticks\n");
  const size_t to = r.output.find("stop ticks\n");
  ASSERT_NE(from, std::string::npos) << r.output;
  ASSERT_NE(to, std::string::npos) << r.output;
  EXPECT_EQ(r.output.substr(from + 12, to - from - 12),
            "tick 1 clock 15 frame 15\n"
            "0000000f : main.osb(1)\n0000000f : main.osb(2)\n0000000f : main.osb(3)\n"
            "tick 2 clock 30 frame 15\n"
            "0000001e : main.osb(4)\n0000001e : main.osb(5)\n0000001e : main.osb(6)\n0000001e : main.osb(7)\n"
            "no painting after a load\n"
            "tick 3 clock 45 frame 15\n"
            "0000002d : onload.osb(1)\n"
            // Back at the saved place, with the Continue flag the save left.
            "tick 4 clock 60 frame 15\n"
            "0000003c : main.osb(4)\n0000003c : main.osb(5)\n0000003c : main.osb(8)\n"
            "tick 5 clock 75 frame 15\n"
            "0000004b : main.osb(9)\n");
  // The OnLoadPage saw the saved game variable; the main flow went on from
  // the command after the save with it.
  const std::string dump = Dump();
  ExpectContains(dump, {"entry GAMESAVEDATA3", "slot 3 version 141 caption \"cap\" onload \"onload.osb\" target 0",
                        "var onload int = 5", "var result int = 6", "var loaded int = 1"});
  ExpectLacks(dump, {"GAMESAVEDATA4"});  // the save with an empty caption wrote nothing
}

// A game that ran frees the globals in reverse order of their making after
// the ticks stop.
TEST_F(GameRun, ShutDownFreesTheGameGlobalsInOrder) {
  Build("saveload", true);
  const test::CommandResult r = Play(5);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string tail = "stop ticks\nshut down\nTextRead.Free\nTextHistoryFormats.Free\nBases.Free\n"
                           "SelRectDIB.Free\nBrixMan.Free\nClipMan.Free\n";
  ASSERT_GE(r.output.size(), tail.size());
  EXPECT_EQ(r.output.substr(r.output.size() - tail.size()), tail) << r.output;
}

// --tree writes the scene as the last tick left it: the roots, the box on
// the active one, then the box's properties with their labels and values.
TEST_F(GameRun, TreeOptionWritesTheSceneAtTheEndOfTheRun) {
  Build("paint", true);
  const test::CommandResult r = Play(2, {"--tree", dir / "tree.txt"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  const std::string tree = test::FileText(dir / "tree.txt");
  // 画面1 (アクティブ), the box, 画面2
  EXPECT_EQ(tree.substr(0, tree.find('[')),
            "\xe7\x94\xbb\xe9\x9d\xa2" "1 (\xe3\x82\xa2\xe3\x82\xaf\xe3\x83\x86\xe3\x82\xa3\xe3\x83\x96)\n"
            "  box\n\xe7\x94\xbb\xe9\x9d\xa2" "2\n");
  ExpectContains(tree, {"[box]\n  PR_NAME = box\n", "  X\xe5\xba\xa7\xe6\xa8\x99 = 20\n",  // X座標
                        "  PR_TOP = 30\n", "  PR_COLOR = 255\n"});
}

TEST_F(GameRun, SystemVariablesAnswerFromTheRunningGame) {
  Build("sysvars", true);
  ExpectContains(PlayedDump(1), {
           "var result0 str = \"\"",        // @Result in the main flow: no value
           "var delay int = 0",             // an assignment converts "abc" to the number 0
           "var delay2 int = 12",
           "var width int = 320",           // read-only: the write was ignored
           "var height int = 240",
           "var title str = \"sysvars\"",
           "var ticks int = 15",            // the game clock of tick 1
           "var updates int = 1",
           "var wheel bool = FALSE",        // no object manager: nothing pressed
           "var count int = 3",
           "var third str = \"c\"",
           "var stack int = 1",
           "var got str = \"ra\"",          // @Result of the called page
       });
}

// The screen object functions over "p" (10, 20) holding the box "b" (15, 7)
// and the image "i", the timer "t", "o" on the other root and "k" in a cabinet.
TEST_F(GameRun, ScreenObjectFunctionsAnswerFromTheObjectManager) {
  Build("objfuncs", true);
  ExpectContains(PlayedDump(1), {
      "exists str = \"FALSE TRUE FALSE TRUE\"", "var coords str = \"30 30 75 3\"",
      "uncoords str = \"123 -5 9 2147483647\"",  // missing, a timer, clamped
      "cmdleft int = 15", "props str = \"15 p 0 -1\"", "setprop str = \"\"", "var left int = 21",
      "all str[4] = \"p\", \"b\", \"i\", \"t\"", "all300 str[4] = \"p\", \"b\", \"i\", \"t\"",
      "boxes str[2] = \"p\", \"b\"", "kids str[2] = \"b\", \"i\"", "imgs str = \"i\"", "top str = \"p\"",
      "nsome int = 2", "nnone int = 0", "var none int = 0\n", "cabs str = \"cab\"", "menu str = \"-1 -1\"",
      "primary str = \"FALSE TRUE FALSE FALSE FALSE FALSE TRUE\"",  // "", b, t, nobody, o, k, root 0
      "cabinet str = \"FALSE FALSE TRUE FALSE\"", "items str = \"FALSE TRUE TRUE FALSE 0 FALSE FALSE\"",
      "sets str = \"0 0 FALSE FALSE TRUE\"", "history str = \"-1 -1 FALSE\"",
  });
}

// 4,000 unnamed boxes made in one tick beside a box named "object5" are
// named object0 .. object4, object6 .. object4000 in list order; two freed
// names are handed out again, the smaller first. Boxes made in a row take
// their places by their names.
TEST_F(GameRun, UnnamedObjectsTakeTheSmallestFreeNumbers) {
  Build("manyobjects", true);
  // One tick does it all; more ticks change nothing, but let a tick that a
  // loaded machine cut short finish the work.
  ExpectContains(PlayedDump(5, {"--screenshot", dir / "shot.png"}), {
      "count int = 4001", "misnamed int = 0", "names str = \"object5 object0 object4 object6 object4000\"",
      "found str = \"TRUE TRUE FALSE\"", "reused str = \"object2 object4000\"",
  });
  // The boxes made in a row draw by their names: red "z9" over green "z10"
  // and blue "z2" (creation order would show green, then blue, there), blue
  // "z2" over "z10".
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(15, 85), (25, 85), (35, 85), (45, 85), (55, 85)"),
            "[(255, 0, 0), (255, 0, 0), (255, 0, 0), (0, 0, 255), (0, 0, 255)]\n");
}

// A page leaving the page cache takes the variable named byte 0x01 and its
// name along: the tenth page after top.osb pushes top.osb out; p1.osb stays.
TEST_F(GameRun, AFreedPageTakesItsPageVariable) {
  fs::create_directories(dir / "pages");
  test::WriteText(dir / "pages/top.osb.txt", "VarNew Name=\"\x01top.osb\" Type=int Scope=3 Initial=1\n"
                                              "VarNew Name=\"\x01p1.osb\" Type=int Scope=3 Initial=2\nJump PageName=p1.osb\n");
  for (int i = 1; i <= 10; ++i)
    test::WriteText(dir / ("pages/p" + std::to_string(i) + ".osb.txt"),
                    "Jump PageName=p" + std::to_string(i + 1) + ".osb Condition={" + (i < 10 ? "TRUE" : "FALSE") + "}\n");
  Build("callsave", true, {"StartPage = top.osb", "WriteSaveData = 1"}, dir / "pages");
  ExpectContains(PlayedDump(20), {"var \x01p1.osb int = 2"});
  ExpectLacks(Dump(), {"\x01top.osb"});
}

// A slot saved two calls deep shows the running page with its Wait's state
// (header, two int32, a byte) and both frames; without that page it fails.
TEST_F(GameRun, SaveDumpShowsTheRunStateOfASlot) {
  Build("callsave", true);
  test::WriteText(dir / "events.txt", "tick 3: event save.osb\n");
  ExpectContains(PlayedDump(4, {"--events", dir / "events.txt"}),
                 {"  run page \"b.osb\" pc 0 started 1 continue 0 state 0 sender \"\" args [\"two\", \"three\"] next "
                  "level 2\n  running command state 16 bytes\n"
                  "  frame 0: page \"main.osb\" pc 1 started 0 result var \"\" args []\n"
                  "  frame 1: page \"a.osb\" pc 2 started 0 result var \"x\" args [\"one\"]\n"});
  fs::remove(game + "/b.osb");
  const test::CommandResult r = test::RunOrbaTool({"save", "dump", game + "/save.dat"});
  EXPECT_EQ(r.exit_code, 1);
  ExpectContains(r.output, {"slot 2 version 141", "unreadable: b.osb:"});
}

// The table store and the file functions: the "tables" game carries a file
// named "mem:a.txt" for CopyFile to read as an in-memory file (written here,
// as such a name is no file of the source tree).
TEST_F(GameRun, TablesSaveFilesAndStatusTablesLastAcrossRuns) {
  fs::create_directories(dir / "extra");
  test::WriteText(dir / "extra/mem:a.txt", "memory text");
  Build("tables", false, {}, dir / "extra");
  ExpectContains(PlayedDump(4), {
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
  ExpectContains(PlayedDump(2), {"var runs int = 2", "var exists bool = TRUE", "var nothere bool = FALSE",
                                 "var gamenext int = -1", "var sa bool = TRUE", "var statusnext int = 42",
                                 "var tsv bool = TRUE", "var tsvrows int = 2", "var tsvprice int = 7",
                                 "var missing bool = FALSE"});
}

// The "images" game: its frame equals, pixel for pixel, the golden frame an
// independent Python reference composes from the Pillow-decoded pictures,
// and the picture cache's dithering setting lasts from one run to the next
// in the status save.
TEST_F(GameRun, ImagesFrameEqualsTheReferenceAndDitheringIsKept) {
  const std::string fixture = "fixtures/image_game_fixture.py", pictures = dir / "pictures";
  fs::create_directories(pictures);
  ASSERT_EQ(test::RunPython(fixture, {"write", pictures}).exit_code, 0);
  Build("images", false, {}, pictures);
  for (const char* dither : {"FALSE", "TRUE"}) {
    const std::string dump = PlayedDump(5, {"--screenshot", dir / "shot.png"});
    // Pictures decoded with dithering on look the same.
    EXPECT_EQ(test::RunPython(fixture, {"check", pictures, dir / "shot.png"}).output, "ok\n") << dither;
    // The setting the game started with (off at first, then as the run
    // before left it); the film item has no picture, and the script went on
    // past both films.
    ExpectContains(dump, {std::string("var dither bool = ") + dither, "var filmwidth int = 0", "var after int = 1"});
  }
}

TEST_F(GameRun, StartFailuresStopWithTheirMessage) {
  Build("counter", true);
  fs::remove(game + "/main.osb");
  test::CommandResult r = Play(2);
  EXPECT_EQ(r.exit_code, 1);
  // "警告: スタートページがありません"
  ExpectContains(r.output, {"message box \xe8\xad\xa6\xe5\x91\x8a: "
                            "\xe3\x82\xb9\xe3\x82\xbf\xe3\x83\xbc\xe3\x83\x88\xe3\x83\x9a\xe3\x83\xbc\xe3\x82\xb8"
                            "\xe3\x81\x8c\xe3\x81\x82\xe3\x82\x8a\xe3\x81\xbe\xe3\x81\x9b\xe3\x82\x93"});
  ExpectLacks(r.output, {"tick 1"});
  // A screen no window can have opens none.
  for (const std::string size : {"Width = 0", "Height = -5", "Width = 8193", "Height = 100000"}) {
    test::BuildGame("counter", dir / size, true, {size});
    r = test::PlayGame(dir / size, 2);
    EXPECT_EQ(r.exit_code, 1) << size;
    ExpectContains(r.output, {"start up\nstart-up failed\nstop ticks\nshut down\n"});
  }
}

// Killed at random points of a loop of saves, the player leaves a
// "save.dat" that opens, with the slot and the status entry.
TEST_F(GameRun, KilledWhileSavingLeavesAWholeSaveFile) {
  Build("saveloop", true);
  // Once the first save is there (however long the start took on a busy
  // machine), the player is killed at a random time within its saves.
  const char script[] = R"sh(save=$1 delay=$2; shift 2
"$@" & p=$!
running() { [ -e /proc/$p ] && ! grep -q '^State:.*Z' /proc/$p/status 2>/dev/null; }
while [ ! -e "$save" ] && running; do sleep 0.01; done
sleep "$delay"; kill -9 $p 2>/dev/null; wait $p)sh";
  std::mt19937 random(12345);
  for (int round = 0; round < 6; ++round) {
    const std::string seconds = std::to_string((random() % 700) / 1000.0);
    test::RunCommand({"sh", "-c", script, "sh", game + "/save.dat", seconds, ORBA_PLAYER_PATH, "--headless", "--ticks",
                      "400", game});
    // Every entry reads whole (the dump fails on a damaged one). The status
    // entry is written after the slot, in a write of its own: a kill
    // between the two leaves the slot alone.
    ASSERT_TRUE(fs::exists(game + "/save.dat")) << "round " << round;
    ExpectContains(Dump(), {"slot 1 version 141 caption \"save "});
  }
}

TEST_F(GameRun, DiscPromptIsTextWithOneNumber) {
  Build("discs", true);
  const test::CommandResult r = Play(3);
  EXPECT_EQ(r.exit_code, 0) << r.output;
  // The page on disc 2 is asked for; the request is given up and the game ends.
  ExpectContains(r.output, {"0000000f : main.osb(1)\nmessage box discs: %s%n %x disc 2\n"
                            "message box discs: give up?\nstop ticks\n"});
}

// A disc of the user's own and one of another title (folders of
// ORBA_SEARCH_FOLDERS standing in for mounted discs) both hold the page the
// game asks for on its disc 2: neither is the game's, so the disc is asked
// for as a missing one, and neither page is ever opened.
TEST_F(GameRun, ADiscOfAnotherTitleOrOfTheUsersOwnIsNeverRead) {
  Build("discs", true);
  for (const char* folder : {"dvd/disc2", "other/disc2"}) std::filesystem::create_directories(dir / folder);
  test::WriteText(dir / "dvd/disc2/next.osb", "CANARY-DVD\n");
  test::WriteText(dir / "other/disc2/next.osb", "CANARY-OTHER\n");
  TOrbaInstallSet install;
  install.TitleId = "other-title";
  install.DiscNumber = 1;
  install.SaveToFile(dir / "other/install.dat");
  const test::OpenWatch dvd(dir / "dvd/disc2/next.osb"), other(dir / "other/disc2/next.osb");
  ASSERT_TRUE(dvd.Armed() && other.Armed());
  ::setenv("ORBA_SEARCH_FOLDERS", (dir / "dvd" + ":" + dir / "other").c_str(), 1);
  const test::CommandResult r = Play(3);
  ::unsetenv("ORBA_SEARCH_FOLDERS");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"message box discs: %s%n %x disc 2\nmessage box discs: give up?\nstop ticks\n"});
  ExpectLacks(r.output, {"CANARY"});
  EXPECT_FALSE(dvd.Touched());
  EXPECT_FALSE(other.Touched());
}

TEST_F(GameRun, ProgramFileFindsItsDataBesideIt) {
  Build("counter", false);
  const std::string program = game + "/COUNTER.EXE";
  test::WriteText(program, "MZ, but no package");
  // No "install.dat": the player asks to be installed again.
  test::CommandResult r = test::PlayGame(program, 1);
  EXPECT_EQ(r.exit_code, 1);
  // "情報: インストールし直してください"
  ExpectContains(r.output, {"message box \xe6\x83\x85\xe5\xa0\xb1: \xe3\x82\xa4\xe3\x83\xb3\xe3\x82\xb9"
                            "\xe3\x83\x88\xe3\x83\xbc\xe3\x83\xab\xe3\x81\x97\xe7\x9b\xb4\xe3\x81\x97\xe3"
                            "\x81\xa6\xe3\x81\x8f\xe3\x81\xa0\xe3\x81\x95\xe3\x81\x84"});
  // Installed in part, the disc is asked for and giving up ends the start.
  // Installed in full, "game.dat" beside the program is the game, and
  // "save.dat" goes beside the program.
  for (const bool complete : {false, true}) {
    TOrbaInstallSet install;
    install.TitleId = "counter-id";
    install.CompleteInstall = complete ? 1 : 0;
    TKsMemoryStream stream;
    install.SaveToStream(stream);
    test::WriteFileBytes(game + "/install.dat", stream.Bytes());
    r = test::PlayGame(program, 1);
    EXPECT_EQ(r.exit_code, complete ? 0 : 1) << r.output;
    EXPECT_EQ(r.output.find("tick 1 ") != std::string::npos, complete) << r.output;
    if (complete) ExpectContains(r.output, {"window 320x240\n"});
  }
  // The exit page ran before the status save (exits); initial variables are
  // status variables (start).
  ExpectContains(Dump(), {"entry STATUSSAVEDATA", "status version 103", "var runs int = 1", "var exits int = 1",
                          "var start int = 8", "var greeting str = \"hello\""});
}

// Closing the window asks first, in the user's language and never in the
// game's QuitText: the headless player refuses the first request and
// confirms the second. The confirmed
// close runs the exit page and writes the status save, which the next run
// (naming the package itself: "save.dat" lies beside it too) finds, its
// initial variables restored (start).
TEST_F(GameRun, ClosingTheWindowAsksThenEndsThroughTheExitPage) {
  Build("counter", false);
  test::WriteText(dir / "input.txt", "tick 3: close\ntick 5: close\n");
  const std::pair<const char*, const char*> runs[] = {
      {"C", "message box counter: Do you want to quit?\n"},
      // 終了しますか？
      {"ja_JP.UTF-8",
       "message box counter: \xe7\xb5\x82\xe4\xba\x86\xe3\x81\x97\xe3\x81\xbe\xe3\x81\x99\xe3\x81\x8b\xef\xbc\x9f\n"},
  };
  int run_number = 0;
  for (const auto& [language, question] : runs) {
    const test::CommandResult r = test::RunCommand({"env", std::string("LC_ALL=") + language, ORBA_PLAYER_PATH,
                                                    "--headless", "--ticks", "20", "--input", dir / "input.txt",
                                                    "--trace", "-", run_number == 0 ? game : game + "/game.dat"});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    // Refused before tick 3: ticks 3 and 4 run. Confirmed before tick 5: the
    // program ends without it.
    ExpectContains(r.output, {std::string("input close\n") + question + "tick 3 clock 45 frame 15\n",
                              std::string("tick 4 clock 60 frame 15\ninput close\n") + question +
                                  "stop ticks\nshut down\n"});
    // 途中でやめますか？
    ExpectLacks(r.output, {"tick 5 ", "\xe9\x80\x94\xe4\xb8\xad\xe3\x81\xa7\xe3\x82\x84\xe3\x82\x81"});
    const std::string n = std::to_string(++run_number);
    ExpectContains(Dump(),
                   {"var exits int = " + n, "var runs int = " + n, "var start int = " + std::to_string(7 + run_number)});
  }
}

// The window destroyed from outside (the window manager, a session ending)
// asks nothing: the game runs no further tick and ends through its exit page
// and status save, and the player exits 0.
TEST_F(GameRun, ADestroyedWindowEndsTheGameThroughItsExitPage) {
  Build("counter", false);
  test::WriteText(dir / "input.txt", "tick 3: window destroyed\n");
  const test::CommandResult r = Play(20, {"--input", dir / "input.txt"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"tick 2 clock 30 frame 15\ninput window destroyed\nthe window was destroyed\n"
                            "stop ticks\nshut down\n"});
  ExpectLacks(r.output, {"tick 3 ", "message box"});
  ExpectContains(Dump(), {"var exits int = 1"});
}

// SIGTERM, SIGINT and SIGHUP, sent once the game's start page has run its
// last line, end it without asking, through its exit page and status save,
// however busy the machine: without a window and in a window of SDL's
// display-less driver. The script's steps are logged to the output as they
// run.
TEST_F(GameRun, QuitSignalsEndTheGameThroughItsExitPage) {
  Build("counter", false);
  const struct {
    int Signal;
    bool Headless;
  } runs[] = {{SIGTERM, true}, {SIGINT, false}, {SIGHUP, true}, {SIGTERM, false}};
  int n = 0;
  for (const auto& run : runs) {
    std::vector<std::string> argv{"env", "SDL_VIDEODRIVER=dummy", "ORBA_SCRIPT_LOG=-", ORBA_PLAYER_PATH, game};
    if (run.Headless) argv.insert(argv.begin() + 4, {"--headless", "--ticks", "2000000000"});
    const test::CommandResult r = test::SignalOnceTraced(argv, "main.osb(3)\n", run.Signal);
    EXPECT_EQ(r.exit_code, 0) << run.Signal << (run.Headless ? " headless\n" : " window\n") << r.output;
    ExpectContains(r.output, {"exit.osb(2)\n"});
    ExpectContains(Dump(), {"var exits int = " + std::to_string(++n)});
  }
}

// A second player started on the folder a running player holds ends at once
// and touches nothing.
TEST_F(GameRun, ASecondPlayerOfTheSameFolderEndsAtOnce) {
  Build("counter", false);
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t first = fork();
  if (first == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    // Many ticks, each traced: once the pipe is full the player waits for
    // its reader, holding the folder.
    execl(ORBA_PLAYER_PATH, ORBA_PLAYER_PATH, "--headless", "--ticks", "100000000", "--trace", "-", game.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(first, 0);
  close(out[1]);
  // The first player holds the folder once it has started its ticks.
  std::string seen;
  char buffer[4096];
  ssize_t n = 0;
  while (seen.find("start ticks\n") == std::string::npos && (n = read(out[0], buffer, sizeof buffer)) > 0)
    seen.append(buffer, static_cast<size_t>(n));
  ASSERT_NE(seen.find("start ticks\n"), std::string::npos) << seen;
  const test::CommandResult second = Play(2);
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.output, "start up\nanother player runs this game\nstart-up failed\nstop ticks\nshut down\n");
  ::kill(first, SIGKILL);
  ::waitpid(first, nullptr, 0);
  close(out[0]);
  // Neither wrote a save: the first was killed, the second never started.
  EXPECT_FALSE(fs::exists(game + "/save.dat"));
}

// Scripted events go into the game's own event queue: a sender named there
// is the game's object, so its handler changes the real box; a name that no
// object carries leaves the event without a sender.
TEST_F(GameRun, ScriptedEventsNameTheGamesObjects) {
  Build("events", false);
  test::WriteText(dir / "events.txt", "tick 2: event paint.osb btn\ntick 3: event log.osb ghost 33\n");
  const test::CommandResult r = Play(4, {"--events", dir / "events.txt", "--screenshot", dir / "shot.png"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"tick 2 clock 30 frame 15\n0000001e : <Event>paint.osb(1)\n",
                            "tick 3 clock 45 frame 15\n0000002d : <Event>log.osb(1)\n"});
  ExpectContains(Dump(), {"var log str = \"[btn][]\""});
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(0, 0), (15, 15), (16, 16), (63, 47)"),
            "[(0, 255, 0), (0, 255, 0), (0, 0, 0), (0, 0, 0)]\n");
}

// The "kinds" game: the independent writer's scrambled two-frame picture
// shows pixel for pixel with the game's code, paused on frame 0 above the
// one played to frame 1; without the code its read error is traced once.
TEST_F(GameRun, KindsOfNoOtherGame) {
  ASSERT_EQ(test::RunPython("fixtures/brix_fixture.py", {"make", dir / "brix"}).exit_code, 0);
  const std::string pic = dir / "brix/scrambled_tiles", shot = dir / "shot.png", same =
      "import sys\nfrom PIL import Image\nrgb = lambda p: bytes(open(p, 'rb').read().split(b'ENDHDR\\n')[1])\n"
      "print(Image.open(sys.argv[1]).convert('RGBA').tobytes() == rgb(sys.argv[2]) + rgb(sys.argv[3]))\n";
  for (const std::string code : {"12345", "0"}) {
    test::BuildGame("kinds", dir / code, true, {"ImageCode = " + code});
    fs::copy_file(pic + ".brx", dir / code + "/scrambled_tiles.brx");
    const std::string trace = test::PlayGame(dir / code, 8, {"--screenshot", shot}).output;
    EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", same, shot, pic + ".expected.pam", pic + ".f1.expected.pam"}).output,
              code == "0" ? "False\n" : "True\n");
    EXPECT_EQ(trace.find(".brx: ") != std::string::npos, code == "0") << trace;
    EXPECT_EQ(trace.find(".brx: "), trace.rfind(".brx: "));  // told once
  }
}

}  // namespace
}  // namespace orba

// Test games built from tests/games and played by the player program without
// a window: the trace of their pages, and what they leave in "save.dat".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/files/install_record.h"
#include "core/streams/big_stream.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::BuildGame;
using test::ExpectContains;
using test::ExpectLacks;

test::CommandResult Play(const std::string& game, int ticks, bool trace = false) {
  std::vector<std::string> argv{ORBA_PLAYER_PATH, "--headless", "--ticks", std::to_string(ticks)};
  if (trace) {
    argv.push_back("--trace");
    argv.push_back("-");
  }
  argv.push_back(game);
  return test::RunCommand(argv);
}

std::string Dump(const std::string& save_dat) { return test::DumpSave(save_dat); }

TEST(GameRun, StatusVariablesCountTheRuns) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("counter", game, false);
  for (int run = 1; run <= 2; ++run) {
    // The second run names the package itself: save.dat lies beside it too.
    const test::CommandResult r = Play(run == 1 ? game : game + "/game.dat", 2);
    ASSERT_EQ(r.exit_code, 0) << r.output;
    const std::string n = std::to_string(run);
    // The exit page ran before the status save (exits); initial variables are
    // status variables: created once, then restored (start).
    ExpectContains(Dump(game + "/save.dat"),
                   {"entry STATUSSAVEDATA", "status version 103", "var runs int = " + n, "var exits int = " + n,
                    "var start int = " + std::to_string(7 + run), "var greeting str = \"hello\""});
  }
}

TEST(GameRun, StatusSaveNeedsWriteSaveData) {
  const test::TempDir dir;
  BuildGame("counter", dir / "counter", false, {"WriteSaveData = 0"});
  ASSERT_EQ(Play(dir / "counter", 2).exit_code, 0);
  EXPECT_FALSE(fs::exists(dir / "counter/save.dat"));

  // A game save reaches the disk all the same; the status entry does not.
  BuildGame("saveload", dir / "saveload", true, {"WriteSaveData = 0"});
  ASSERT_EQ(Play(dir / "saveload", 6).exit_code, 0);
  const std::string dump = Dump(dir / "saveload/save.dat");
  ExpectContains(dump, {"entry GAMESAVEDATA3"});
  ExpectLacks(dump, {"entry STATUSSAVEDATA"});
}

TEST(GameRun, SavedGameLoadsIntoItsOnLoadPageThenGoesOn) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("saveload", game, true);
  const test::CommandResult r = Play(game, 5, true);  // the last command runs in tick 5
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output,
            "start up\nwindow 320x240\nstart ticks\n"
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
            "0000004b : main.osb(9)\n"
            "stop ticks\nshut down\nBases.Free\n");
  const std::string dump = Dump(game + "/save.dat");
  // The OnLoadPage saw the saved game variable; the main flow went on from
  // the command after the save with it.
  ExpectContains(dump, {"entry GAMESAVEDATA3", "slot 3 version 140 caption \"cap\" onload \"onload.osb\" target 0",
                        "var onload int = 5", "var result int = 6", "var loaded int = 1"});
  ExpectLacks(dump, {"GAMESAVEDATA4"});  // the save with an empty caption wrote nothing
}

TEST(GameRun, SystemVariablesAnswerFromTheRunningGame) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("sysvars", game, true);
  ASSERT_EQ(Play(game, 1).exit_code, 0);
  ExpectContains(Dump(game + "/save.dat"), {
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
TEST(GameRun, ScreenObjectFunctionsAnswerFromTheObjectManager) {
  const test::TempDir dir;
  BuildGame("objfuncs", dir / "game", true);
  ASSERT_EQ(Play(dir / "game", 1).exit_code, 0);
  ExpectContains(Dump(dir / "game/save.dat"), {
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

TEST(GameRun, StartFailuresStopWithTheirMessage) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("counter", game, true);
  fs::remove(game + "/main.osb");
  test::CommandResult r = Play(game, 2, true);
  EXPECT_EQ(r.exit_code, 1);
  // "警告: スタートページがありません"
  ExpectContains(r.output, {"message box \xe8\xad\xa6\xe5\x91\x8a: "
                            "\xe3\x82\xb9\xe3\x82\xbf\xe3\x83\xbc\xe3\x83\x88\xe3\x83\x9a\xe3\x83\xbc\xe3\x82\xb8"
                            "\xe3\x81\x8c\xe3\x81\x82\xe3\x82\x8a\xe3\x81\xbe\xe3\x81\x9b\xe3\x82\x93"});
  ExpectLacks(r.output, {"tick 1"});

  // A screen no window can have opens none.
  int sized_games = 0;
  for (const char* size : {"Width = 0", "Height = -5", "Width = 8193", "Height = 100000"}) {
    const std::string sized = dir / ("sized" + std::to_string(++sized_games));
    BuildGame("counter", sized, true, {size});
    r = Play(sized, 2, true);
    EXPECT_EQ(r.exit_code, 1) << size;
    ExpectContains(r.output, {"start up\nstart-up failed\nstop ticks\nshut down\n"});
  }
}

TEST(GameRun, UnreadableSaveDataIsLeftAloneUntilAGameIsSaved) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("counter", game, false);
  const std::vector<uint8_t> junk = test::Bytes("not a package at all");
  test::WriteFileBytes(game + "/save.dat", junk);
  ASSERT_EQ(Play(game, 2).exit_code, 0);
  EXPECT_EQ(test::ReadFileBytes(game + "/save.dat"), junk);

  BuildGame("saveload", dir / "saves", true);
  test::WriteFileBytes(dir / "saves/save.dat", junk);
  ASSERT_EQ(Play(dir / "saves", 5).exit_code, 0);
  EXPECT_EQ(test::ReadFileBytes(dir / "saves/save.dat.bak"), junk);
  ExpectContains(Dump(dir / "saves/save.dat"), {"entry GAMESAVEDATA3"});
}

// Starts the player on a game, lets it run for Ms milliseconds and kills it.
void KillAfter(const std::string& game, int ms) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    execl(ORBA_PLAYER_PATH, ORBA_PLAYER_PATH, "--headless", "--ticks", "400", game.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(pid, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

TEST(GameRun, KilledWhileSavingLeavesAWholeSaveFile) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("saveloop", game, true);
  std::mt19937 random(12345);
  int seen = 0;
  for (int round = 0; round < 6; ++round) {
    KillAfter(game, 30 + static_cast<int>(random() % 700));
    if (!fs::exists(game + "/save.dat")) continue;  // killed before the first save
    ExpectContains(Dump(game + "/save.dat"), {"slot 1 version 140 caption \"save ", "status version 103"});
    ++seen;
  }
  EXPECT_GT(seen, 0);
}

TEST(GameRun, DiscPromptIsTextWithOneNumber) {
  const test::TempDir dir;
  BuildGame("discs", dir / "game", true);
  const test::CommandResult r = Play(dir / "game", 3, true);
  EXPECT_EQ(r.exit_code, 0) << r.output;
  // The page on disc 2 is asked for; the request is given up and the game ends.
  ExpectContains(r.output, {"0000000f : main.osb(1)\nmessage box discs: %s%n %x disc 2\n"
                            "message box discs: give up?\nstop ticks\n"});
}

void WriteInstall(const std::string& path, bool complete) {
  TOrbaInstallSet install;
  install.TitleId = "counter-id";
  install.CompleteInstall = complete ? 1 : 0;
  TKsMemoryStream stream;
  install.SaveToStream(stream);
  test::WriteFileBytes(path, stream.Bytes());
}

TEST(GameRun, ProgramFileFindsItsDataBesideIt) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("counter", game, false);
  const std::string program = game + "/COUNTER.EXE";
  test::WriteFileBytes(program, test::Bytes("MZ, but no package"));
  // No "install.dat": the player asks to be installed again.
  test::CommandResult r = Play(program, 1, true);
  EXPECT_EQ(r.exit_code, 1);
  // "情報: インストールし直してください"
  ExpectContains(r.output, {"message box \xe6\x83\x85\xe5\xa0\xb1: \xe3\x82\xa4\xe3\x83\xb3\xe3\x82\xb9"
                            "\xe3\x83\x88\xe3\x83\xbc\xe3\x83\xab\xe3\x81\x97\xe7\x9b\xb4\xe3\x81\x97\xe3"
                            "\x81\xa6\xe3\x81\x8f\xe3\x81\xa0\xe3\x81\x95\xe3\x81\x84"});

  // Installed in part: the disc is asked for; giving up ends the start.
  WriteInstall(game + "/install.dat", false);
  r = Play(program, 1, true);
  EXPECT_EQ(r.exit_code, 1);
  ExpectLacks(r.output, {"tick 1"});

  // Installed in full: "game.dat" beside the program is the game, and
  // "save.dat" goes beside the program.
  WriteInstall(game + "/install.dat", true);
  r = Play(program, 1, true);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"window 320x240\n"});
  ExpectContains(Dump(game + "/save.dat"), {"var runs int = 1"});
}


// Closing the window asks first: the headless player refuses the first
// request and confirms the second. The confirmed close runs the exit page
// and writes the status save, which the next run finds.
TEST(GameRun, ClosingTheWindowAsksThenEndsThroughTheExitPage) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("counter", game, false);
  test::WriteFileBytes(dir / "input.txt", test::Bytes("tick 3: close\ntick 5: close\n"));
  struct TRun {
    const char* language;    // LC_ALL, or null for an English one
    const char* question;    // the box's line as the trace shows it (UTF-8)
  };
  const TRun runs[] = {
      {nullptr, "message box counter: Do you want to quit?\n"},
      // 終了しますか？
      {"ja_JP.UTF-8",
       "message box counter: \xe7\xb5\x82\xe4\xba\x86\xe3\x81\x97\xe3\x81\xbe\xe3\x81\x99\xe3\x81\x8b\xef\xbc\x9f\n"},
  };
  const char* saved_lc_all = std::getenv("LC_ALL");
  const std::string saved = saved_lc_all != nullptr ? saved_lc_all : "";
  int run_number = 0;
  for (const TRun& run : runs) {
    ++run_number;
    if (run.language != nullptr) setenv("LC_ALL", run.language, 1);
    else setenv("LC_ALL", "C", 1);
    const test::CommandResult r = test::RunCommand(
        {ORBA_PLAYER_PATH, "--headless", "--ticks", "20", "--input", dir / "input.txt", "--trace", "-", game});
    ASSERT_EQ(r.exit_code, 0) << r.output;
    // Refused before tick 3: ticks 3 and 4 run. Confirmed before tick 5: the
    // program ends without it.
    ExpectContains(r.output, {std::string("input close\n") + run.question + "tick 3 clock 45 frame 15\n",
                              std::string("tick 4 clock 60 frame 15\ninput close\n") + run.question +
                                  "stop ticks\nshut down\n"});
    ExpectLacks(r.output, {"tick 5 "});
    const std::string n = std::to_string(run_number);
    ExpectContains(Dump(game + "/save.dat"), {"var exits int = " + n, "var runs int = " + n});
  }
  if (saved_lc_all != nullptr) setenv("LC_ALL", saved.c_str(), 1);
  else unsetenv("LC_ALL");
}

// A second player started on the folder a running player holds ends at once
// and touches nothing.
TEST(GameRun, ASecondPlayerOfTheSameFolderEndsAtOnce) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("counter", game, false);
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
  while (seen.find("start ticks\n") == std::string::npos) {
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
  }
  ASSERT_NE(seen.find("start ticks\n"), std::string::npos) << seen;
  const test::CommandResult second = Play(game, 2, true);
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.output, "start up\nanother player runs this game\nstart-up failed\nstop ticks\nshut down\n");

  ::kill(first, SIGKILL);
  int status = 0;
  ::waitpid(first, &status, 0);
  close(out[0]);
  // Neither wrote a save: the first was killed, the second never started.
  EXPECT_FALSE(fs::exists(game + "/save.dat"));
}

// Scripted events go into the game's own event queue: a sender named there
// is the game's object, so its handler changes the real box; a name that no
// object carries leaves the event without a sender.
TEST(GameRun, ScriptedEventsNameTheGamesObjects) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  BuildGame("events", game, false);
  test::WriteFileBytes(dir / "events.txt",
                       test::Bytes("tick 2: event paint.osb btn\ntick 3: event log.osb ghost 33\n"));
  const test::CommandResult r =
      test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", "4", "--events", dir / "events.txt", "--trace",
                        "-", "--screenshot", dir / "shot.png", game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"tick 2 clock 30 frame 15\n0000001e : <Event>paint.osb(1)\n",
                            "tick 3 clock 45 frame 15\n0000002d : <Event>log.osb(1)\n"});
  ExpectContains(Dump(game + "/save.dat"), {"var log str = \"[btn][]\""});
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(0, 0), (15, 15), (16, 16), (63, 47)"),
            "[(0, 255, 0), (0, 255, 0), (0, 0, 0), (0, 0, 0)]\n");
}

// The "kinds" game: the independent writer's scrambled two-frame picture
// shows pixel for pixel with the game's code, paused on frame 0 above the
// one played to frame 1; without the code its read error is traced once.
TEST(GameRun, KindsOfNoOtherGame) {
  const test::TempDir dir;
  ASSERT_EQ(test::RunPython("fixtures/brix_fixture.py", {"make", dir / "brix"}).exit_code, 0);
  const std::string pic = dir / "brix/scrambled_tiles", shot = dir / "shot.png", same =
      "import sys\nfrom PIL import Image\nrgb = lambda p: bytes(open(p, 'rb').read().split(b'ENDHDR\\n')[1])\n"
      "print(Image.open(sys.argv[1]).convert('RGBA').tobytes() == rgb(sys.argv[2]) + rgb(sys.argv[3]))\n";
  for (const std::string code : {"12345", "0"}) {
    BuildGame("kinds", dir / code, true, {"ImageCode = " + code});
    fs::copy_file(pic + ".brx", dir / code + "/scrambled_tiles.brx");
    const std::string trace = test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", "8", "--trace", "-",
                                                "--screenshot", shot, dir / code}).output;
    EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", same, shot, pic + ".expected.pam", pic + ".f1.expected.pam"}).output,
              code == "0" ? "False\n" : "True\n");
    EXPECT_EQ(trace.find(".brx: ") != std::string::npos, code == "0") << trace;
    EXPECT_EQ(trace.find(".brx: "), trace.rfind(".brx: "));  // told once
    ExpectContains(trace, {"MesNew: this kind of item is not available\n"});
  }
}

}  // namespace
}  // namespace orba

// The quit watchdog, judged by what the player does and says, never by how
// long it took: a shut-down that is slow but makes progress is left to end
// with its status save; one stuck in a system call that never returns is
// ended by the watchdog, which says so.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>

#include "shell/quit_signals.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ExpectContains;
using test::ExpectLacks;

const std::string kStoppedLine =
    "orba: the game made no progress for " + std::to_string(kQuitStallMs) + " ms after the quit signal; stopped\n";

// SIGTERM in the first tick; the exit page then lays out a message of half
// a million characters in one step, which takes a second on an idle
// machine and many on a busy one. Its long work reports progress, so the
// player ends in order: exit 0, no watchdog line, the exit counted in the
// status save.
TEST(QuitWatchdog, ASlowShutDownThatMakesProgressIsLeftToEnd) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("slowexit", game, true, {"Var n int 16"});
  const test::CommandResult r = test::PlayAndSigterm(game);
  EXPECT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"\nquit signal\n"});
  ExpectLacks(r.output, {kStoppedLine});
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var exits int = 1"});
}

// Whether the thread Tid of process Pid sleeps in a write(2).
bool SleepsInWrite(pid_t pid, pid_t tid) {
  const std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid);
  const std::string syscall = test::FileText(task + "/syscall"), stat = test::FileText(task + "/stat");
  const size_t state = stat.rfind(')');
  return syscall.rfind("1 ", 0) == 0 && state != std::string::npos && stat.compare(state, 4, ") S ") == 0;
}

// The trace goes to a pipe that nobody reads once the game runs: the
// player's main thread blocks writing to it and makes no progress. SIGTERM
// then cannot end the game in order; the watchdog ends the player with the
// signal's exit code and its line, and no status save was written.
TEST(QuitWatchdog, AShutDownStuckInABlockedWriteIsStopped) {
  if (!std::filesystem::exists("/proc/self/syscall")) GTEST_SKIP() << "no /proc/PID/syscall to see a blocked write";
  const test::TempDir dir;
  const std::string game = dir / "game", errors = dir / "errors.txt";
  test::BuildGame("counter", game, true);
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t player = fork();
  if (player == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    if (!freopen(errors.c_str(), "w", stderr)) _exit(126);
    execl(ORBA_PLAYER_PATH, ORBA_PLAYER_PATH, "--headless", "--ticks", "2000000000", "--trace", "-", game.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  ASSERT_GT(player, 0);
  close(out[1]);
  // The game runs (and the quit signals are handled) once it starts its
  // ticks; from then on the pipe is left to fill.
  std::string seen;
  char buffer[4096];
  for (ssize_t n = 0; seen.find("start ticks\n") == std::string::npos;) {
    n = read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
  }
  ASSERT_NE(seen.find("start ticks\n"), std::string::npos) << seen;
  int status = 0;
  pid_t ended = 0;
  while (!SleepsInWrite(player, player) && (ended = waitpid(player, &status, WNOHANG)) == 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(ended, 0) << "the player ended before its trace filled the pipe";
  ASSERT_EQ(::kill(player, SIGTERM), 0);
  while (waitpid(player, &status, 0) < 0 && errno == EINTR) {
  }
  close(out[0]);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  EXPECT_EQ(test::FileText(errors), kStoppedLine);
  EXPECT_FALSE(std::filesystem::exists(game + "/save.dat"));
}

}  // namespace
}  // namespace orba

#include "shell/quit_signals.h"

#include <semaphore.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <thread>

#include "core/system/quit_request.h"

namespace orba {
namespace {

// The first quit signal, stored by the handler on whichever thread takes
// it, and the display's loss, stored by the game's thread, are read by the
// watchdog's thread: lock-free atomics, which a signal handler may use.
std::atomic<int> g_signal_number{0};
static_assert(std::atomic<int>::is_always_lock_free);
// Set when the display went away: the watchdog then stops a status save
// that does not end.
std::atomic<bool> g_display_lost{false};
static_assert(std::atomic<bool>::is_always_lock_free);
bool g_watchdog_started = false;
sem_t g_wake;
// The watchdog's lines, made before any signal: when one is written the
// heap may be exhausted or held by a thread that is being stopped.
struct TWatchdogLine {
  char Text[128];
  size_t Size = 0;
};
TWatchdogLine g_line, g_lost_line;

void MakeLine(TWatchdogLine& line, const char* format) {
  const int written = std::snprintf(line.Text, sizeof line.Text, format, kQuitStallMs);
  line.Size = written > 0 ? std::min(static_cast<size_t>(written), sizeof line.Text - 1) : 0;
}

void OnQuitSignal(int signal_number) {
  const int saved_errno = errno;
  int none = 0;
  if (g_signal_number.compare_exchange_strong(none, signal_number)) {
    RequestQuit();
    sem_post(&g_wake);  // async-signal-safe
  }
  errno = saved_errno;
}

// Waits for the first quit signal (or the display's loss), then watches the
// game's progress reports and, once none came for kQuitStallMs, ends the
// process as the signal would have. The time without progress is counted
// in checks, not read off the clock: a process that was suspended, or
// whose threads the leak checker stopped at its exit, is not taken for a
// stuck one, and a check that comes late on a busy machine only waits
// longer.
void Watchdog() {
  while (sem_wait(&g_wake) != 0 && errno == EINTR) {
  }
  constexpr int kStallChecks = kQuitStallMs / kQuitCheckMs;
  uint64_t seen = ProgressReports();
  for (int still = 0; still < kStallChecks;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kQuitCheckMs));
    const uint64_t now = ProgressReports();
    still = now == seen ? still + 1 : 0;
    seen = now;
  }
  if (g_display_lost.load()) {
    (void)!::write(STDERR_FILENO, g_lost_line.Text, g_lost_line.Size);
    ::_exit(1);
  }
  (void)!::write(STDERR_FILENO, g_line.Text, g_line.Size);
  ::_exit(128 + g_signal_number.load());
}

}  // namespace

void InstallQuitSignals() {
  if (g_watchdog_started) return;
  MakeLine(g_line, "orba: the game made no progress for %d ms after the quit signal; stopped\n");
  MakeLine(g_lost_line, "orba: the display went away; the status save made no progress for %d ms; stopped\n");
  sem_init(&g_wake, 0, 0);
  std::thread(Watchdog).detach();
  g_watchdog_started = true;
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

bool QuitSignalled() { return QuitRequested(); }

void EndForLostDisplay(const TStatusSave& save_status) {
  static bool ending = false;
  // A save that finds the loss again (it cannot: it makes no window
  // request) must not save twice.
  if (ending) ::_exit(1);
  ending = true;
  g_display_lost.store(true);
  RequestQuit();
  if (g_watchdog_started) sem_post(&g_wake);
  const char* line = "orba: the display went away\n";
  // The save's time without progress counts from here.
  ReportProgress();
  if (save_status) {
    line = save_status() ? "orba: the display went away; the game ended after its status save\n"
                         : "orba: the display went away; the game's status save failed\n";
  }
  std::fputs(line, stderr);
  std::fflush(nullptr);
  ::_exit(1);
}

}  // namespace orba

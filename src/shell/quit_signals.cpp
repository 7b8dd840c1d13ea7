#include "shell/quit_signals.h"

#include <semaphore.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <thread>

#include "core/system/quit_request.h"

namespace orba {
namespace {

volatile sig_atomic_t g_signal_number = 0;
sem_t g_wake;
// The watchdog's line, made before any signal: when it is written the
// heap may be exhausted or held by a thread that is being stopped.
char g_line[128];
size_t g_line_size = 0;

void OnQuitSignal(int signal_number) {
  const int saved_errno = errno;
  if (g_signal_number == 0) {
    g_signal_number = signal_number;
    RequestQuit();
    sem_post(&g_wake);  // async-signal-safe
  }
  errno = saved_errno;
}

// Waits for the first quit signal, gives the ordered shut-down its grace
// time, then ends the process as the signal would have.
void Watchdog() {
  while (sem_wait(&g_wake) != 0 && errno == EINTR) {
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(kQuitGraceMs));
  (void)!::write(STDERR_FILENO, g_line, g_line_size);
  ::_exit(128 + static_cast<int>(g_signal_number));
}

}  // namespace

void InstallQuitSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  const int written =
      std::snprintf(g_line, sizeof g_line, "orba: the game did not end within %d ms of the quit signal; stopped\n",
                    kQuitGraceMs);
  g_line_size = written > 0 ? std::min(static_cast<size_t>(written), sizeof g_line - 1) : 0;
  sem_init(&g_wake, 0, 0);
  std::thread(Watchdog).detach();
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

bool QuitSignalled() { return QuitRequested(); }

}  // namespace orba

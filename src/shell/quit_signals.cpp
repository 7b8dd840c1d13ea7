#include "shell/quit_signals.h"

#include <signal.h>

#include <initializer_list>

namespace orba {
namespace {

volatile sig_atomic_t g_signalled = 0;

void OnQuitSignal(int) { g_signalled = 1; }

}  // namespace

void InstallQuitSignals() {
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal_number, &action, nullptr);
}

bool QuitSignalled() { return g_signalled != 0; }

}  // namespace orba

// Signals that end the player: SIGTERM (a service manager or a desktop
// logging out), SIGINT (Ctrl+C) and SIGHUP (the terminal went away). They
// are not the player closing the window: nothing is asked. The script's run
// loop ends its tick at the next step and the main loop ends through the
// ordered shut-down (exit page, status save). A step may run long (a script
// that never yields inside one command): a watchdog then ends the process
// kQuitGraceMs after the signal, so the player is gone within a second
// whatever the script does.
#pragma once

namespace orba {

// How long the ordered shut-down may take after a quit signal.
inline constexpr int kQuitGraceMs = 900;

// Installs the handlers (each only marks the quit request and wakes the
// watchdog) and starts the watchdog thread.
void InstallQuitSignals();
// Whether one of those signals arrived since the program started.
bool QuitSignalled();

}  // namespace orba

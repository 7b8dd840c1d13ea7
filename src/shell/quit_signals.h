// Signals that end the player: SIGTERM (a service manager or a desktop
// logging out), SIGINT (Ctrl+C) and SIGHUP (the terminal went away). They
// are not the player closing the window: nothing is asked, and the main loop
// ends through the ordered shut-down (exit page, status save) at its next
// step.
#pragma once

namespace orba {

// Installs the handlers; each only sets a flag.
void InstallQuitSignals();
// Whether one of those signals arrived since the program started.
bool QuitSignalled();

}  // namespace orba

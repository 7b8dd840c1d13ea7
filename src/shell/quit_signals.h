// Signals that end the player: SIGTERM (a service manager or a desktop
// logging out), SIGINT (Ctrl+C) and SIGHUP (the terminal went away). They
// are not the player closing the window: nothing is asked. The script's run
// loop ends its tick at the next step and the main loop ends through the
// ordered shut-down (exit page, status save). A shut-down may be slow (a
// busy machine, an exit page of long work) and is then left to end: the
// watchdog ends the process only when the game made no progress
// (core/system/quit_request.h) for kQuitStallMs, as when one step is stuck
// (a script command that never ends, a system call that blocks), so a
// stuck player is still gone within seconds of the signal.
//
// The display going away (the X server ended, the connection was killed)
// is found inside the window system's library, which cannot be used any
// more: the ordered shut-down, whose exit page may draw and whose window
// is gone, cannot run. The status save is written and the process ends.
#pragma once

#include <functional>

namespace orba {

// How long the ordered shut-down may go without reporting progress before
// the watchdog stops it: far beyond the longest step a shut-down takes
// (the status save, freeing a scene of many objects) on a loaded machine.
inline constexpr int kQuitStallMs = 5000;
// How often the watchdog looks at the progress reports.
inline constexpr int kQuitCheckMs = 100;

// Installs the handlers (each only marks the quit request and wakes the
// watchdog) and starts the watchdog thread.
void InstallQuitSignals();
// Whether one of those signals arrived since the program started.
bool QuitSignalled();

// The status save of the display-lost end: true when it was written (or
// there was nothing to write).
using TStatusSave = std::function<bool()>;
// Ends the process because the display went away: writes the status save
// (nothing when SaveStatus is empty), says so in one line on standard error
// and ends with exit code 1, without the exit page, static destructors or
// exit handlers, any of which may reach the lost display again. Called on
// the thread that found the loss, inside the window system's library, with
// the game between two of its steps (a window request is never made in the
// middle of changing the game's state); the save takes no lock the window
// requests hold. A save that makes no progress for kQuitStallMs is stopped
// by the quit watchdog.
[[noreturn]] void EndForLostDisplay(const TStatusSave& save_status);

}  // namespace orba

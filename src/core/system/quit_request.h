// A request to end the player that may come from a signal handler: setting
// it is async-signal-safe, and the script's run loop and the shell's tick
// loop read it between steps, so the player ends in order even while a
// script is busy.
//
// Beside it, the progress of the game's own work: the tick loop, the
// script's steps, long text work and long unpacking report each step they
// take, and the quit watchdog (shell/quit_signals) stops only a shut-down
// whose reports have stopped, never one that is merely slow on a busy
// machine.
#pragma once

#include <cstdint>

namespace orba {

// Marks the request; safe to call from a signal handler.
void RequestQuit() noexcept;
// Whether a quit was requested since the program started.
bool QuitRequested() noexcept;

// Says that the game's work has taken one more step. Cheap (one atomic
// increment) and safe from any layer; report only from the work a
// shut-down waits for, not from a helper thread that runs on by itself.
void ReportProgress() noexcept;
// How many steps were reported since the program started; it only grows.
uint64_t ProgressReports() noexcept;

}  // namespace orba

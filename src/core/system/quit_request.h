// A request to end the player that may come from a signal handler: setting
// it is async-signal-safe, and the script's run loop and the shell's tick
// loop read it between steps, so the player ends in order even while a
// script is busy.
#pragma once

namespace orba {

// Marks the request; safe to call from a signal handler.
void RequestQuit() noexcept;
// Whether a quit was requested since the program started.
bool QuitRequested() noexcept;

}  // namespace orba

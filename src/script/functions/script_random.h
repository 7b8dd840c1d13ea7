// The script's random generator: one process-wide 32-bit linear
// congruential state shared by the Random function, the screen items and
// the transitions that draw random numbers.
#pragma once

#include <cstdint>

namespace orba {

// The generator's state; 0 when the program starts.
extern uint32_t RandSeed;

// Advances the state (state * 134775813 + 1, modulo 2^32) and answers the
// upper 32 bits of state * N, N taken as unsigned: 0 .. N-1 for N >= 1.
int32_t ScriptRandom(int32_t n);
// Advances the state the same way and answers state / 2^32: a real in [0, 1).
double ScriptRandomReal();

// The seed the main window sets at its creation: the milliseconds of the
// current UTC time of day, ((hour * 60 + minute) * 60 + second) * 1000 + ms.
uint32_t SeedFromTimeOfDay(int32_t hour, int32_t minute, int32_t second, int32_t msec);
void SeedRandomFromClock();

}  // namespace orba

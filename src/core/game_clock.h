// The player's timing and control globals. The shell's tick loop writes
// them; the script engine, the items and the file layer read them. All of
// them belong to the window thread.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace orba {

// Game time in milliseconds: the sum of the accepted ticks' lengths. It
// stands still while the game pauses and does not count gaps of 300 ms or
// more between ticks.
extern uint32_t GameClock;
// Length in milliseconds of the last accepted tick.
extern int32_t FrameTime;
// Number of ticks so far.
extern int32_t TickCount;
// Set to 1 to end the program; the script's run loop stops when it is set.
extern uint8_t QuitFlag;
// Time unit of the particle emitter in milliseconds; stays 16.
extern int32_t FrameInterval;
// Set once the player has begun to shut down.
extern bool Terminating;

// Sets every global above, and the transitions' default parameters, to their
// values at program start.
void ResetPlayerGlobals();

// The system millisecond timer (what scripts see as the PC's tick count).
// Reads 0 until the shell sets its clock.
void SetSystemClock(TClock* clock);
uint32_t SystemMilliseconds();

// Handles the window's waiting input without running a tick, for code that
// waits for a thread of its own. Does nothing until the shell sets it.
void SetMessageProcessor(std::function<void()> processor);
void ProcessMessages();

// Date-time values count days since 30 December 1899, the fraction being the
// time of day.
using TDateTimeSource = double (*)();
// The current local date and time.
double LocalNow();
// LocalNow, computed again only when the game clock has moved since the
// last call.
double CachedNow();
// Replaces the source of CachedNow (nullptr: LocalNow) and forgets the
// cached value.
void SetDateTimeSource(TDateTimeSource source);

// Days from 30 December 1899 to the given day of the proleptic Gregorian
// calendar.
int32_t DaysSince1899(int32_t year, int32_t month, int32_t day);

}  // namespace orba

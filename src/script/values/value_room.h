// Room for the values a script makes. The heap watch reads the memory
// between steps, but one step may make gigabytes (a call's thousands of
// text arguments, arrays copied or grown): what the steps make is counted
// here, and once 16 MiB were made since the memory was last read here, the
// next value is made only after the heap watch found room for it. Without
// room the ceiling counts as passed and the step fails, so the game ends
// the way the ceiling ends it, at most a few megabytes past it.
#pragma once

#include <cstdint>

#include "script/script_errors.h"

namespace orba {

// What may be made between two reads of the memory: a read costs tens of
// microseconds, making 16 MiB milliseconds.
inline constexpr int64_t kValueBytesBetweenReads = int64_t{16} << 20;

// Raised by ClaimValueRoom when the values would pass the heap ceiling.
class ENoValueRoom : public EScriptError {
 public:
  using EScriptError::EScriptError;
};

// Counts Bytes about to be made; past kValueBytesBetweenReads since the
// last read it asks the heap watch for room for them (HeapRoomFor) and
// raises ENoValueRoom when there is none.
void ClaimValueRoom(int64_t bytes);
// Starts the count anew (tests).
void ResetValueRoom();

}  // namespace orba

// The watch on the player's memory: what a game's script and items hold in
// sum has no other bound, so the memory in use (the resident set; in a
// sanitizer build the allocator's count) is read at safe points (between
// script steps, in each tick, every so many glyphs of a long text layout;
// at most every kHeapReadIntervalMs) and compared with a ceiling: 1 GiB,
// or half the machine's memory when that is less.
// Past it the game ends in order: the tick stops before its saves and
// loads, the exit page is not run and the status save is not written, so
// that the save file keeps the state of the last ordered end (a state that
// filled the memory may hold more than the next start reads back).
#pragma once

#include <cstdint>

namespace orba {

inline constexpr uint64_t kDefaultHeapCeiling = uint64_t{1} << 30;
// A read costs tens of microseconds; between two, a script can add tens of
// megabytes at most.
inline constexpr int kHeapReadIntervalMs = 5;

// The ceiling for this machine: kDefaultHeapCeiling, or half the physical
// memory when that is less.
uint64_t MachineHeapCeiling();
// Sets the ceiling in bytes; 0 turns the watch off (the default until the
// player sets it).
void SetHeapCeiling(uint64_t bytes);
uint64_t HeapCeiling();
// The memory in use now: the resident set, or the bytes the sanitizer's
// allocator has handed out and not taken back.
uint64_t HeapInUse();
// Reads the memory (unless it was read less than kHeapReadIntervalMs
// ago); past the ceiling it marks the end (the shell's runner,
// the run loop and long text work stop at the mark, and the project skips
// its exit page and status save). Answers whether the ceiling was passed
// (now or before).
bool CheckHeapCeiling();
// Whether a check found the heap past the ceiling.
bool HeapCeilingPassed();
// Forgets a passed ceiling (tests, and the whole-player fuzzer between
// its games).
void ResetHeapCeiling();

// Adds Delta (negative to give back) to the bytes held in memory outside
// the allocator (files in a memory-backed temporary folder), which
// HeapInUse counts too; answers their sum.
int64_t ChargeHeapBytes(int64_t delta);

}  // namespace orba

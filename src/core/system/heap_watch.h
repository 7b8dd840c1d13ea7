// The watch on the player's memory: what a game's script and items hold in
// sum has no other bound, so the memory in use (the resident set; in a
// sanitizer build the allocator's count) is read at safe points (between
// script steps, in each tick, every so many glyphs of a long text layout;
// at most every kHeapReadIntervalMs) and compared with a ceiling: half the
// machine's memory, at most kMaxHeapCeiling. Half leaves the other half to
// the system and the programs beside the player; 3 GiB holds what the
// largest games keep at once (a hundred full-screen pictures and a movie
// take about 1 GiB, an animation of 48 full-screen frames with alpha
// 650 MiB) three times over, while a game that only grows still ends in
// seconds.
// Past it the game ends in order: the tick stops before its saves and
// loads, the exit page is not run and the status save is not written, so
// that the save file keeps the state of the last ordered end (a state that
// filled the memory may hold more than the next start reads back).
#pragma once

#include <cstdint>

namespace orba {

// The most the ceiling is on any machine: 3 GiB.
inline constexpr uint64_t kMaxHeapCeiling = uint64_t{3} << 30;
// A read costs tens of microseconds; between two, a script can add tens of
// megabytes at most.
inline constexpr int kHeapReadIntervalMs = 5;

// The ceiling for a machine of PhysicalBytes of memory: half of it, at most
// kMaxHeapCeiling (kMaxHeapCeiling when the size is unknown, 0).
uint64_t HeapCeilingFor(uint64_t physical_bytes);
// The ceiling for this machine.
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

// Reads the memory now, whenever it was last read: whether Bytes more fit
// under the ceiling. A script step asks before it makes values of many
// megabytes at once, which would otherwise pass the ceiling by far before
// the next read. When they would pass it the ceiling counts as passed (the
// trace and the end of CheckHeapCeiling) and the answer is false; after a
// passed ceiling it is false at once, and with the watch off always true.
bool HeapRoomFor(uint64_t bytes);

// Adds Delta (negative to give back) to the bytes held in memory outside
// the allocator (files in a memory-backed temporary folder), which
// HeapInUse counts too; answers their sum.
int64_t ChargeHeapBytes(int64_t delta);

}  // namespace orba

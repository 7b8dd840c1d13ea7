// Version gates of save.dat's sections other than the scene: the game
// slot's backlog, run state, variables and tables (by game-state version),
// and the status entry's read marks, image-cache setting and tables (by
// status version, which older files still carry, so every gate stays).
// A game slot older than kOldestGameStateVersion (107, save_data.h) is
// refused before any section is read, so the slot's gates all lie above it:
// what a slot gained earlier (the selection string and index among the
// variables) is read unconditionally.
#pragma once

#include <cstdint>

namespace orba {

// Game slot: history sheets, pending window layout and row records.
inline constexpr int32_t kSlotHistorySheetsVersion = 113;
// Game slot: the timer list's levels stored as int32.
inline constexpr int32_t kSlotLongEventLevelVersion = 114;
// Game slot: the call stack's next level.
inline constexpr int32_t kSlotNextLevelVersion = 116;
// Game slot: the temporary target's name.
inline constexpr int32_t kSlotTempTargetVersion = 121;
// Game slot: the game's tables.
inline constexpr int32_t kSlotGameTablesVersion = 123;
// Game slot: the variable lines of history records.
inline constexpr int32_t kSlotVarLinesVersion = 124;
// Game slot: every history format (before it, the default one's alone,
// with its layout parameters among the variables).
inline constexpr int32_t kSlotAllHistoriesVersion = 135;
// Game slot: the variable frames.
inline constexpr int32_t kSlotVarFramesVersion = 139;

// Status: read marks.
inline constexpr int32_t kStatusReadMarksVersion = 100;
// Status: the image cache's dither setting.
inline constexpr int32_t kStatusDitherVersion = 101;
// Status: the status tables.
inline constexpr int32_t kStatusTablesVersion = 103;

// A table store (the game's or the status tables) opens with its own
// version, which this one writes; its tables read alike at every version.
inline constexpr int32_t kTableStoreVersion = 100;

}  // namespace orba

// The folders the player chose for each game through the folder chooser,
// remembered so that a game which keeps a chosen folder may write there in a
// later run too, without the player choosing it again.
//
// The record is the player's, never the game's: it lies in the player's own
// folder ($XDG_DATA_HOME/orba/, beside the games' data folders and never in
// one) under a name no title can give a data folder (a ":" in it), and a
// running game's file access shuts it (file_access.h). It is a small text:
// a header line, then one line for each chosen folder, the game and the
// chosen folder as real paths of the disk, separated by a tab; each line
// ends with a line feed. The game is the package file for a game named as
// one (so that another package beside it never gets its choices) and the
// folder for a game folder. Version 1 kept every game under its folder; its
// lines are read as they stand, each then the choice of a game folder (a
// package's line of it no package has any more), and the record is written
// anew as version 2 at the next choice. A player that knows only version 1
// reads a version-2 record as none. It is read whole (up to kMaxChosenFoldersFileSize)
// and taken only when every line is right; anything else is read as no
// record (traced) and replaced at the next choice. It is written whole
// through a fresh temporary (atomic_file.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orba {

inline constexpr char kChosenFoldersFileName[] = "chosen:folders";
// The header written, and the header of the older form still read.
inline constexpr char kChosenFoldersHeader[] = "orba chosen folders 2";
inline constexpr char kChosenFoldersHeaderFolders[] = "orba chosen folders 1";
inline constexpr size_t kMaxChosenFoldersFileSize = 64 * 1024;
// The folders kept for one game, its latest choices.
inline constexpr size_t kMaxChosenFoldersPerGame = 16;

// One remembered choice: disk paths, absolute.
struct TChosenFolder {
  std::string Game;
  std::string Folder;
  bool operator==(const TChosenFolder&) const = default;
};

// The choices of a record's text, oldest first; nullopt when the text is
// no whole record (no header, a line without its end, a path that is not
// absolute or holds a tab, a carriage return or a zero byte), or larger
// than kMaxChosenFoldersFileSize.
std::optional<std::vector<TChosenFolder>> ParseChosenFolders(std::string_view text);
std::string FormatChosenFolders(const std::vector<TChosenFolder>& choices);
// Adds a choice as the latest (moved there when it was already kept): the
// game's oldest go beyond kMaxChosenFoldersPerGame, and the record's oldest
// while its text would exceed kMaxChosenFoldersFileSize. False, Choices as
// they were, when a path cannot be kept (see ParseChosenFolders).
bool AddChosenFolder(std::vector<TChosenFolder>& choices, const TChosenFolder& chosen);

// The record's disk path; "" when the player has no folder of its own.
std::string ChosenFoldersFile();
// The folders remembered for the game Game (the real path of its package
// file or of its folder), oldest first.
std::vector<std::string> RememberedFolders(const std::string& game);
// Remembers Folder (a real path) for Game; false (traced) when the record
// cannot be written.
bool RememberChosenFolder(const std::string& game, const std::string& folder);

}  // namespace orba

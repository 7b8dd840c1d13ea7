// Where a running game may read and write files on disk: the one policy that
// every file function of the player goes through.
//
// A game reads and writes under its own folder, the player's data folder
// for it, its temporary folder, the folders the user chose through the
// folder chooser in this run, and the user's desktop, documents and pictures
// folders; it reads its CD-ROM folders. Never a hidden folder of HOME
// (~/.config, ~/.local, ...) unless one of those folders itself lies there.
// Everything else is refused, with one trace line naming the path. Paths are
// compared as the disk resolves them (letter case, "..", symbolic links), so
// no spelling climbs out of a folder.
//
// Until a game restricts access (and again once it released it) every path
// is open: the tools and the tests of lower layers are no game.
#pragma once

#include <cstdint>
#include <string>

namespace orba {

enum class TFileAccess : uint8_t { Read, Write };

// What a folder open to the game is; Disc folders are read only, a Single
// root opens one file (the wallpaper bitmap).
enum class TAccessRoot : uint8_t { Game, Data, Temp, Chosen, UserFolder, Disc, Single };

// From now on only the roots given to AllowFileRoot are open; forgets the
// roots of an earlier game.
void RestrictFileAccess();
// Every path is open again; the roots are forgotten.
void ReleaseFileAccess();
bool FileAccessRestricted();
// Opens a folder (or with Single one file) to the game; a Shift-JIS path in
// the player's form. An empty path opens nothing.
void AllowFileRoot(const std::string& path, TAccessRoot kind);

// Whether the game may read or write Path (Shift-JIS, "\" or "/"
// separators, relative to the current folder). A refusal is traced once.
bool FileAccessAllowed(const std::string& path, TFileAccess access);
// The same for Name looked up in Folder as the file layer joins them
// (Folder + Name); quick when Folder is an open root and Name climbs out of
// nothing.
bool FileAccessAllowedIn(const std::string& folder, const std::string& name, TFileAccess access);

}  // namespace orba

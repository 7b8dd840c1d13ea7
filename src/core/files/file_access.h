// Where a running game may read and write files on disk: the one policy that
// every file function of the player goes through.
//
// A game reads and writes under its own folder, the player's data folder
// for it, its temporary folder, the folders the user chose through the
// folder chooser in this run, and the user's desktop, documents and pictures
// folders; it reads its CD-ROM folders. Never a hidden folder of HOME
// (~/.config, ~/.local, ...) unless one of those folders itself lies there.
// Everything else is refused, with one trace line naming the path. Paths are
// walked on disk component by component (disk_walk.h: letter case, "..",
// symbolic links) and judged by the real place they lead to, so no spelling
// climbs out of a folder; a link planted in the game's, its data, temporary
// or disc folders may lead to another place inside the open folders, never
// outside (links in the user's own folders are the user's, followed), and a
// name holding a zero byte is refused before anything else.
//
// Until a game restricts access (and again once it released it) every path
// is open: the tools and the tests of lower layers are no game.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/files/disk_path.h"
#include "core/files/disk_walk.h"

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

// The walk of Path (Shift-JIS, "\" or "/" separators, relative to the
// current folder) with the policy's rule for links, when the place it leads
// to is open for Access; null (the refusal traced once) otherwise. Open the
// entry through the walk's folder: what was judged is what is opened.
std::unique_ptr<TDiskWalk> WalkForGame(const std::string& path, TFileAccess access);
// The walk of Name (Shift-JIS, relative) from Folder, the real folder (disk
// bytes) where a file was just opened for reading, for a file that one
// brings with it (a package's further volume), also before a game restricts
// access: links found in Folder or below it lead inside Folder or, once a
// game restricted access, inside the folders open to it, and the place
// reached must lie in Folder or be open to the game for reading. Null (the
// refusal traced once) otherwise; a walk that found nothing is handed back
// as it ended (Missing).
std::unique_ptr<TDiskWalk> WalkBeside(const std::string& folder, const std::string& name);
// Whether the game may read or write Path; a refusal is traced once.
bool FileAccessAllowed(const std::string& path, TFileAccess access);
// The same for Name looked up in Folder as the file layer joins them
// (Folder + Name).
bool FileAccessAllowedIn(const std::string& folder, const std::string& name, TFileAccess access);
// The Shift-JIS name a stream may create or replace a file at for the game
// (or, with Kind Folder, a folder to create or write into): the real path
// Path leads to (links resolved), when that is open for writing and holds
// nothing or an entry of that kind; "" (traced) otherwise. Never a device
// or a FIFO.
std::string GameWritePath(const std::string& path, TDiskEntryKind kind = TDiskEntryKind::File);

}  // namespace orba

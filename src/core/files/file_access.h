// Where a running game may read and write files on disk: the one policy that
// every file function of the player goes through.
//
// A game reads and writes under its own folder, the player's data folder
// for it, its temporary folder, and what the player chose for it: the
// folders of the folder chooser (in this run, or remembered from an earlier
// one: core/system/chosen_folders.h) and the files of the file choosers; it
// reads its CD-ROM folders. The user's own folders (desktop, documents) are
// open only when chosen, and HOME, a folder holding it and "/" never are.
// Never a hidden folder of HOME (~/.config, ~/.local, ...) unless one of
// those folders itself lies there, and never the player's own records.
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
#include <functional>
#include <memory>
#include <string>

#include "core/files/disk_path.h"
#include "core/files/disk_walk.h"

namespace orba {

class TKsBigStream;

enum class TFileAccess : uint8_t { Read, Write };

// What a folder open to the game is. Chosen: a folder the player chose.
// Disc folders are read only; a Single root opens one file (the wallpaper
// bitmap, a file the player chose). Neither of those two is ever "/", HOME
// or a folder holding HOME (refused, traced). A Shut root is a file or
// folder that no other root opens, for reading or writing: the player's own
// records.
enum class TAccessRoot : uint8_t { Game, Data, Temp, Chosen, Disc, Single, Shut };

// From now on only the roots given to AllowFileRoot are open; forgets the
// roots of an earlier game.
void RestrictFileAccess();
// Every path is open again; the roots are forgotten.
void ReleaseFileAccess();
bool FileAccessRestricted();
// Opens a folder (or with Single one file) to the game, or shuts one; a
// Shift-JIS path in the player's form. The real path (disk bytes) of what
// it opened or shut; "" when nothing was (an empty path, a refused Chosen
// folder).
std::string AllowFileRoot(const std::string& path, TAccessRoot kind);

// The real path (disk bytes) of Path (Shift-JIS, in the player's form) as a
// root of it would be opened: made absolute, links of its existing part
// resolved; "" when it cannot be told.
std::string RealDiskPath(const std::string& path);

// The walk of Path (Shift-JIS, "\" or "/" separators, relative to the
// current folder) with the policy's rule for links, when the place it leads
// to is open for Access; null (the refusal traced once) otherwise. Open the
// entry through the walk's folder: what was judged is what is opened. A walk
// that could not begin for a system reason (no descriptor left) is null too,
// traced with the reason, which SystemError (when given) is set to; it is
// set to 0 otherwise.
std::unique_ptr<TDiskWalk> WalkForGame(const std::string& path, TFileAccess access, int* system_error = nullptr);
// The walk of Name (Shift-JIS, relative) from Folder, the real folder (disk
// bytes) where a file was just opened for reading, for a file that one
// brings with it (a package's further volume), also before a game restricts
// access: links found in Folder or below it lead inside Folder or, once a
// game restricted access, inside the folders open to it, and the place
// reached must lie in Folder or be open to the game for reading. Null (the
// refusal traced once) otherwise; a walk that found nothing is handed back
// as it ended (Missing). SystemError as for WalkForGame.
std::unique_ptr<TDiskWalk> WalkBeside(const std::string& folder, const std::string& name,
                                      int* system_error = nullptr);
// Whether the game may read or write Path; a refusal is traced once.
bool FileAccessAllowed(const std::string& path, TFileAccess access);
// The same for Name looked up in Folder as the file layer joins them
// (Folder + Name).
bool FileAccessAllowedIn(const std::string& folder, const std::string& name, TFileAccess access);
// Where a game creates or replaces a file: the folder the walk checked, held
// open, and the file's name in it. Everything is written through the
// folder's descriptor, so what was judged is what is written even when a
// folder on the way is swapped for a link meanwhile.
class TWritePlace {
 public:
  TWritePlace() = default;
  TWritePlace(TWritePlace&&) noexcept = default;
  TWritePlace& operator=(TWritePlace&&) noexcept = default;

  // The policy refused the name (traced): nothing may be written.
  bool Refused() const { return refused_; }
  // The folder holding the file (O_PATH); -1 when refused or when a folder
  // on the way does not exist.
  int FolderFd() const { return walk_ && !no_folder_ ? walk_->FolderFd() : -1; }
  // The file's name in the folder (disk bytes).
  const std::string& Name() const { return name_; }
  // The real path the name leads to (Shift-JIS), as traces and the desktop
  // name it; "" when refused.
  const std::string& Path() const { return path_; }

 private:
  friend TWritePlace GameWritePlace(const std::string& path);
  std::unique_ptr<TDiskWalk> walk_;
  bool refused_ = true, no_folder_ = false;
  std::string name_, path_;
};

// The place Path (Shift-JIS, "\" or "/" separators) leads to (links
// resolved), when that is open for writing and holds nothing or a regular
// file; refused (traced) otherwise, never a device, a FIFO or a folder.
TWritePlace GameWritePlace(const std::string& path);
// Writes Size bytes as the whole file at Place (ReplaceFileWholeAt of
// atomic_file.h). Raises EFOpenError naming the path when its folder does
// not exist or the file cannot be made there, EWriteError when writing
// fails; the old file then stays as it was.
void WriteGameFile(const TWritePlace& place, const void* data, size_t size);
// The same with the content written by Fill to the stream it is given,
// which goes straight to the new file, so that a large content is never
// held whole. What Fill raises leaves the old file as it was and passes on.
void WriteGameFileFrom(const TWritePlace& place, const std::function<void(TKsBigStream& out)>& fill);

// Makes Path (Shift-JIS) a folder the game writes into: the existing folder
// it leads to (links resolved), or its missing folders made one by one, each
// inside the one made before it, never by name from the top. False (a
// refusal traced) when the place is not open for writing, holds something
// else, or a folder cannot be made.
bool MakeGameFolders(const std::string& path);

}  // namespace orba

// Where the player keeps "save.dat" and finds the user's folders.
//
// Paths are Shift-JIS, as everywhere in the player, with "/" separators
// (they are Linux paths; the file streams convert them to UTF-8).
//
// "save.dat" stays beside the game when that folder is writable; otherwise
// it goes to a per-title folder below the user's local application data
// ($XDG_DATA_HOME/orba/<title>/, ~/.local/share by default), and a
// "save.dat" beside the game is copied there once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/files/atomic_file.h"

namespace orba {

// "データファイルを作成することができません"
inline constexpr char kMsgCannotCreateDataFile[] =
    "\x83" "f\x81[\x83^\x83t\x83@\x83" "C\x83\x8b\x82\xf0\x8d\xec\x90\xac\x82\xb7\x82\xe9\x82\xb1\x82\xc6\x82\xaa\x82\xc5"
    "\x82\xab\x82\xdc\x82\xb9\x82\xf1";

// The folder of a special folder id (platform/host.h), without a trailing
// separator; empty when the desktop has none (a desktop or documents folder
// that does not exist). The program-files folder is the registry's
// "ProgramFilesDir" (platform/registry.h), empty when it holds none, as on
// Linux. An id the host does not know raises EOrbaError.
std::string GetSpecialFolder(int id);
// The bytes of the regular file at Utf8 (a disk path) itself, read in its
// folder: a symbolic link (or a FIFO or device) in its place gives nothing,
// so that a file planted under the name cannot make the player read a file
// of the user's (a "save.dat" planted beside a read-only game copied into
// the data folder); nothing too for a file larger than MaxSize.
std::optional<std::vector<uint8_t>> ReadOwnRegularFile(const std::string& utf8, uint64_t max_size = kAnySize);
// The player's own system folder, where the wallpaper bitmap is written;
// ends in "/" (empty when there is none).
std::string GetWindowsFolder();

// The title as a folder name: each of \ / : , ; * ? " < > | and NUL that is
// not the trail byte of a double-byte character becomes "_" (a byte after a
// lead byte is a trail byte only when it is one of code page 932's, so a "/"
// there is replaced too); a name of dots alone becomes underscores so that
// it cannot climb out of its folder.
std::string TitleFolderName(const std::string& title);
// The per-title data folder, with a trailing "/", created with its parents:
// always one folder directly below the player's own data folder; empty when
// Title is empty, names no such folder, or the folder cannot be made.
std::string GetTitleDataFolder(const std::string& title);

// Whether the file Path (Shift-JIS) lies directly in a per-title folder
// below the player's own data folder ($XDG_DATA_HOME/orba/<title>/): a
// place only the user puts anything in, never a game.
bool InTitleDataFolder(const std::string& path);
// The place a link at Path (disk bytes, absolute) finally names, its links
// followed one by one (even to a target that does not exist yet); Path itself
// when it is no link; nothing for a loop of links or a name too long.
std::optional<std::string> FollowLinks(const std::string& utf8);

// "save.dat" has no place: the message is the player's text
// (kMsgCannotCreateDataFile) as a message box shows it; Where() says, for the
// player's own line on standard error, which folders were tried and why
// they failed (Shift-JIS).
class ESaveLocationError : public EOrbaError {
 public:
  ESaveLocationError(const std::string& message, std::string where)
      : EOrbaError(message), where_(std::move(where)) {}
  const std::string& Where() const { return where_; }

 private:
  std::string where_;
};

// The full name of "save.dat" for a program (or a game folder given as its
// path with a trailing "/") and the game's title: beside it, unless the
// program lies in the program-files folder (GetSpecialFolder), when a probe
// file can be created there ("save.dat.$$$" and six random letters and
// digits, a new file of its own that is removed at once), else in the
// per-title folder
// (raising ESaveLocationError with kMsgCannotCreateDataFile when there is
// none), where an existing
// "save.dat" from beside the program is copied unless one is already there.
std::string ResolveSaveDataFile(const std::string& program_path, const std::string& title);

}  // namespace orba

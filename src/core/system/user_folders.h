// Which folder a game lies in, judged against the user's own: HOME, "/" and
// the folders holding HOME, and the user's XDG folders (desktop, downloads,
// documents, pictures, music, videos, templates, public share) as
// $XDG_CONFIG_HOME/user-dirs.dirs names them, and their default names below
// HOME besides.
//
// A game is a package file or a folder of its own; a package that lies in
// one of these folders (downloaded into ~/Downloads, run from HOME) must not
// open the rest of that folder to its script, and a folder game there is no
// game folder at all. The game client asks this before it mounts anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orba {

// The largest user-dirs.dirs read; a larger one is read as none.
inline constexpr size_t kMaxUserDirsFileSize = 64 * 1024;

// How a game's folder stands to the user's folders.
enum class TFolderStanding : uint8_t {
  Own,         // a folder of the game's own
  HoldsHome,   // HOME, "/" or a folder holding HOME
  UserFolder,  // one of the user's XDG folders
};

// The folders a user-dirs.dirs text names (XDG_DESKTOP_DIR="$HOME/Desktop",
// ...), for the eight user folders only, in the order they stand: "$HOME"
// at the start of a value becomes Home; a value that is neither below
// "$HOME" nor absolute, or is not one quoted field, is left out, as are
// comments and other lines.
std::vector<std::string> ParseUserDirs(std::string_view text, const std::string& home);
// The user's folders as disk paths (absolute, UTF-8): those the user's
// user-dirs.dirs names, then the default names below HOME. None without an
// absolute HOME.
std::vector<std::string> UserFolderPaths();
// How the folder Folder (a disk path, UTF-8; links resolved) stands. The
// user's folders are compared by their real paths, links resolved.
TFolderStanding JudgeGameFolder(const std::string& folder);
// The game as the command line names it (a disk path, UTF-8), made absolute
// from the current folder with the links of its folders resolved, so that
// ".", "..", "vn/", a bare file name and a link to the folder each mean
// what the real absolute path means. A file keeps its own name (a link
// named "game.exe" stays a program); "" when the path does not exist.
std::string RealGamePath(const std::string& game);

}  // namespace orba

// Creating and replacing files without going through anything a game put
// under a name.
//
// A game's folder is untrusted: any name in it may be a symlink to a file of
// the user (zip and tar archives keep symlinks), planted where the player is
// about to write. So the player opens a file for writing only as a new file
// (O_CREAT | O_EXCL | O_NOFOLLOW): a name that exists, a symlink even when it
// dangles, is never opened. A file written whole goes to a temporary of a
// fresh name beside it, flushed to disk, and is renamed over the old file:
// rename replaces a symlink itself and never writes through it, and a failed
// write leaves the old file as it was.
//
// Paths here are disk paths (UTF-8), as the file system takes them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orba {

// What stands between a file's name and the six random letters and digits
// of its temporaries ("save.dat.~tmpK2x9Qa"). A name of this tag alone
// ("save.dat.~tmp") is what older versions of the player used.
inline constexpr char kTemporaryTag[] = ".~tmp";
inline constexpr size_t kFreshNameLetters = 6;

// A file just created under a name that did not exist before: its
// descriptor (write only, close-on-exec) and its path.
struct TNewFile {
  int Fd = -1;
  std::string Path;
};

// Creates a new file named Prefix followed by six random letters and digits
// (mode 0666 less the umask), trying other names while one exists. Fd is -1
// (errno set) when none could be made.
TNewFile CreateFreshFile(const std::string& prefix);

// Creates the file Path anew, open for reading and writing: whatever had the
// name is unlinked first (a symlink itself, never what it points to) and the
// new file is opened only when nothing took the name meanwhile. -1 (errno
// set) when it cannot be made.
int CreateReplacingFile(const std::string& path);

enum class TReplaceResult { Replaced, NotCreated, NotWritten };
// Replaces the file Path by Size bytes through a fresh temporary beside it
// (Path + kTemporaryTag + six letters and digits). NotCreated: the temporary
// could not be made; NotWritten: writing, flushing or renaming failed. On
// failure the temporary is gone and Path is as it was.
TReplaceResult ReplaceFileWhole(const std::string& path, const void* data, size_t size);

// Removes the temporaries a killed replacement of Path left beside it:
// Path + kTemporaryTag, alone or followed by six letters and digits, each
// only when it is a regular file or a symlink (the link itself goes, never
// what it points to). Returns the file names removed.
std::vector<std::string> RemoveStaleTemporaries(const std::string& path);

}  // namespace orba

// Creating, replacing and reading files without going through anything a
// game put under a name.
//
// A game's folder is untrusted: any name in it may be a symlink to a file of
// the user (zip and tar archives keep symlinks), planted where the player is
// about to write. So the player opens a file for writing only as a new file
// (O_CREAT | O_EXCL | O_NOFOLLOW): a name that exists, a symlink even when it
// dangles, is never opened. A file written whole goes to a temporary of a
// fresh name beside it, flushed to disk, and is renamed over the old file:
// rename replaces a symlink itself and never writes through it, and a failed
// write leaves the old file as it was. The temporary takes the old file's
// permission bits, so a file the user kept private stays private.
//
// A folder may be swapped for a link between the time a path is checked and
// the time it is written (another process renames it), so the routines
// ending in At work relative to a folder held open: every create, rename,
// delete and read happens in the very folder the caller checked. The path
// forms open the folder of the path first and work relative to it.
//
// Paths and names here are disk bytes (UTF-8), as the file system takes them.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orba {

// What stands between a file's name and the six random letters and digits
// of its temporaries ("save.dat.~tmpK2x9Qa"). A name of this tag alone
// ("save.dat.~tmp") is what older versions of the player used.
inline constexpr char kTemporaryTag[] = ".~tmp";
inline constexpr size_t kFreshNameLetters = 6;
// The permission bits of a new file before the umask.
inline constexpr mode_t kNewFileMode = 0666;

// A file just created under a name that did not exist before: its
// descriptor (write only, close-on-exec) and its path (for the At forms its
// name in the folder).
struct TNewFile {
  int Fd = -1;
  std::string Path;
  int Error = 0;  // the errno of the failed create when Fd is -1
};

// Creates a new file named Prefix followed by six random letters and digits
// (Mode less the umask), trying other names while one exists. Fd is -1
// (errno set, and Error) when none could be made.
TNewFile CreateFreshFile(const std::string& prefix);
TNewFile CreateFreshFileAt(int folder_fd, const std::string& prefix, mode_t mode = kNewFileMode);

// Creates the file Path anew, open for reading and writing: whatever had the
// name is unlinked first (a symlink itself, never what it points to) and the
// new file is opened only when nothing took the name meanwhile. -1 (errno
// set) when it cannot be made.
int CreateReplacingFile(const std::string& path);

enum class TReplaceResult { Replaced, NotCreated, NotWritten };
// Replaces the file Name of the folder Folder_fd by Size bytes through a
// fresh temporary beside it (Name + kTemporaryTag + six letters and digits)
// that has the permission bits of the regular file it replaces (a link's
// place gets a new file's). NotCreated: the temporary could not be made;
// NotWritten: writing, flushing or renaming failed. On failure the
// temporary is gone and Name is as it was. With Error, it is set to the
// errno of the failed call on NotCreated, and to 0 otherwise.
TReplaceResult ReplaceFileWholeAt(int folder_fd, const std::string& name, const void* data, size_t size,
                                  int* error = nullptr);
// The same with the content written by Write to the temporary's descriptor
// (false: writing failed). What Write raises removes the temporary and
// passes on.
TReplaceResult ReplaceFileAt(int folder_fd, const std::string& name, const std::function<bool(int fd)>& write,
                             int* error = nullptr);
// The same for the file Path, relative to its folder.
TReplaceResult ReplaceFileWhole(const std::string& path, const void* data, size_t size, int* error = nullptr);

// No size limit for the reads below.
inline constexpr uint64_t kAnySize = UINT64_MAX;
// The bytes of the regular file Name of the folder Folder_fd itself: a
// symlink (or a FIFO, a device, a folder) of that name gives nothing, and
// so does a read that fails or a file of more than Max_size bytes.
std::optional<std::vector<uint8_t>> ReadOwnFileAt(int folder_fd, const std::string& name,
                                                  uint64_t max_size = kAnySize);
// The bytes of an open file from its start to its end; nothing when reading
// fails or the file holds more than Max_size bytes.
std::optional<std::vector<uint8_t>> ReadWholeFd(int fd, uint64_t max_size = kAnySize);

// Opens the folder Path lies in for the At forms (O_PATH, close-on-exec;
// the folder's own path is followed as given) and sets Name to Path's last
// component; -1 when there is no such folder or Path names no file.
int OpenFolderOf(const std::string& path, std::string& name);

// Removes the temporaries a killed replacement of Path left beside it:
// Path + kTemporaryTag, alone or followed by six letters and digits, each
// only when it is a regular file or a symlink (the link itself goes, never
// what it points to). Returns the file names removed.
std::vector<std::string> RemoveStaleTemporaries(const std::string& path);

}  // namespace orba

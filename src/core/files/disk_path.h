// Names on disk for the player's Windows-form paths.
//
// Inside the player a path is Shift-JIS with "\" separators and compares
// case-insensitively, as the games were made on Windows. Only where a file is
// looked up on disk is it converted: each component is turned into UTF-8 and
// matched case-insensitively against the entries of its folder, so a game
// folder copied from Windows in any letter case works. Folders copied without
// converting their names keep raw Shift-JIS bytes on disk; those are matched
// too.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/files/file_limits.h"

namespace orba {

class EFOpenError;
class TKsBigStream;
class TKsMemoryStream;

// True when byte i of a Shift-JIS text is a path separator ("\" or "/"),
// never when it is the trail byte of a double-byte character.
bool IsSjisPathDelimiter(const std::string& path, size_t i);
// The components of a Windows-form path; empty components and "." go.
std::vector<std::string> SplitSjisPath(const std::string& path);
// Position just after the last separator (0 when there is none).
size_t SjisFileNameStart(const std::string& path);
// The folder part including its last separator ("" without one).
std::string SjisExtractFilePath(const std::string& path);
// The extension with its dot, from the last "." of the file name part.
std::string SjisExtractFileExt(const std::string& path);
// The path with its extension replaced (ext given with its dot).
std::string SjisChangeFileExt(const std::string& path, const std::string& ext);
// The path with every "/" separator written as "\", for comparing paths.
std::string BackSlashSeparators(const std::string& path);
// The path with every "\" separator written as "/", for showing a path on
// this system (a "\" byte of a double-byte character stays).
std::string SlashSeparators(const std::string& path);
// Whether Path begins with Folder (separators and letter case aside).
bool PathStartsWith(const std::string& path, const std::string& folder);
// Adds a "\" unless the path is empty or already ends in a separator.
std::string AddPathDelimiter(const std::string& path);

// The entry of an open folder whose name matches one Shift-JIS component:
// the component converted to UTF-8, its raw bytes, or else the first entry
// (in byte order, so the choice is stable) equal to it case-insensitively.
// Never a name that would leave the folder ("..", a separator, a zero byte).
std::optional<std::string> MatchDiskEntryAt(int folder, const std::string& component);

// The entry on disk a Windows-form path names, as the bytes the file system
// holds; nullopt when some component has no entry. A relative path starts
// from the current folder.
std::optional<std::string> FindDiskPath(const std::string& path);
// The disk path to create a file at: the existing leading folders resolved as
// by FindDiskPath, the missing rest converted to UTF-8.
std::string DiskPathForCreate(const std::string& path);

// What a path names as the file-access policy lets the game see it (links
// resolved, see file_access.h): a regular file, a folder, or nothing (also
// for a device, a FIFO or a socket, and for what the policy refuses).
enum class TDiskEntryKind { None, File, Folder };
TDiskEntryKind DiskEntryKind(const std::string& path);
inline bool DiskFileExists(const std::string& path) { return DiskEntryKind(path) == TDiskEntryKind::File; }
inline bool DiskFolderExists(const std::string& path) { return DiskEntryKind(path) == TDiskEntryKind::Folder; }

// The Shift-JIS form of a disk path, as the player hands it to the file
// streams (which convert it back to UTF-8). Raw Shift-JIS names on disk have
// no such form: then the result is empty.
std::string DiskPathToSjis(const std::string& disk_path);

// The Shift-JIS form of a disk path, or for raw Shift-JIS names (which have
// none) the best there is: the bytes converted as if they were UTF-8.
std::string SjisOfDiskPath(const std::string& disk_path);

// The Shift-JIS name to hand a file stream that creates the file a
// Windows-form path names (see DiskPathForCreate).
std::string SjisNameForCreate(const std::string& path);

// The error for the file Sjis_name that the system did not open, Error the
// errno saved right after the failed call: the name alone, as ever, when
// Error is 0 or says that no file is there (NamesNoFile, core/errors.h);
// else the name as a person reads it ("/" separators; a file held open,
// "/proc/self/fd/N", by its real path) with the system's reason.
EFOpenError FileOpenError(const std::string& sjis_name, int error);

// A regular file on disk found and opened for reading through the
// file-access policy (links resolved, devices and FIFOs never opened), held
// open while this object lives and named the way the file streams take
// names: the Shift-JIS form of its real path, or, for a raw Shift-JIS name
// on disk that has no such form, its descriptor's link.
class TDiskFileName {
 public:
  TDiskFileName() = default;
  // Raises EFOpenError naming the path when no file is found, or OpenError()
  // when one is there but could not be opened.
  explicit TDiskFileName(const std::string& path);
  // The same, Empty() when no file is found or opened.
  static TDiskFileName Find(const std::string& path);
  ~TDiskFileName();
  TDiskFileName(TDiskFileName&& other) noexcept;
  TDiskFileName& operator=(TDiskFileName&& other) noexcept;
  TDiskFileName(const TDiskFileName&) = delete;
  TDiskFileName& operator=(const TDiskFileName&) = delete;

  const std::string& StreamName() const { return stream_name_; }
  const std::string& DiskPath() const { return disk_path_; }
  bool Empty() const { return stream_name_.empty(); }
  // Empty(): the system's reason (errno) when a file is there but could not
  // be opened (no descriptor left, no access; see OpenWalkedFile); 0 when no
  // file is there.
  int SystemError() const { return system_error_; }
  // The error for such a file: its real path, as the system spells it, and
  // the system's reason.
  EFOpenError OpenError() const;
  // A new stream over the file, for reading with writers denied.
  std::unique_ptr<TKsBigStream> OpenRead() const;
  // The name of the very file opened ("/proc/self/fd/N"), valid while this
  // object lives.
  std::string HeldName() const;
  // The size of the file opened; -1 when it cannot be told.
  int64_t Size() const;
  // The whole file, read from the open descriptor, into Dest (at 0). Raises
  // EReadError when reading fails or the file holds more than MaxSize bytes
  // (then without holding more than that); callers that refuse a large file
  // by its name check Size() first.
  void LoadInto(TKsMemoryStream& dest, int64_t max_size = kMaxHeldFileBytes) const;

 private:
  std::string stream_name_;
  std::string disk_path_;  // also of a file that could not be opened
  int fd_ = -1;
  int system_error_ = 0;
};

// Opens an existing file for reading, writers denied; the path is Windows
// form and resolved as above. Raises EFOpenError naming the path.
std::unique_ptr<TKsBigStream> OpenDiskFileRead(const std::string& path);

}  // namespace orba


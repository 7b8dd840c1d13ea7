// Looks a Windows-form path up on disk one component at a time, through
// folder descriptors, resolving symbolic links itself.
//
// The walk is how the file-access policy sees the real place a game's name
// leads to: each component is matched as the file layer matches it (letter
// case aside, raw Shift-JIS names too), every link is read and its target
// walked again from the top, and a link that lies inside a folder open to
// the game's own files must lead inside the folders open to the game, so a
// link planted in a game folder cannot reach out (not even by way of an
// outside link back in). The walk ends holding the folder of the last component open, so the
// caller opens the entry relative to it and never by a name that could
// change meanwhile. "." and ".." fold lexically, as Windows folds them.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

namespace orba {

// How a walk ended.
enum class TWalkEnd : uint8_t {
  Found,    // every component exists; the last one is Entry (never a link)
  Missing,  // some component does not exist: Folder is the deepest existing folder, Rest the missing part
  Refused,  // a name holding a zero byte, a link leading out, a link loop
};

class TDiskWalk {
 public:
  // Where links may lead, by real paths (disk bytes). Without Guarded every
  // link is followed.
  struct TLinkRule {
    // Whether links found in this folder are the game's own: those must
    // lead to a place Inside.
    std::function<bool(const std::string&)> Guarded;
    std::function<bool(const std::string&)> Inside;
    // Real folder paths the walk may open at once when the path begins
    // with one (the open folders, which the player named itself), rather
    // than walking down to them.
    std::vector<std::string> Starts;
  };

  TDiskWalk(const std::string& path, const TLinkRule& rule);
  ~TDiskWalk();
  TDiskWalk(const TDiskWalk&) = delete;
  TDiskWalk& operator=(const TDiskWalk&) = delete;

  TWalkEnd End() const { return end_; }
  // The folder holding Entry (Found) or the deepest existing folder
  // (Missing), open with O_PATH; -1 when Refused.
  int FolderFd() const { return folder_fd_; }
  // Found: the entry's name in the folder, as the disk holds it.
  const std::string& Entry() const { return entry_; }
  // Found: the entry as lstat describes it.
  const struct stat& EntryStat() const { return entry_stat_; }
  // The real path (disk bytes, "/" separators) of the entry, or for
  // Missing of the folder followed by the missing components converted to
  // UTF-8.
  std::string RealPath() const;
  // Missing: whether only the last component is missing.
  bool OnlyLastMissing() const { return end_ == TWalkEnd::Missing && rest_.size() == 1; }
  // Missing: the components not found below FolderFd, converted to UTF-8.
  const std::vector<std::string>& MissingParts() const { return rest_; }
  // The system's reason (errno) when the walk stopped at a folder that is
  // there but could not be opened or looked into (no descriptor left, no
  // access, a failing disk): it then ended Missing there, or Refused when it
  // could not begin. 0 when it ended on what the disk holds.
  int SystemError() const { return system_error_; }

 private:
  void Walk(const std::string& path, const TLinkRule& rule);
  // Keeps Error as the walk's reason unless it says only that nothing is
  // there.
  void Failed(int error);

  TWalkEnd end_ = TWalkEnd::Refused;
  int folder_fd_ = -1;
  std::string folder_path_;  // "" for "/"
  std::string entry_;
  struct stat entry_stat_ {};
  std::vector<std::string> rest_;  // converted
  int system_error_ = 0;
};

// Opens a regular file the walk found for reading (FIFOs never block the
// open); -1 for anything else (a folder, a device, a FIFO, a socket). With
// Error, it is set to the system's reason (errno) when a file the walk found,
// or a folder on its way, is there but could not be opened (see
// NamesNoFile, core/errors.h), and to 0 otherwise.
int OpenWalkedFile(const TDiskWalk& walk, int* error = nullptr);

}  // namespace orba

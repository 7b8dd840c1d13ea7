// One running player per game folder. The lock is an flock on a lock file
// whose name is a hash of the folder, in $XDG_RUNTIME_DIR, or where that is
// not set (or not the user's own) in a folder "orba-UID" of the user's in
// $TMPDIR or /tmp: a second player of the same folder finds it taken, and
// the lock goes when the first player ends, however it ends. The file is
// opened without following links, and only a regular file of the user's in
// a folder nobody else may write is used, so no other user can redirect the
// lock or hold it.
#pragma once

#include <memory>
#include <string>

namespace orba {

class TInstanceMutex {
 public:
  explicit TInstanceMutex(int fd) : fd_(fd) {}
  ~TInstanceMutex();
  TInstanceMutex(const TInstanceMutex&) = delete;
  TInstanceMutex& operator=(const TInstanceMutex&) = delete;

 private:
  int fd_;
};

// The lock file of a name (the game folder, Shift-JIS; trailing
// separators do not count), as a UTF-8 path.
std::string InstanceLockFile(const std::string& name);
// The lock of the name, or nullptr when another player holds it. When no
// lock file can be made or used the player is let run (traced): the answer
// is then a lock that holds nothing.
std::unique_ptr<TInstanceMutex> CreateInstanceMutex(const std::string& name);
void ReleaseInstanceMutex(std::unique_ptr<TInstanceMutex>& handle);

}  // namespace orba

#include "core/system/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "core/system/trace.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

// 64-bit FNV-1a.
uint64_t HashName(const std::string& s) {
  uint64_t h = 0xcbf29ce484222325ULL;
  for (unsigned char c : s) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  return h;
}

// An absolute path from the environment, or empty.
std::string AbsoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

// Whether an open folder is the user's own and nobody else may put an entry
// in it: only then is a name in it sure to stay what the player made it.
bool OwnFolder(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

// The user's folder in the temporary folder, for a desktop without a
// runtime folder: the shared temporary folder itself would let another
// user plant the lock file as a link or take it first.
std::string TempLockFolder() {
  std::string base = AbsoluteEnv("TMPDIR");
  if (base.empty()) base = "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/orba-" + std::to_string(::geteuid());
}

// The folder the lock files live in: $XDG_RUNTIME_DIR when it is the
// user's own, or else the user's folder in the temporary folder.
std::string LockFolder() {
  const std::string runtime = AbsoluteEnv("XDG_RUNTIME_DIR");
  if (!runtime.empty()) {
    const int fd = ::open(runtime.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool own = fd >= 0 && OwnFolder(fd);
    if (fd >= 0) ::close(fd);
    if (own) return runtime;
  }
  return TempLockFolder();
}

// Opens the lock folder, making the user's temporary one when missing; -1
// when it is no folder of the user's alone (a link, another user's).
int OpenLockFolder(const std::string& folder) {
  if (folder == TempLockFolder()) ::mkdir(folder.c_str(), 0700);  // an existing one is judged below
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0 && OwnFolder(fd)) return fd;
  if (fd >= 0) ::close(fd);
  return -1;
}

std::string LockFileName(const std::string& name) {
  std::string folder = SjisToUtf8(name);
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  char* real = ::realpath(folder.c_str(), nullptr);
  if (real != nullptr) {
    folder = real;
    std::free(real);
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(HashName(folder)));
  return std::string("orba-") + hex + ".lock";
}

}  // namespace

TInstanceMutex::~TInstanceMutex() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the flock
}

std::string InstanceLockFile(const std::string& name) { return LockFolder() + "/" + LockFileName(name); }

std::unique_ptr<TInstanceMutex> CreateInstanceMutex(const std::string& name) {
  const std::string folder_path = LockFolder();
  const int folder = OpenLockFolder(folder_path);
  if (folder < 0) {
    Trace("no instance lock: " + folder_path + " is no folder of this user's alone");
    return std::make_unique<TInstanceMutex>(-1);
  }
  // Never through a link, never a FIFO's wait, and only a file of the
  // user's: another user's file would let that user hold the game.
  const std::string file = LockFileName(name);
  const int fd =
      ::openat(folder, file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  ::close(folder);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    if (fd >= 0) ::close(fd);
    Trace("no instance lock: " + folder_path + "/" + file + " is no file of this user's");
    return std::make_unique<TInstanceMutex>(-1);
  }
  int r;
  do {
    r = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? nullptr : std::make_unique<TInstanceMutex>(-1);
  }
  return std::make_unique<TInstanceMutex>(fd);
}

void ReleaseInstanceMutex(std::unique_ptr<TInstanceMutex>& handle) { handle.reset(); }

}  // namespace orba

#include "core/system/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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

std::string LockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode)) return runtime;
  return "/tmp";
}

}  // namespace

TInstanceMutex::~TInstanceMutex() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the flock
}

std::string InstanceLockFile(const std::string& name) {
  std::string folder = SjisToUtf8(name);
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  char* real = ::realpath(folder.c_str(), nullptr);
  if (real != nullptr) {
    folder = real;
    std::free(real);
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(HashName(folder)));
  return LockFolder() + "/orba-" + hex + ".lock";
}

std::unique_ptr<TInstanceMutex> CreateInstanceMutex(const std::string& name) {
  const std::string path = InstanceLockFile(name);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return std::make_unique<TInstanceMutex>(-1);
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

#include "core/files/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string_view>

namespace orba {

namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kLetterCount = sizeof kLetters - 1;
// Names tried before giving up: each clash is one in 62^6.
constexpr int kFreshNameTries = 100;
constexpr int kNewFileFlags = O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
// What a replaced file's mode passes on: read, write and execute of owner,
// group and others (never set-id or sticky bits).
constexpr mode_t kPermissionBits = 0777;

// A folder descriptor closed when it goes.
struct TFolder {
  explicit TFolder(int fd) : Fd(fd) {}
  ~TFolder() {
    if (Fd >= 0) ::close(Fd);
  }
  TFolder(const TFolder&) = delete;
  TFolder& operator=(const TFolder&) = delete;
  int Fd;
};

// Six letters and digits. Only how rarely two runs pick the same name
// depends on their randomness: an existing name is never opened.
std::string RandomLetters() {
  uint8_t bytes[kFreshNameLetters];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    static std::atomic<uint64_t> counter{0};
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    uint64_t mix = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(::getpid()) << 32) ^
                   (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    for (uint8_t& b : bytes) {
      b = static_cast<uint8_t>(mix);
      mix = (mix >> 8) | (mix << 56);
    }
  }
  std::string out;
  for (uint8_t b : bytes) out += kLetters[b % kLetterCount];
  return out;
}

bool IsFreshNameLetters(const std::string& s) {
  if (s.size() != kFreshNameLetters) return false;
  for (char c : s) {
    if (std::string_view(kLetters).find(c) == std::string_view::npos) return false;
  }
  return true;
}

// Writes all of it unless the file system fails first.
bool WriteAll(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Gives a temporary exactly the permission bits of the file it replaces. A
// file system that keeps no such bits (a FAT stick) may refuse: then it is
// enough that the temporary is no more open than the old file was.
bool TakeMode(int fd, mode_t mode) {
  if (::fchmod(fd, mode) == 0) return true;
  struct stat st {};
  return ::fstat(fd, &st) == 0 && (st.st_mode & kPermissionBits & ~mode) == 0;
}

}  // namespace

int OpenFolderOf(const std::string& path, std::string& name) {
  const size_t slash = path.rfind('/');
  name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name == "." || name == "..") {
    errno = ENOENT;
    return -1;
  }
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

TNewFile CreateFreshFileAt(int folder_fd, const std::string& prefix, mode_t mode) {
  for (int i = 0; i < kFreshNameTries; ++i) {
    std::string name = prefix + RandomLetters();
    const int fd = ::openat(folder_fd, name.c_str(), O_WRONLY | kNewFileFlags, mode);
    if (fd >= 0) return TNewFile{fd, std::move(name)};
    if (errno != EEXIST) return TNewFile{-1, std::string(), errno};
  }
  return TNewFile{-1, std::string(), EEXIST};
}

TNewFile CreateFreshFile(const std::string& prefix) {
  std::string name;
  const TFolder folder(OpenFolderOf(prefix, name));
  if (folder.Fd < 0) return TNewFile{-1, std::string(), errno};
  TNewFile file = CreateFreshFileAt(folder.Fd, name);
  if (file.Fd >= 0) file.Path = prefix.substr(0, prefix.size() - name.size()) + file.Path;
  return file;
}

int CreateReplacingFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
  return ::open(path.c_str(), O_RDWR | kNewFileFlags, kNewFileMode);
}

TReplaceResult ReplaceFileWholeAt(int folder_fd, const std::string& name, const void* data, size_t size,
                                  int* error) {
  return ReplaceFileAt(folder_fd, name, [data, size](int fd) { return WriteAll(fd, data, size); }, error);
}

TReplaceResult ReplaceFileAt(int folder_fd, const std::string& name, const std::function<bool(int fd)>& write,
                             int* error) {
  if (error) *error = 0;
  // The file replaced keeps its permission bits: the temporary is made with
  // them (never more open than the old file meanwhile) and given them
  // exactly, whatever the umask takes away.
  struct stat old {};
  const bool keep_mode =
      ::fstatat(folder_fd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode);
  const mode_t mode = keep_mode ? (old.st_mode & kPermissionBits) : kNewFileMode;
  const TNewFile temporary = CreateFreshFileAt(folder_fd, name + kTemporaryTag, mode);
  if (temporary.Fd < 0) {
    if (error) *error = temporary.Error;
    return TReplaceResult::NotCreated;
  }
  bool ok = false;
  try {
    ok = (!keep_mode || TakeMode(temporary.Fd, mode)) && write(temporary.Fd) && ::fsync(temporary.Fd) == 0;
  } catch (...) {  // cleaned up, then rethrown
    ::close(temporary.Fd);
    ::unlinkat(folder_fd, temporary.Path.c_str(), 0);
    throw;
  }
  if (::close(temporary.Fd) != 0) ok = false;
  if (ok && ::renameat(folder_fd, temporary.Path.c_str(), folder_fd, name.c_str()) != 0) ok = false;
  if (ok) return TReplaceResult::Replaced;
  ::unlinkat(folder_fd, temporary.Path.c_str(), 0);
  return TReplaceResult::NotWritten;
}

TReplaceResult ReplaceFileWhole(const std::string& path, const void* data, size_t size, int* error) {
  std::string name;
  const TFolder folder(OpenFolderOf(path, name));
  if (folder.Fd < 0) {
    if (error) *error = errno;
    return TReplaceResult::NotCreated;
  }
  return ReplaceFileWholeAt(folder.Fd, name, data, size, error);
}

std::optional<std::vector<uint8_t>> ReadWholeFd(int fd, uint64_t max_size) {
  std::vector<uint8_t> bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) {
    if (static_cast<uint64_t>(st.st_size) > max_size) return std::nullopt;
    bytes.reserve(static_cast<size_t>(st.st_size));
  }
  uint8_t chunk[1 << 16];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return bytes;
    // The file may have grown since fstat.
    if (bytes.size() + static_cast<uint64_t>(n) > max_size) return std::nullopt;
    bytes.insert(bytes.end(), chunk, chunk + n);
    at += n;
  }
}

std::optional<std::vector<uint8_t>> ReadOwnFileAt(int folder_fd, const std::string& name, uint64_t max_size) {
  // Not blocking, so a FIFO of that name cannot hold the open up; the type
  // is checked on what was opened.
  const int fd = ::openat(folder_fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::vector<uint8_t>> bytes;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) bytes = ReadWholeFd(fd, max_size);
  ::close(fd);
  return bytes;
}

std::vector<std::string> RemoveStaleTemporaries(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string stem = (slash == std::string::npos ? path : path.substr(slash + 1)) + kTemporaryTag;
  std::vector<std::string> removed;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return removed;
  // Every step goes through the folder's descriptor, so a folder swapped
  // meanwhile is not the one cleaned.
  const int dir_fd = ::dirfd(dir);
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, stem.size(), stem) != 0) continue;
    const std::string rest = name.substr(stem.size());
    if (rest.empty() || IsFreshNameLetters(rest)) candidates.push_back(name);
  }
  for (const std::string& name : candidates) {
    struct stat st {};
    if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) continue;
    if (::unlinkat(dir_fd, name.c_str(), 0) == 0) removed.push_back(name);
  }
  ::closedir(dir);
  return removed;
}

}  // namespace orba

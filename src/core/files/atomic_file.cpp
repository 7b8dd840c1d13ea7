#include "core/files/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string_view>

namespace orba {

namespace {

constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kLetterCount = sizeof kLetters - 1;
// Names tried before giving up: each clash is one in 62^6.
constexpr int kFreshNameTries = 100;
constexpr int kNewFileFlags = O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

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

}  // namespace

TNewFile CreateFreshFile(const std::string& prefix) {
  for (int i = 0; i < kFreshNameTries; ++i) {
    std::string path = prefix + RandomLetters();
    const int fd = ::open(path.c_str(), O_WRONLY | kNewFileFlags, 0666);
    if (fd >= 0) return TNewFile{fd, std::move(path)};
    if (errno != EEXIST) break;
  }
  return TNewFile{};
}

int CreateReplacingFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
  return ::open(path.c_str(), O_RDWR | kNewFileFlags, 0666);
}

TReplaceResult ReplaceFileWhole(const std::string& path, const void* data, size_t size) {
  const TNewFile temporary = CreateFreshFile(path + kTemporaryTag);
  if (temporary.Fd < 0) return TReplaceResult::NotCreated;
  bool ok = WriteAll(temporary.Fd, data, size) && ::fsync(temporary.Fd) == 0;
  if (::close(temporary.Fd) != 0) ok = false;
  if (ok && std::rename(temporary.Path.c_str(), path.c_str()) != 0) ok = false;
  if (ok) return TReplaceResult::Replaced;
  ::unlink(temporary.Path.c_str());
  return TReplaceResult::NotWritten;
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

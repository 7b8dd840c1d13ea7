#include "core/files/disk_walk.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <optional>

#include "core/errors.h"
#include "core/files/disk_path.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

// Links followed in one walk before it counts as a loop (the kernel's own
// limit).
constexpr int kMaxLinks = 40;

// One component still to walk: Shift-JIS from the caller's path, or disk
// bytes from the current folder or a link's target.
struct TPart {
  std::string Name;
  bool Disk = false;
};

// Appends the "/"-separated components of disk bytes.
void AppendDiskParts(const std::string& path, std::vector<TPart>& parts) {
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    std::string name = path.substr(start, end - start);
    if (!name.empty() && name != ".") parts.push_back(TPart{std::move(name), true});
    start = end + 1;
  }
}

// ".." takes the component before it away, as Windows folds a path before
// looking it up; above the top it stays at the top.
std::vector<TPart> Folded(std::vector<TPart> parts) {
  std::vector<TPart> out;
  for (TPart& part : parts) {
    if (part.Name == "..") {
      if (!out.empty()) out.pop_back();
    } else {
      out.push_back(std::move(part));
    }
  }
  return out;
}

std::string RealOf(const std::vector<TPart>& parts) {
  std::string path;
  for (const TPart& part : parts) path += "/" + (part.Disk ? part.Name : SjisToUtf8(part.Name));
  return path.empty() ? std::string("/") : path;
}

std::optional<std::string> ReadLinkAt(int folder, const std::string& name) {
  std::string target(PATH_MAX, '\0');
  const ssize_t n = ::readlinkat(folder, name.c_str(), target.data(), target.size());
  if (n <= 0 || static_cast<size_t>(n) >= target.size()) return std::nullopt;
  target.resize(static_cast<size_t>(n));
  return target;
}

std::optional<std::string> CurrentFolder() {
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr || buffer[0] != '/') return std::nullopt;
  return std::string(buffer);
}

// How many leading components of Parts, all but the last, spell the longest
// of Starts exactly (Start is set to it), so the walk may begin there; 0
// without one.
size_t StartPrefix(const std::vector<TPart>& parts, const std::vector<std::string>& starts, std::string& start) {
  size_t best = 0;
  for (const std::string& folder : starts) {
    std::vector<TPart> spelt;
    AppendDiskParts(folder, spelt);
    // The last component is always looked up in its folder.
    if (spelt.size() <= best || spelt.size() >= parts.size()) continue;
    bool same = true;
    for (size_t k = 0; k < spelt.size() && same; ++k)
      same = spelt[k].Name == (parts[k].Disk ? parts[k].Name : SjisToUtf8(parts[k].Name));
    if (!same) continue;
    best = spelt.size();
    start = RealOf(spelt);
  }
  return best;
}

}  // namespace

TDiskWalk::TDiskWalk(const std::string& path, const TLinkRule& rule) { Walk(path, rule); }

TDiskWalk::~TDiskWalk() {
  if (folder_fd_ >= 0) ::close(folder_fd_);
}

void TDiskWalk::Walk(const std::string& path, const TLinkRule& rule) {
  // A zero byte would end the name the system sees before the end the
  // checks saw.
  if (path.find('\0') != std::string::npos) return;
  std::vector<TPart> parts;
  if (!IsSjisPathDelimiter(path, 0)) {
    const std::optional<std::string> here = CurrentFolder();
    if (!here) return;
    AppendDiskParts(*here, parts);
  }
  for (std::string& name : SplitSjisPath(path)) parts.push_back(TPart{std::move(name), false});
  parts = Folded(std::move(parts));

  std::string here;  // the real path of fd; "" for "/"
  size_t i = StartPrefix(parts, rule.Starts, here);
  int fd = ::open(here.empty() ? "/" : here.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 && !here.empty()) {
    here.clear();
    i = 0;
    fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) return Failed(errno);
  int links = 0;
  auto stop = [&](TWalkEnd end) {
    end_ = end;
    if (end == TWalkEnd::Refused) {
      ::close(fd);
      return;
    }
    folder_fd_ = fd;
    folder_path_ = here;
  };
  // The top folder itself, named by nothing but separators and "..".
  auto top_itself = [&] {
    entry_ = ".";
    return stop(::fstat(fd, &entry_stat_) == 0 ? TWalkEnd::Found : TWalkEnd::Refused);
  };
  auto missing_from = [&](size_t k) {
    for (; k < parts.size(); ++k) rest_.push_back(parts[k].Disk ? parts[k].Name : SjisToUtf8(parts[k].Name));
    return stop(TWalkEnd::Missing);
  };
  if (parts.empty()) return top_itself();
  while (true) {
    const TPart& part = parts[i];
    const std::optional<std::string> name =
        part.Disk ? std::optional<std::string>(part.Name) : MatchDiskEntryAt(fd, part.Name);
    struct stat st {};
    if (!name) return missing_from(i);
    if (::fstatat(fd, name->c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      Failed(errno);
      return missing_from(i);
    }
    if (S_ISLNK(st.st_mode)) {
      const std::optional<std::string> target = ReadLinkAt(fd, *name);
      if (++links > kMaxLinks || !target) return stop(TWalkEnd::Refused);
      std::vector<TPart> next;
      if ((*target)[0] != '/') AppendDiskParts(here, next);
      AppendDiskParts(*target, next);
      next = Folded(std::move(next));
      // A link among the game's files leads inside its folders, or nowhere.
      if (rule.Guarded && rule.Guarded(here.empty() ? "/" : here) && !(rule.Inside && rule.Inside(RealOf(next))))
        return stop(TWalkEnd::Refused);
      next.insert(next.end(), parts.begin() + static_cast<std::ptrdiff_t>(i) + 1, parts.end());
      parts = std::move(next);
      i = 0;
      ::close(fd);
      fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
      here.clear();
      if (fd < 0) return Failed(errno);
      if (parts.empty()) return top_itself();
      continue;
    }
    if (i + 1 == parts.size()) {
      entry_ = *name;
      entry_stat_ = st;
      return stop(TWalkEnd::Found);
    }
    const int next =
        S_ISDIR(st.st_mode) ? ::openat(fd, name->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
    if (next < 0) {
      if (S_ISDIR(st.st_mode)) Failed(errno);
      return missing_from(i);
    }
    ::close(fd);
    fd = next;
    here += "/" + *name;
    ++i;
  }
}

void TDiskWalk::Failed(int error) {
  if (!NamesNoFile(error)) system_error_ = error;
}

std::string TDiskWalk::RealPath() const {
  std::string path = folder_path_;
  if (end_ == TWalkEnd::Found) {
    if (entry_ != ".") path += "/" + entry_;
  } else {
    for (const std::string& name : rest_) path += "/" + name;
  }
  return path.empty() ? std::string("/") : path;
}

int OpenWalkedFile(const TDiskWalk& walk, int* error) {
  int unused = 0;
  int& reason = error ? *error : unused;
  reason = walk.SystemError();
  if (walk.End() != TWalkEnd::Found || !S_ISREG(walk.EntryStat().st_mode)) return -1;
  // Not blocking, so a FIFO put in the file's place meanwhile cannot hold
  // the open up; the type is checked again on what was opened.
  const int fd =
      ::openat(walk.FolderFd(), walk.Entry().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int open_error = errno;
    if (!NamesNoFile(open_error)) reason = open_error;
    return -1;
  }
  struct stat st {};
  int flags = -1;
  const bool set = ::fstat(fd, &st) == 0 && (flags = ::fcntl(fd, F_GETFL)) >= 0 &&
                   (!S_ISREG(st.st_mode) || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0);
  const int set_error = errno;
  if (!set || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (!set && !NamesNoFile(set_error)) reason = set_error;
    return -1;
  }
  return fd;
}

}  // namespace orba

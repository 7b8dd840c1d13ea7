#include "core/files/disk_path.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/disk_walk.h"
#include "core/files/file_access.h"
#include "core/streams/big_file_stream.h"
#include "core/strings/sjis_case.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

// Marks which bytes of a Shift-JIS text are separators.
std::vector<bool> DelimiterMap(const std::string& path) {
  std::vector<bool> map(path.size(), false);
  for (size_t i = 0; i < path.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(path[i]);
    if (IsSjisLeadByte(c)) {
      ++i;
      continue;
    }
    map[i] = c == '\\' || c == '/';
  }
  return map;
}

std::string JoinDisk(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// A name that stays one entry of its folder: no separator, no zero byte,
// neither "." nor "..".
bool SingleEntryName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

bool EntryPresentAt(int folder, const std::string& name) {
  struct stat st {};
  return SingleEntryName(name) && ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// The entry of `folder` whose name matches the Shift-JIS component (see
// MatchDiskEntryAt).
std::optional<std::string> MatchComponent(const std::string& folder, const std::string& component) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> name = MatchDiskEntryAt(fd, component);
  ::close(fd);
  return name;
}

struct TResolved {
  std::string DiskPath;  // resolved leading part
  size_t Matched = 0;    // components resolved
  std::vector<std::string> Components;
};

TResolved Resolve(const std::string& path) {
  TResolved r;
  r.Components = SplitSjisPath(path);
  const std::vector<bool> map = DelimiterMap(path);
  if (!map.empty() && map[0]) r.DiskPath.push_back('/');
  for (const std::string& component : r.Components) {
    std::optional<std::string> name;
    if (component == "..") {
      name = component;
    } else {
      name = MatchComponent(r.DiskPath, component);
    }
    if (!name) break;
    r.DiskPath = JoinDisk(r.DiskPath, *name);
    ++r.Matched;
  }
  return r;
}

}  // namespace

std::optional<std::string> MatchDiskEntryAt(int folder, const std::string& component) {
  const std::string utf8 = SjisToUtf8(component);
  if (EntryPresentAt(folder, utf8)) return utf8;
  if (EntryPresentAt(folder, component)) return component;
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return std::nullopt;
  DIR* dir = ::fdopendir(listing);
  if (!dir) {
    ::close(listing);
    return std::nullopt;
  }
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const bool converted = SjisToUtf8(Utf8ToSjis(name)) == name;
    const std::string as_sjis = converted ? Utf8ToSjis(name) : name;
    if (SjisSameText(as_sjis, component) && (!best || name < *best)) best = name;
  }
  ::closedir(dir);
  return best;
}

bool IsSjisPathDelimiter(const std::string& path, size_t i) {
  if (i >= path.size()) return false;
  return DelimiterMap(path)[i];
}

std::vector<std::string> SplitSjisPath(const std::string& path) {
  std::vector<std::string> parts;
  const std::vector<bool> map = DelimiterMap(path);
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !map[i]) continue;
    std::string part = path.substr(start, i - start);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = i + 1;
  }
  return parts;
}

size_t SjisFileNameStart(const std::string& path) {
  const std::vector<bool> map = DelimiterMap(path);
  for (size_t i = path.size(); i > 0; --i) {
    if (map[i - 1]) return i;
  }
  return 0;
}

std::string SjisExtractFilePath(const std::string& path) { return path.substr(0, SjisFileNameStart(path)); }

std::string SjisExtractFileExt(const std::string& path) {
  const size_t start = SjisFileNameStart(path);
  size_t dot = std::string::npos;
  for (size_t i = start; i < path.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(path[i]);
    if (IsSjisLeadByte(c)) {
      ++i;
      continue;
    }
    if (c == '.') dot = i;
  }
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string SjisChangeFileExt(const std::string& path, const std::string& ext) {
  const std::string old = SjisExtractFileExt(path);
  return path.substr(0, path.size() - old.size()) + ext;
}

namespace {

// The path with every separator written as Separator.
std::string WithSeparators(const std::string& path, char separator) {
  std::string out = path;
  const std::vector<bool> map = DelimiterMap(path);
  for (size_t i = 0; i < out.size(); ++i) {
    if (map[i]) out[i] = separator;
  }
  return out;
}

}  // namespace

std::string BackSlashSeparators(const std::string& path) { return WithSeparators(path, '\\'); }

std::string SlashSeparators(const std::string& path) { return WithSeparators(path, '/'); }

bool PathStartsWith(const std::string& path, const std::string& folder) {
  if (folder.size() > path.size()) return false;
  return SjisSameText(BackSlashSeparators(path.substr(0, folder.size())), BackSlashSeparators(folder));
}

std::string AddPathDelimiter(const std::string& path) {
  if (path.empty() || IsSjisPathDelimiter(path, path.size() - 1)) return path;
  return path + "\\";
}

std::optional<std::string> FindDiskPath(const std::string& path) {
  if (path.empty()) return std::nullopt;
  TResolved r = Resolve(path);
  if (r.Matched != r.Components.size()) return std::nullopt;
  if (r.DiskPath.empty()) r.DiskPath.push_back('.');
  return r.DiskPath;
}

std::string DiskPathForCreate(const std::string& path) {
  TResolved r = Resolve(path);
  for (size_t i = r.Matched; i < r.Components.size(); ++i) r.DiskPath = JoinDisk(r.DiskPath, SjisToUtf8(r.Components[i]));
  return r.DiskPath;
}

TDiskEntryKind DiskEntryKind(const std::string& path) {
  const std::unique_ptr<TDiskWalk> walk = WalkForGame(path, TFileAccess::Read);
  if (!walk || walk->End() != TWalkEnd::Found) return TDiskEntryKind::None;
  const mode_t mode = walk->EntryStat().st_mode;
  if (S_ISDIR(mode)) return TDiskEntryKind::Folder;
  // Devices, FIFOs and sockets are no files to a game.
  return S_ISREG(mode) ? TDiskEntryKind::File : TDiskEntryKind::None;
}

std::string DiskPathToSjis(const std::string& disk_path) {
  const std::string sjis = Utf8ToSjis(disk_path);
  return SjisToUtf8(sjis) == disk_path ? sjis : std::string();
}

std::string SjisOfDiskPath(const std::string& disk_path) {
  const std::string name = DiskPathToSjis(disk_path);
  // A folder with a raw Shift-JIS name cannot be written into through the
  // streams' conversion; the converted name is the best there is.
  return name.empty() ? Utf8ToSjis(disk_path) : name;
}

std::string SjisNameForCreate(const std::string& path) { return SjisOfDiskPath(DiskPathForCreate(path)); }

EFOpenError FileOpenError(const std::string& sjis_name, int error) {
  if (error == 0 || NamesNoFile(error)) return EFOpenError(sjis_name);
  static const std::string kHeld = "/proc/self/fd/";
  if (sjis_name.compare(0, kHeld.size(), kHeld) == 0) {
    std::string real(PATH_MAX, '\0');
    const ssize_t n = ::readlink(sjis_name.c_str(), real.data(), real.size());
    if (n > 0 && static_cast<size_t>(n) < real.size())
      return EFOpenError(SjisOfDiskPath(real.substr(0, static_cast<size_t>(n))), error);
  }
  return EFOpenError(SlashSeparators(sjis_name), error);
}

TDiskFileName::TDiskFileName(const std::string& path) {
  *this = Find(path);
  if (Empty()) throw system_error_ != 0 ? OpenError() : EFOpenError(path);
}

TDiskFileName TDiskFileName::Find(const std::string& path) {
  TDiskFileName name;
  const std::unique_ptr<TDiskWalk> walk = WalkForGame(path, TFileAccess::Read, &name.system_error_);
  if (!walk) {
    // Not begun: the path as given is all there is to show.
    if (name.system_error_ != 0) name.disk_path_ = SjisToUtf8(SlashSeparators(path));
    return name;
  }
  name.fd_ = OpenWalkedFile(*walk, &name.system_error_);
  if (name.fd_ < 0 && name.system_error_ == 0) return name;
  name.disk_path_ = walk->RealPath();
  if (name.fd_ < 0) return name;
  name.stream_name_ = DiskPathToSjis(name.disk_path_);
  if (name.stream_name_.empty()) name.stream_name_ = name.HeldName();
  return name;
}

EFOpenError TDiskFileName::OpenError() const { return EFOpenError(SjisOfDiskPath(disk_path_), system_error_); }

std::string TDiskFileName::HeldName() const { return "/proc/self/fd/" + std::to_string(fd_); }

int64_t TDiskFileName::Size() const {
  struct stat st {};
  return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

void TDiskFileName::LoadInto(TKsMemoryStream& dest, int64_t max_size) const {
  std::optional<std::vector<uint8_t>> bytes = ReadWholeFd(fd_, static_cast<uint64_t>(std::max<int64_t>(max_size, 0)));
  if (!bytes) throw EReadError();
  dest.MutableBytes() = std::move(*bytes);
  dest.SetPosition(0);
}

TDiskFileName::~TDiskFileName() {
  if (fd_ >= 0) ::close(fd_);
}

TDiskFileName::TDiskFileName(TDiskFileName&& other) noexcept
    : stream_name_(std::move(other.stream_name_)),
      disk_path_(std::move(other.disk_path_)),
      fd_(other.fd_),
      system_error_(other.system_error_) {
  other.fd_ = -1;
  other.stream_name_.clear();
}

TDiskFileName& TDiskFileName::operator=(TDiskFileName&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    stream_name_ = std::move(other.stream_name_);
    disk_path_ = std::move(other.disk_path_);
    fd_ = other.fd_;
    system_error_ = other.system_error_;
    other.fd_ = -1;
    other.stream_name_.clear();
  }
  return *this;
}

std::unique_ptr<TKsBigStream> TDiskFileName::OpenRead() const {
  return std::make_unique<TKsBigFileStream>(stream_name_, fmOpenRead | fmShareDenyWrite);
}

std::unique_ptr<TKsBigStream> OpenDiskFileRead(const std::string& path) {
  const TDiskFileName name(path);
  return name.OpenRead();
}

}  // namespace orba

#include "core/files/file_access.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/disk_path.h"
#include "core/files/write_budget.h"
#include "core/streams/big_stream.h"
#include "core/system/trace.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

// The permission bits of a folder the game makes, before the umask.
constexpr mode_t kNewFolderMode = 0777;

struct TRoot {
  fs::path Disk;  // as the disk resolves it
  TAccessRoot Kind;
};

struct TPolicy {
  std::mutex Lock;
  bool Restricted = false;
  std::vector<TRoot> Roots;
  std::optional<fs::path> Home;
};

TPolicy& Policy() {
  static TPolicy policy;
  return policy;
}

// A root's path as the disk resolves it: the existing folders found as the
// file layer finds them, made absolute, symbolic links of the existing part
// followed, "." and ".." folded; no trailing separator. The player names its
// roots, so their own links are followed freely.
std::optional<fs::path> ResolvedPath(const std::string& sjis_path) {
  std::error_code ec;
  fs::path disk(DiskPathForCreate(sjis_path));
  if (disk.empty()) disk = ".";
  if (disk.is_relative()) {
    const fs::path here = fs::current_path(ec);
    if (ec) return std::nullopt;
    disk = here / disk;
  }
  fs::path resolved = fs::weakly_canonical(disk, ec);
  if (ec) return std::nullopt;
  resolved = resolved.lexically_normal();
  if (!resolved.has_filename() && resolved.has_parent_path() && resolved != resolved.root_path())
    resolved = resolved.parent_path();
  return resolved;
}

// Whether Path is Folder or lies below it, component by component.
bool Within(const fs::path& path, const fs::path& folder) {
  auto p = path.begin();
  for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
    if (f->empty()) continue;  // a trailing separator
    if (p == path.end() || *p != *f) return false;
  }
  return true;
}

// Whether Path lies in a hidden folder of HOME (a name starting with ".").
bool InHiddenHomeFolder(const TPolicy& policy, const fs::path& path) {
  if (!policy.Home || !Within(path, *policy.Home)) return false;
  auto p = path.begin();
  for (auto h = policy.Home->begin(); h != policy.Home->end(); ++h) {
    if (!h->empty()) ++p;
  }
  return p != path.end() && !p->empty() && p->native()[0] == '.';
}

// Whether Path lies in any root, whatever it is open for: where a link in
// a root may lead. With GameOnly, only the roots that hold the game's own
// files or the player's (not the user's folders, whose links are the
// user's): where links are checked.
bool InsideRoots(const TPolicy& policy, const fs::path& path, bool game_only) {
  for (const TRoot& root : policy.Roots) {
    if (root.Kind == TAccessRoot::Shut || (game_only && root.Kind == TAccessRoot::Chosen)) continue;
    if (root.Kind == TAccessRoot::Single ? path == root.Disk : Within(path, root.Disk)) return true;
  }
  return false;
}

// Whether a folder the player chose would open HOME as such: "/", HOME
// itself or a folder holding it.
bool HoldsHome(const TPolicy& policy, const fs::path& folder) {
  return folder == folder.root_path() || (policy.Home && Within(*policy.Home, folder));
}

bool Open(const TPolicy& policy, const fs::path& path, TFileAccess access) {
  for (const TRoot& root : policy.Roots) {
    if (root.Kind == TAccessRoot::Shut && Within(path, root.Disk)) return false;
  }
  const bool hidden = InHiddenHomeFolder(policy, path);
  for (const TRoot& root : policy.Roots) {
    if (root.Kind == TAccessRoot::Shut || (access == TFileAccess::Write && root.Kind == TAccessRoot::Disc)) continue;
    const bool inside = root.Kind == TAccessRoot::Single ? path == root.Disk : Within(path, root.Disk);
    // A hidden folder of HOME is open only through a root that lies there
    // itself (a data folder below ~/.local/share).
    if (inside && (!hidden || InHiddenHomeFolder(policy, root.Disk))) return true;
  }
  return false;
}

void TraceRefusal(const std::string& path, TFileAccess access) {
  TraceOnce(std::string(access == TFileAccess::Write ? "file write refused: " : "file read refused: ") +
            SjisToUtf8(path));
}

// The walk handed back when it may be: null for a refusal (traced) and for a
// walk that could not begin for a system reason (traced with it, and
// handed to the caller in System_error).
std::unique_ptr<TDiskWalk> Judged(std::unique_ptr<TDiskWalk> walk, bool open, const std::string& path,
                                  TFileAccess access, int* system_error) {
  const int reason = walk->End() == TWalkEnd::Refused ? walk->SystemError() : 0;
  if (system_error) *system_error = reason;
  if (reason != 0) {
    TraceOnce(std::string(access == TFileAccess::Write ? "file write failed: " : "file read failed: ") +
              SjisToUtf8(path) + ": " + SjisToUtf8(SystemReason(reason)));
    return nullptr;
  }
  if (open) return walk;
  TraceRefusal(path, access);
  return nullptr;
}

}  // namespace

void RestrictFileAccess() {
  TPolicy& policy = Policy();
  std::lock_guard<std::mutex> guard(policy.Lock);
  policy.Restricted = true;
  policy.Roots.clear();
  policy.Home.reset();
  if (const char* home = ::getenv("HOME"); home != nullptr && home[0] == '/') {
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::path(home), ec);
    if (!ec && resolved != resolved.root_path()) policy.Home = resolved.lexically_normal();
  }
}

void ReleaseFileAccess() {
  TPolicy& policy = Policy();
  std::lock_guard<std::mutex> guard(policy.Lock);
  policy.Restricted = false;
  policy.Roots.clear();
  policy.Home.reset();
}

bool FileAccessRestricted() {
  TPolicy& policy = Policy();
  std::lock_guard<std::mutex> guard(policy.Lock);
  return policy.Restricted;
}

std::string AllowFileRoot(const std::string& path, TAccessRoot kind) {
  if (path.empty()) return std::string();
  const std::optional<fs::path> disk = ResolvedPath(path);
  if (!disk) return std::string();
  TPolicy& policy = Policy();
  std::lock_guard<std::mutex> guard(policy.Lock);
  if ((kind == TAccessRoot::Chosen || kind == TAccessRoot::Single) && HoldsHome(policy, *disk)) {
    Trace("not opened to the game: " + disk->string());
    return std::string();
  }
  policy.Roots.push_back(TRoot{*disk, kind});
  return disk->string();
}

std::string RealDiskPath(const std::string& path) {
  if (path.empty()) return std::string();
  const std::optional<fs::path> disk = ResolvedPath(path);
  return disk ? disk->string() : std::string();
}

std::unique_ptr<TDiskWalk> WalkForGame(const std::string& path, TFileAccess access, int* system_error) {
  TPolicy& policy = Policy();
  bool restricted = false;
  {
    std::lock_guard<std::mutex> guard(policy.Lock);
    restricted = policy.Restricted;
  }
  TDiskWalk::TLinkRule rule;
  if (restricted) {
    auto inside = [&policy](bool game_only) {
      return [&policy, game_only](const std::string& real) {
        std::lock_guard<std::mutex> guard(policy.Lock);
        return InsideRoots(policy, fs::path(real), game_only);
      };
    };
    rule.Guarded = inside(true);
    rule.Inside = inside(false);
    std::lock_guard<std::mutex> guard(policy.Lock);
    for (const TRoot& root : policy.Roots) {
      if (root.Kind != TAccessRoot::Single && root.Kind != TAccessRoot::Shut) rule.Starts.push_back(root.Disk.string());
    }
  }
  auto walk = std::make_unique<TDiskWalk>(path, rule);
  bool open = walk->End() != TWalkEnd::Refused;
  if (open && restricted) {
    std::lock_guard<std::mutex> guard(policy.Lock);
    open = Open(policy, fs::path(walk->RealPath()), access);
  }
  return Judged(std::move(walk), open, path, access, system_error);
}

std::unique_ptr<TDiskWalk> WalkBeside(const std::string& folder, const std::string& name, int* system_error) {
  TPolicy& policy = Policy();
  const fs::path base(folder.empty() ? std::string("/") : folder);
  // Inside Folder, or inside the game's folders while they are all it may
  // read: the same places, judged anew for every walk.
  auto inside = [&policy, base](bool game_only) {
    return [&policy, base, game_only](const std::string& real) {
      if (Within(fs::path(real), base)) return true;
      std::lock_guard<std::mutex> guard(policy.Lock);
      return policy.Restricted && InsideRoots(policy, fs::path(real), game_only);
    };
  };
  TDiskWalk::TLinkRule rule;
  rule.Guarded = inside(true);
  rule.Inside = inside(false);
  rule.Starts.push_back(base.string());
  const std::string path = SjisOfDiskPath(base.string()) + "/" + name;
  auto walk = std::make_unique<TDiskWalk>(path, rule);
  bool open = walk->End() != TWalkEnd::Refused;
  if (open && walk->End() == TWalkEnd::Found) {
    const fs::path real(walk->RealPath());
    std::lock_guard<std::mutex> guard(policy.Lock);
    open = Within(real, base) || (policy.Restricted && Open(policy, real, TFileAccess::Read));
  }
  return Judged(std::move(walk), open, path, TFileAccess::Read, system_error);
}

bool FileAccessAllowed(const std::string& path, TFileAccess access) { return WalkForGame(path, access) != nullptr; }

bool FileAccessAllowedIn(const std::string& folder, const std::string& name, TFileAccess access) {
  return FileAccessAllowed(folder + name, access);
}

TWritePlace GameWritePlace(const std::string& path) {
  TWritePlace place;
  place.walk_ = WalkForGame(path, TFileAccess::Write);
  if (!place.walk_) return place;
  const TDiskWalk& walk = *place.walk_;
  // Nothing is written through a device or a FIFO, nor a file in a folder's
  // place.
  if (walk.End() == TWalkEnd::Found && !S_ISREG(walk.EntryStat().st_mode)) {
    TraceRefusal(path, TFileAccess::Write);
    place.walk_.reset();
    return place;
  }
  place.refused_ = false;
  place.path_ = SjisOfDiskPath(walk.RealPath());
  if (walk.End() == TWalkEnd::Found) {
    place.name_ = walk.Entry();
  } else if (walk.OnlyLastMissing()) {
    place.name_ = walk.MissingParts().front();
  } else {
    place.no_folder_ = true;
  }
  return place;
}

namespace {

// A write-only stream over a new file's descriptor (not owned); a failed
// write raises, so what it feeds stops at once. Every byte counts in the
// game's write budget (write_budget.h); past it the write fails as a full
// disk would. Blocks of zeros are left as holes, so that a copy of a sparse
// file stays sparse; Finish gives the file its length after a trailing hole.
class TFdWriteStream : public TKsBigStream {
 public:
  TFdWriteStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  int64_t GetSize() override {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
  }
  int64_t GetPosition() override { return ::lseek(fd_, 0, SEEK_CUR); }
  void SetPosition(int64_t position) override { ::lseek(fd_, std::max<int64_t>(position, 0), SEEK_SET); }
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    if (!ChargeGameWrite(path_, count)) throw EWriteError();
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    // Only past what was written so far: a writer that goes back to patch
    // must overwrite what is there, zeros included.
    const int64_t at = ::lseek(fd_, 0, SEEK_CUR);
    for (int64_t done = 0; done < count;) {
      const int64_t piece = std::min<int64_t>(kHoleBlock, count - done);
      if (piece == kHoleBlock && at + done >= end_ && AllZero(bytes + done, static_cast<size_t>(piece))) {
        if (::lseek(fd_, piece, SEEK_CUR) < 0) throw EWriteError();
        done += piece;
        continue;
      }
      WriteAllOrRaise(bytes + done, piece);
      done += piece;
    }
    end_ = std::max<int64_t>(end_, ::lseek(fd_, 0, SEEK_CUR));
    return count;
  }
  // The length the writes reached, also when they ended in a hole (and the
  // writer went back to patch what it wrote before).
  void Finish() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw EWriteError();
    if (st.st_size < end_ && ::ftruncate(fd_, end_) != 0) throw EWriteError();
  }

 private:
  // A file system block: smaller runs of zeros are written.
  static constexpr int64_t kHoleBlock = 4096;

  static bool AllZero(const uint8_t* bytes, size_t size) {
    static const uint8_t zeros[kHoleBlock] = {};
    return std::memcmp(bytes, zeros, size) == 0;
  }
  void WriteAllOrRaise(const uint8_t* bytes, int64_t count) {
    int64_t done = 0;
    while (done < count) {
      const ssize_t n = ::write(fd_, bytes + done, static_cast<size_t>(count - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw EWriteError();
      done += n;
    }
  }

  int fd_;
  std::string path_;
  int64_t end_ = 0;
};

}  // namespace

void WriteGameFileFrom(const TWritePlace& place, const std::function<void(TKsBigStream& out)>& fill) {
  if (place.FolderFd() < 0) throw EFOpenError(place.Path());
  int error = 0;
  const TReplaceResult result = ReplaceFileAt(
      place.FolderFd(), place.Name(),
      [&fill, &place](int fd) {
        TFdWriteStream out(fd, place.Path());
        fill(out);
        out.Finish();
        return true;
      },
      &error);
  switch (result) {
    case TReplaceResult::Replaced: return;
    case TReplaceResult::NotCreated: throw FileOpenError(place.Path(), error);
    case TReplaceResult::NotWritten: throw EWriteError();
  }
}

void WriteGameFile(const TWritePlace& place, const void* data, size_t size) {
  WriteGameFileFrom(place, [data, size](TKsBigStream& out) { out.WriteBuffer(data, static_cast<int64_t>(size)); });
}

bool MakeGameFolders(const std::string& path) {
  const std::unique_ptr<TDiskWalk> walk = WalkForGame(path, TFileAccess::Write);
  if (!walk) return false;
  if (walk->End() == TWalkEnd::Found) {
    if (S_ISDIR(walk->EntryStat().st_mode)) return true;
    TraceRefusal(path, TFileAccess::Write);
    return false;
  }
  // Each missing folder is made in the one opened before it and opened
  // without following a link: a folder swapped for a link meanwhile stops
  // the walk down instead of leading it out.
  int fd = ::fcntl(walk->FolderFd(), F_DUPFD_CLOEXEC, 0);
  for (const std::string& name : walk->MissingParts()) {
    if (fd < 0) break;
    const int next = ::mkdirat(fd, name.c_str(), kNewFolderMode) == 0 || errno == EEXIST
                         ? ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)
                         : -1;
    ::close(fd);
    fd = next;
  }
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace orba

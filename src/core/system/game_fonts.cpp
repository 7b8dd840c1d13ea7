#include "core/system/game_fonts.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "core/files/disk_path.h"
#include "core/files/disk_walk.h"
#include "core/system/trace.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

// Entries looked at in all and folders entered below the font folder, so
// that a folder of millions of names or a deep tree costs little.
constexpr size_t kMaxEntries = 4096;
constexpr int kMaxDepth = 4;

// Whether the real path Path is Folder or lies below it.
bool Within(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

struct TSearch {
  TDiskWalk::TLinkRule Rule;
  std::vector<int> Files;
  size_t Entries = 0;
};

// The names in a folder a walk found, in byte order; empty when it is no
// folder.
std::vector<std::string> FolderNames(const TDiskWalk& walk) {
  std::vector<std::string> names;
  if (walk.End() != TWalkEnd::Found || !S_ISDIR(walk.EntryStat().st_mode)) return names;
  const int fd = ::openat(walk.FolderFd(), walk.Entry().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return names;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return names;
  }
  while (const dirent* d = ::readdir(dir)) {
    const std::string name = d->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

void Search(const std::string& folder, int depth, TSearch& search) {
  const TDiskWalk walk(folder, search.Rule);
  std::vector<std::string> folders;
  for (const std::string& name : FolderNames(walk)) {
    if (++search.Entries > kMaxEntries || search.Files.size() >= kMaxGameFontFiles) return;
    // The name as the walk takes it back: converted when it converts, raw
    // Shift-JIS bytes otherwise.
    const std::string sjis = Utf8ToSjis(name);
    const std::string path = folder + "\\" + (SjisToUtf8(sjis) == name ? sjis : name);
    const TDiskWalk entry(path, search.Rule);
    const bool linked = entry.End() == TWalkEnd::Found && entry.RealPath() != walk.RealPath() + "/" + name;
    const int fd = OpenWalkedFile(entry);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_size <= kMaxGameFontBytes) {
      search.Files.push_back(fd);
    } else if (fd >= 0) {
      ::close(fd);
      TraceOnce("game font too large: " + SjisToUtf8(path));
    } else if (entry.End() == TWalkEnd::Found && S_ISDIR(entry.EntryStat().st_mode) && !linked) {
      folders.push_back(path);
    } else {
      TraceOnce("game font not read: " + SjisToUtf8(path));
    }
  }
  if (depth < kMaxDepth)
    for (const std::string& sub : folders) Search(sub, depth + 1, search);
}

}  // namespace

std::vector<int> OpenGameFontFiles(const std::string& folder) {
  // The game's folder is the user's to name: its own links are followed.
  // Every link below it must lead inside it.
  std::string parent = SjisExtractFilePath(folder);
  if (parent.empty()) parent = ".";
  const TDiskWalk game(parent, TDiskWalk::TLinkRule{});
  if (game.End() != TWalkEnd::Found || !S_ISDIR(game.EntryStat().st_mode)) return {};
  const std::string root = game.RealPath();
  TSearch search;
  search.Rule.Guarded = [root](const std::string& real) { return Within(real, root); };
  search.Rule.Inside = search.Rule.Guarded;
  search.Rule.Starts = {root};
  const TDiskWalk top(folder, search.Rule);
  if (top.End() == TWalkEnd::Refused) TraceOnce("game font folder not read: " + SjisToUtf8(folder));
  if (top.End() != TWalkEnd::Found || !S_ISDIR(top.EntryStat().st_mode)) return {};
  Search(folder, 0, search);
  return search.Files;
}

}  // namespace orba

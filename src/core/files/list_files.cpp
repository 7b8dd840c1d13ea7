#include "core/files/list_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/files/disk_path.h"
#include "core/files/file_access.h"
#include "core/strings/sjis_case.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

struct TDiskEntry {
  std::string Name;  // Shift-JIS
  uint32_t Attributes = 0;
  bool Link = false;
};

// The entries of the folder Base (Shift-JIS) names, read through the
// file-access policy. A link is listed as what it leads to when the policy
// lets the game follow it; devices, FIFOs and sockets are left out.
std::vector<TDiskEntry> ReadFolder(const std::string& base) {
  std::vector<TDiskEntry> entries;
  const std::unique_ptr<TDiskWalk> walk = WalkForGame(base, TFileAccess::Read);
  if (!walk || walk->End() != TWalkEnd::Found || !S_ISDIR(walk->EntryStat().st_mode)) return entries;
  const int fd = ::openat(walk->FolderFd(), walk->Entry().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return entries;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return entries;
  }
  while (const dirent* d = ::readdir(dir)) {
    const std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    TDiskEntry entry;
    const std::string sjis = Utf8ToSjis(name);
    entry.Name = SjisToUtf8(sjis) == name ? sjis : name;
    struct stat st {};
    if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    entry.Link = S_ISLNK(st.st_mode);
    if (entry.Link) {
      const std::unique_ptr<TDiskWalk> target = WalkForGame(base + entry.Name, TFileAccess::Read);
      if (!target || target->End() != TWalkEnd::Found) continue;
      st = target->EntryStat();
    }
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
    if (S_ISDIR(st.st_mode)) entry.Attributes |= faDirectory;
    if ((st.st_mode & S_IWUSR) == 0) entry.Attributes |= faReadOnly;
    if (name[0] == '.') entry.Attributes |= faHidden;
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const TDiskEntry& a, const TDiskEntry& b) {
    const int c = SjisCompareText(a.Name, b.Name);
    return c != 0 ? c < 0 : a.Name < b.Name;
  });
  return entries;
}

void ListInto(const std::string& folder, uint32_t attr_mask, bool include_plain, const std::string& ext_filter,
              bool folder_slash, bool recursive, std::vector<std::string>& list, int depth) {
  const std::string base = AddPathDelimiter(folder);
  for (const TDiskEntry& entry : ReadFolder(base)) {
    const std::string full = base + entry.Name;
    const bool is_folder = (entry.Attributes & faDirectory) != 0;
    bool listed;
    if (is_folder) {
      listed = (attr_mask & faDirectory) != 0;
    } else {
      listed = (entry.Attributes & attr_mask) != 0 || (include_plain && (entry.Attributes & 0x3F) == 0);
      if (listed && !ext_filter.empty()) listed = SjisSameText(SjisExtractFileExt(entry.Name), ext_filter);
    }
    if (listed) list.push_back(is_folder && folder_slash ? full + "\\" : full);
    // Linked folders are not entered, so a link loop cannot recurse forever.
    if (recursive && is_folder && !entry.Link && depth < 64)
      ListInto(full, attr_mask, include_plain, ext_filter, true, true, list, depth + 1);
  }
}

}  // namespace

void ListFiles(const std::string& folder, uint32_t attr_mask, bool include_plain, const std::string& ext_filter,
               bool /*clear_attrs*/, bool folder_slash, bool recursive, std::vector<std::string>& list, bool clear_list) {
  if (clear_list) list.clear();
  ListInto(folder, attr_mask, include_plain, ext_filter, folder_slash, recursive, list, 0);
}

}  // namespace orba

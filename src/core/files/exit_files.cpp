#include "core/files/exit_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "core/strings/sjis_case.h"

namespace orba {

namespace {

struct TExitFile {
  int FolderFd;
  std::string Name, Path;
};

std::vector<TExitFile>& List() {
  static std::vector<TExitFile> list;
  return list;
}

}  // namespace

void AddExitDeleteFile(int folder_fd, const std::string& name, const std::string& path) {
  std::vector<TExitFile>& list = List();
  const bool listed =
      std::any_of(list.begin(), list.end(), [&path](const TExitFile& f) { return SjisSameText(f.Path, path); });
  if (listed) return;
  const int fd = ::fcntl(folder_fd, F_DUPFD_CLOEXEC, 0);
  if (fd >= 0) list.push_back(TExitFile{fd, name, path});
}

void DeleteExitFiles() {
  for (const TExitFile& file : List()) {
    struct stat st {};
    if (::fstatat(file.FolderFd, file.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
      ::unlinkat(file.FolderFd, file.Name.c_str(), 0);
    ::close(file.FolderFd);
  }
  List().clear();
}

}  // namespace orba

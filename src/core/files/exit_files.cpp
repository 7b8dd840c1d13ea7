#include "core/files/exit_files.h"

#include <unistd.h>

#include <algorithm>
#include <optional>

#include "core/files/disk_path.h"
#include "core/strings/sjis_case.h"

namespace orba {

namespace {

std::vector<std::string>& List() {
  static std::vector<std::string> list;
  return list;
}

}  // namespace

void AddExitDeleteFile(const std::string& path) {
  std::vector<std::string>& list = List();
  const bool listed =
      std::any_of(list.begin(), list.end(), [&path](const std::string& p) { return SjisSameText(p, path); });
  if (!listed) list.push_back(path);
}

const std::vector<std::string>& ExitDeleteFiles() { return List(); }

void DeleteExitFiles() {
  for (const std::string& path : List()) {
    if (const std::optional<std::string> disk = FindDiskPath(path); disk && DiskFileExists(path))
      ::unlink(disk->c_str());
  }
  List().clear();
}

}  // namespace orba

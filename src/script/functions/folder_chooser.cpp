#include "script/functions/folder_chooser.h"

#include "core/files/disk_path.h"
#include "platform/file_dialogs.h"

namespace orba {

bool TSHBrowseForFolderEx::Execute() {
  FolderName.clear();
  DisplayName.clear();
  TFileDialogRequest request;
  request.Kind = TFileDialogKind::Folder;
  request.Title = Caption;
  // A manual initial folder counts only when it is a folder; otherwise the
  // dialog starts at the desktop.
  if (SelectFolder == sfManual && !SelectFolderName.empty() && DiskFolderExists(SelectFolderName)) {
    request.InitialFolder = SelectFolderName;
  }
  const std::optional<std::string> chosen = FileDialogs().Show(request);
  if (!chosen) return false;
  FolderName = *chosen;
  // The display name is the folder's own name.
  std::string path = FolderName;
  while (path.size() > 1 && IsSjisPathDelimiter(path, path.size() - 1)) path.pop_back();
  DisplayName = path.substr(SjisFileNameStart(path));
  if (DisplayName.empty()) DisplayName = path;
  return true;
}

}  // namespace orba

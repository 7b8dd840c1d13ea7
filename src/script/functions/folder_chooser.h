// The folder chooser of the SelectDirectory and ExtractFile functions: the
// settings of a folder-browse dialog and its result, shown through the
// platform's folder dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orba {

enum TShowStyle : uint8_t { ssNone = 0, ssCenterScreen = 1, ssClient = 2 };
enum TSelectFolder : uint8_t {
  sfDesktop, sfManual, sfDrives, sfDesktopDir, sfFavorites, sfPrograms,
  sfRecent, sfSendTo, sfStartMenu, sfStartup, sfTemplates
};
enum TRootFolder : uint8_t {
  rfDesktop, rfManual, rfDrives, rfDesktopDir, rfFavorites, rfPrograms,
  rfRecent, rfSendTo, rfStartMenu, rfStartup, rfTemplates, rtNetwork
};
enum TSHBrowseOption : uint8_t {
  sboDontGoBelowDomain = 1 << 0,
  sboReturnFSAncestors = 1 << 1,
  sboReturnOnlyFSDirs = 1 << 2,
  sboStatusTextAndShowPath = 1 << 3,
  sboStatusText = 1 << 4,
};
// 0 leaves the OK button as it is, 1 enables it, 2 disables it.
using TOKButtonState = uint8_t;

class TSHBrowseForFolderEx {
 public:
  TShowStyle ShowStyle = ssClient;
  TSelectFolder SelectFolder = sfDrives;
  std::string SelectFolderName;  // the initial folder for sfManual
  TRootFolder RootFolder = rfDesktop;
  std::string RootFolderName;
  std::string Caption;
  uint8_t Options = sboReturnOnlyFSDirs;
  // Selection changes, where the platform dialog reports them.
  std::function<void(TSHBrowseForFolderEx&, const std::string& path, std::string& show_text,
                     TOKButtonState& ok_state)>
      OnSelectionChanged;

  // Results of the last Execute.
  std::string FolderName;
  std::string DisplayName;

  // Shows the dialog; true when a folder was chosen. FolderName and
  // DisplayName are emptied first and stay empty when it is cancelled.
  bool Execute();
};

}  // namespace orba

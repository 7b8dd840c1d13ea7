// The open-file, save-file and folder dialogs that scripts can open. The
// interface knows nothing of how a dialog is drawn: the Linux back end runs
// the desktop's own dialog program, the headless ones answer from a script or
// as cancelled.
//
// Titles, filters and paths are Shift-JIS, as everywhere inside the player.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orba {

enum class TFileDialogKind { Open, Save, Folder };

struct TFileDialogRequest {
  TFileDialogKind Kind = TFileDialogKind::Open;
  std::string Title;
  // Pairs of a description and a pattern list ("*.txt;*.log"), all
  // separated by "|"; empty for no filter.
  std::string Filter;
  std::string InitialFolder;
  // Open: the chosen file must exist. Save: ask before overwriting.
  bool FileMustExist = false;
  bool OverwritePrompt = false;
};

class TFileDialogService {
 public:
  virtual ~TFileDialogService() = default;
  // Shows the dialog and waits; the chosen path, or nullopt when cancelled.
  virtual std::optional<std::string> Show(const TFileDialogRequest& request) = 0;
};

// The filter text as (description, patterns) pairs, the patterns split at
// ";". A description without its pattern list is dropped.
std::vector<std::pair<std::string, std::vector<std::string>>> ParseDialogFilter(const std::string& filter);

// The service the script functions use: the back end the program installed
// at start-up (std::logic_error when it installed none).
TFileDialogService& FileDialogs();
// Installs a back end (nullptr removes it) and returns the previous one.
std::shared_ptr<TFileDialogService> SetFileDialogService(std::shared_ptr<TFileDialogService> service);

}  // namespace orba

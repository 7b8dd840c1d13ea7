// The desktop's own dialogs: zenity or kdialog run as a child process
// (never through a shell), and opening a web address or folder with
// xdg-open. Without a display, or without either program, every dialog
// answers as cancelled.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialogs.h"

namespace orba {

enum class TDialogTool { None, Zenity, KDialog };

// The dialog program found on PATH (zenity first), or None; None too when
// neither DISPLAY nor WAYLAND_DISPLAY is set.
TDialogTool FindDialogTool();
// Why FindDialogTool found none: "there is no display" or "neither zenity
// nor kdialog is installed".
std::string NoDialogToolReason();

// The command line (UTF-8) that shows Request with Tool. An empty initial
// folder starts in the desktop folder ($HOME/Desktop, else $HOME).
std::vector<std::string> DesktopDialogArgs(TDialogTool tool, const TFileDialogRequest& request);

// Runs Argv (Argv[0] looked up on PATH) without a shell, its error output
// discarded; its standard output when it exits with status 0, else nullopt.
std::optional<std::string> RunDialogProgram(const std::vector<std::string>& argv);

class TDesktopFileDialogs : public TFileDialogService {
 public:
  TDesktopFileDialogs() : tool_(FindDialogTool()) {}
  std::optional<std::string> Show(const TFileDialogRequest& request) override;

 private:
  TDialogTool tool_;
};

// Starts xdg-open for a web address or folder path (UTF-8) without a shell
// and without waiting for it; false when it cannot be started.
bool DesktopOpen(const std::string& target);

}  // namespace orba

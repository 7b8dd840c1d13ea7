// Back ends for programs without a screen that nobody answers (the tool, the
// tests): every message box answers with its first button and every file
// dialog is cancelled; nothing is shown or kept.
#pragma once

#include <optional>
#include <string>

#include "platform/dialogs.h"
#include "platform/file_dialogs.h"

namespace orba {

class TSilentMessageBoxes : public TMessageBoxService {
 public:
  TDialogResult Show(const TDialogRequest& request) override { return FirstButtonAnswer(request.Buttons); }
};

class TCancelledFileDialogs : public TFileDialogService {
 public:
  std::optional<std::string> Show(const TFileDialogRequest&) override { return std::nullopt; }
};

// Installs both.
void InstallSilentDialogs();

}  // namespace orba

// A file-dialog back end without a screen: each dialog takes the next answer
// of a scripted queue (a path, or cancelled) and is recorded.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialogs.h"

namespace orba {

class TScriptedFileDialogs : public TFileDialogService {
 public:
  // Queues a chosen path, or nullopt for a cancelled dialog.
  void Push(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }
  // A dialog shown with the queue empty is cancelled.
  std::optional<std::string> Show(const TFileDialogRequest& request) override;

  const std::vector<TFileDialogRequest>& Shown() const { return shown_; }
  size_t Pending() const { return answers_.size(); }

 private:
  std::deque<std::optional<std::string>> answers_;
  std::vector<TFileDialogRequest> shown_;
};

}  // namespace orba

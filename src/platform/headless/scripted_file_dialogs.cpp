#include "platform/headless/scripted_file_dialogs.h"

namespace orba {

std::optional<std::string> TScriptedFileDialogs::Show(const TFileDialogRequest& request) {
  shown_.push_back(request);
  if (answers_.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

}  // namespace orba

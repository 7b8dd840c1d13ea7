#include "platform/headless/scripted_dialogs.h"

namespace orba {

void TScriptedMessageBoxes::Push(TDialogAnswer answer, int custom_index) {
  answers_.push_back(TDialogResult{answer, custom_index});
}

TDialogResult TScriptedMessageBoxes::Show(const TDialogRequest& request) {
  shown_.push_back(request);
  if (!answers_.empty()) {
    TDialogResult answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return FirstButtonAnswer(request.Buttons);
}

}  // namespace orba

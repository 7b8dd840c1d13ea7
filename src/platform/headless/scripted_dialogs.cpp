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

int TScriptedMessageBoxes::Choose(const TChoiceRequest& request) {
  lists_.push_back(request);
  if (answers_.empty()) return 0;
  const TDialogResult answer = answers_.front();
  answers_.pop_front();
  const bool picked = answer.Answer == TDialogAnswer::Custom && answer.CustomIndex >= 0 &&
                      static_cast<size_t>(answer.CustomIndex) < request.Lines.size();
  return picked ? answer.CustomIndex : 0;
}

}  // namespace orba

#include "platform/headless/scripted_dialogs.h"

#include "platform/choice_window.h"

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
  // The picture source may not outlive the call: it is not kept.
  lists_.push_back(TChoiceRequest{request.Title, request.Lines, nullptr});
  int chosen = 0;
  if (!answers_.empty()) {
    const TDialogResult answer = answers_.front();
    answers_.pop_front();
    const bool picked = answer.Answer == TDialogAnswer::Custom && answer.CustomIndex >= 0 &&
                        static_cast<size_t>(answer.CustomIndex) < request.Lines.size();
    if (picked) chosen = answer.CustomIndex;
  }
  if (request.Preview && !request.Lines.empty()) {
    TChoiceWindow window(request);
    window.Select(chosen);
    window.Key(TTextControl::kVkReturn);
    pictures_.push_back(window.Picture());
    windows_.push_back(window.Paint());
    return window.Selected();
  }
  return chosen;
}

}  // namespace orba

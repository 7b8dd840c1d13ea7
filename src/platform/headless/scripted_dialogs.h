// A message-box back end without a screen: each box (and each list to
// choose from) takes the next answer of a scripted queue and is recorded, so tests (and runs without a window) can
// play through disc requests and questions.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace orba {

class TScriptedMessageBoxes : public TMessageBoxService {
 public:
  // Queues the answer for a later box.
  void Push(TDialogAnswer answer, int custom_index = -1);
  // A box shown with the queue empty answers with its first button.
  TDialogResult Show(const TDialogRequest& request) override;
  // Takes the next answer too: a Custom answer picks its line (one past the
  // list keeps the first); any other answer, or none, keeps the first line.
  int Choose(const TChoiceRequest& request) override;

  const std::vector<TDialogRequest>& Shown() const { return shown_; }
  const std::vector<TChoiceRequest>& Lists() const { return lists_; }
  size_t Pending() const { return answers_.size(); }

 private:
  std::deque<TDialogResult> answers_;
  std::vector<TDialogRequest> shown_;
  std::vector<TChoiceRequest> lists_;
};

}  // namespace orba

// A message-box back end without a screen: each box (and each list to
// choose from) takes the next answer of a scripted queue and is recorded, so tests (and runs without a window) can
// play through disc requests and questions.
#pragma once

#include <cstdint>
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
  // A list with a picture is driven through the chooser's window
  // (platform/choice_window.h) as a user would: it opens on the first line,
  // the answer selects its line, and the window as it closed is kept.
  int Choose(const TChoiceRequest& request) override;

  const std::vector<TDialogRequest>& Shown() const { return shown_; }
  // The lists asked, without their pictures.
  const std::vector<TChoiceRequest>& Lists() const { return lists_; }
  // Of each list with a picture: the picture, and the whole window
  // (TChoiceWindow::kWidth x kHeight, 0x00RRGGBB), as they were shown when
  // it closed.
  const std::vector<TChoicePicture>& Pictures() const { return pictures_; }
  const std::vector<std::vector<uint32_t>>& Windows() const { return windows_; }
  size_t Pending() const { return answers_.size(); }

 private:
  std::deque<TDialogResult> answers_;
  std::vector<TDialogRequest> shown_;
  std::vector<TChoiceRequest> lists_;
  std::vector<TChoicePicture> pictures_;
  std::vector<std::vector<uint32_t>> windows_;
};

}  // namespace orba

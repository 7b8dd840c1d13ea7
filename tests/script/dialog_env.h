// Message boxes for tests: every request is recorded and answered from a
// queue, then with Otherwise (the first button when that is not set); the
// service is installed while the scope lives.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "platform/dialogs.h"

namespace orba::test {

class TTestBoxes : public TMessageBoxService {
 public:
  std::vector<TDialogRequest> Shown;
  std::deque<TDialogResult> Answers;
  std::optional<TDialogResult> Otherwise;

  TDialogResult Show(const TDialogRequest& request) override {
    Shown.push_back(request);
    if (Answers.empty()) return Otherwise ? *Otherwise : FirstButtonAnswer(request.Buttons);
    const TDialogResult answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const TDialogRequest& r : Shown) texts.push_back(r.Text);
    return texts;
  }
};

struct TBoxScope {
  std::shared_ptr<TTestBoxes> Boxes = std::make_shared<TTestBoxes>();
  std::shared_ptr<TMessageBoxService> Previous = SetMessageBoxService(Boxes);
  ~TBoxScope() { SetMessageBoxService(Previous); }
};

}  // namespace orba::test

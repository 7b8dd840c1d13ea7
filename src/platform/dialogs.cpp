#include "platform/dialogs.h"

#include <mutex>

namespace orba {
namespace {

// Answers every box with its first button, shows nothing.
class TSilentMessageBoxes : public TMessageBoxService {
 public:
  TDialogResult Show(const TDialogRequest& request) override { return FirstButtonAnswer(request.Buttons); }
};

struct TDialogState {
  std::mutex Lock;
  std::shared_ptr<TMessageBoxService> Service = std::make_shared<TSilentMessageBoxes>();
  std::string Title;
};

TDialogState& State() {
  static TDialogState state;
  return state;
}

}  // namespace

TDialogResult FirstButtonAnswer(TDialogButtons buttons) {
  switch (buttons) {
    case TDialogButtons::Ok:
    case TDialogButtons::OkCancel: return {TDialogAnswer::Ok, -1};
    case TDialogButtons::YesNo: return {TDialogAnswer::Yes, -1};
    case TDialogButtons::RetryCancel: return {TDialogAnswer::Retry, -1};
    case TDialogButtons::Custom: return {TDialogAnswer::Custom, 0};
  }
  return {};
}

void TMessageBoxService::ShowMessage(const std::string& title, const std::string& text) {
  Show(TDialogRequest{title, text, TDialogButtons::Ok, {}});
}

TDialogAnswer TMessageBoxService::Ask(const std::string& title, const std::string& text, TDialogButtons buttons) {
  return Show(TDialogRequest{title, text, buttons, {}}).Answer;
}

TMessageBoxService& MessageBoxes() {
  std::lock_guard<std::mutex> lock(State().Lock);
  return *State().Service;
}

std::shared_ptr<TMessageBoxService> SetMessageBoxService(std::shared_ptr<TMessageBoxService> service) {
  std::lock_guard<std::mutex> lock(State().Lock);
  if (!service) service = std::make_shared<TSilentMessageBoxes>();
  State().Service.swap(service);
  return service;
}

const std::string& ApplicationTitle() { return State().Title; }

void SetApplicationTitle(const std::string& title) { State().Title = title; }

}  // namespace orba

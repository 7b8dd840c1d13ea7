#include "platform/dialogs.h"

#include "platform/service_slot.h"

namespace orba {
namespace {

TServiceSlot<TMessageBoxService>& Slot() {
  static TServiceSlot<TMessageBoxService> slot("message box service");
  return slot;
}

std::string& Title() {
  static std::string title;
  return title;
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

TDialogResult EscapeAnswer(const TDialogRequest& request) {
  switch (request.Buttons) {
    case TDialogButtons::Ok: return {TDialogAnswer::Ok, -1};
    case TDialogButtons::YesNo: return {TDialogAnswer::No, -1};
    case TDialogButtons::OkCancel:
    case TDialogButtons::RetryCancel: return {TDialogAnswer::Cancel, -1};
    case TDialogButtons::Custom:
      if (request.Labels.empty()) return {TDialogAnswer::Ok, -1};
      if (request.Labels.size() == 1) return {TDialogAnswer::Custom, 0};
      return {TDialogAnswer::Cancel, -1};
  }
  return {TDialogAnswer::Cancel, -1};
}

void TMessageBoxService::ShowMessage(const std::string& title, const std::string& text) {
  Show(TDialogRequest{title, text, TDialogButtons::Ok, {}});
}

TDialogAnswer TMessageBoxService::Ask(const std::string& title, const std::string& text, TDialogButtons buttons) {
  return Show(TDialogRequest{title, text, buttons, {}}).Answer;
}

int TMessageBoxService::Choose(const TChoiceRequest&) { return 0; }

TMessageBoxService& MessageBoxes() { return Slot().Get(); }

std::shared_ptr<TMessageBoxService> SetMessageBoxService(std::shared_ptr<TMessageBoxService> service) {
  return Slot().Set(std::move(service));
}

const std::string& ApplicationTitle() { return Title(); }

void SetApplicationTitle(const std::string& title) { Title() = title; }

}  // namespace orba

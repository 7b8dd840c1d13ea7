#include "platform/screen_manager.h"

namespace orba {

namespace {

std::shared_ptr<TScreenManager>& Current() {
  static std::shared_ptr<TScreenManager> current;
  return current;
}

}  // namespace

void TScreenManager::StartUp(const TScreenSettings& settings) {
  settings_ = settings;
  modes_ = CollectModes();
  mode_index_ = -1;
}

void TScreenManager::SetModeIndex(int32_t index) {
  mode_index_ = index >= 0 && index < GetModeCount() ? index : -1;
  ApplyMode(mode_index_ >= 0 ? &modes_[static_cast<size_t>(mode_index_)] : nullptr);
}

TScreenManager* ScreenManager() { return Current().get(); }

std::shared_ptr<TScreenManager> SetScreenManager(std::shared_ptr<TScreenManager> manager) {
  std::shared_ptr<TScreenManager> old = std::move(Current());
  Current() = std::move(manager);
  return old;
}

}  // namespace orba

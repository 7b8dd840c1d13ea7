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

namespace {

template <class TDesc, class TDraw, class TSurface>
HRESULT MakeOffScreen(TDraw& draw, int32_t width, int32_t height, std::shared_ptr<TSurface>& surface) {
  const HRESULT result = draw.CreateSurface(OffScreenDesc<TDesc>(width, height), surface);
  if (Failed(result)) surface.reset();
  return surface == nullptr && !Failed(result) ? DDERR_GENERIC : result;
}

}  // namespace

HRESULT TScreenManager::MakePresentationSurface(int32_t width, int32_t height) {
  presentation_.reset();
  presentation7_.reset();
  if (system_memory_ || width < 1 || height < 1) return DDERR_GENERIC;
  if (direct_draw_ != nullptr) return MakeOffScreen<DDSURFACEDESC>(*direct_draw_, width, height, presentation_);
  if (direct_draw7_ != nullptr) return MakeOffScreen<DDSURFACEDESC2>(*direct_draw7_, width, height, presentation7_);
  return DDERR_GENERIC;
}

TScreenManager* ScreenManager() { return Current().get(); }

std::shared_ptr<TScreenManager> SetScreenManager(std::shared_ptr<TScreenManager> manager) {
  std::shared_ptr<TScreenManager> old = std::move(Current());
  Current() = std::move(manager);
  return old;
}

}  // namespace orba

// The screen manager of a run without a display: one mode, the game's own
// size at 32 bits and 60 Hz; the full-screen state is the window's.
#pragma once

#include "platform/screen_manager.h"
#include "platform/video.h"

namespace orba {

class TSingleModeScreen final : public TScreenManager {
 public:
  explicit TSingleModeScreen(TVideo& video) : video_(video) {}
  bool GetFullScreen() const override { return video_.FullScreen(); }
  void SetFullScreen(bool on) override { video_.SetFullScreen(on); }

 private:
  std::vector<TDisplayMode> CollectModes() override {
    return {TDisplayMode{Settings().Width, Settings().Height, kBitDepth, 60}};
  }
  void ApplyMode(const TDisplayMode*) override {}
  TVideo& video_;
};

}  // namespace orba

// The screen manager on SDL: the display modes of the display the window is
// on (or the first display before it opens), each size, depth and rate
// once; full screen is the window's, in the chosen mode or the desktop's.
#pragma once

#include "platform/screen_manager.h"
#include "platform/sdl/sdl_video.h"

namespace orba {

class TSdlScreen final : public TScreenManager {
 public:
  explicit TSdlScreen(TSdlVideo& video) : video_(video) {}
  bool GetFullScreen() const override { return video_.FullScreen(); }
  void SetFullScreen(bool on) override { video_.SetFullScreen(on); }

 private:
  std::vector<TDisplayMode> CollectModes() override;
  void ApplyMode(const TDisplayMode* mode) override;
  TSdlVideo& video_;
};

}  // namespace orba

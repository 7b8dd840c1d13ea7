// The screen manager: the project's screen values handed over at start-up,
// the display modes the game may run full screen in (collected once, at
// start-up), the chosen mode, the full-screen state, the display's pixel
// depth (always 32), and the DirectDraw objects item bitmaps are made
// through with the system-memory flag that says whether they are, and the
// presentation surface of an accelerated screen. The SDL
// back end lists the modes of the window's
// display and switches the window; the headless one answers a single mode,
// the game's own size at 32 bits and 60 Hz. Window thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/direct_draw.h"

namespace orba {

struct TDisplayMode {
  int32_t Width = 0, Height = 0, Bits = 0, Rate = 0;
  bool operator==(const TDisplayMode&) const = default;
};

// The project's Width, Height, ScreenParam1 and ScreenParam2, unchanged.
struct TScreenSettings {
  int32_t Width = 0, Height = 0, Param1 = 0, Param2 = 0;
};

class TScreenManager {
 public:
  static constexpr int32_t kBitDepth = 32;

  virtual ~TScreenManager() = default;

  // Keeps the settings and collects the display modes.
  void StartUp(const TScreenSettings& settings);
  const TScreenSettings& Settings() const { return settings_; }

  int32_t GetModeCount() const { return static_cast<int32_t>(modes_.size()); }
  // Index must lie in 0 .. GetModeCount() - 1.
  const TDisplayMode& GetMode(int32_t index) const { return modes_[static_cast<size_t>(index)]; }
  // The chosen mode; -1 (the desktop's own) until one is chosen.
  int32_t GetModeIndex() const { return mode_index_; }
  // Chooses a mode and applies it; an index outside the list chooses the
  // desktop's own mode.
  void SetModeIndex(int32_t index);

  virtual bool GetFullScreen() const = 0;
  virtual void SetFullScreen(bool on) = 0;
  int32_t BitDepth() const { return kBitDepth; }

  // The DirectDraw objects, first generation and 7; either may be null.
  // Surfaces and palettes are made on the first generation when there is
  // one. Giving objects runs the screen accelerated; giving none, in
  // system memory.
  IDirectDraw* DirectDraw() const { return direct_draw_.get(); }
  IDirectDraw7* DirectDraw7() const { return direct_draw7_.get(); }
  void SetDirectDraw(std::shared_ptr<IDirectDraw> first, std::shared_ptr<IDirectDraw7> seven) {
    direct_draw_ = std::move(first);
    direct_draw7_ = std::move(seven);
    system_memory_ = direct_draw_ == nullptr && direct_draw7_ == nullptr;
  }
  // True when the screen runs in system memory (not accelerated): drawing
  // surfaces are then memory bitmaps, not DirectDraw surfaces. A manager
  // without DirectDraw objects runs so.
  bool SystemMemory() const { return system_memory_; }
  void SetSystemMemory(bool on) { system_memory_ = on; }

  // The presentation surface of an accelerated screen, what the global
  // object manager draws into: an off-screen surface of the display's
  // format and the given size, made through the first-generation object
  // (else 7). Made anew on each call; in system memory, or when no surface
  // can be made, there is none (DDERR_GENERIC, or what CreateSurface said).
  HRESULT MakePresentationSurface(int32_t width, int32_t height);
  const std::shared_ptr<IDirectDrawSurface>& PresentationSurface() const { return presentation_; }
  const std::shared_ptr<IDirectDrawSurface7>& PresentationSurface7() const { return presentation7_; }

 protected:
  // The modes of the display, best first as the display lists them.
  virtual std::vector<TDisplayMode> CollectModes() = 0;
  // Switches a full screen to the chosen mode (nullptr: the desktop's).
  virtual void ApplyMode(const TDisplayMode* mode) = 0;

 private:
  TScreenSettings settings_;
  std::vector<TDisplayMode> modes_;
  int32_t mode_index_ = -1;
  std::shared_ptr<IDirectDraw> direct_draw_;
  std::shared_ptr<IDirectDraw7> direct_draw7_;
  bool system_memory_ = true;
  std::shared_ptr<IDirectDrawSurface> presentation_;
  std::shared_ptr<IDirectDrawSurface7> presentation7_;
};

// The installed screen manager, nullptr until a program installs one.
TScreenManager* ScreenManager();
// Installs one (nullptr removes it) and returns the previous one.
std::shared_ptr<TScreenManager> SetScreenManager(std::shared_ptr<TScreenManager> manager);

}  // namespace orba

#include "platform/sdl/sdl_screen.h"

#include <SDL.h>

#include <algorithm>

namespace orba {

std::vector<TDisplayMode> TSdlScreen::CollectModes() {
  int display = video_.Window() != nullptr ? SDL_GetWindowDisplayIndex(video_.Window()) : 0;
  if (display < 0) display = 0;
  std::vector<TDisplayMode> modes;
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(display, i, &m) != 0) continue;
    // A 32-bit format counts 24 bits of colour: the depth is its bytes.
    const TDisplayMode mode{m.w, m.h, static_cast<int32_t>(SDL_BYTESPERPIXEL(m.format)) * 8, m.refresh_rate};
    if (std::find(modes.begin(), modes.end(), mode) == modes.end()) modes.push_back(mode);
  }
  return modes;
}

void TSdlScreen::ApplyMode(const TDisplayMode* mode) {
  if (mode == nullptr) {
    video_.SetFullScreenMode(0, 0, 0);
  } else {
    video_.SetFullScreenMode(mode->Width, mode->Height, mode->Rate);
  }
}

}  // namespace orba

#include "platform/sdl/sdl_clock.h"

#include <SDL.h>

#include "platform/sdl/sdl_video.h"

namespace orba {

TSdlClock::TSdlClock() {
  if (SDL_InitSubSystem(SDL_INIT_TIMER) != 0) throw ESdlError(std::string("SDL timer: ") + SDL_GetError());
}

TSdlClock::~TSdlClock() { SDL_QuitSubSystem(SDL_INIT_TIMER); }

// The low 32 bits, wrapping as the system timer does.
uint32_t TSdlClock::NowMs() { return static_cast<uint32_t>(SDL_GetTicks64()); }

}  // namespace orba

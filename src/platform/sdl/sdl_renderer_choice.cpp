#include "platform/sdl/sdl_renderer_choice.h"

#include <SDL.h>

#include <initializer_list>

namespace orba {

namespace {

// glGetString's name for the renderer string.
constexpr unsigned kGlRenderer = 0x1F01;

// Whether Renderer draws through OpenGL on the CPU. Its context is the
// current one right after SDL made it.
bool DrawsThroughSoftwareGl(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr || SDL_strncmp(info.name, "opengl", 6) != 0)
    return false;
  using TGetString = const unsigned char* (*)(unsigned);
  const auto get_string = reinterpret_cast<TGetString>(SDL_GL_GetProcAddress("glGetString"));
  if (get_string == nullptr) return false;
  return IsSoftwareGlRenderer(reinterpret_cast<const char*>(get_string(kGlRenderer)));
}

}  // namespace

bool IsSoftwareGlRenderer(const char* gl_renderer) {
  if (gl_renderer == nullptr) return false;
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "software"})
    if (SDL_strcasestr(gl_renderer, name) != nullptr) return true;
  return false;
}

SDL_Renderer* CreateWindowRenderer(SDL_Window* window) {
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
  const char* named = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  if (renderer == nullptr || (named != nullptr && named[0] != '\0') || !DrawsThroughSoftwareGl(renderer))
    return renderer;
  SDL_DestroyRenderer(renderer);
  // The software renderer draws into the window's surface, which SDL would
  // hand to the server through an OpenGL texture of its own (on X11 by
  // default) unless told not to: through shared memory instead. The boxes'
  // windows, drawn through their surfaces, then take that path too.
  const char* framebuffer = SDL_GetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
  if (framebuffer == nullptr || framebuffer[0] == '\0') SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  // Where the software renderer cannot draw into the window, OpenGL still can.
  return renderer != nullptr ? renderer : SDL_CreateRenderer(window, -1, 0);
}

}  // namespace orba

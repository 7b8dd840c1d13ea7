// Which of SDL's renderers draws the game window. SDL's first choice is
// OpenGL wherever the display offers it, also where the CPU runs that
// OpenGL (Mesa's llvmpipe, softpipe or swrast: a machine without a graphics
// card, a virtual machine, Xvfb). Scaling a textured quad through such a
// rasterizer and handing its back buffer to the server costs several times
// what SDL's own software renderer pays for the same picture (a blit into
// the window's surface, put to the server through shared memory rather
// than through an OpenGL texture, which SDL would otherwise use for a
// window's surface on X11), so there the software renderer draws instead.
// A renderer the user named (SDL_RENDER_DRIVER), and the user's choice for
// windows' surfaces (SDL_FRAMEBUFFER_ACCELERATION), are kept.
#pragma once

struct SDL_Renderer;
struct SDL_Window;

namespace orba {

// Whether an OpenGL renderer string (glGetString(GL_RENDERER)) names a
// rasterizer that runs on the CPU.
bool IsSoftwareGlRenderer(const char* gl_renderer);

// A renderer for Window, without vertical sync; null when none can be made
// (SDL_GetError says why).
SDL_Renderer* CreateWindowRenderer(SDL_Window* window);

}  // namespace orba

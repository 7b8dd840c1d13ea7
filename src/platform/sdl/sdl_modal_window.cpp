#include "platform/sdl/sdl_modal_window.h"

#include <SDL.h>

#include <cstdio>

#include "platform/sdl/vk_map.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

// The window an input or window event belongs to, 0 for others.
uint32_t WindowOf(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_TEXTEDITING: return e.edit.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    default: return 0;
  }
}

}  // namespace

TSdlModalWindow::TSdlModalWindow(SDL_Window* parent, const std::string& title, int32_t width, int32_t height)
    : width_(width), height_(height) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "orba: no window for %s: %s\n", SjisToUtf8(title).c_str(), SDL_GetError());
      return;
    }
    started_video_ = true;
  }
  window_ = SDL_CreateWindow(SjisToUtf8(title).c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                             SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) {
    std::fprintf(stderr, "orba: no window for %s: %s\n", SjisToUtf8(title).c_str(), SDL_GetError());
    return;
  }
  // Modal over the player's window where the video driver knows that.
  if (parent != nullptr) SDL_SetWindowModalFor(window_, parent);
}

TSdlModalWindow::~TSdlModalWindow() {
  if (window_ != nullptr) {
    // The window's own events (shown, hidden, focus) must not reach the
    // player, whose input takes every window event as its own window's;
    // nor the quit that closing it made.
    const uint32_t id = WindowId();
    SDL_DestroyWindow(window_);
    SDL_PumpEvents();
    // Taken with SDL_PeepEvents: polling stops at the mark of the last pump
    // (which is dropped: the player's next poll pumps anew).
    std::vector<SDL_Event> others;
    for (SDL_Event e; SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1;)
      if (e.type != SDL_POLLSENTINEL && (e.type != SDL_WINDOWEVENT || e.window.windowID != id) &&
          (e.type != SDL_QUIT || !closed_))
        others.push_back(e);
    for (SDL_Event& e : others) SDL_PushEvent(&e);
  }
  if (started_video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

uint32_t TSdlModalWindow::WindowId() const { return window_ != nullptr ? SDL_GetWindowID(window_) : 0; }

void TSdlModalWindow::Show(const std::vector<uint32_t>& pixels) {
  if (pixels.size() < static_cast<size_t>(width_) * static_cast<size_t>(height_)) return;
  SDL_Surface* target = SDL_GetWindowSurface(window_);
  // SDL does not write through a source surface: the cast only meets its signature.
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels.data()), width_, height_, 32,
                                                           width_ * 4, SDL_PIXELFORMAT_RGB888);
  if (target != nullptr && source != nullptr && SDL_BlitSurface(source, nullptr, target, nullptr) == 0)
    SDL_UpdateWindowSurface(window_);
  if (source != nullptr) SDL_FreeSurface(source);
}

void TSdlModalWindow::Take(const TModalInput& input, const SDL_Event& e) {
  auto call = [](const auto& f, auto... args) {
    if (f) f(args...);
  };
  switch (e.type) {
    case SDL_QUIT: call(input.Quit); break;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) call(input.Close);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (e.button.button == SDL_BUTTON_LEFT)
        call(e.type == SDL_MOUSEBUTTONDOWN ? input.Press : input.Release, int32_t{e.button.x}, int32_t{e.button.y});
      break;
    case SDL_MOUSEWHEEL:
      call(input.Wheel, e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
      break;
    case SDL_KEYDOWN: call(input.Key, SdlKeyToVk(e.key.keysym.sym), (e.key.keysym.mod & KMOD_SHIFT) != 0); break;
    default: break;
  }
}

void TSdlModalWindow::Run(const TModalInput& input, const std::function<bool()>& done,
                          const std::function<std::vector<uint32_t>()>& paint) {
  if (window_ == nullptr) return;
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  const uint32_t id = WindowId();
  std::vector<SDL_Event> kept;
  Show(paint());
  SDL_Event e;
  while (!done() && SDL_WaitEvent(&e) != 0) {
    if (e.type == SDL_QUIT) {
      if (!closed_) kept.push_back(e);
      Take(input, e);
    } else if (WindowOf(e) == id) {
      closed_ = closed_ || (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE);
      Take(input, e);
    } else if (e.type == SDL_WINDOWEVENT) {
      kept.push_back(e);
    }
    Show(paint());
  }
  SDL_HideWindow(window_);
  for (SDL_Event& k : kept) SDL_PushEvent(&k);
}

}  // namespace orba

#include "platform/sdl/sdl_choice_window.h"

#include <SDL.h>

#include <cstdio>
#include <vector>

#include "platform/sdl/vk_map.h"
#include "platform/text_convert.h"

namespace orba {

TSdlChoiceWindow::TSdlChoiceWindow(SDL_Window* parent, const TChoiceRequest& request) : view_(request) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "orba: no window for the list: %s\n", SDL_GetError());
      return;
    }
    started_video_ = true;
  }
  window_ = SDL_CreateWindow(SjisToUtf8(request.Title).c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             TChoiceWindow::kWidth, TChoiceWindow::kHeight, SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) {
    std::fprintf(stderr, "orba: no window for the list: %s\n", SDL_GetError());
    return;
  }
  // Modal over the player's window where the video driver knows that.
  if (parent != nullptr) SDL_SetWindowModalFor(window_, parent);
}

TSdlChoiceWindow::~TSdlChoiceWindow() {
  if (window_ != nullptr) {
    // The window's own events (shown, hidden, focus) must not reach the
    // player, whose input takes every window event as its own window's.
    const uint32_t id = WindowId();
    SDL_DestroyWindow(window_);
    SDL_PumpEvents();
    // Taken with SDL_PeepEvents: polling stops at the mark of the last pump
    // (which is dropped: the player's next poll pumps anew).
    std::vector<SDL_Event> others;
    for (SDL_Event e; SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1;)
      if (e.type != SDL_POLLSENTINEL && (e.type != SDL_WINDOWEVENT || e.window.windowID != id)) others.push_back(e);
    for (SDL_Event& e : others) SDL_PushEvent(&e);
  }
  if (started_video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

uint32_t TSdlChoiceWindow::WindowId() const { return window_ != nullptr ? SDL_GetWindowID(window_) : 0; }

void TSdlChoiceWindow::Show() {
  std::vector<uint32_t> pixels = view_.Paint();
  SDL_Surface* target = SDL_GetWindowSurface(window_);
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), TChoiceWindow::kWidth,
                                                           TChoiceWindow::kHeight, 32, TChoiceWindow::kWidth * 4,
                                                           SDL_PIXELFORMAT_RGB888);
  if (target != nullptr && source != nullptr && SDL_BlitSurface(source, nullptr, target, nullptr) == 0)
    SDL_UpdateWindowSurface(window_);
  if (source != nullptr) SDL_FreeSurface(source);
}

int TSdlChoiceWindow::Run() {
  if (window_ == nullptr) return view_.Selected();
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  const uint32_t id = WindowId();
  std::vector<SDL_Event> kept;
  Show();
  SDL_Event e;
  while (!view_.Closed() && SDL_WaitEvent(&e) != 0) {
    switch (e.type) {
      case SDL_QUIT:
        kept.push_back(e);
        view_.Close();
        break;
      case SDL_WINDOWEVENT:
        if (e.window.windowID != id) kept.push_back(e);
        else if (e.window.event == SDL_WINDOWEVENT_CLOSE) view_.Close();
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.windowID == id && e.button.button == SDL_BUTTON_LEFT) view_.Press(e.button.x, e.button.y);
        break;
      case SDL_MOUSEWHEEL:
        if (e.wheel.windowID == id) view_.Wheel(e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
        break;
      case SDL_KEYDOWN:
        if (e.key.windowID == id) view_.Key(SdlKeyToVk(e.key.keysym.sym));
        break;
      default: break;
    }
    Show();
  }
  SDL_HideWindow(window_);
  for (SDL_Event& k : kept) SDL_PushEvent(&k);
  return view_.Selected();
}

}  // namespace orba

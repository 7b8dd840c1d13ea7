#include "platform/sdl/sdl_modal_window.h"

#include <SDL.h>

#include <algorithm>
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
  const std::string name = SjisToUtf8(title);
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
    // Before SDL's video starts, as for the game window.
    TX11Window::CatchErrors();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      std::fprintf(stderr, "orba: no window for %s: %s\n", name.c_str(), SDL_GetError());
      return;
    }
    started_video_ = true;
  }
  window_ = SDL_CreateWindow(name.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                             SDL_WINDOW_HIDDEN);
  if (window_ == nullptr) {
    std::fprintf(stderr, "orba: no window for %s: %s\n", name.c_str(), SDL_GetError());
    return;
  }
  // The surface first: SDL may make the window anew for it, and what follows
  // must be set on the window that is really shown.
  SDL_GetWindowSurface(window_);
  x11_ = std::make_unique<TX11Window>(window_, TX11Window::TBackground::White);
  x11_->SetOldTitle(name.c_str());
  if (parent == nullptr) return;
  // Modal over the player's window where the video driver knows that.
  SDL_SetWindowModalFor(window_, parent);
  PlaceOver(parent);
}

TSdlModalWindow::~TSdlModalWindow() {
  if (window_ != nullptr) {
    // The window's own events (shown, hidden, focus) must not reach the
    // player, whose input takes every window event as its own window's;
    // nor the quit that closing it made.
    const uint32_t id = WindowId();
    // SDL must not wait for a gone window to be unmapped.
    if (x11_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) != 0) x11_->BeforeDestroy();
    SDL_DestroyWindow(window_);
    SDL_PumpEvents();
    // Taken with SDL_PeepEvents: polling stops at the mark of the last pump
    // (which is dropped: the player's next poll pumps anew). X events are
    // noted here (the game window's destruction among them), not queued
    // again.
    std::vector<SDL_Event> others;
    for (SDL_Event e; SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1;) {
      if (e.type == SDL_SYSWMEVENT && x11_ != nullptr) x11_->Note(e);
      if (e.type != SDL_POLLSENTINEL && e.type != SDL_SYSWMEVENT &&
          (e.type != SDL_WINDOWEVENT || e.window.windowID != id) && (e.type != SDL_QUIT || !closed_))
        others.push_back(e);
    }
    for (SDL_Event& e : others) SDL_PushEvent(&e);
    // After SDL destroyed the window: a window gone before leaves errors to take.
    x11_.reset();
  }
  if (started_video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void TSdlModalWindow::PlaceOver(SDL_Window* parent) {
  int px = 0, py = 0, pw = 0, ph = 0;
  SDL_GetWindowPosition(parent, &px, &py);
  SDL_GetWindowSize(parent, &pw, &ph);
  int32_t x = px + (pw - width_) / 2, y = py + (ph - height_) / 2;
  // Kept on the screen of the player's window, its left and top edges first.
  SDL_Rect area;
  const int display = SDL_GetWindowDisplayIndex(parent);
  if (display >= 0 && SDL_GetDisplayUsableBounds(display, &area) == 0) {
    x = std::max(area.x, std::min(x, area.x + area.w - width_));
    y = std::max(area.y, std::min(y, area.y + area.h - height_));
  }
  SDL_SetWindowPosition(window_, x, y);
  x11_->MakeDialogOf(parent, x, y, width_, height_);
}

int32_t TSdlModalWindow::ScreenWidth(SDL_Window* parent) {
  SDL_Rect area;
  const int display = parent != nullptr ? SDL_GetWindowDisplayIndex(parent) : -1;
  return display >= 0 && SDL_GetDisplayUsableBounds(display, &area) == 0 ? area.w : 0;
}

uint32_t TSdlModalWindow::WindowId() const { return window_ != nullptr ? SDL_GetWindowID(window_) : 0; }

void TSdlModalWindow::Show(const std::vector<uint32_t>& pixels) {
  if (Destroyed() || pixels.size() < static_cast<size_t>(width_) * static_cast<size_t>(height_)) return;
  SDL_Surface* target = SDL_GetWindowSurface(window_);
  // SDL does not write through a source surface: the cast only meets its signature.
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels.data()), width_, height_, 32,
                                                           width_ * 4, SDL_PIXELFORMAT_RGB888);
  if (target != nullptr && source != nullptr && SDL_BlitSurface(source, nullptr, target, nullptr) == 0)
    SDL_UpdateWindowSurface(window_);
  if (source != nullptr) SDL_FreeSurface(source);
}

void TSdlModalWindow::TakeFocus() {
  if (Destroyed() || (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) == 0) return;
  SDL_RaiseWindow(window_);
  SDL_SetWindowInputFocus(window_);
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
  while (!done()) {
    // A window gone, or the player ending, closes the box as its close
    // button does; the caller's answer to that ends the wait.
    if (Destroyed() || (input.Ending && input.Ending())) {
      if (input.Close) input.Close();
      break;
    }
    if (SDL_WaitEventTimeout(&e, kEndingPollMs) == 0) continue;
    if (e.type == SDL_QUIT) {
      if (!closed_) kept.push_back(e);
      Take(input, e);
    } else if (e.type == SDL_SYSWMEVENT) {
      if (x11_ != nullptr) x11_->Note(e);
      continue;
    } else if (WindowOf(e) == id) {
      closed_ = closed_ || (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE);
      Take(input, e);
    } else if (e.type == SDL_WINDOWEVENT && e.window.event != SDL_WINDOWEVENT_CLOSE) {
      // The keyboard belongs to the box while it is open: a click on the
      // player's window (or the window manager) gives the focus back.
      if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) TakeFocus();
      kept.push_back(e);
    }
    Show(paint());
  }
  if (x11_ != nullptr && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) != 0) x11_->BeforeDestroy();
  SDL_HideWindow(window_);
  for (SDL_Event& k : kept) SDL_PushEvent(&k);
}

}  // namespace orba

#include "platform/sdl/sdl_video.h"

#include <SDL.h>

#include <algorithm>

#include "platform/sdl/sdl_renderer_choice.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

[[noreturn]] void Fail(const char* what) { throw ESdlError(std::string(what) + ": " + SDL_GetError()); }

// SDL's drivers that show nothing: taken only when the user names them.
bool ShowsNothing(const char* driver) {
  return driver == nullptr || SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0 ||
         SDL_strcmp(driver, "evdev") == 0;
}

// Runs as SDL queues each event, after the renderer's own watch has taken
// the new size: a resized, uncovered, restored or shown window is painted
// at once, before the desktop shows it empty until the next tick (a window
// shown again after it was minimised or unmapped gets the whole picture).
int RepaintOnResize(void* data, SDL_Event* e) {
  auto* video = static_cast<TSdlVideo*>(data);
  if (e->type != SDL_WINDOWEVENT || e->window.windowID != video->WindowId()) return 1;
  switch (e->window.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESTORED:
    case SDL_WINDOWEVENT_SHOWN:
      video->Redraw();
      break;
    default:
      break;
  }
  return 1;
}

}  // namespace

TSdlVideo::TSdlVideo() {
  // Closing the window is a request the player answers itself; SDL must not
  // turn it into a quit of its own as well.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Nor turn SIGINT and SIGTERM into a close request: the player ends on
  // them without asking (shell/quit_signals).
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
  const bool user_chose = chosen != nullptr && chosen[0] != '\0';
  TX11Window::CatchErrors();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (!user_chose) throw ESdlError(kNoDisplay);
    Fail("SDL video");
  }
  // Where no real display opens SDL falls back to a driver that shows
  // nothing: a window nobody sees would run for ever.
  if (!user_chose && ShowsNothing(SDL_GetCurrentVideoDriver())) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    throw ESdlError(kNoDisplay);
  }
}

TSdlVideo::~TSdlVideo() {
  if (renderer_) SDL_DelEventWatch(RepaintOnResize, this);
  for (TOverlayTexture& o : overlays_)
    if (o.Texture) SDL_DestroyTexture(o.Texture);
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  // SDL must not wait for a gone window to be unmapped.
  if (x11_ != nullptr) x11_->BeforeDestroy();
  if (window_) SDL_DestroyWindow(window_);
  // After SDL destroyed the window: a window gone before leaves errors to take.
  x11_.reset();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void TSdlVideo::CreateWindow(int32_t width, int32_t height, const std::string& title) {
  if (window_) throw ESdlError("the window is already open");
  if (width <= 0 || height <= 0) throw ESdlError("window size must be positive");
  width_ = width;
  height_ = height;
  const THostRect area = WorkArea();
  const bool placed = area.Right > area.Left && area.Bottom > area.Top;
  int32_t x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  if (placed) PlaceInWorkArea(area.Left, area.Top, area.Right, area.Bottom, width, height, x, y);
  window_ = SDL_CreateWindow(SjisToUtf8(title).c_str(), x, y, width, height, SDL_WINDOW_RESIZABLE);
  if (!window_) Fail("SDL window");
  // Once the desktop has framed the window, the frame is placed in the area.
  int top = 0, left = 0, bottom = 0, right = 0;
  if (placed && SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) == 0 &&
      (top | left | bottom | right) != 0) {
    PlaceInWorkArea(area.Left, area.Top, area.Right, area.Bottom, width + left + right, height + top + bottom, x, y);
    SDL_SetWindowPosition(window_, x + left, y + top);
  }
  // No vertical sync: presenting must not hold up the 15 ms tick.
  renderer_ = CreateWindowRenderer(window_);
  if (!renderer_) Fail("SDL renderer");
  // The renderer may have made the window anew (for its pixel format): the
  // one it draws into is watched.
  x11_ = std::make_unique<TX11Window>(window_);
  x11_->SetOldTitle(SjisToUtf8(title).c_str());
  ApplyIcon();
  // A scaled picture is smoothed; at 1:1 this changes nothing.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width,
                               height);
  if (!texture_) Fail("SDL texture");
  // The texture starts black.
  std::vector<uint32_t> black(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  SDL_UpdateTexture(texture_, nullptr, black.data(), width * 4);
  SDL_AddEventWatch(RepaintOnResize, this);
  Redraw();
}

void TSdlVideo::SetIcon(int32_t width, int32_t height, std::vector<uint8_t> rgba) {
  const bool whole = width > 0 && height > 0 && rgba.size() == size_t{4} * static_cast<size_t>(width) * static_cast<size_t>(height);
  icon_width_ = whole ? width : 0;
  icon_height_ = whole ? height : 0;
  icon_ = whole ? std::move(rgba) : std::vector<uint8_t>();
  ApplyIcon();
}

void TSdlVideo::ApplyIcon() {
  if (!window_ || icon_.empty()) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(icon_.data(), icon_width_, icon_height_, 32,
                                                            icon_width_ * 4, SDL_PIXELFORMAT_RGBA32);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(window_, surface);
  SDL_FreeSurface(surface);
}

void TSdlVideo::SetTitle(const std::string& title) {
  if (!window_) return;
  const std::string name = SjisToUtf8(title);
  SDL_SetWindowTitle(window_, name.c_str());
  if (x11_ != nullptr) x11_->SetOldTitle(name.c_str());
}

void TSdlVideo::SetFullScreen(bool on) {
  if (!window_ || on == full_screen_) return;
  Uint32 flags = 0;
  if (on && mode_width_ > 0) {
    const SDL_DisplayMode wanted{0, mode_width_, mode_height_, mode_rate_, nullptr};
    flags = SDL_SetWindowDisplayMode(window_, &wanted) == 0 ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP;
  } else if (on) {
    flags = SDL_WINDOW_FULLSCREEN_DESKTOP;
  }
  if (SDL_SetWindowFullscreen(window_, flags) != 0) return;
  full_screen_ = on;
  Redraw();
}

void TSdlVideo::SetFullScreenMode(int32_t width, int32_t height, int32_t rate) {
  mode_width_ = width > 0 && height > 0 ? width : 0;
  mode_height_ = mode_width_ > 0 ? height : 0;
  mode_rate_ = mode_width_ > 0 ? rate : 0;
  if (!full_screen_) return;
  // Leave full screen and come back in the new mode.
  SetFullScreen(false);
  SetFullScreen(true);
}

void TSdlVideo::Present(const TFrameView& frame, const std::vector<TScreenRect>& dirty) {
  if (!texture_ || WindowDestroyed() || !frame.Pixels || frame.Stride < frame.Width) return;
  const int32_t w = std::min(width_, frame.Width), h = std::min(height_, frame.Height);
  bool changed = false;
  for (const TScreenRect& r : dirty) {
    SDL_Rect area;
    area.x = std::max(r.Left, 0);
    area.y = std::max(r.Top, 0);
    area.w = std::min(r.Right, w) - area.x;
    area.h = std::min(r.Bottom, h) - area.y;
    if (area.w <= 0 || area.h <= 0) continue;
    const uint32_t* first = frame.Pixels + static_cast<ptrdiff_t>(area.y) * frame.Stride + area.x;
    SDL_UpdateTexture(texture_, &area, first, frame.Stride * 4);
    changed = true;
  }
  if (overlay_ != nullptr && overlay_->TakeChanged()) changed = true;
  if (changed) Redraw();
}

bool TSdlVideo::Unseen() const {
  return window_ == nullptr || (SDL_GetWindowFlags(window_) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) != 0;
}

void TSdlVideo::Redraw() {
  if (!renderer_ || WindowDestroyed() || Unseen()) return;
  int out_w = 0, out_h = 0;
  SDL_GetRendererOutputSize(renderer_, &out_w, &out_h);
  const TLetterbox box = FitLetterbox(width_, height_, out_w, out_h);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (box.Width > 0 && box.Height > 0) {
    const SDL_Rect target{box.X, box.Y, box.Width, box.Height};
    SDL_RenderCopy(renderer_, texture_, nullptr, &target);
    for (size_t i = 0; i < overlays_shown_; ++i) {
      const TOverlayTexture& o = overlays_[i];
      const SDL_Rect src{o.Source.Left, o.Source.Top, o.Source.Right - o.Source.Left, o.Source.Bottom - o.Source.Top};
      const SDL_Rect dst{box.X + o.Dest.Left, box.Y + o.Dest.Top, o.Dest.Right - o.Dest.Left, o.Dest.Bottom - o.Dest.Top};
      SDL_RenderCopy(renderer_, o.Texture, &src, &dst);
    }
    if (overlay_ != nullptr) overlay_->Render(renderer_, box);
  }
  SDL_RenderPresent(renderer_);
}

void TSdlVideo::SetOverlays(const std::vector<TVideoOverlay>& overlays) {
  if (!renderer_ || WindowDestroyed() || (overlays.empty() && overlays_shown_ == 0)) return;
  size_t shown = 0;
  for (const TVideoOverlay& o : overlays) {
    const TFrameView& f = o.Frame;
    if (!f.Pixels || f.Width <= 0 || f.Height <= 0 || f.Stride < f.Width) continue;
    if (shown == overlays_.size()) overlays_.emplace_back();
    TOverlayTexture& t = overlays_[shown];
    if (!t.Texture || t.Width != f.Width || t.Height != f.Height) {
      if (t.Texture) SDL_DestroyTexture(t.Texture);
      t.Texture = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, f.Width, f.Height);
      t.Width = f.Width;
      t.Height = f.Height;
      t.Pixels = nullptr;
      if (!t.Texture) continue;
    }
    // The same picture of the same video is in the texture already.
    if (t.Pixels != f.Pixels || t.Picture != o.Picture) SDL_UpdateTexture(t.Texture, nullptr, f.Pixels, f.Stride * 4);
    t.Pixels = f.Pixels;
    t.Picture = o.Picture;
    t.Source = o.Source;
    t.Dest = o.Dest;
    ++shown;
  }
  overlays_shown_ = shown;
  Redraw();
}

int32_t TSdlVideo::DisplayScale() const {
  const TLetterbox box = WindowBox();
  return width_ > 0 && box.Width > 0 ? static_cast<int32_t>(int64_t{box.Width} * 100 / width_) : 100;
}

TLetterbox TSdlVideo::WindowBox() const {
  int win_w = 0, win_h = 0;
  if (window_) SDL_GetWindowSize(window_, &win_w, &win_h);
  return FitLetterbox(width_, height_, win_w, win_h);
}

void TSdlVideo::WindowToGamePosition(int32_t wx, int32_t wy, int32_t& gx, int32_t& gy) const {
  WindowToGame(WindowBox(), wx, wy, gx, gy);
}

void TSdlVideo::GameToWindowPosition(int32_t gx, int32_t gy, int32_t& wx, int32_t& wy) const {
  GameToWindow(WindowBox(), gx, gy, wx, wy);
}

void TSdlVideo::SetMousePosition(int32_t x, int32_t y) {
  if (!window_) return;
  int32_t wx = 0, wy = 0;
  GameToWindowPosition(x, y, wx, wy);
  SDL_WarpMouseInWindow(window_, wx, wy);
}

void TSdlVideo::ShowCursor(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

THostRect TSdlVideo::WorkArea() const {
  const int display = window_ ? std::max(SDL_GetWindowDisplayIndex(window_), 0) : 0;
  SDL_Rect r{0, 0, 0, 0};
  if (SDL_GetDisplayUsableBounds(display, &r) != 0 && SDL_GetDisplayBounds(display, &r) != 0) return THostRect{};
  return THostRect{r.x, r.y, r.x + r.w, r.y + r.h};
}

uint32_t TSdlVideo::WindowId() const { return window_ ? SDL_GetWindowID(window_) : 0; }

void TSdlVideo::NoteEvent(const SDL_Event& event) {
  if (x11_ != nullptr) x11_->Note(event);
}

}  // namespace orba

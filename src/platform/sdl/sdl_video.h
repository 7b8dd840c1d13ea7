// The game window on SDL: a resizable window whose picture is a streaming
// texture of the game's size, scaled to fit with its aspect kept. Only the
// dirty rectangles of a frame (and the video overlays) are uploaded; the
// texture keeps the rest. The window is drawn only while it can be seen: a
// minimised or unmapped window costs its uploads only, and is drawn whole
// when it is shown again. Where OpenGL runs on the CPU, SDL's software
// renderer draws (sdl_renderer_choice.h). The window opens centred in the
// work area of the first display (the screen less its panels and docks, as
// the desktop tells SDL). On X11 the server paints what a grown window
// uncovers black at once, and a window another client destroyed is noted
// (and drawn no more) rather than ending the process, and is not waited for
// when the video ends.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/sdl/letterbox.h"
#include "platform/sdl/x11_window.h"
#include "platform/video.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace orba {

class ESdlError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Something drawn over the scaled picture (the text controls).
class TSdlOverlay {
 public:
  virtual ~TSdlOverlay() = default;
  // True, once, when the overlay changed since it was last asked.
  virtual bool TakeChanged() = 0;
  // Draws into the window; Box says where the game picture lies.
  virtual void Render(SDL_Renderer* renderer, const TLetterbox& box) = 0;
};

class TSdlVideo : public TVideo {
 public:
  // What a start without a display raises.
  static constexpr char kNoDisplay[] = "no display: use --headless to run without a window";

  // Starts SDL's video; raises ESdlError when there is no display to use:
  // kNoDisplay when no driver opens or only one that shows nothing (unless
  // SDL_VIDEODRIVER names the driver to use).
  TSdlVideo();
  ~TSdlVideo() override;
  TSdlVideo(const TSdlVideo&) = delete;
  TSdlVideo& operator=(const TSdlVideo&) = delete;

  void CreateWindow(int32_t width, int32_t height, const std::string& title) override;
  void SetTitle(const std::string& title) override;
  void SetFullScreen(bool on) override;
  bool FullScreen() const override { return full_screen_; }
  // The display mode full screen uses: Width x Height at Rate Hz (the
  // display's closest mode), or with a width of 0 the desktop as it is. A
  // window that is full screen switches at once.
  void SetFullScreenMode(int32_t width, int32_t height, int32_t rate);
  void Present(const TFrameView& frame, const std::vector<TScreenRect>& dirty) override;
  void SetMousePosition(int32_t x, int32_t y) override;
  void ShowCursor(bool visible) override;
  // Each overlay's frame goes into a streaming texture of its own, drawn over
  // the game picture by every redraw until the next call.
  void SetOverlays(const std::vector<TVideoOverlay>& overlays) override;
  int32_t DisplayScale() const override;

  // The window's icon: Width x Height pixels of 8-bit RGBA, top row first.
  // Kept for a window not yet open; an empty picture leaves the window
  // manager's own.
  void SetIcon(int32_t width, int32_t height, std::vector<uint8_t> rgba);

  // Draws the kept picture again (after the window was resized, uncovered,
  // shown or switched between window and full screen); nothing while the
  // window is minimised or unmapped.
  void Redraw();
  // Whether the window cannot be seen: not open, minimised or unmapped.
  bool Unseen() const;
  // The usable bounds of the display the window is on (the first display
  // before the window opens): the screen less panels and docks.
  THostRect WorkArea() const;
  // A position in the window to game coordinates.
  void WindowToGamePosition(int32_t wx, int32_t wy, int32_t& gx, int32_t& gy) const;
  // A game position to the window.
  void GameToWindowPosition(int32_t gx, int32_t gy, int32_t& wx, int32_t& wy) const;
  uint32_t WindowId() const;
  // The SDL window once it is open (the parent of message boxes), else null.
  SDL_Window* Window() const { return window_; }
  // The renderer that draws the window (to read back what it shows).
  SDL_Renderer* Renderer() const { return renderer_; }
  // Draws Overlay after the picture from now on (nullptr: none).
  void SetOverlay(TSdlOverlay* overlay) { overlay_ = overlay; }
  // Notes an event SDL gave (the window's destruction by another client).
  void NoteEvent(const SDL_Event& event);
  // Whether another client destroyed the window.
  bool WindowDestroyed() const { return x11_ != nullptr && x11_->Destroyed(); }

 private:
  TLetterbox WindowBox() const;
  void ApplyIcon();

  SDL_Window* window_ = nullptr;
  std::unique_ptr<TX11Window> x11_;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  struct TOverlayTexture {
    SDL_Texture* Texture = nullptr;
    int32_t Width = 0, Height = 0;
    const uint32_t* Pixels = nullptr;
    uint64_t Picture = 0;
    TScreenRect Source, Dest;
  };
  std::vector<TOverlayTexture> overlays_;
  size_t overlays_shown_ = 0;
  int32_t width_ = 0, height_ = 0;
  bool full_screen_ = false;
  int32_t mode_width_ = 0, mode_height_ = 0, mode_rate_ = 0;
  TSdlOverlay* overlay_ = nullptr;
  int32_t icon_width_ = 0, icon_height_ = 0;
  std::vector<uint8_t> icon_;
};

}  // namespace orba

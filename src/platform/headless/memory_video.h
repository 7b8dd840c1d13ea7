// The window of the headless player: it keeps the picture that a display
// would show, updated only inside the presented dirty rectangles, with the
// video overlays and the text controls drawn over it the way a window shows
// them, and records what was asked of the window. While text controls are
// shown, a second picture holds them over the game's; it takes from the
// game's picture only what changed (the dirty rectangles, and the controls'
// own rectangles when they change or something under them does).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/video.h"

namespace orba {

class TTextControlGroup;

class TMemoryVideo : public TVideo {
 public:
  void CreateWindow(int32_t width, int32_t height, const std::string& title) override;
  void SetTitle(const std::string& title) override { title_ = title; }
  void SetFullScreen(bool on) override { full_screen_ = on; }
  bool FullScreen() const override { return full_screen_; }
  void Present(const TFrameView& frame, const std::vector<TScreenRect>& dirty) override;
  // The shown picture while no overlay covers it.
  TFrameBuffer PresentBuffer() override;
  void SetMousePosition(int32_t x, int32_t y) override;
  void ShowCursor(bool visible) override { cursor_visible_ = visible; }
  void SetOverlays(const std::vector<TVideoOverlay>& overlays) override;

  // The visible controls of Group are painted over the shown picture from
  // now on (nullptr: none), at each Present and at RepaintTextControls.
  void SetTextControls(TTextControlGroup* group);
  // Paints the controls again when they changed since they were painted.
  void RepaintTextControls();

  bool WindowCreated() const { return created_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  const std::string& Title() const { return title_; }
  // The shown picture (the overlays and the text controls over the game's),
  // 0x00RRGGBB, Width() pixels a row; black at first.
  const std::vector<uint32_t>& Picture() const;
  uint32_t Pixel(int32_t x, int32_t y) const;
  // The shown picture as a frame; without pixels before the window opens.
  TFrameView Frame() const;
  int32_t PresentCount() const { return present_count_; }
  // Pixels copied from the game's picture into the picture with the text
  // controls over it, all told.
  uint64_t ControlCopyPixels() const { return control_copy_pixels_; }
  bool CursorVisible() const { return cursor_visible_; }
  int32_t MouseX() const { return mouse_x_; }
  int32_t MouseY() const { return mouse_y_; }

 private:
  // The frame's dirty rectangles into the game's picture.
  void ShowFrame(const TFrameView& frame, const std::vector<TScreenRect>& dirty);
  // Rect, cut to the window, behind the game's picture in shown_.
  void MarkStale(const TScreenRect& rect);
  void MarkAllStale() { MarkStale({0, 0, width_, height_}); }
  // The game's picture inside Rect (cut to the window) into shown_.
  void CopyToShown(const TScreenRect& rect);
  // The rectangles of the visible controls, cut to the window.
  std::vector<TScreenRect> ControlRects() const;
  bool created_ = false;
  int32_t width_ = 0, height_ = 0;
  std::string title_;
  std::vector<uint32_t> picture_;
  // The game's picture under the overlays, kept while there are overlays
  // (without them the game's picture is the shown one).
  std::vector<uint32_t> game_;
  bool overlaid_ = false;
  // The picture with the text controls over it, in use while a control is
  // visible (shows_controls_); else the game's picture is the shown one.
  TTextControlGroup* controls_ = nullptr;
  std::vector<uint32_t> shown_;
  bool shows_controls_ = false;
  // The controls are painted anew at the next repaint (a new window or
  // group), whether or not the group reports a change.
  bool restart_ = true;
  // Where shown_ is behind the game's picture, and where the controls were
  // painted into it last.
  std::vector<TScreenRect> stale_;
  std::vector<TScreenRect> painted_;
  uint64_t control_copy_pixels_ = 0;
  bool full_screen_ = false;
  bool cursor_visible_ = true;
  int32_t mouse_x_ = 0, mouse_y_ = 0;
  int32_t present_count_ = 0;
};

}  // namespace orba

// The window of the headless player: it keeps the picture that a display
// would show, updated only inside the presented dirty rectangles, with the
// video overlays and the text controls drawn over it the way a window shows
// them, and records what was asked of the window. The text controls are
// painted into that picture, with the game's pixels under them kept aside:
// a present that reaches under a control puts back what the game did not
// paint anew there and paints the controls again, so only the controls'
// own rectangles are copied, and nothing while none is shown.
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
  // The shown picture while no overlay covers it: the game paints its dirty
  // rectangles into it (over the text controls) and presents them.
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
  // Pixels copied to keep the game's picture under the text controls (kept
  // aside and put back), all told.
  uint64_t ControlCopyPixels() const { return control_copy_pixels_; }
  bool CursorVisible() const { return cursor_visible_; }
  int32_t MouseX() const { return mouse_x_; }
  int32_t MouseY() const { return mouse_y_; }

 private:
  // The frame's dirty rectangles into the game's picture; the rectangles,
  // cut to the window and the frame, that now hold the frame's pixels.
  std::vector<TScreenRect> ShowFrame(const TFrameView& frame, const std::vector<TScreenRect>& dirty);
  // The rectangles of the visible controls, cut to the window.
  std::vector<TScreenRect> ControlRects() const;
  // Puts the game's pixels back under the painted controls, except inside
  // Fresh (rectangles the game painted anew), and forgets them.
  void LiftControls(const std::vector<TScreenRect>& fresh = {});
  // Keeps the pixels under the visible controls aside and paints them.
  void PaintControls();
  bool created_ = false;
  int32_t width_ = 0, height_ = 0;
  std::string title_;
  std::vector<uint32_t> picture_;
  // The game's picture under the overlays, kept while there are overlays
  // (without them the game's picture is the shown one).
  std::vector<uint32_t> game_;
  bool overlaid_ = false;
  // The text controls painted into picture_: their rectangles, and the
  // pixels each covered (one block per rectangle, rows in turn).
  TTextControlGroup* controls_ = nullptr;
  std::vector<TScreenRect> painted_;
  std::vector<uint32_t> under_;
  // The controls are painted anew at the next repaint (a new window or
  // group), whether or not the group reports a change.
  bool restart_ = true;
  uint64_t control_copy_pixels_ = 0;
  bool full_screen_ = false;
  bool cursor_visible_ = true;
  int32_t mouse_x_ = 0, mouse_y_ = 0;
  int32_t present_count_ = 0;
};

}  // namespace orba

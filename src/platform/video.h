// The game window: a client area of the game's width and height, drawn from
// a 32-bit frame buffer. The window may be resized; the picture is scaled to
// fit with its aspect kept and bars around it, and positions are always given
// in game coordinates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orba {

// A rectangle of the frame buffer; Right and Bottom are exclusive.
struct TScreenRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TScreenRect&) const = default;
};

// A frame buffer owned by the caller: rows top to bottom, Stride pixels
// apart (Stride >= Width). A pixel is 0x00RRGGBB (bytes B, G, R, unused).
struct TFrameView {
  const uint32_t* Pixels = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Stride = 0;
};

// A video picture shown over the game picture: the Source rectangle of
// Frame scaled into Dest. Dest is in window pixels from the top left of the
// game picture (game coordinates times the display scale).
struct TVideoOverlay {
  TFrameView Frame;
  TScreenRect Source;
  TScreenRect Dest;
  // Changes with every new picture of the same video, so a presenter that
  // keeps a copy need not take the frame again.
  uint64_t Picture = 0;
};

// A frame buffer the caller may write into: as TFrameView.
struct TFrameBuffer {
  uint32_t* Pixels = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Stride = 0;
};

class TVideo {
 public:
  virtual ~TVideo() = default;

  // Opens the window with a client area of Width x Height pixels. The title
  // is Shift-JIS.
  virtual void CreateWindow(int32_t width, int32_t height, const std::string& title) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void SetFullScreen(bool on) = 0;
  virtual bool FullScreen() const = 0;
  // Shows the frame; only the dirty rectangles (clipped to the frame and
  // the window) need to be copied, the rest of the picture stays as it was.
  virtual void Present(const TFrameView& frame, const std::vector<TScreenRect>& dirty) = 0;
  // The window's own picture when the caller may paint the next frame
  // straight into it (a Present of this buffer then copies nothing);
  // empty when there is none. Valid until the next call on the video.
  virtual TFrameBuffer PresentBuffer() { return {}; }
  // Moves the system mouse pointer to a position of the game screen.
  virtual void SetMousePosition(int32_t x, int32_t y) = 0;
  virtual void ShowCursor(bool visible) = 0;
  // The video pictures drawn over the game picture from now on, in order,
  // until the next call; the frames are read during the call only.
  virtual void SetOverlays(const std::vector<TVideoOverlay>& overlays) {}
  // Window pixels per game pixel, in percent.
  virtual int32_t DisplayScale() const { return 100; }
};

}  // namespace orba

// GIF frames turned into pixels with transparency masks, drawn onto our
// 24-bit surfaces (scaled or tiled), and animated by a painter that applies
// each frame's delay and disposal method. TGIFPainter here is the frame
// engine, driven by a clock it is given; gif_painter.h runs it in a thread
// of its own or in the caller's.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/containers/rect_utils.h"
#include "graphics/dib.h"
#include "graphics/gif/gif_image.h"
#include "graphics/picture_rgba.h"
#include "platform/clock.h"

namespace orba {

// a * b / c rounded half away from zero; -1 when c is 0 or the result
// does not fit in 32 bits.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// PaintFlags bits.
namespace gif_paint {
inline constexpr uint16_t kThread = 0x0001;
// The engine ticked by its own clock plays as a threaded painter does
// (loops for ever allowed, no upper bound on a delay).
inline constexpr uint16_t kOwnClock = kThread;
inline constexpr uint16_t kTransparent = 0x0002;
inline constexpr uint16_t kAnimate = 0x0004;
inline constexpr uint16_t kLoop = 0x0008;
inline constexpr uint16_t kLoopForever = 0x0010;
inline constexpr uint16_t kValidateCanvas = 0x0020;
inline constexpr uint16_t kDirectPaint = 0x0040;
inline constexpr uint16_t kClearOnLoop = 0x0080;
inline constexpr uint16_t kTile = 0x0100;
inline constexpr uint16_t kDither = 0x0200;
inline constexpr uint16_t kDitherPalettedOnly = 0x0400;
}  // namespace gif_paint

// Timing, in delay units of 12 ms.
inline constexpr int kGifDefaultDelay = 10;
inline constexpr int kGifMinimumDelay = 3;
inline constexpr int kGifMaximumDelay = 1000;
inline constexpr int kGifDelayUnitMs = 12;

// A frame's pixels as red, green, blue and its mask (1 transparent; empty
// when no pixel is transparent).
struct TGIFRenderedFrame {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Rgb;
  std::vector<uint8_t> Mask;
};

// Direct: each index through the active table. Cube: through the 6x6x6
// cube with Floyd-Steinberg dithering; transparent pixels are skipped by
// the dithering and keep the fill the rows start with (gif_render.cpp).
TGIFRenderedFrame RenderFrame(const TGIFSubImage& frame, bool cube);
// Whether the picture's flags ask for the cube rendering (this display is
// never paletted).
bool CubeRendering(const TGIFImage& image);

// Draws a frame: scaled from the logical screen into `rect` of a 24-bit
// surface, or tiled unscaled; transparent through its mask.
void DrawGifFrame(const TGIFSubImage& frame, const TGIFRenderedFrame& pixels, TDIB& target, const TRect& rect,
                  bool tiled, bool transparent);

// Draws the picture into `rect` as it stands: its first frame, tiled with
// PaintFlags bit 8 and through its mask with bit 1. Animating is the work
// of a TGIFPainter.
void DrawGifImage(TGIFImage& image, TDIB& target, const TRect& rect);

// The first frame composed on a screen-sized 24-bit surface (black where
// nothing is drawn). Fails with "Invalid image dimensions" for a screen
// above the pixel cap.
void ComposeFirstFrame(TGIFImage& image, TDIB& out);

// The logical screen (24 bits, black at first) after frame `frame` was
// painted by an animating painter, disposals of the frames before applied.
void ComposeFrame(TGIFImage& image, int32_t frame, TDIB& out);
// The same screen as RGBA, for a picture file: pixels that no frame covers
// and those at a transparent index are (0, 0, 0, 0), every other pixel is
// opaque. Empty for an empty picture.
TRgbaPicture ComposeFrameRgba(TGIFImage& image, int32_t frame);

class TGIFPainter {
 public:
  // Paints `image` onto `canvas` (24 bits) within `rect`, timed by `clock`.
  TGIFPainter(TGIFImage& image, TDIB& canvas, const TRect& rect, uint16_t flags, TClock& clock);
  ~TGIFPainter();

  // Starts the animation; a first frame due at once is painted.
  void Start();
  // Paints every frame whose time has come.
  void Tick();
  // Without kOwnClock: runs the whole animation, `sleep` advancing time.
  void RunToEnd(const std::function<void(uint32_t ms)>& sleep);
  // Paints the next frame now, whatever its delay.
  void PaintNext();
  void Stop();

  bool Running() const { return running_; }
  // The first frame has been painted.
  bool Started() const { return started_; }
  int32_t CurrentFrame() const { return frame_; }
  // Milliseconds until the next frame (-1: waits until stopped).
  int64_t MsToNextFrame();
  // Milliseconds the frame just painted is planned to stay.
  int32_t PlannedWait() const { return wait_; }

  std::function<void()> OnAnimationStart, OnBeforeFrame, OnAfterFrame, OnNewPass, OnAnimationEnd;
  // With PaintFlags bit 5: asked before each frame painted through the
  // buffers; true stops the painter (its target is gone).
  std::function<bool()> TargetGone;

  // Stops painting and firing events; callable from any thread.
  void Halt() { halted_ = true; }
  bool Halted() const { return halted_; }

 private:
  void Fire(const std::function<void()>& event) {
    if (event && !halted_) event();
  }
  void Schedule(uint32_t now);
  void PaintCurrent(uint32_t now);
  void PaintFrame(TGIFSubImage& frame, int32_t disposal);
  void RestoreToBackground(TDIB& buffer, const TGIFSubImage& frame);
  bool Threaded() const { return (flags_ & gif_paint::kOwnClock) != 0; }

  TGIFImage& image_;
  TDIB& canvas_;
  TRect rect_;
  uint16_t flags_;
  TClock& clock_;
  int32_t speed_;
  uint32_t background_ = 0xFFFFFF;
  std::unique_ptr<TDIB> composition_, previous_, backdrop_;
  bool running_ = false, started_ = false, loop_seen_ = false, forever_wait_ = false;
  int32_t frame_ = -1;
  int32_t loops_left_ = 1;
  int32_t delay_ = 0;
  int32_t previous_disposal_ = 1;
  uint32_t last_ = 0, due_ = 0;
  int32_t lag_ = 0, wait_ = 0;
  std::atomic<bool> halted_{false};
};

}  // namespace orba

// The pixels of the player's own small windows (the icon chooser, the
// message boxes): a picture of the whole window in 0x00RRGGBB, rows top
// first, painted the same for every back end, with the rectangles and
// colours those windows share.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/text_controls_view.h"

namespace orba {

// A rectangle of a window, in client pixels.
struct TWindowBox {
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  bool Holds(int32_t x, int32_t y) const { return x >= Left && y >= Top && x < Left + Width && y < Top + Height; }
  // The box less N pixels on every side.
  TWindowBox Inset(int32_t n) const { return TWindowBox{Left + n, Top + n, Width - 2 * n, Height - 2 * n}; }
};

// The colours of the windows, 0x00RRGGBB.
constexpr uint32_t kWindowFace = 0xF0F0F0, kWindowWhite = 0xFFFFFF, kWindowInk = 0x000000, kWindowFrame = 0x7A7A7A,
                   kWindowHighlight = 0x0078D7, kWindowButton = 0xE1E1E1, kWindowButtonFrame = 0xADADAD,
                   kWindowButtonPressed = 0xCCE4F7;

class TWindowCanvas {
 public:
  // Width x Height pixels of the colour Face.
  TWindowCanvas(int32_t width, int32_t height, uint32_t face);
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Fills the part of the box inside the window.
  void Fill(const TWindowBox& box, uint32_t rgb);
  // A frame of Thickness pixels inside the box, filled with Inner.
  void Framed(const TWindowBox& box, uint32_t frame, uint32_t inner, int32_t thickness = 1);
  uint32_t& At(int32_t x, int32_t y) { return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)]; }
  // The whole window as a canvas for text (platform/text_controls_view.h).
  TControlCanvas Whole();
  std::vector<uint32_t> Take() { return std::move(pixels_); }

 private:
  int32_t width_, height_;
  std::vector<uint32_t> pixels_;
};

}  // namespace orba

#include "platform/window_canvas.h"

#include <algorithm>

namespace orba {

TWindowCanvas::TWindowCanvas(int32_t width, int32_t height, uint32_t face)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), face) {}

void TWindowCanvas::Fill(const TWindowBox& box, uint32_t rgb) {
  const int32_t left = std::max(box.Left, 0), right = std::min(box.Left + box.Width, width_);
  const int32_t top = std::max(box.Top, 0), bottom = std::min(box.Top + box.Height, height_);
  for (int32_t y = top; y < bottom; ++y)
    for (int32_t x = left; x < right; ++x) At(x, y) = rgb;
}

void TWindowCanvas::Framed(const TWindowBox& box, uint32_t frame, uint32_t inner, int32_t thickness) {
  Fill(box, frame);
  Fill(box.Inset(thickness), inner);
}

TControlCanvas TWindowCanvas::Whole() { return TControlCanvas{pixels_.data(), width_, 0, 0, width_, height_}; }

}  // namespace orba

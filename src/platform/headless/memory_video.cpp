#include "platform/headless/memory_video.h"

#include <algorithm>
#include <stdexcept>

namespace orba {

void TMemoryVideo::CreateWindow(int32_t width, int32_t height, const std::string& title) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("window size must be positive");
  created_ = true;
  width_ = width;
  height_ = height;
  title_ = title;
  picture_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
}

TFrameView TMemoryVideo::Frame() const {
  if (!created_) return {};
  return {picture_.data(), width_, height_, width_};
}

void TMemoryVideo::Present(const TFrameView& frame, const std::vector<TScreenRect>& dirty) {
  ++present_count_;
  if (!frame.Pixels || frame.Stride < frame.Width) return;
  const int32_t w = std::min(width_, frame.Width);
  const int32_t h = std::min(height_, frame.Height);
  for (const TScreenRect& r : dirty) {
    const int32_t left = std::max(r.Left, 0), right = std::min(r.Right, w);
    const int32_t top = std::max(r.Top, 0), bottom = std::min(r.Bottom, h);
    if (left >= right) continue;
    for (int32_t y = top; y < bottom; ++y) {
      const uint32_t* src = frame.Pixels + static_cast<ptrdiff_t>(y) * frame.Stride;
      std::copy(src + left, src + right,
                picture_.begin() + static_cast<ptrdiff_t>(y) * width_ + left);
    }
  }
}

void TMemoryVideo::SetMousePosition(int32_t x, int32_t y) {
  mouse_x_ = x;
  mouse_y_ = y;
}

uint32_t TMemoryVideo::Pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return picture_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

}  // namespace orba

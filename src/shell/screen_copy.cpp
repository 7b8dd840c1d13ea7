#include "shell/screen_copy.h"

#include <algorithm>
#include <cstddef>

#include "graphics/draw_kernels.h"

namespace orba {

static bool Copyable(TCustomDIBX* dib, const std::vector<TRect>& rects, int32_t width, int32_t height) {
  return dib != nullptr && !dib->IsEmpty() && !rects.empty() && width > 0 && height > 0 && width <= dib->Width() &&
         height <= dib->Height();
}

std::vector<TScreenRect> CopyScreenRects(TCustomDIBX* dib, const std::vector<TRect>& rects, int32_t width,
                                         int32_t height, uint32_t* frame, int32_t stride) {
  std::vector<TScreenRect> dirty;
  if (!Copyable(dib, rects, width, height) || stride < width) return dirty;
  // A 32-bit screen with red high holds the window's pixels already: rows
  // are copied from memory; any other form goes pixel by pixel.
  const bool same_form =
      dib->BitCount() == 32 && dib->RedShift() == 16 && dib->GreenShift() == 8 && dib->BlueShift() == 0;
  const uint8_t* origin = same_form ? dib->Lock(0, 0) : nullptr;
  const std::ptrdiff_t pitch = dib->Pitch();
  const TRowKernels& kernels = RowKernels();
  for (const TRect& r : rects) {
    const int32_t left = std::max(r.Left, 0), top = std::max(r.Top, 0);
    const int32_t right = std::min(r.Right, width), bottom = std::min(r.Bottom, height);
    if (left >= right || top >= bottom) continue;
    for (int32_t step = 0; step < bottom - top; ++step) {
      const int32_t y = RowInMemoryOrder(pitch, top, bottom, step);
      uint32_t* out = frame + static_cast<size_t>(y) * static_cast<size_t>(stride);
      if (origin != nullptr) {
        const uint8_t* row = origin + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(left) * 4;
        kernels.ClearHigh(reinterpret_cast<uint8_t*>(out + left), row, right - left);
      } else {
        for (int32_t x = left; x < right; ++x) out[x] = dib->GetPixel(x, y) & 0xFFFFFFu;
      }
    }
    dirty.push_back(TScreenRect{left, top, right, bottom});
  }
  if (origin != nullptr) dib->Unlock();
  return dirty;
}

bool PresentScreen(TVideo& video, TCustomDIBX* dib, const std::vector<TRect>& rects, int32_t width, int32_t height,
                   std::vector<uint32_t>& frame) {
  if (!Copyable(dib, rects, width, height)) return false;
  TFrameBuffer target = video.PresentBuffer();
  if (target.Pixels == nullptr || target.Width != width || target.Height != height || target.Stride < width) {
    const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (frame.size() != size) frame.assign(size, 0);
    target = TFrameBuffer{frame.data(), width, height, width};
  }
  const std::vector<TScreenRect> dirty = CopyScreenRects(dib, rects, width, height, target.Pixels, target.Stride);
  if (dirty.empty()) return false;
  video.Present(TFrameView{target.Pixels, width, height, target.Stride}, dirty);
  return true;
}
}  // namespace orba

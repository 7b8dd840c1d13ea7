// Icons made into GIF frames: the icon is drawn over black into 24-bit
// pixels, which are read as any true-colour bitmap is, and the icon's own
// mask becomes the frame's transparent colour.
#include <vector>

#include "graphics/dib_surface.h"
#include "graphics/gif/gif_image.h"

namespace orba {

void TGIFSubImage::AssignIcon(TDIBSurface& icon) {
  Clear();
  if (icon.Empty() || icon.Width() <= 0 || icon.Height() <= 0) return;
  const int32_t width = icon.Width(), height = icon.Height();
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> rgb(pixels * 3), mask(pixels, 0);
  TDIBSurface* alpha = icon.Alpha();
  if (alpha != nullptr && (alpha->Width() != width || alpha->Height() != height || alpha->BitCount() != 8))
    alpha = nullptr;
  bool masked = false;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = &rgb[static_cast<size_t>(y) * width * 3];
    icon.ReadRowRGB(y, row);
    if (alpha == nullptr) continue;
    const uint8_t* a = alpha->PeekRow(y);
    for (int32_t x = 0; x < width; ++x) {
      // Drawn over black: a colour weighed by its alpha.
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = static_cast<uint8_t>((row[x * 3 + c] * a[x] + 127) / 255);
      if (a[x] == 0) {
        mask[static_cast<size_t>(y) * width + x] = 1;
        masked = true;
      }
    }
  }
  AssignRgb(rgb.data(), width, height, masked ? mask.data() : nullptr);
}

}  // namespace orba

// A canvas over a device context, and the GDI-style copies onto device
// contexts: a bitmap drawn at a point, and block copies between two
// contexts, stretched or not. Each converts the pixels into the target's
// format (nearest palette entry on palette targets) and is cut to both
// pictures. A drawing surface hands out its device context with GetDC.
#pragma once

#include <cstdint>

#include "core/containers/rect_utils.h"
#include "graphics/dib_surface.h"
#include "graphics/pixel_view.h"
#include "platform/direct_draw.h"

namespace orba {

// The pixels a device context reaches; empty for a null one.
TPixelView DCView(HDC dc);

// Copies Width x Height from (SrcX, SrcY) of Source to (X, Y) of Dest.
void BitBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t src_x,
            int32_t src_y);
// Copies the source rectangle stretched onto the destination rectangle,
// nearest pixel; false when either context is null.
bool StretchBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t src_x,
                int32_t src_y, int32_t src_width, int32_t src_height);

class TCanvas {
 public:
  explicit TCanvas(HDC handle = nullptr) : Handle(handle) {}
  // Draws the whole bitmap with its top-left corner at (X, Y).
  void Draw(int32_t x, int32_t y, TDIBSurface& bitmap);

  HDC Handle;
};

}  // namespace orba

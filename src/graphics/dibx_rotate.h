// Rotated and zoomed drawing: the bounding rectangle of such a draw.
// Angles are 256ths of a turn, zooms 256ths (256 = 1:1).
#pragma once

#include <cstdint>

#include "core/containers/rect_utils.h"

namespace orba {

// The destination rectangle covered when SrcRect of a surface Width x Height
// is drawn rotated and zoomed with its pivot (CenterX, CenterY) at (X, Y);
// with FlipH (FlipV) the pivot is mirrored within the surface first.
void RotatedBounds(int32_t x, int32_t y, int32_t center_x, int32_t center_y, int32_t angle,
                   const TRect& src_rect, int32_t zoom_x, int32_t zoom_y, int32_t width, int32_t height,
                   bool flip_h, bool flip_v, TRect& result);

// The area DrawRotate and DrawRotateMask visit: the rotated box of SrcRect
// with the pivot taken relative to SrcRect's top-left corner.
TRect RotatedDrawArea(int32_t x, int32_t y, int32_t zoom_x, int32_t zoom_y, const TRect& src_rect,
                      int32_t center_x, int32_t center_y, int32_t angle);

}  // namespace orba

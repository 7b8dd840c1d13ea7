// Changing the depth of an alpha bitmap: drawing a bitmap of another depth or
// palette, and converting the bit count in place with an exact palette where
// the colours fit and colour reduction otherwise.
#pragma once

#include <cstdint>

#include "graphics/dib_surface.h"

namespace orba {

// Draws `source` of any depth and palette at (x, y) of `dest`. Key (a pixel
// value of the source, -1 none) is honoured only between palette depths.
void DrawConvert(TDIBSurface& dest, int32_t x, int32_t y, int64_t key, TDIBSurface& source);

// Changes the depth in place to 1, 4, 8, 15, 16, 24 or 32 bits. A palette
// that grows keeps its indices; a picture of at most MaxColors colours gets
// an exact palette; anything else goes through the colour reducer (low byte
// of MaxColors as colour count, 0 meaning 256). 32-bit results have fourth
// bytes 0xFF. The alpha plane is kept.
void ConvertBitCount(TDIBSurface& surface, int32_t new_bit_count, int32_t max_colors, bool dither);

// Sizes any bitmap by the surface's rule (15 = 5-5-5, 16 = 5-6-5, other
// depths 8-8-8), the alpha plane of a surface included.
void SetSizeOf(TDIB& dib, int32_t width, int32_t height, int32_t bit_count);

}  // namespace orba

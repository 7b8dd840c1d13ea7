// Resizing an alpha bitmap: smoothly (area average when shrinking, bilinear
// when enlarging, a key colour kept out of the average) or by picking the
// nearest pixel.
#pragma once

#include <cstdint>

#include "graphics/dib_surface.h"

namespace orba {

// Resizes to Width x Height. The alpha plane is resized alike (without key).
// Smooth results are made at 24 bits; with RestoreBitCount a palette or 15-
// or 16-bit surface goes back to its depth (a 32-bit one stays 24-bit).
// Key is a pixel value of the surface, -1 none.
void Resize(TDIBSurface& surface, int32_t width, int32_t height, bool restore_bit_count, int64_t key, bool smooth);
inline void ResizeKeepBitCount(TDIBSurface& surface, int32_t width, int32_t height, int64_t key, bool smooth) {
  Resize(surface, width, height, true, key, smooth);
}

// The filters over 24-bit bitmaps (8-8-8): `result` is sized to Width x
// Height. Key is 0x00RRGGBB, -1 none; a result pixel whose whole area is the
// key colour becomes the key colour.
void AreaAverage24(TDIBSurface& result, TDIBSurface& source24, int32_t width, int32_t height, int64_t key);
void Bilinear24(TDIBSurface& result, TDIBSurface& source24, int32_t width, int32_t height, int64_t key);

}  // namespace orba

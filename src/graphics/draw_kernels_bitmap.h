// The bitmap draws of the alpha bitmap: plain and keyed copies, a constant
// opacity blend (an ordered dither at 8 bits and below), a blend through the
// source's alpha plane and a rectangle fill, over raw pixel views.
//
// Source and destination have the same depth. The source rectangle is first
// cut to the source (moving the destination point by what was cut on the
// left and top), then the destination rectangle to the destination; nothing
// is drawn when nothing is left. Keys are raw pixel values; a negative key is
// no key at every depth.
#pragma once

#include <cstdint>

#include "core/containers/rect_utils.h"
#include "graphics/pixel_view.h"

namespace orba {

// The 16 levels of the 4 x 4 ordered dither: cell (row, column) of level L is
// set when the Bayer matrix entry there is at most L.
bool DitherCell(int32_t level, int32_t row, int32_t column);

void BitmapCopyArea(const TPixelView& dst, int32_t x, int32_t y, const TRect& src_rect,
                    const TPixelView& src);
void BitmapDrawKeyed(const TPixelView& dst, int32_t x, int32_t y, int64_t key,
                     const TRect& src_rect, const TPixelView& src);
// Opacity 0..255 (255 = opaque); at 8 bits and below opacity div 16 is the
// dither level, and levels of 15 and more draw the keyed copy.
void BitmapDrawAlpha(const TPixelView& dst, int32_t x, int32_t y, int32_t opacity, int64_t key,
                     const TRect& src_rect, const TPixelView& src);
// Blend through `alpha`, the source's 8-bit alpha plane of the source's size;
// without one (alpha.Bits null) the unkeyed opacity blend.
void BitmapDrawAlphaMask(const TPixelView& dst, int32_t x, int32_t y, int32_t opacity,
                         const TRect& src_rect, const TPixelView& src, const TPixelView& alpha);
// Fills the part of `rect` inside the bitmap with a raw pixel value.
void BitmapFillRect(const TPixelView& dst, const TRect& rect, uint32_t pixel);

}  // namespace orba

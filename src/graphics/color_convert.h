// Conversion between colours and raw pixels of every depth, and copies of
// pixels between pictures of different depths.
//
// This is the one place where a pixel of one depth becomes a pixel of
// another (the copies between pictures, stretched copies, reading a pixel
// back as a colour), so every path applies the same rule:
//  - widening a 5-bit channel v gives (v shl 3) or (v shr 2), a 6-bit
//    channel (v shl 2) or (v shr 4): 0 stays 0 and the largest value is 255;
//  - narrowing an 8-bit channel drops its low bits.
// Narrowing undoes widening exactly, so a 15- or 16-bit picture that travels
// through 24 or 32 bits and back keeps every value, its colour key included,
// and widening never maps two values onto one.
//
// Colours are 0x00BBGGRR (red in the low byte), -1 meaning none. Palettes are
// 4-byte entries blue, green, red, reserved.
#pragma once

#include <cstdint>

#include "core/containers/rect_utils.h"
#include "graphics/pixel_view.h"

namespace orba {

// The pixel format of one side of a conversion: the depth, and for depths of
// 8 bits and below the colour table (2^depth entries are read).
struct TPixelFormat {
  int32_t BitCount = 32;
  const uint8_t* Palette = nullptr;
};

// Colour to raw pixel as the memory drawing surface does it: any negative
// colour gives -1; at 15, 16 and 32 bits each channel loses its low bits and
// goes to its field; at other depths the value is returned unchanged.
int32_t ColorToPixel(int32_t color, int32_t bit_count);

// Widening of a channel of `bits` bits (5 or 6; 8 passes) to 8 bits.
uint32_t WidenChannel(uint32_t value, int32_t bits);

// Raw pixel to 0x00RRGGBB (the 8-8-8 pixel layout); palette depths look the
// index up (an index past the table, or no table, gives grey levels).
uint32_t PixelToRGB888(uint32_t pixel, const TPixelFormat& format);
// Raw pixel to a colour 0x00BBGGRR.
uint32_t PixelToColor(uint32_t pixel, const TPixelFormat& format);
// 0x00RRGGBB to a raw pixel: direct depths drop low bits; palette depths
// take the nearest entry (smallest sum of channel distances, the first of
// equal ones).
uint32_t RGB888ToPixel(uint32_t rgb, const TPixelFormat& format);
int32_t NearestPaletteIndex(uint32_t rgb, const uint8_t* palette, int32_t count);

// One pixel of `from` as a pixel of `to` (the same value when both formats
// are the same direct depth). Colour keys are converted with this, the
// copies below convert every pixel with it.
uint32_t ConvertPixel(uint32_t pixel, const TPixelFormat& from, const TPixelFormat& to);

// Copies `src_rect` of `src` to (x, y) of `dst`, converting each pixel. The
// source rectangle is cut to the source and the destination rectangle to the
// destination, as a block copy of the display system does.
void ConvertCopy(const TPixelView& dst, const uint8_t* dst_palette, int32_t x, int32_t y,
                 const TPixelView& src, const uint8_t* src_palette, const TRect& src_rect);

// Copies `src_rect` of `src` stretched onto `dst_rect` of `dst`, taking for
// each destination pixel the source pixel its centre falls on; a rectangle
// given right-to-left or bottom-to-top mirrors. Parts outside either picture
// are skipped.
void ConvertStretch(const TPixelView& dst, const uint8_t* dst_palette, const TRect& dst_rect,
                    const TPixelView& src, const uint8_t* src_palette, const TRect& src_rect);

}  // namespace orba

// The copy of a screen bitmap's dirty rectangles into the window's frame
// buffer: what the tick client hands to the video back end each tick.
#pragma once

#include <cstdint>
#include <vector>

#include "core/containers/rect_utils.h"
#include "graphics/custom_dibx.h"
#include "platform/video.h"

namespace orba {

// Copies the rectangles of Dib, cut to Width x Height, into Out (Width x
// Height pixels, Stride apart) as window pixels 0x00RRGGBB, and answers the
// rectangles copied. Nothing is copied when the bitmap is empty or smaller
// than Width x Height.
std::vector<TScreenRect> CopyScreenRects(TCustomDIBX* dib, const std::vector<TRect>& rects, int32_t width,
                                         int32_t height, uint32_t* out, int32_t stride);

// Shows the rectangles of Dib, cut to Width x Height, in the window: painted
// straight into the video's own picture when it offers one of that size,
// otherwise copied into Frame (sized to Width x Height) and presented from
// there. False when nothing was shown.
bool PresentScreen(TVideo& video, TCustomDIBX* dib, const std::vector<TRect>& rects, int32_t width, int32_t height,
                   std::vector<uint32_t>& frame);

}  // namespace orba

// The desktop around the player's window: the work area the window is
// placed in, and the wallpaper a script may set.
#pragma once

#include <cstdint>
#include <string>

#include "core/containers/rect_utils.h"

namespace orba {

// The screen less the task bar, as the host reports it.
void GetWorkArea(TRect& rect);
// Makes the bitmap file (Shift-JIS name) the desktop wallpaper: Style 0
// centred, 1 tiled, any other stretched. The answer is whether the desktop
// took it.
bool SetWallPaper(const std::string& file_name, int32_t style);

}  // namespace orba

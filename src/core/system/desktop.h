// The desktop around the player's window: the work area the window is
// placed in, the wallpaper a script may set, and the addresses a script may
// have the desktop open.
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

// Whether a script's text is a web address the desktop may open: "http://",
// "https://" or "ftp://" (lower case) and a host that starts with a letter,
// digit or "["; printable ASCII only, no blank. Anything else (a mail
// address with its queries too) could name a program, a file, an
// attachment or an option of the desktop's opener.
bool IsDesktopUrl(const std::string& url);

}  // namespace orba

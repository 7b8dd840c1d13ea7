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

// Whether a text is a web address in the form the desktop is handed:
// "http://", "https://" or "ftp://" (lower case) and a host that starts
// with a letter, digit, "[" or the escape of a byte beyond ASCII; printable
// ASCII only, no blank. Anything
// else (a mail address with its queries too) could name a program, a file,
// an attachment or an option of the desktop's opener.
bool IsDesktopUrl(const std::string& url);

// The address the desktop is handed for a script's web address (Shift-JIS),
// or "" when it is none. The scheme and the host's ASCII pass as
// IsDesktopUrl wants them, byte for byte; the host's characters beyond
// ASCII go converted to UTF-8 and percent-encoded (a Japanese domain name,
// which the browser turns into its ASCII form); the path, query and
// fragment are converted to
// UTF-8 and every byte outside the unreserved and reserved ASCII characters
// of RFC 3986 is percent-encoded (a blank becomes "%20"), so that a
// Japanese game's address with Japanese words in its path opens. An
// escape "%XX" already there stays as it is; a "%" of no escape becomes
// "%25". The answer always passes IsDesktopUrl.
std::string DesktopUrl(const std::string& sjis_url);

}  // namespace orba

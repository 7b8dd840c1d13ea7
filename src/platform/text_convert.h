// Conversion between the player's Shift-JIS (code page 932) texts and UTF-8,
// used only at the edges: file names on disk, the window title, dialogs,
// terminal output and glyph lookup.
#pragma once

#include <string>

namespace orba {

// Bytes that code page 932 cannot map become U+FFFD; never throws.
std::string SjisToUtf8(const std::string& sjis);
// Characters code page 932 cannot hold become '?'; invalid UTF-8 bytes too.
std::string Utf8ToSjis(const std::string& utf8);

}  // namespace orba

// Conversion between the player's Shift-JIS (code page 932) texts and UTF-8,
// used only at the edges: file names on disk, the window title, dialogs,
// terminal output and glyph lookup.
//
// Code page 932 is Microsoft's Shift-JIS: 0x5C is the backslash and 0x7E the
// tilde, and the NEC and IBM extensions (rows 13, 89-92 and FA-FC) and the
// user-defined area F0-F9 convert. Neither direction ever throws.
#pragma once

#include <string>

namespace orba {

// Bytes that code page 932 cannot map become U+FFFD: an unmapped pair as one
// character, a lead byte without a valid trail byte on its own (so a newline
// after it survives).
std::string SjisToUtf8(const std::string& sjis);
// Characters code page 932 cannot hold become '?', and so does each invalid
// or truncated UTF-8 sequence.
std::string Utf8ToSjis(const std::string& utf8);

}  // namespace orba

// Small text and colour routines shared by the script engine and the items.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/streams/stream_encoding.h"

namespace orba {

// Backslash escapes of script texts: "\n" becomes CR LF, "\\" a backslash and
// "\"" a double quote; any other backslash stays. Double-byte characters are
// copied whole, so a trail byte 0x5C never starts an escape.
std::string UnescapeText(const std::string& s);

// Splits "page.osb:label" at its last colon: S keeps the part before the
// colon and the part after it is returned. A "." or "\" after the last colon
// (as in "c:\dir\file"), or a colon only at the first byte, means no suffix:
// S is unchanged and the result is empty.
std::string SplitLabelSuffix(std::string& s);

// S without its leading and trailing bytes 0x00 to Highest (blanks and
// control characters; only control characters with Highest 0x1F).
std::string TrimControls(const std::string& s, uint8_t highest = 0x20);

// Lines joined with CR LF, without a final line break.
std::string JoinLines(const std::vector<std::string>& lines);

// Multiplies each of the red, green and blue bytes of a 0x00BBGGRR colour by
// Factor / 256 (256 leaves it unchanged); each product keeps its low 8 bits
// after the shift, so a factor above 256 wraps a bright channel.
int32_t ScaleColor(int32_t color, int32_t factor);

inline TPoint MakePoint(int32_t x, int32_t y) { return TPoint{x, y}; }

}  // namespace orba

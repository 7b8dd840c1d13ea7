// The one case fold of the player: every case-insensitive comparison of
// names (variables, package paths, tables) and the name hash use it.
//
// ASCII letters fold, full-width Latin letters (82 60-82 79 upper case,
// 82 81-82 9A lower case) fold, and the trail byte of a double-byte character
// never folds, so that e.g. "ア" (83 41) and "ヂ" (83 61) stay different.
#pragma once

#include <cstdint>
#include <string>

namespace orba {

// Lead bytes of code page 932: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsSjisLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// Trail bytes of code page 932: 0x40-0xFC but 0x7F. Never a control
// character, "/" or NUL.
constexpr bool IsSjisTrailByte(uint8_t c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

std::string SjisLowerCase(const std::string& s);
std::string SjisUpperCase(const std::string& s);
// Case-insensitive equality under the fold above.
bool SjisSameText(const std::string& a, const std::string& b);
// Case-insensitive order: <0, 0, >0 comparing the lower-cased bytes.
int SjisCompareText(const std::string& a, const std::string& b);

}  // namespace orba

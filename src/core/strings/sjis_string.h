// Character-aware routines over Shift-JIS (code page 932) byte strings.
//
// A character is one byte, or a lead byte (IsSjisLeadByte) followed by its
// trail byte; a lead byte as the last byte of a string is one character on
// its own. Character and byte indexes count from 1, as the script functions
// built on these routines do. Out-of-range indexes are clamped; only
// IsTrailByte raises.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/strings/sjis_case.h"

namespace orba {

// Byte index (1-based) of character CharIndex: 1 for CharIndex <= 1, at most
// Length(S) + 1 when the string has fewer characters.
int32_t JByteIndex(const std::string& s, int32_t char_index);
// Whether byte ByteIndex (1-based) is the trail byte of a double-byte
// character. Raises EOrbaError("Illegal Index") outside 1..Length(S).
bool IsTrailByte(const std::string& s, int32_t byte_index);
int32_t JLength(const std::string& s);
// Character position of the first occurrence of Sub starting at a character
// start of S; 0 when absent or when Sub is empty.
int32_t JPos(const std::string& sub, const std::string& s);
std::string JCopy(const std::string& s, int32_t index, int32_t count);
void JInsert(const std::string& sub, std::string& s, int32_t index);
void JDelete(std::string& s, int32_t index, int32_t count);
// Cuts the first token off S: the bytes before the first byte (not a trail
// byte) that is one of Delimiters. The token and that delimiter leave S; with
// no delimiter the whole of S is the token.
std::string JFetchToken(std::string& s, const std::string& delimiters);
// Remove ASCII spaces and full-width spaces (81 40) at the start or end.
void JTrimLeft(std::string& s);
void JTrimRight(std::string& s);
std::string JTrim(const std::string& s);
// The byte of a single-byte character, lead * 256 + trail of a double-byte
// one; 0 when the string has no such character.
int32_t JCharCode(const std::string& s, int32_t char_index);

// 0-based offset of the first character at or after From (a character
// start) that is the single byte C; npos when there is none. The trail byte of
// a double-byte character is never matched.
size_t SjisFindByte(const std::string& s, char c, size_t from = 0);
// Whether the last character of S is the single byte C.
bool SjisEndsWithByte(const std::string& s, char c);

// Half-width ASCII and katakana to their full-width forms; double-byte
// characters are kept, single bytes without a full-width form are dropped.
std::string HanToZen(const std::string& s);
// Full-width forms back to half-width; single bytes are kept, double-byte
// characters without a half-width form are dropped.
std::string ZenToHan(const std::string& s);

// One JIS X 0208 code (row and cell 0x21-0x7E) to its two Shift-JIS bytes.
std::string JisToSjis(int32_t row, int32_t cell);
// EUC-JP text (as downloaded over HTTP) to Shift-JIS.
std::string EucToSjis(const std::string& s);

// The characters of S as codes (see JCharCode); a lead byte at the end
// stands alone.
std::vector<uint16_t> SjisCharCodes(const std::string& s);

}  // namespace orba

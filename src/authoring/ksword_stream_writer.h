// Writes plain message text as a "KsWord" glyph stream, the precompiled form
// in which a TextIns command carries its message.
//
// The stream written, version 102, little-endian:
//   "KsWord102"
//   int32 style count (1 when there is any character, else 0), then the one
//   default style: reference count (the number of characters), colour -1,
//   border colour -1, font size 0, style bits 0, no-break 0, border width
//   -1, font name "", ruby "", shadow offset -1, shadow colour -1 (each
//   -1, 0 and "" meaning "the message window's own setting");
//   int32 glyph count, then per glyph a type byte and its record:
//     1 character: link text "", wait (int32), character code (2 bytes: a
//       single byte, or lead byte x 256 + trail byte), style index 0;
//     3 line break: clear flag 0.
// A line break is CR LF, a lone CR or a lone LF of the text. Tags are not
// interpreted: every other byte is a character.
#pragma once

#include <cstdint>
#include <string>

#include "core/streams/big_stream.h"
#include "core/vocab/vocab.h"

namespace orba {

inline constexpr char kKsWordMagic[] = "KsWord";
constexpr int32_t kKsWordStreamVersion = 102;

// Glyph type codes of the stream.
constexpr uint8_t kGlyphChar = 1;
constexpr uint8_t kGlyphReturn = 3;

// Appends the glyph stream of Text (Shift-JIS) to Stream. Wait is the time
// in milliseconds before each character appears.
void WriteKsWordText(TKsBigStream& stream, const std::string& text, int32_t wait = kDefaultTextDelay);

}  // namespace orba

// The "KsWord" glyph stream: a message precompiled into its style table and
// glyphs. Header "KsWord" + 3 digits (100, 101, 102; none: version 0),
// int32 style count and the style records, int32 glyph count and per glyph
// its type byte and record (each glyph class reads and writes its own).
#pragma once

#include "core/streams/big_stream.h"
#include "text/ks_word.h"

namespace orba {

inline constexpr char kKsWordMagic[] = "KsWord";
constexpr int32_t kKsWordStreamVersion = 102;
// From which stream version a record holds a field: a style's border as an
// int32 and its shadow; a variable glyph's wait and link; its expression as
// text (before it, the compiled expression).
constexpr int32_t kKsWordStyleShadowVersion = 100;
constexpr int32_t kKsWordVarLinkVersion = 101;
constexpr int32_t kKsWordVarTextVersion = 102;

// Appends the stream's styles and glyphs to the word (which is not cleared
// first); the word's style base becomes the style count before the load,
// and the stream's style indexes count from it. A stream that ends early,
// holds a type code outside the table or a style index outside its table
// raises EReadError, and the word keeps what it held before.
void LoadGlyphStream(TKsWord& word, TKsBigStream& stream);

// Writes the word's glyphs as a version-102 stream: the whole style list
// with the number of written glyphs using each style, then every glyph but
// those a variable inserted.
void SaveGlyphStream(const TKsWord& word, TKsBigStream& stream);

}  // namespace orba

// The Japanese line-break rules of the layout: which glyphs may not be
// separated, and the break units they form.
#pragma once

#include <cstdint>
#include <string>

namespace orba {

class TKsWord;
class TLongWork;
class TWdGlyph;

// The 14 characters that may not begin a line and the 8 that may not end
// one (Shift-JIS).
bool MayNotBeginLine(const std::string& text);
bool MayNotEndLine(const std::string& text);

// False when G must stay with Prev (nullptr: G begins the text).
bool MayBreakBefore(const TWdGlyph& g, const TWdGlyph* prev);

struct TBreakUnit {
  int32_t Width = 0, Count = 0;
};
// The unit starting at glyph I: it and the glyphs up to Last that may not
// be separated from it. A unit never ends in a character that may not end
// a line while a glyph other than a line break follows. Work, when given,
// counts each glyph measured; when it stops, the unit ends there.
TBreakUnit MeasureBreakUnit(const TKsWord& word, int32_t i, int32_t last, TLongWork* work = nullptr);

}  // namespace orba

#include "text/line_break.h"

#include <array>

#include "core/containers/rect_utils.h"
#include "text/ks_word.h"
#include "text/long_work.h"
#include "text/wd_glyph.h"

namespace orba {

namespace {

// "。、｣」』)）､｡!?！？】"
constexpr std::array<const char*, 14> kNoBegin = {"\x81\x42", "\x81\x41", "\xa3", "\x81\x76", "\x81\x78",
                                                  ")",        "\x81\x6a", "\xa4", "\xa1",     "!",
                                                  "?",        "\x81\x49", "\x81\x48", "\x81\x7a"};
// "｢「『（([<【"
constexpr std::array<const char*, 8> kNoEnd = {"\xa2", "\x81\x75", "\x81\x77", "\x81\x69", "(", "[", "<", "\x81\x79"};

template <size_t N>
bool OneOf(const std::string& text, const std::array<const char*, N>& set) {
  for (const char* s : set)
    if (text == s) return true;
  return false;
}

bool IsCharText(const TWdGlyph& g) { return g.GetGlyphType() == gtChar; }

}  // namespace

bool MayNotBeginLine(const std::string& text) { return OneOf(text, kNoBegin); }
bool MayNotEndLine(const std::string& text) { return OneOf(text, kNoEnd); }

bool MayBreakBefore(const TWdGlyph& g, const TWdGlyph* prev) {
  if (IsCharText(g) && MayNotBeginLine(g.GetText())) return false;
  if (prev == nullptr) return true;
  if (g.GetNoBreak() && prev->GetNoBreak()) return false;
  const std::string ruby = g.GetRuby();
  if (!ruby.empty() && ruby == prev->GetRuby()) return false;
  const uint16_t a = prev->GetCharCode(), b = g.GetCharCode();
  if (a >= 33 && a <= 255 && b >= 33 && b <= 255) return false;
  if (a != 32 && b == 32) return false;
  return true;
}

TBreakUnit MeasureBreakUnit(const TKsWord& word, int32_t i, int32_t last, TLongWork* work) {
  TWdGlyph* first = word.GetGlyph(i);
  TBreakUnit unit{first->GetWidth(), 1};
  // Adds the glyphs after the unit's end that may not be separated.
  auto extend = [&] {
    for (int32_t j = i + unit.Count; j <= last; ++j) {
      if (work != nullptr && work->MustStop()) return;
      TWdGlyph* g = word.GetGlyph(j);
      if (MayBreakBefore(*g, word.GetGlyph(j - 1))) break;
      unit.Width = SaturateInt32(int64_t{unit.Width} + g->GetWidth());
      ++unit.Count;
      if (g->GetGlyphType() == gtReturn) break;
    }
  };
  if (first->GetGlyphType() == gtReturn) return unit;
  extend();
  // A unit ending in a character that may not end a line takes the next
  // glyph (unless a line break) and what may not be separated from it.
  for (int32_t end = i + unit.Count - 1; end < last; end = i + unit.Count - 1) {
    if (work != nullptr && work->Stopped()) break;
    const TWdGlyph* tail = word.GetGlyph(end);
    TWdGlyph* next = word.GetGlyph(end + 1);
    if (!IsCharText(*tail) || !MayNotEndLine(tail->GetText()) || next->GetGlyphType() == gtReturn) break;
    unit.Width = SaturateInt32(int64_t{unit.Width} + next->GetWidth());
    ++unit.Count;
    extend();
  }
  return unit;
}

}  // namespace orba

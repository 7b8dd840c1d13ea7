// The characters of the native text controls, drawn from the player's glyph
// cache so that they look like the rest of the game's text. A control
// without a face name draws with the face a label starts with ("ＭＳ Ｐゴシック",
// a proportional gothic), as a desktop text field takes its window's font.
// The fields are always drawn smooth: the cache's anti-alias level is the
// last user's (a two-tone label's), so the fields set their own before each
// glyph.
#pragma once

#include "platform/text_controls.h"

namespace orba {

class TCachedControlGlyphs final : public TControlGlyphs {
 public:
  // The cache's finest anti-alias level.
  static constexpr int32_t kLevel = 3;

  bool Glyph(uint16_t code, const TTextControlFont& font, TGlyphBitmap& out) override;
  bool LineMetrics(const TTextControlFont& font, int32_t& ascent, int32_t& descent) override;
};

}  // namespace orba

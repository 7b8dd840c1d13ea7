// The characters of the native text controls, drawn from the player's glyph
// cache so that they look like the rest of the game's text.
#pragma once

#include "platform/text_controls.h"

namespace orba {

class TCachedControlGlyphs final : public TControlGlyphs {
 public:
  bool Glyph(uint16_t code, const TTextControlFont& font, TGlyphBitmap& out) override;
};

}  // namespace orba

#include "text/control_glyphs.h"

#include <algorithm>

#include "core/errors.h"
#include "text/font_pixels.h"

namespace orba {

bool TCachedControlGlyphs::Glyph(uint16_t code, const TTextControlFont& font, TGlyphBitmap& out) {
  try {
    TFontPixel& g = FontPixels().GetGlyph(code, font.Name, font.Style, font.LineHeight());
    out.Width = g.GetWidth();
    out.Height = g.GetHeight();
    out.OriginX = g.XOffset;
    out.OriginY = g.YOffset;
    out.Advance = g.Advance();
    out.Coverage.assign(static_cast<size_t>(out.Width) * static_cast<size_t>(std::max(out.Height, 0)), 0);
    for (int32_t y = 0; y < out.Height; ++y)
      std::copy_n(g.Coverage.Lock(0, y), out.Width, out.Coverage.begin() + static_cast<std::ptrdiff_t>(y) * out.Width);
    return true;
  } catch (const EOrbaError&) {
    return false;
  }
}

}  // namespace orba

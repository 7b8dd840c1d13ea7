#include "text/control_glyphs.h"

#include <algorithm>

#include "core/errors.h"
#include "core/system/trace.h"
#include "text/font_pixels.h"
#include "text/label_list.h"

namespace orba {

namespace {

const std::string& FaceOf(const TTextControlFont& font) {
  static const std::string fallback = kDefaultLabelFont;
  return font.Name.empty() ? fallback : font.Name;
}

}  // namespace

bool TCachedControlGlyphs::Glyph(uint16_t code, const TTextControlFont& font, TGlyphBitmap& out) {
  try {
    TFontPixelManager& cache = FontPixels();
    cache.SetLevel(kLevel);
    TFontPixel& g = cache.GetGlyph(code, FaceOf(font), font.Style, font.LineHeight());
    out.Width = g.GetWidth();
    out.Height = g.GetHeight();
    out.OriginX = g.XOffset;
    out.OriginY = g.YOffset;
    out.Advance = g.Advance();
    out.Coverage.assign(static_cast<size_t>(out.Width) * static_cast<size_t>(std::max(out.Height, 0)), 0);
    for (int32_t y = 0; y < out.Height; ++y)
      std::copy_n(g.Coverage.Lock(0, y), out.Width, out.Coverage.begin() + static_cast<std::ptrdiff_t>(y) * out.Width);
    return true;
  } catch (const EOrbaError& e) {
    TraceOnce(std::string("text control glyph: ") + e.what());
    return false;
  }
}

bool TCachedControlGlyphs::LineMetrics(const TTextControlFont& font, int32_t& ascent, int32_t& descent) {
  try {
    const TFontMetrics& m = FontPixels().SelectFont(FaceOf(font), font.LineHeight(), font.Style).Metrics();
    ascent = m.Ascent;
    descent = m.Descent;
    return true;
  } catch (const EOrbaError& e) {
    TraceOnce(std::string("text control font: ") + e.what());
    return false;
  }
}

}  // namespace orba

// libFuzzer harness: any bytes as message markup are built into glyphs,
// expanded, laid out into pages, rendered, typed out and written as a
// glyph stream that loads back to the same number of glyphs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/errors.h"
#include "core/game_clock.h"
#include "platform/headless/fake_fonts.h"
#include "text/glyph_stream.h"
#include "text/wd_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static orba::TFakeFonts fonts;
  static orba::TFontPixelManager glyphs(&fonts);
  orba::TKsWord word;
  word.Glyphs = &glyphs;
  word.Width = size % 2 == 0 ? 120 : 0;
  word.MaxHeight = 50;
  word.Paging = size % 3 == 0 ? 0 : 1;
  try {
    word.BuildGlyphs(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const orba::EOrbaError&) {
  }
  std::vector<std::unique_ptr<orba::TWdPage>> pages;
  word.Layout(pages, 0, -1);
  orba::FrameTime = 16;
  for (auto& page : pages) {
    page->Render(true);
    bool completed = false;
    std::string text;
    for (int i = 0; i < 8; ++i) page->Step(completed, text);
    page->Skip();
  }
  orba::TKsMemoryStream out;
  orba::SaveGlyphStream(word, out);
  out.SetPosition(0);
  orba::TKsWord back;
  orba::LoadGlyphStream(back, out);
  if (back.GetCount() != word.GetCount()) std::abort();
  return 0;
}

// Laying out and rendering a 2,000-character message page: building the
// glyphs from markup, line breaking into rows, and rendering every glyph
// through the glyph cache (fake fonts, so the figure is the engine's own).
#include <benchmark/benchmark.h>

#include "platform/headless/fake_fonts.h"
#include "text/ks_word.h"
#include "text/wd_page.h"

namespace {

std::string Message() {
  const std::string kana = "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8\x81\x42";  // あいうえお。
  std::string s;
  for (int i = 0; s.size() < 4100; ++i) s += i % 7 == 0 ? "<B>abc def</B> " : kana;
  return s;
}

void BM_LayoutAndRender2000(benchmark::State& state) {
  orba::TFakeFonts fonts;
  orba::TFontPixelManager glyphs(&fonts);
  const std::string text = Message();
  for (auto _ : state) {
    orba::TKsWord word;
    word.Glyphs = &glyphs;
    word.FontSize = 16, word.Width = 1280, word.MaxHeight = 100000;
    word.BuildGlyphs(text);
    std::vector<std::unique_ptr<orba::TWdPage>> pages;
    word.Layout(pages, 0, -1);
    word.MaxHeight = pages[0]->GetHeight();
    pages[0]->Render(false);
    benchmark::DoNotOptimize(word.TextSurface.GetPixel(0, 0));
    state.counters["chars"] = word.GetCount();
  }
}
BENCHMARK(BM_LayoutAndRender2000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Laying out and rendering a 2,000-character message page: building the
// glyphs from markup, line breaking into rows, and rendering every glyph
// through the glyph cache (fake fonts, so the figure is the engine's own).
// And messages of 50,000 to 200,000 characters, as one word in one row
// and as short words in many rows: the time grows with the length, and
// the program prints the ratio of 200,000 to 50,000 characters.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/ratio_reporter.h"

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

// Builds, lays out and renders Text's first page in a box of Width x
// MaxHeight (MaxHeight 0: the first page's own height).
void LayOutAndRender(benchmark::State& state, const std::string& text, int32_t font_size, int32_t width,
                     int32_t max_height) {
  orba::TFakeFonts fonts;
  orba::TFontPixelManager glyphs(&fonts);
  for (auto _ : state) {
    orba::TKsWord word;
    word.Glyphs = &glyphs;
    word.FontSize = font_size, word.Width = width, word.MaxHeight = max_height > 0 ? max_height : 100000;
    word.BuildGlyphs(text);
    std::vector<std::unique_ptr<orba::TWdPage>> pages;
    word.Layout(pages, 0, -1);
    if (max_height <= 0) word.MaxHeight = pages[0]->GetHeight();
    pages[0]->Render(false);
    benchmark::DoNotOptimize(word.TextSurface.GetPixel(0, 0));
    state.counters["chars"] = word.GetCount();
  }
}

void BM_LayoutAndRender2000(benchmark::State& state) { LayOutAndRender(state, Message(), 16, 1280, 0); }
BENCHMARK(BM_LayoutAndRender2000)->Unit(benchmark::kMillisecond);

// A message window's text of N characters: one word (no place to break)
// or words of eight letters; the window's page is laid out and rendered.
void LongMessage(benchmark::State& state, bool one_word) {
  std::string text;
  while (text.size() < static_cast<size_t>(state.range(0))) text += one_word ? "abcdefgh" : "abcdefg ";
  LayOutAndRender(state, text, 8, 64, 48);
}
void BM_LongWord(benchmark::State& state) { LongMessage(state, true); }
void BM_LongText(benchmark::State& state) { LongMessage(state, false); }
BENCHMARK(BM_LongWord)->Arg(50000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongText)->Arg(50000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  orba::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* name : {"BM_LongWord", "BM_LongText"}) {
    const std::string big = std::string(name) + "/200000", small = std::string(name) + "/50000";
    if (reporter.times.count(big) == 0 || reporter.times.count(small) == 0) continue;
    std::printf("%s: 200,000 characters take %.2f times as long as 50,000 (4 is linear)\n", name,
                reporter.times[big] / reporter.times[small]);
  }
  benchmark::Shutdown();
  return 0;
}

// Figures for the glyph bitmap cache over the installed fonts: glyphs
// rendered per second when every request renders (cold) and when every
// request is answered from the cache, at 24 pixels and anti-alias level 3.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/linux/freetype_fonts.h"
#include "text/font_pixels.h"

namespace {

const std::string kGothic = "\x82l\x82r \x83S\x83V\x83" "b\x83N";  // ＭＳ ゴシック

// 256 kanji of the first level, from 0x889F on.
std::vector<uint16_t> Kanji() {
  std::vector<uint16_t> codes;
  for (uint16_t lead = 0x88; codes.size() < orba::TFontPixelManager::kCapacity; ++lead)
    for (uint16_t trail = lead == 0x88 ? 0x9F : 0x40; trail <= 0xFC && codes.size() < 256; ++trail)
      if (trail != 0x7F) codes.push_back(static_cast<uint16_t>(lead << 8 | trail));
  return codes;
}

void BM_GlyphCold(benchmark::State& state) {
  orba::TFreeTypeFonts fonts;
  orba::TFontPixelManager cache(&fonts);
  const std::vector<uint16_t> codes = Kanji();
  for (auto _ : state) {
    state.PauseTiming();
    cache.Clear();
    cache.SelectFont(kGothic, 24, 0);
    state.ResumeTiming();
    for (uint16_t code : codes) benchmark::DoNotOptimize(cache.GetGlyph(code, kGothic, 0, 24).GetWidth());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(codes.size()));
}
BENCHMARK(BM_GlyphCold);

void BM_GlyphCached(benchmark::State& state) {
  orba::TFreeTypeFonts fonts;
  orba::TFontPixelManager cache(&fonts);
  const std::vector<uint16_t> codes = Kanji();
  for (uint16_t code : codes) cache.GetGlyph(code, kGothic, 0, 24);
  for (auto _ : state)
    for (uint16_t code : codes) benchmark::DoNotOptimize(cache.GetGlyph(code, kGothic, 0, 24).GetWidth());
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(codes.size()));
}
BENCHMARK(BM_GlyphCached);

}  // namespace

BENCHMARK_MAIN();

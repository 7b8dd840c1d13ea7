// The cost of one frame of each screen transition kind on a 1280 x 720
// screen at 32 bits, the frames taken in turn from seven points of the
// transition (an eighth of the way to seven eighths), both directions.
//
// Figures of a GCC Release build on the shared development machine (under a
// load of about 14 on 8 cores), CPU time per frame in ms:
//   fade 1.01, blinds 0.27 / 0.77, curtains 0.32 / 0.26, scrolls 0.30 / 0.25,
//   grids 0.47 / 0.61 / 0.47, dither 1.16, white 0.61, black 0.60, flash 0.58,
//   mosaic 0.15, bamboo blinds 0.26 / 0.71, spot 0.59, mask fades (no mask)
//   1.51 / 0.92 / 0.95, shrink 0.41, grow 0.42, ripple 1.77, blurs 1.77 /
//   1.81, twists 0.96 / 1.81, falling chips 0.55, zoom 1.52, clock hand 0.35,
//   rubber 0.67 / 0.27, fans 0.33 / 0.32, circle 0.30, block coil 0.37,
//   random blocks 0.44.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/vocab/vocab.h"
#include "film/wipes/wipe_factory.h"
#include "graphics/dibx.h"

namespace {

using namespace orba;

void WipeFrame(benchmark::State& state) {
  const auto kind = static_cast<int32_t>(state.range(0));
  TDIBX old_page, new_page, dest;
  for (TDIBX* page : {&old_page, &new_page, &dest}) page->SetSize(1280, 720, 32);
  for (int32_t y = 0; y < 720; ++y)
    for (int32_t x = 0; x < 1280; ++x) {
      old_page.SetPixel(x, y, static_cast<uint32_t>(x * 0x010203 + y * 0x030201) & 0xFFFFFF);
      new_page.SetPixel(x, y, static_cast<uint32_t>(x * 0x020103 ^ y * 0x010302) & 0xFFFFFF);
    }
  std::unique_ptr<TCustomWipe> wipes[2];
  for (int reverse = 0; reverse < 2; ++reverse) {
    wipes[reverse] = CreateWipe(kind, dest, new_page, old_page);
    wipes[reverse]->SetLength(800);
    wipes[reverse]->SetReverse(reverse != 0);
    wipes[reverse]->Prepare();
  }
  int32_t frame = 0;
  for (auto _ : state) {
    TCustomWipe& wipe = *wipes[frame & 1];
    wipe.SetPosition(100 * (1 + (frame >> 1) % 7));
    wipe.Step();
    ++frame;
  }
  state.SetLabel(WipeKindNames[static_cast<size_t>(kind)]);
}
BENCHMARK(WipeFrame)->DenseRange(WP_FADE, WP_BLOCKRANDOM)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();

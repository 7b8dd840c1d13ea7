// The cost of one frame of each screen transition kind on a 1280 x 720
// screen at 32 bits, the frames taken in turn from seven points of the
// transition (an eighth of the way to seven eighths), both directions.
//
// Figures of a GCC Release build on the shared development machine (under a
// load of about 20 on 8 cores), CPU time per frame in ms:
//   fade 0.59, blinds 0.29 / 0.76, curtains 0.32 / 0.26, scrolls 0.31 / 0.26,
//   grids 0.49 / 0.61 / 0.47, dither 1.17, white 0.41, black 0.42, flash 0.40,
//   mosaic 0.16, bamboo blinds 0.26 / 0.70, spot 0.60, mask fades over a
//   640 x 360 ramp 1.24 / 1.27 / 1.23, shrink 0.41, grow 0.43, ripple 1.42,
//   blurs 1.59 / 1.60, twists 0.63 / 1.37, falling chips 0.56, zoom 0.85,
//   clock hand 0.36, rubber 0.70 / 0.26, fans 0.32 / 0.32, circle 0.33,
//   block coil 0.42, random blocks 0.46.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "core/files/vr_file_manager.h"
#include "core/vocab/vocab.h"
#include "film/wipes/wipe_factory.h"
#include "graphics/dibx.h"
#include "items/brix_cache.h"

namespace {

using namespace orba;

void WipeFrame(benchmark::State& state) {
  const auto kind = static_cast<int32_t>(state.range(0));
  // The mask kinds read a 640 x 360 diagonal ramp through the picture cache.
  const auto folder = std::filesystem::temp_directory_path() / "orba_wipes_bench";
  std::filesystem::create_directories(folder);
  TDIBX mask;
  mask.SetSize(640, 360, 24);
  for (int32_t y = 0; y < 360; ++y)
    for (int32_t x = 0; x < 640; ++x) mask.SetPixel(x, y, static_cast<uint32_t>((x + y) * 255 / 999) * 0x010101u);
  mask.Surface().SaveToFile((folder / "ramp.bmp").string());
  TVrFileManager files;
  files.SetOverrideFolder(folder.string());
  InitBrixCollection();
  BrixCollection()->Files = &files;
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
    wipes[reverse]->SetMaskName("ramp.bmp");
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
  FinalBrixCollection();
  std::filesystem::remove_all(folder);
}
BENCHMARK(WipeFrame)->DenseRange(WP_FADE, WP_BLOCKRANDOM)->Unit(benchmark::kMillisecond);

}  // namespace
BENCHMARK_MAIN();

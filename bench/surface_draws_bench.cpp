// Whole drawing operations of a 32-bit 1280 x 720 surface, in megapixels of
// destination per second: copies, keyed copies, blends and additions,
// mirrored, stretched and rotated, with and without a mask. Figures of a
// Release build on the shared machine: see docs/PERFORMANCE.md (Mask 2,462
// to 2,782, from 1,671 to 1,835 in the same runs before the AVX2 blends on
// even and odd bytes and the rows drawn in memory order; Rotate 1,309 to
// 1,675; RotateMask 1,405 to 1,507, from 939 to 985 in the same runs before
// the nearly level walks were picked from pairs of source rows). `Memcpy`
// is the reference: one memcpy of the whole 32-bit frame, in the same unit.
#include <benchmark/benchmark.h>

#include <random>

#include "bench/frame_copy.h"
#include "graphics/dibx.h"

namespace {

using orba::TDIBX;
using orba::TRect;

constexpr int32_t kWidth = 1280, kHeight = 720;

void Noise(TDIBX& dib, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < dib.Width(); ++x) dib.SetPixel(x, y, rng() & (dib.BitCount() == 8 ? 0xFF : 0xFFFFFF));
}

struct Pictures {
  TDIBX dest, source, half, mask;
  Pictures() {
    dest.SetSize(kWidth, kHeight, 32);
    source.SetSize(kWidth, kHeight, 32);
    half.SetSize(kWidth / 2, kHeight / 2, 32);
    mask.SetSize(kWidth, kHeight, 8);
    Noise(dest, 1);
    Noise(source, 2);
    Noise(half, 3);
    Noise(mask, 4);
  }
};

Pictures& P() {
  static Pictures p;
  return p;
}

template <typename F>
void Frames(benchmark::State& state, F draw) {
  for (auto _ : state) {
    draw(P());
    benchmark::ClobberMemory();
  }
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

const TRect kWhole{0, 0, kWidth, kHeight};

void Memcpy(benchmark::State& s) {
  orba::bench::CopyFrames(s, kWidth, kHeight);
  s.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6,
                                           benchmark::Counter::kIsIterationInvariantRate);
}
void Copy(benchmark::State& s) {
  Frames(s, [](Pictures& p) { p.dest.Draw(0, 0, p.source, kWhole, false, false, false); });
}
void Keyed(benchmark::State& s) {
  P().source.TransparentColor = 0x00FF00FF;
  Frames(s, [](Pictures& p) { p.dest.Draw(0, 0, p.source, kWhole, true, false, false); });
}
void Mask(benchmark::State& s) {
  Frames(s, [](Pictures& p) { p.dest.DrawMask(0, 0, p.source, kWhole, false, false, p.mask); });
}
void Additive(benchmark::State& s) {
  Frames(s, [](Pictures& p) { p.dest.DrawAdd(0, 0, p.source, kWhole, false, false, false, 160); });
}
void AdditiveMask(benchmark::State& s) {
  Frames(s, [](Pictures& p) { p.dest.DrawAddMask(0, 0, p.source, kWhole, false, false, p.mask, 160); });
}
void Alpha(benchmark::State& s) {
  Frames(s, [](Pictures& p) { p.dest.DrawAlpha(0, 0, p.source, kWhole, false, false, false, 128); });
}
void AlphaMirrored(benchmark::State& s) {
  Frames(s, [](Pictures& p) { p.dest.DrawAlpha(0, 0, p.source, kWhole, false, true, false, 128); });
}
void AlphaMask(benchmark::State& s) {
  Frames(s, [](Pictures& p) { p.dest.DrawAlphaMask(0, 0, p.source, kWhole, false, false, p.mask, 200); });
}
void StretchAlpha(benchmark::State& s) {
  Frames(s, [](Pictures& p) {
    p.dest.StretchDrawAlpha(kWhole, p.half, TRect{0, 0, kWidth / 2, kHeight / 2}, false, false, false, 128);
  });
}
void StretchAlphaMask(benchmark::State& s) {
  Frames(s, [](Pictures& p) {
    p.dest.StretchDrawAlphaMask(kWhole, p.source, TRect{0, 0, kWidth / 2, kHeight / 2}, false, false, p.mask, 200);
  });
}
void StretchAddMask(benchmark::State& s) {
  Frames(s, [](Pictures& p) {
    p.dest.StretchDrawAddMask(kWhole, p.source, TRect{0, 0, kWidth / 2, kHeight / 2}, false, false, p.mask, 160);
  });
}
void Rotate(benchmark::State& s) {
  Frames(s, [](Pictures& p) {
    p.dest.DrawRotate(kWidth / 2, kHeight / 2, 256, 256, p.source, kWhole, kWidth / 2, kHeight / 2, 8, false, false,
                      false, 128);
  });
}
void RotateMask(benchmark::State& s) {
  Frames(s, [](Pictures& p) {
    p.dest.DrawRotateMask(kWidth / 2, kHeight / 2, 256, 256, p.source, kWhole, kWidth / 2, kHeight / 2, 8, false,
                          false, p.mask, 200);
  });
}
// The same turned by 45 degrees, too steep for the rows to be picked from
// pairs of source rows: each sample is gathered.
void RotateMask45(benchmark::State& s) {
  Frames(s, [](Pictures& p) {
    p.dest.DrawRotateMask(kWidth / 2, kHeight / 2, 256, 256, p.source, kWhole, kWidth / 2, kHeight / 2, 32, false,
                          false, p.mask, 200);
  });
}

}  // namespace

BENCHMARK(Memcpy);
BENCHMARK(Copy);
BENCHMARK(Keyed);
BENCHMARK(Mask);
BENCHMARK(Additive);
BENCHMARK(AdditiveMask);
BENCHMARK(Alpha);
BENCHMARK(AlphaMirrored);
BENCHMARK(AlphaMask);
BENCHMARK(StretchAlpha);
BENCHMARK(StretchAlphaMask);
BENCHMARK(StretchAddMask);
BENCHMARK(Rotate);
BENCHMARK(RotateMask);
BENCHMARK(RotateMask45);
BENCHMARK_MAIN();

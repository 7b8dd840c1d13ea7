// Row kernels over a 1280 x 720 surface at 32 bits, and the bitmap blends at
// 24 and 8 bits: the portable code (argument 0) against the SSE2 code (1)
// and, for the busiest 32-bit blends and the rotated walks, the AVX2 code
// (2), in megapixels per second; memcpy of the same rows is the reference,
// and each kernel of the set the player uses is printed beside it at the end.
//
//   taskset -c 2,3 build-rel/bench/surface_kernels_bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "graphics/draw_kernels.h"

namespace {

constexpr int32_t kWidth = 1280, kHeight = 720;

struct Frame {
  std::vector<uint8_t> dst, src, mask;
  Frame() : dst(kWidth * kHeight * 4), src(kWidth * kHeight * 4), mask(kWidth * kHeight) {
    // The 24- and 8-bit draws use the start of the same buffers.
    std::mt19937 rng(7);
    for (auto& b : dst) b = static_cast<uint8_t>(rng());
    for (auto& b : src) b = static_cast<uint8_t>(rng());
    for (size_t i = 3; i < src.size(); i += 4) src[i] = dst[i] = 0;
    for (auto& b : mask) b = static_cast<uint8_t>(rng());
  }
};

template <typename Row>
void RunFrames(benchmark::State& state, Row row) {
  static Frame frame;
  for (auto _ : state) {
    for (int32_t y = 0; y < kHeight; ++y) row(frame, y);
    benchmark::ClobberMemory();
  }
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

const orba::TRowKernels& Kernels(const benchmark::State& state) {
  if (state.range(0) == 2 && orba::Avx2RowKernels() != nullptr) return *orba::Avx2RowKernels();
  return state.range(0) ? orba::FastRowKernels() : orba::PortableRowKernels();
}

void AlphaBlend32(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.Blend(&f.dst[y * kWidth * 4], &f.src[y * kWidth * 4], kWidth, 32, 128, {});
  });
}

void KeyedCopy32(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.KeyedCopy(&f.dst[y * kWidth * 4], &f.src[y * kWidth * 4], kWidth, 32, {true, 0x00FF00FF});
  });
}

void MaskBlend32(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.Mask(&f.dst[y * kWidth * 4], &f.src[y * kWidth * 4], &f.mask[y * kWidth], kWidth, 32, 200,
           orba::TMaskMode::Blend);
  });
}

// Coverage only (a picture through its alpha plane).
void MaskCopy32(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.Mask(&f.dst[y * kWidth * 4], &f.src[y * kWidth * 4], &f.mask[y * kWidth], kWidth, 32, 255,
           orba::TMaskMode::Copy);
  });
}

void Additive32(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.Add(&f.dst[y * kWidth * 4], &f.src[y * kWidth * 4], kWidth, 32, 160, {});
  });
}

void FillAlpha32(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) { k.FillAlpha(&f.dst[y * kWidth * 4], kWidth, 32, 0x204060, 100); });
}

void ColorMask32(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.ColorMask(&f.dst[y * kWidth * 4], &f.mask[y * kWidth], kWidth, 32, 0x204060, 200);
  });
}

void MaskCover32(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.Mask(&f.dst[y * kWidth * 4], &f.src[y * kWidth * 4], &f.mask[y * kWidth], kWidth, 32, 200,
           orba::TMaskMode::Cover);
  });
}

// The reference: the rows copied by memcpy.
void Memcpy32(benchmark::State& state) {
  RunFrames(state, [&](Frame& f, int32_t y) {
    std::memcpy(&f.dst[y * kWidth * 4], &f.src[y * kWidth * 4], kWidth * 4);
  });
}

// A rotated draw's rows: each destination row walks the source at 11.25
// degrees (angle 8 of 256, as surface_draws_bench turns) at zoom 1, the
// samples gathered and then blended at an opacity (Rotate32), or drawn
// through the walked mask bytes by WalkMask (RotateMask32, weighted).
template <bool kMask>
void RotateWalk32(benchmark::State& state) {
  const auto& k = Kernels(state);
  const double angle = 8 * 2 * 3.14159265358979 / 256;
  const int64_t du = std::llround(std::cos(angle) * 65536), dv = std::llround(std::sin(angle) * 65536);
  std::vector<uint8_t> samples(kWidth * 4);
  RunFrames(state, [&](Frame& f, int32_t y) {
    orba::TSampleWalk walk;
    walk.Bits = f.src.data();
    walk.Pitch = kWidth * 4;
    if (kMask) {
      walk.Mask = f.mask.data();
      walk.MaskPitch = kWidth;
    }
    // Rows start high enough that the walk rising 250 rows stays inside.
    const int32_t n = kWidth;
    walk.U0 = 8;
    walk.V0 = (int64_t{y % (kHeight - 252)} << 16) + 8;
    walk.DU = du;
    walk.DV = dv;
    uint8_t* d = &f.dst[y * kWidth * 4];
    if (kMask) {
      k.WalkMask(d, walk, n, 32, 200, orba::TMaskMode::Weighted);
    } else {
      k.GatherWalk(walk, n, samples.data(), nullptr);
      k.Sampled(d, samples.data(), n, 32, 128, {}, false);
    }
  });
}

void BitmapBlend24(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.BitmapBlend(&f.dst[y * kWidth * 3], &f.src[y * kWidth * 3], kWidth, 24, 128, {true, 0x00FF00});
  });
}

void BitmapAlpha24(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.BitmapAlpha(&f.dst[y * kWidth * 3], &f.src[y * kWidth * 3], &f.mask[y * kWidth], kWidth, 24, 200);
  });
}

// The dithered blend at 8 bits (level 7 of 16) and the alpha-plane copy.
void BitmapDither8(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.CellCopy(&f.dst[y * kWidth], &f.src[y * kWidth], kWidth, {true, 0}, (y & 1) ? 0x5u : 0xAu);
  });
}

void BitmapAlpha8(benchmark::State& state) {
  const auto& k = Kernels(state);
  RunFrames(state, [&](Frame& f, int32_t y) {
    k.AlphaPick(&f.dst[y * kWidth], &f.src[y * kWidth], &f.mask[y * kWidth], kWidth);
  });
}

}  // namespace

// Argument 0: portable code; 1: SSE2; 2: AVX2 where the processor has it.
BENCHMARK(Memcpy32)->Arg(2);
BENCHMARK(AlphaBlend32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(KeyedCopy32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(MaskBlend32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(MaskCopy32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(Additive32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(FillAlpha32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(ColorMask32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(MaskCover32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(RotateWalk32<false>)->Name("Rotate32")->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(RotateWalk32<true>)->Name("RotateMask32")->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BitmapBlend24)->Arg(0)->Arg(1);
BENCHMARK(BitmapAlpha24)->Arg(0)->Arg(1);
BENCHMARK(BitmapDither8)->Arg(0)->Arg(1);
BENCHMARK(BitmapAlpha8)->Arg(0)->Arg(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  orba::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // The player's set (argument 2) beside memcpy, in gigapixels per second
  // of CPU time, as the table's counters.
  const auto memcpy_time = reporter.cpu_times.find("Memcpy32/2");
  const double pixels = double{kWidth} * kHeight;
  for (const auto& [name, seconds] : reporter.cpu_times) {
    if (name.size() < 2 || name.compare(name.size() - 2, 2, "/2") != 0 || name == "Memcpy32/2" || seconds <= 0) continue;
    // Times are in nanoseconds: pixels per nanosecond are gigapixels per second.
    std::printf("%-16s %6.2f Gpx/s", name.c_str(), pixels / seconds);
    if (memcpy_time != reporter.cpu_times.end())
      std::printf(", memcpy %6.2f Gpx/s, ratio %.2f", pixels / memcpy_time->second, memcpy_time->second / seconds);
    std::printf(" (goal: at least 1.2 Gpx/s)\n");
  }
  benchmark::Shutdown();
  return 0;
}

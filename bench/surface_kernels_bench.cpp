// Row kernels over a 1280 x 720 surface at 32 bits, and the bitmap blends at
// 24 and 8 bits: the portable code (argument 0) against the SSE2 code (1)
// and, for the busiest 32-bit blends, the AVX2 code (2), in megapixels per
// second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

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
BENCHMARK(AlphaBlend32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(KeyedCopy32)->Arg(0)->Arg(1);
BENCHMARK(MaskBlend32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(MaskCopy32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(Additive32)->Arg(0)->Arg(1);
BENCHMARK(FillAlpha32)->Arg(0)->Arg(1);
BENCHMARK(ColorMask32)->Arg(0)->Arg(1);
BENCHMARK(MaskCover32)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BitmapBlend24)->Arg(0)->Arg(1);
BENCHMARK(BitmapAlpha24)->Arg(0)->Arg(1);
BENCHMARK(BitmapDither8)->Arg(0)->Arg(1);
BENCHMARK(BitmapAlpha8)->Arg(0)->Arg(1);
BENCHMARK_MAIN();

// The reference that several benchmarks print beside their figures: one
// memcpy of a whole 32-bit frame per iteration, the floor of any pass over
// a frame on the machine at hand.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace orba::bench {

inline void CopyFrames(benchmark::State& state, int32_t width, int32_t height) {
  std::vector<uint32_t> from(static_cast<size_t>(width) * static_cast<size_t>(height), 1), to(from.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(from.data());
    std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace orba::bench

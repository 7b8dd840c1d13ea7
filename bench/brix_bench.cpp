// Decoding a 4096 x 4096 24-bit Brix image stored as 8 x 8 tiles whose
// table is scrambled by an identification code (about one tile in four is a
// copy of an earlier tile), zlib-packed and stored plain; prints the times.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/ks_random.h"
#include "core/streams/big_stream.h"
#include "core/streams/compression.h"
#include "core/streams/stream_encoding.h"
#include "graphics/brix.h"

namespace {

constexpr int32_t kSize = 4096, kTile = 8, kCode = 0x5EED;

std::vector<uint8_t> MakeTiledBrix(uint8_t compression) {
  const int32_t columns = kSize / kTile, count = columns * columns;
  orba::TKsMemoryStream plane;
  std::vector<int32_t> entries(static_cast<size_t>(2 * count));
  for (int32_t k = 0; k < count; ++k) {
    const bool copy = k > 0 && k % 4 == 0;
    entries[static_cast<size_t>(2 * k)] = copy ? -2 : -1;
    entries[static_cast<size_t>(2 * k + 1)] = copy ? k / 2 : 0;
  }
  orba::TKsRandom random(kCode);
  random.SetCount(count);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t k = random.Next();
    orba::WriteStreamInt(plane, entries[static_cast<size_t>(2 * k)]);
    orba::WriteStreamInt(plane, entries[static_cast<size_t>(2 * k + 1)]);
  }
  uint32_t seed = 1;
  std::vector<uint8_t> row(kTile * 3);
  for (int32_t k = 0; k < count; ++k) {
    if (entries[static_cast<size_t>(2 * k)] != -1) continue;
    for (int32_t r = 0; r < kTile; ++r) {
      for (auto& b : row) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24 & 0xF0);
      plane.WriteBuffer(row.data(), static_cast<int64_t>(row.size()));
    }
  }
  if (compression == 0) orba::CompressStream(plane);

  orba::TKsMemoryStream out;
  out.WriteBuffer("Brix106", 7);
  orba::WriteStreamInt(out, 40);
  orba::TBrixHeader header;
  header.SetInt(0, 106);
  header.SetInt(16, 1);
  header.Bytes[21] = 1;
  header.Bytes[22] = compression;
  header.SetInt(28, kTile);
  header.SetInt(32, kTile);
  out.WriteBuffer(header.Bytes.data(), 40);
  orba::WriteStreamString(out, "");
  for (int32_t v : {-1, 100}) orba::WriteStreamInt(out, v);
  orba::WriteStreamByte(out, 0);
  for (int32_t v : {0, 1, kSize, kSize, 24}) orba::WriteStreamInt(out, v);
  const uint8_t reserved[8] = {};
  out.WriteBuffer(reserved, 8);
  orba::WriteStreamByte(out, 1);
  orba::WriteStreamInt(out, -1);
  orba::WriteStreamInt(out, 255);
  orba::WriteStreamByte(out, 0);
  orba::WriteStreamString(out, "tiles");
  orba::WriteStreamInt(out, static_cast<int32_t>(plane.GetSize()));
  out.WriteBuffer(plane.Memory(), plane.GetSize());
  for (int32_t v : {0, 0, 0}) orba::WriteStreamInt(out, v);
  return out.TakeBytes();
}

void DecodeTiled(benchmark::State& state) {
  const std::vector<uint8_t> bytes = MakeTiledBrix(static_cast<uint8_t>(state.range(0)));
  for (auto _ : state) {
    orba::TKsMemoryStream stream(bytes);
    orba::TBrixFrameList image(kCode);
    image.LoadFromStream(stream, false, false, false);
    benchmark::DoNotOptimize(image.GetFrame(0)->Surface.GetPixel(kSize - 1, kSize - 1));
  }
  state.SetLabel(state.range(0) == 0 ? "zlib" : "stored");
}

BENCHMARK(DecodeTiled)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

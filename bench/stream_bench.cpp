// Figures for the stream routines every package load goes through: zlib
// packing and unpacking (beside zlib's own one-call uncompress into a buffer
// of the known size, in the same run), the entry CRC, short reads through
// the buffered reader versus straight from a file stream, and name lookups
// in a large package directory (10,000 lookups among 10,000 entries: 0.7 ms;
// 70-80 ms while the names were hashed into 256 buckets by length and two
// bytes).
//
//   taskset -c 2,3 build-rel/bench/stream_bench
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/streams/big_file_stream.h"
#include "core/streams/buffered_stream.h"
#include "core/streams/compression.h"
#include "core/streams/crc32.h"
#include "core/streams/stream_encoding.h"
#include "bench/ratio_reporter.h"
#include "core/files/vr_file.h"

namespace {

// Script-like text: numbered lines, as pages and tables mostly are.
std::vector<uint8_t> Sample(size_t size) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) text += "SetProp obj" + std::to_string(line % 97) + ", " + std::to_string(line) + "\n";
  return std::vector<uint8_t>(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
}

void BM_CompressStream(benchmark::State& state) {
  const std::vector<uint8_t> data = Sample(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    orba::TKsMemoryStream s(data);
    orba::CompressStream(s);
    benchmark::DoNotOptimize(s.GetSize());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CompressStream)->Arg(1 << 20)->Arg(16 << 20);

void BM_DecompressStream(benchmark::State& state) {
  orba::TKsMemoryStream packed(Sample(static_cast<size_t>(state.range(0))));
  orba::CompressStream(packed);
  for (auto _ : state) {
    orba::TKsMemoryStream s(packed.Bytes());
    orba::DecompressStream(s);
    benchmark::DoNotOptimize(s.GetSize());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DecompressStream)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

// The reference: zlib inflating the same entry in one call into a buffer of
// its known size (a package does not store the unpacked size; ours finds it).
void BM_ZlibUncompress(benchmark::State& state) {
  orba::TKsMemoryStream packed(Sample(static_cast<size_t>(state.range(0))));
  orba::CompressStream(packed);
  std::vector<uint8_t> out(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    uLongf n = static_cast<uLongf>(out.size());
    uncompress(out.data(), &n, packed.Bytes().data(), static_cast<uLong>(packed.Bytes().size()));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ZlibUncompress)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

// Entries read from a package to a stream, checked by CRC as vf verify does.
void BM_DecompressToStream(benchmark::State& state) {
  orba::TKsMemoryStream packed(Sample(static_cast<size_t>(state.range(0))));
  orba::CompressStream(packed);
  for (auto _ : state) {
    packed.SetPosition(0);
    orba::TCrc32Stream sink;
    benchmark::DoNotOptimize(orba::DecompressToStream(packed, packed.GetSize(), sink));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DecompressToStream)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

void BM_StreamCrc32(benchmark::State& state) {
  orba::TKsMemoryStream s(Sample(static_cast<size_t>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(orba::StreamCrc32(s));
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StreamCrc32)->Arg(16 << 20);

// A package directory: 20,000 names read one string at a time.
void BM_DirectoryNames(benchmark::State& state) {
  const std::string name = "/tmp/orba-stream-bench-" + std::to_string(::getpid()) + ".dat";
  {
    orba::TKsBigFileStream out(name, orba::fmOpenWrite);
    for (int i = 0; i < 20000; ++i) orba::WriteStreamString(out, "folder\\picture" + std::to_string(i) + ".png");
  }
  const bool buffered = state.range(0) != 0;
  for (auto _ : state) {
    orba::TKsBigFileStream in(name, orba::fmOpenRead | orba::fmShareDenyWrite);
    if (buffered) {
      orba::TKsBuffBigStream reader(in);
      for (int i = 0; i < 20000; ++i) benchmark::DoNotOptimize(orba::ReadStreamString(reader));
    } else {
      for (int i = 0; i < 20000; ++i) benchmark::DoNotOptimize(orba::ReadStreamString(in));
    }
  }
  std::remove(name.c_str());
}
BENCHMARK(BM_DirectoryNames)->Arg(0)->Arg(1);

// Real-looking entry names: pictures, voices and pages in a few folders.
std::vector<std::string> EntryNames(int count) {
  static const char* const kFolders[] = {"bg\\", "chara\\", "voice\\ch0", "page\\", "se\\"};
  static const char* const kExts[] = {".png", ".brx", ".ogg", ".ksp", ".wav"};
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i)
    names.push_back(std::string(kFolders[i % 5]) + (i % 5 == 2 ? std::to_string(i % 9) + "\\v" : "img") +
                    std::to_string(i) + kExts[i % 5]);
  return names;
}

void BM_PackageLookups(benchmark::State& state) {
  const std::vector<std::string> names = EntryNames(10000);
  orba::TVrFileCollection package;
  for (const std::string& n : names) package.AddItem(n);
  for (auto _ : state)
    for (const std::string& n : names) benchmark::DoNotOptimize(package.Find(n));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_PackageLookups)->Unit(benchmark::kMillisecond);

// The reference: the same names looked up in a standard hash map of them.
void BM_HashMapLookups(benchmark::State& state) {
  const std::vector<std::string> names = EntryNames(10000);
  std::unordered_map<std::string, int> map;
  for (const std::string& n : names) map.emplace(n, static_cast<int>(map.size()));
  for (auto _ : state)
    for (const std::string& n : names) benchmark::DoNotOptimize(map.find(n));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_HashMapLookups)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  orba::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* size : {"/1048576", "/16777216"}) {
    const std::string zlib = std::string("BM_ZlibUncompress") + size;
    for (const char* ours : {"BM_DecompressStream", "BM_DecompressToStream"}) {
      const std::string name = std::string(ours) + size;
      if (!reporter.times.contains(name) || !reporter.times.contains(zlib)) continue;
      std::printf("%s: ", name.c_str());
      reporter.PrintRatio(name.c_str(), zlib.c_str(), "zlib uncompress", 0.67);
    }
  }
  if (reporter.times.contains("BM_PackageLookups") && reporter.times.contains("BM_HashMapLookups")) {
    // The package's names compare without letter case, the map's exactly.
    std::printf("BM_PackageLookups: orba %.2f ms, std::unordered_map %.2f ms, ratio %.2f (goal: under 2 ms)\n",
                reporter.times["BM_PackageLookups"], reporter.times["BM_HashMapLookups"],
                reporter.times["BM_PackageLookups"] / reporter.times["BM_HashMapLookups"]);
  }
  benchmark::Shutdown();
  return 0;
}

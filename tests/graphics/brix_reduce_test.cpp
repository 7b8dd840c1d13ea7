// A Brix picture read with a depth override below its own: its colours are
// reduced and dithered as the independent reduction of
// tests/fixtures/reduce_reference.py works them out, palette and indices.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "support/test_support.h"

namespace orba {
namespace {

// A colour (0x00RRGGBB) per pixel that sets 64 colours apart in the
// quantiser's grid, with neighbours of close colours so that the error
// diffusion moves some of them into other boxes.
uint32_t Colour(int32_t x, int32_t y) {
  const uint32_t h = (static_cast<uint32_t>(x) * 2654435761u) ^ (static_cast<uint32_t>(y) * 40503u + 0x9E37u);
  const uint32_t r = (x * 32 + (h & 15)) & 0xFF, g = (y * 30 + ((h >> 8) & 31)) & 0xFF, b = (h >> 16) & 0xFF;
  return r << 16 | g << 8 | b;
}

// The palette and index lines the reference prints for Width x Height
// pixels of Colour.
std::pair<std::string, std::string> Reference(int32_t width, int32_t height) {
  std::string hex;
  char six[8];
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      std::snprintf(six, sizeof six, "%06X", Colour(x, y));
      hex += six;
    }
  const test::CommandResult r =
      test::RunPython("fixtures/reduce_reference.py", {std::to_string(width), std::to_string(height), hex});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  std::stringstream lines(r.output);
  std::pair<std::string, std::string> out;
  std::getline(lines, out.first);
  std::getline(lines, out.second);
  return out;
}

TEST(BrixReduce, ADepthOverrideReducesAndDithersLikeTheIndependentReduction) {
  for (const auto& [width, height] : {std::pair{8, 8}, std::pair{16, 5}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    TBrixFrameList source;
    TBrixFrame* frame = source.AddFrame();
    frame->Surface.SetSize(width, height, 24);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) frame->Surface.SetPixel(x, y, Colour(x, y));
    TKsMemoryStream written;
    source.SaveToStream(written, 0, 70);

    TBrixFrameList reduced;
    reduced.BitCountOverride = 8;
    TKsMemoryStream in(written.Bytes());
    reduced.LoadFromStream(in, false, true, false);
    TDIBSurface& surface = reduced.GetFrame(0)->Surface;
    ASSERT_EQ(surface.GetBitCount(), 8);

    const auto [palette, indices] = Reference(width, height);
    std::string got_indices;
    char two[4];
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        std::snprintf(two, sizeof two, "%02X", surface.GetPixel(x, y));
        got_indices += two;
      }
    EXPECT_EQ(got_indices, indices);
    const size_t entries = (palette.size() + 1) / 7;
    ASSERT_GT(entries, 16u);
    std::string got_palette;
    char six[8];
    for (size_t i = 0; i < entries; ++i) {
      const TRGBQuad q = surface.ImageTable()[i];
      std::snprintf(six, sizeof six, "%02X%02X%02X", q.Red, q.Green, q.Blue);
      got_palette += (i > 0 ? " " : "") + std::string(six);
    }
    EXPECT_EQ(got_palette, palette);
  }
}

}  // namespace
}  // namespace orba

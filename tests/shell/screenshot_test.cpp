#include "shell/screenshot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "graphics/graphic_errors.h"
#include "platform/headless/memory_video.h"
#include "support/test_support.h"

namespace orba {
namespace {

TEST(Screenshot, PillowReadsThePixelsBack) {
  test::TempDir dir;
  TMemoryVideo video;
  video.CreateWindow(6, 4, "");
  // A 6x4 frame kept in a buffer 8 pixels wide: R = 0x12 + y, G = 0x34, B = x.
  std::vector<uint32_t> pixels(8 * 4, 0xDEADBEEF);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) pixels[y * 8 + x] = 0x123400 + (static_cast<uint32_t>(y) << 16) + x;
  video.Present({pixels.data(), 6, 4, 8}, {{0, 0, 6, 4}});
  WriteScreenshot(video.Frame(), dir / "shot.png");
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "im = Image.open(sys.argv[1])\n"
      "print(im.size, im.mode)\n"
      "print(im.getpixel((0, 0)), im.getpixel((5, 3)), im.getpixel((2, 1)))\n";
  const test::CommandResult r = test::RunCommand({ORBA_PYTHON, "-c", script, dir / "shot.png"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(r.output, "(6, 4) RGB\n(18, 52, 0) (21, 52, 5) (19, 52, 2)\n");
}

TEST(Screenshot, KnownHeaderAndBadInput) {
  const uint32_t pixel = 0xFF8040;
  TKsMemoryStream stream;
  SavePixelsAsPng(&pixel, 1, 1, 1, stream);
  const std::vector<uint8_t>& png = stream.Bytes();
  ASSERT_GE(png.size(), 33u);
  // Signature, then IHDR: length 13, 1x1, 8 bits, colour type 2, and its CRC.
  EXPECT_EQ(test::ToHex(std::vector<uint8_t>(png.begin(), png.begin() + 33)),
            "89 50 4e 47 0d 0a 1a 0a 00 00 00 0d 49 48 44 52 00 00 00 01 00 00 00 01 08 02 00 00 00 90 77 53 de");
  EXPECT_EQ(test::ToHex(std::vector<uint8_t>(png.end() - 12, png.end())), "00 00 00 00 49 45 4e 44 ae 42 60 82");
  for (auto [pixels, width] : {std::pair{&pixel, 0}, std::pair{&pixel, 2}, std::pair<const uint32_t*, int>{nullptr, 1}})
    EXPECT_THROW(SavePixelsAsPng(pixels, width, 1, 1, stream), EInvalidGraphicOperation) << width;
  TMemoryVideo closed;
  EXPECT_THROW(WriteScreenshot(closed.Frame(), "/nonexistent/x.png"), EInvalidGraphicOperation);
  TMemoryVideo open;
  open.CreateWindow(1, 1, "");
  EXPECT_THROW(WriteScreenshot(open.Frame(), "/nonexistent/x.png"), EWriteError);
}

}  // namespace
}  // namespace orba

// orbatool img decode --frame N on an animated GIF: the screen after frame
// N as the picture's own painter draws it, with the disposal of the frames
// before applied; read back from the PNG by Pillow.
#include <gtest/gtest.h>

#include <fstream>

#include "support/test_support.h"

namespace orba {
namespace {

// A 3 x 1 screen, global table red, green, blue, white (background 3).
// Frame 0: all red (disposal 1). Frame 1: green at x = 1 (disposal 2,
// restore to background). Frame 2: blue at x = 2. Codes of 3 bits after a
// minimum code size of 2: clear 4, the pixels, end 5 (frame 0: 4, 0, 6, 5,
// where 6 is "0 0").
const std::vector<uint8_t> kThreeFrames = {
    'G', 'I', 'F', '8', '9', 'a', 3, 0, 1, 0, 0x81, 3, 0,     // screen
    0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,     // table
    0x21, 0xF9, 4, 0x04, 10, 0, 0, 0,                         // disposal 1
    0x2C, 0, 0, 0, 0, 3, 0, 1, 0, 0, 2, 2, 0x84, 0x0B, 0,     // 0 0 0
    0x21, 0xF9, 4, 0x08, 10, 0, 0, 0,                         // disposal 2
    0x2C, 1, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0,     // 1 at x = 1
    0x21, 0xF9, 4, 0x04, 10, 0, 0, 0,                         // disposal 1
    0x2C, 2, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x54, 0x01, 0,     // 2 at x = 2
    0x3B};

// Frame 1's area is given back to what was under the picture: on a PNG,
// transparent.
TEST(ToolGifDecode, FrameNIsTheScreenAfterTheFramesBeforeItWithTheirDisposal) {
  test::TempDir dir;
  {
    std::ofstream out(dir / "three.gif", std::ios::binary);
    out.write(reinterpret_cast<const char*>(kThreeFrames.data()), static_cast<std::streamsize>(kThreeFrames.size()));
  }
  const test::CommandResult dump = test::RunCommand({"gifbuild", "-d", dir / "three.gif"});
  ASSERT_EQ(dump.exit_code, 0) << dump.output;
  for (const char* block : {"image left 0\nimage top 0\nimage bits 3 by 1\n000\n", "disposal mode 2\n",
                            "image left 1\nimage top 0\nimage bits 1 by 1\n1\n",
                            "image left 2\nimage top 0\nimage bits 1 by 1\n2\n"})
    EXPECT_NE(dump.output.find(block), std::string::npos) << block << dump.output;
  const std::pair<int, std::string> cases[] = {
      {0, "(255, 0, 0, 255) (255, 0, 0, 255) (255, 0, 0, 255)"},
      {1, "(255, 0, 0, 255) (0, 255, 0, 255) (255, 0, 0, 255)"},
      {2, "(255, 0, 0, 255) (0, 0, 0, 0) (0, 0, 255, 255)"},
      // Past the last frame: the screen the animation ends on.
      {7, "(255, 0, 0, 255) (0, 0, 0, 0) (0, 0, 255, 255)"},
  };
  for (const auto& [frame, pixels] : cases) {
    const std::string png = dir / ("f" + std::to_string(frame) + ".png");
    const test::CommandResult decoded =
        test::RunOrbaTool({"img", "decode", "--frame", std::to_string(frame), dir / "three.gif", png});
    ASSERT_EQ(decoded.exit_code, 0) << decoded.output;
    const test::CommandResult read = test::RunCommand(
        {ORBA_PYTHON, "-c",
         "import sys\nfrom PIL import Image\nim=Image.open(sys.argv[1]).convert('RGBA')\n"
         "print(im.size, *[im.getpixel((x,0)) for x in range(3)])",
         png});
    ASSERT_EQ(read.exit_code, 0) << read.output;
    EXPECT_EQ(read.output, "(3, 1) " + pixels + "\n") << frame;
  }
}

}  // namespace
}  // namespace orba

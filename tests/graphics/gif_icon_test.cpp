// orbatool img gif given icons: a frame of each image of the icon (or the
// one --frame picks) with the icon's own mask transparent, read back by our
// reader and by Pillow; --compact compacts the picture as it is written.
#include <gtest/gtest.h>

#include <filesystem>

#include "graphics/gif/gif_image.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;

// An icon of two 24-bit images of 2 x 1 pixels. The directory (6 bytes)
// and its two 16-byte entries end at 38; each image is 52 bytes: the
// 40-byte header (height 2: colour and AND rows), one colour row of 8
// bytes and one AND row of 4. Image 0: red, then a pixel the AND mask
// (0x40) makes transparent. Image 1: blue and green, no mask.
std::vector<uint8_t> TwoImageIcon() {
  std::vector<uint8_t> file = FromHex(
      "00 00 01 00 02 00"
      "  02 01 00 00 01 00 18 00  34 00 00 00  26 00 00 00"
      "  02 01 00 00 01 00 18 00  34 00 00 00  5a 00 00 00");
  const char* rows[] = {"00 00 ff  00 00 00  00 00   40 00 00 00", "ff 00 00  00 ff 00  00 00   00 00 00 00"};
  for (const char* row : rows) {
    test::Append(file, FromHex("28 00 00 00 02 00 00 00 02 00 00 00 01 00 18 00"
                               "  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"));
    test::Append(file, FromHex(row));
  }
  return file;
}

std::unique_ptr<TGIFImage> ReadGif(const std::string& path) {
  auto image = std::make_unique<TGIFImage>();
  TKsMemoryStream s(test::ReadFileBytes(path));
  image->LoadFromStream(s);
  return image;
}

TEST(GifIcons, EachImageOfAnIconBecomesAFrameWithItsMask) {
  const test::TempDir dir;
  test::WriteFileBytes(dir / "two.ico", TwoImageIcon());
  ASSERT_EQ(test::RunOrbaTool({"img", "gif", "--method", "0", dir / "all.gif", dir / "two.ico"}).exit_code, 0);
  auto all = ReadGif(dir / "all.gif");
  ASSERT_EQ(all->Count(), 2);
  EXPECT_EQ(all->Width(), 2);
  // Red, black (the masked pixel drawn over black) and black once more as
  // the transparent colour.
  const TGIFSubImage& masked = all->Frame(0);
  EXPECT_EQ(masked.TransparentIndex(), 2);
  EXPECT_EQ(masked.Data[1], 2);
  EXPECT_EQ(masked.ActiveColorMap().ColorAt(masked.Data[0]), 0x0000FFu);
  const TGIFSubImage& opaque = all->Frame(1);
  EXPECT_EQ(opaque.TransparentIndex(), -1);
  EXPECT_EQ(opaque.ActiveColorMap().ColorAt(opaque.Data[0]), 0xFF0000u);  // blue as 0x00BBGGRR
  EXPECT_EQ(opaque.ActiveColorMap().ColorAt(opaque.Data[1]), 0x00FF00u);

  // Pillow sees the transparent pixel of the first frame.
  const test::CommandResult pillow = test::RunCommand(
      {ORBA_PYTHON, "-c",
       "import sys\nfrom PIL import Image\nim=Image.open(sys.argv[1])\n"
       "print(im.n_frames, im.convert('RGBA').getpixel((0,0)), im.convert('RGBA').getpixel((1,0)))",
       dir / "all.gif"});
  ASSERT_EQ(pillow.exit_code, 0) << pillow.output;
  EXPECT_EQ(pillow.output, "2 (255, 0, 0, 255) (0, 0, 0, 0)\n");

  ASSERT_EQ(test::RunOrbaTool({"img", "gif", "--method", "0", "--frame", "1", dir / "one.gif", dir / "two.ico"})
                .exit_code,
            0);
  auto one = ReadGif(dir / "one.gif");
  ASSERT_EQ(one->Count(), 1);
  EXPECT_EQ(one->Frame(0).TransparentIndex(), -1);
  // An image the icon does not have is a usage error, and nothing is written.
  EXPECT_EQ(test::RunOrbaTool({"img", "gif", "--frame", "2", dir / "none.gif", dir / "two.ico"}).exit_code, 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "none.gif"));
}

// --compact sets CompactBeforeWrite: the one frame's graphic control that
// carries only a delay goes, as the compacting clean-up drops it.
TEST(GifIcons, CompactCompactsAsThePictureIsWritten) {
  const test::TempDir dir;
  test::WriteFileBytes(dir / "two.ico", TwoImageIcon());
  for (bool compact : {false, true}) {
    std::vector<std::string> args = {"img", "gif", "--frame", "1", "--delay", "9", dir / "out.gif", dir / "two.ico"};
    if (compact) args.insert(args.begin() + 2, "--compact");
    ASSERT_EQ(test::RunOrbaTool(args).exit_code, 0);
    auto read = ReadGif(dir / "out.gif");
    ASSERT_EQ(read->Count(), 1);
    EXPECT_EQ(read->Frame(0).Extensions.size(), compact ? 0u : 1u) << compact;
  }
}

}  // namespace
}  // namespace orba

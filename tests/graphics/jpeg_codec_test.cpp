// JPEG through libjpeg: decodes equal to djpeg's, our encodes decoded alike
// by djpeg and close to the picture, CMYK as RGB, and bad or oversized
// input refused with a clear error before anything large is allocated.
#include "graphics/jpeg_codec.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <string>

#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ReadFileBytes;
using test::RunCommand;
using test::TempDir;

// A smooth picture with some edges (or flat grey 77 when `flat`), as PNM
// bytes (P6 colour or P5 grey); its pixels in `pixels`.
std::vector<uint8_t> MakePnm(int32_t w, int32_t h, int32_t components, std::vector<uint8_t>& pixels, bool flat = false) {
  pixels.clear();
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int r = x * 255 / w, g = y * 255 / h, b = ((x / 8 + y / 8) & 1) ? 220 : 30;
      if (components == 3) pixels.insert(pixels.end(), {uint8_t(r), uint8_t(g), uint8_t(b)});
      else pixels.push_back(static_cast<uint8_t>(flat ? 77 : (r + g + b) / 3));
    }
  const std::string header = std::string(components == 3 ? "P6" : "P5") + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  std::vector<uint8_t> out(header.begin(), header.end());
  test::Append(out, pixels);
  return out;
}

TJpegImage Picture(int32_t w, int32_t h, int32_t components) {
  TJpegImage image{w, h, components, {}};
  MakePnm(w, h, components, image.Pixels);
  return image;
}

// cjpeg's encoding (with these options) of the PNM, written to DIR/x.jpg.
std::vector<uint8_t> Cjpeg(const TempDir& dir, const std::vector<uint8_t>& pnm, std::vector<std::string> options) {
  test::WriteFileBytes(dir / "in.pnm", pnm);
  options.insert(options.begin(), "cjpeg");
  options.insert(options.end(), {"-outfile", dir / "x.jpg", dir / "in.pnm"});
  EXPECT_EQ(RunCommand(options).exit_code, 0);
  return ReadFileBytes(dir / "x.jpg");
}

// djpeg's decode of JPEG as a raster.
std::vector<uint8_t> DjpegRaster(const TempDir& dir, const std::vector<uint8_t>& jpeg) {
  test::WriteFileBytes(dir / "x.jpg", jpeg);
  EXPECT_EQ(RunCommand({"djpeg", "-pnm", "-outfile", dir / "ref.pnm", dir / "x.jpg"}).exit_code, 0);
  const std::vector<uint8_t> pnm = ReadFileBytes(dir / "ref.pnm");
  std::istringstream header(std::string(pnm.begin(), pnm.end()));
  std::string magic;
  int w = 0, h = 0, max = 0;
  header >> magic >> w >> h >> max;
  // One white-space byte ends the header.
  return std::vector<uint8_t>(pnm.begin() + static_cast<std::ptrdiff_t>(header.tellg()) + 1, pnm.end());
}

TJpegImage Decode(const std::vector<uint8_t>& jpeg) { return DecodeJpeg(jpeg.data(), jpeg.size()); }

struct ReferenceCase {
  const char* name;
  int32_t w, h, components;
  std::vector<std::string> cjpeg_options;
};

class JpegAgainstDjpeg : public testing::TestWithParam<ReferenceCase> {};

// A picture encoded by cjpeg decodes to exactly what djpeg writes; a flat
// picture compressed as far as JPEG goes too.
TEST_P(JpegAgainstDjpeg, DecodesEqualToDjpeg) {
  const ReferenceCase& c = GetParam();
  TempDir dir;
  std::vector<uint8_t> pixels;
  const std::vector<uint8_t> jpeg = Cjpeg(dir, MakePnm(c.w, c.h, c.components, pixels, c.w > 1000), c.cjpeg_options);
  const TJpegImage image = Decode(jpeg);
  EXPECT_EQ((std::array{image.Width, image.Height, image.Components}), (std::array{c.w, c.h, c.components}));
  EXPECT_EQ(image.Pixels, DjpegRaster(dir, jpeg)) << jpeg.size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Cjpeg, JpegAgainstDjpeg,
    testing::Values(ReferenceCase{"Colour", 77, 45, 3, {"-quality", "85"}}, ReferenceCase{"Grey", 77, 45, 1, {"-quality", "60"}},
                    ReferenceCase{"Progressive", 77, 45, 3, {"-progressive", "-quality", "90"}},
                    ReferenceCase{"NoSubsampling", 77, 45, 3, {"-sample", "1x1", "-quality", "95"}},
                    ReferenceCase{"FlatBaseline", 2048, 1024, 1, {"-baseline", "-optimize", "-quality", "10"}},
                    ReferenceCase{"FlatProgressive", 2048, 1024, 1, {"-progressive", "-optimize", "-quality", "10"}}),
    [](const testing::TestParamInfo<ReferenceCase>& info) { return std::string(info.param.name); });

// Our encoding decodes the same through djpeg and through us, and stays
// close to the picture encoded.
TEST(Jpeg, EncodedPictureDecodesAlikeAndCloseToTheOriginal) {
  for (int32_t components : {3, 1}) {
    TempDir dir;
    const TJpegImage image = Picture(64, 40, components);
    const std::vector<uint8_t> jpeg = EncodeJpeg(image, 90);
    const TJpegImage back = Decode(jpeg);
    EXPECT_EQ(back.Pixels, DjpegRaster(dir, jpeg));
    ASSERT_EQ(back.Pixels.size(), image.Pixels.size());
    double error = 0;
    for (size_t i = 0; i < back.Pixels.size(); ++i) error += std::pow(static_cast<double>(back.Pixels[i]) - image.Pixels[i], 2);
    const double psnr = 10 * std::log10(255.0 * 255.0 / (error / static_cast<double>(back.Pixels.size())));
    EXPECT_GT(psnr, 20.0) << components;  // garbage would be far below
  }
}

TEST(Jpeg, BadInputRaisesClearErrorAndTruncatedDataStillDecodes) {
  const TJpegImage image = Picture(16, 16, 3);
  const std::vector<uint8_t> good = EncodeJpeg(image, 75), not_jpeg = {'B', 'M', 0, 0, 0, 0};
  EXPECT_THROW(DecodeJpeg(nullptr, 0), EJpegError);
  EXPECT_THROW(Decode({good.begin(), good.begin() + 20}), EJpegError);
  const std::string message = test::ErrorOf<EJpegError>([&] { Decode(not_jpeg); });
  EXPECT_EQ(message.rfind("JPEG: ", 0), 0u);
  EXPECT_GT(message.size(), 6u);
  TJpegImage wrong = image;
  wrong.Pixels.pop_back();
  EXPECT_THROW(EncodeJpeg(wrong, 75), EJpegError);
  wrong = image;
  wrong.Components = 2;
  EXPECT_THROW(EncodeJpeg(wrong, 75), EJpegError);
  // A stream cut short in its data still gives the whole picture size (the
  // part not read is filled), as viewers show it.
  std::vector<uint8_t> cut = EncodeJpeg(Picture(48, 48, 3), 75);
  cut.resize(cut.size() * 2 / 3);
  const TJpegImage back = Decode(cut);
  EXPECT_EQ(std::pair(back.Width, back.Pixels.size()), std::pair(48, size_t{48 * 48 * 3}));
}

// A picture of a few hundred bytes whose header claims 16384 x 8192 pixels
// (sequential and progressive) is refused before its size is allocated.
TEST(Jpeg, HugeSizeFromTinyDataIsRefusedWithoutAllocating) {
  TempDir dir;
  std::vector<uint8_t> pixels;
  for (std::vector<uint8_t> jpeg : {EncodeJpeg(Picture(16, 16, 3), 75), Cjpeg(dir, MakePnm(16, 16, 3, pixels), {"-progressive"})}) {
    ASSERT_LT(jpeg.size(), 1024u);
    // The size in the frame header (any SOFn marker).
    size_t at = 2;
    while (at + 9 < jpeg.size() && !(jpeg[at] == 0xFF && jpeg[at + 1] >= 0xC0 && jpeg[at + 1] <= 0xC2)) ++at;
    ASSERT_LT(at + 9, jpeg.size()) << "no frame header";
    jpeg[at + 5] = 0x20, jpeg[at + 6] = 0, jpeg[at + 7] = 0x40, jpeg[at + 8] = 0;
    const long before = test::PeakRssKiB();
    EXPECT_THROW(Decode(jpeg), EJpegError);
    EXPECT_LT(test::PeakRssKiB() - before, 32 * 1024);
  }
}

// A CMYK JPEG as ImageMagick writes it (Adobe's inverted form) comes out as
// the RGB picture it was made from, give or take the compression.
TEST(Jpeg, CmykComesOutAsRgb) {
  TempDir dir;
  std::vector<uint8_t> pixels;
  test::WriteFileBytes(dir / "in.ppm", MakePnm(32, 16, 3, pixels));
  ASSERT_EQ(RunCommand({"convert", dir / "in.ppm", "-colorspace", "CMYK", "-quality", "95", dir / "cmyk.jpg"}).exit_code, 0);
  const TJpegImage image = Decode(ReadFileBytes(dir / "cmyk.jpg"));
  ASSERT_EQ(std::pair(image.Components, image.Pixels.size()), std::pair(3, pixels.size()));
  double total = 0;
  for (size_t i = 0; i < pixels.size(); ++i) total += std::abs(static_cast<int>(image.Pixels[i]) - pixels[i]);
  EXPECT_LT(total / static_cast<double>(pixels.size()), 8.0);
}

}  // namespace
}  // namespace orba

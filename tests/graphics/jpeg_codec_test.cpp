#include "graphics/jpeg_codec.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <string>

#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ReadFileBytes;
using test::RunCommand;
using test::TempDir;
using test::WriteFileBytes;

// A smooth picture with some edges, as PNM bytes (P6 colour or P5 grey).
std::vector<uint8_t> MakePnm(int32_t w, int32_t h, int32_t components, std::vector<uint8_t>& pixels) {
  pixels.clear();
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t r = static_cast<uint8_t>(x * 255 / w), g = static_cast<uint8_t>(y * 255 / h),
              b = static_cast<uint8_t>(((x / 8 + y / 8) & 1) ? 220 : 30);
      if (components == 3) {
        pixels.insert(pixels.end(), {r, g, b});
      } else {
        pixels.push_back(static_cast<uint8_t>((r + g + b) / 3));
      }
    }
  std::string header = std::string(components == 3 ? "P6" : "P5") + "\n" + std::to_string(w) + " " +
                       std::to_string(h) + "\n255\n";
  std::vector<uint8_t> out(header.begin(), header.end());
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

// The raster of a binary PNM written by djpeg.
std::vector<uint8_t> PnmRaster(const std::vector<uint8_t>& pnm, int32_t& w, int32_t& h) {
  std::string text(pnm.begin(), pnm.end());
  size_t pos = 2;
  auto number = [&]() {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    size_t start = pos;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
    return std::stoi(text.substr(start, pos - start));
  };
  w = number();
  h = number();
  number();  // maximum value
  ++pos;     // one white-space byte ends the header
  return std::vector<uint8_t>(pnm.begin() + static_cast<std::ptrdiff_t>(pos), pnm.end());
}

// The smooth picture above as a TJpegImage.
TJpegImage Picture(int32_t w, int32_t h, int32_t components) {
  TJpegImage image{w, h, components, {}};
  MakePnm(w, h, components, image.Pixels);
  return image;
}

// djpeg's decode of JPEG (written to DIR/x.jpg when given) as a raster.
std::vector<uint8_t> DjpegRaster(const TempDir& dir, const std::vector<uint8_t>* jpeg = nullptr) {
  if (jpeg != nullptr) WriteFileBytes(dir / "x.jpg", *jpeg);
  EXPECT_EQ(RunCommand({"djpeg", "-pnm", "-outfile", dir / "ref.pnm", dir / "x.jpg"}).exit_code, 0);
  int32_t w = 0, h = 0;
  return PnmRaster(ReadFileBytes(dir / "ref.pnm"), w, h);
}

struct ReferenceCase {
  const char* name;
  int32_t components;
  std::vector<std::string> cjpeg_options;
};

class JpegAgainstDjpeg : public testing::TestWithParam<ReferenceCase> {};

// A picture encoded by cjpeg decodes to exactly what djpeg writes.
TEST_P(JpegAgainstDjpeg, DecodesEqualToDjpeg) {
  const ReferenceCase& c = GetParam();
  TempDir dir;
  std::vector<uint8_t> pixels;
  WriteFileBytes(dir / "in.pnm", MakePnm(77, 45, c.components, pixels));
  std::vector<std::string> cjpeg = {"cjpeg"};
  cjpeg.insert(cjpeg.end(), c.cjpeg_options.begin(), c.cjpeg_options.end());
  cjpeg.insert(cjpeg.end(), {"-outfile", dir / "x.jpg", dir / "in.pnm"});
  ASSERT_EQ(RunCommand(cjpeg).exit_code, 0);
  const std::vector<uint8_t> reference = DjpegRaster(dir), jpeg = ReadFileBytes(dir / "x.jpg");
  const TJpegImage image = DecodeJpeg(jpeg.data(), jpeg.size());
  EXPECT_EQ((std::array{image.Width, image.Height, image.Components}), (std::array{77, 45, c.components}));
  EXPECT_EQ(image.Pixels, reference);
}

INSTANTIATE_TEST_SUITE_P(
    Cjpeg, JpegAgainstDjpeg,
    testing::Values(ReferenceCase{"Colour", 3, {"-quality", "85"}},
                    ReferenceCase{"Grey", 1, {"-quality", "60"}},
                    ReferenceCase{"Progressive", 3, {"-progressive", "-quality", "90"}},
                    ReferenceCase{"NoSubsampling", 3, {"-sample", "1x1", "-quality", "95"}}),
    [](const testing::TestParamInfo<ReferenceCase>& info) { return std::string(info.param.name); });

// Our encoding decodes the same through djpeg and through us, and stays
// close to the picture encoded.
TEST(Jpeg, EncodedPictureDecodesAlikeAndCloseToTheOriginal) {
  for (int32_t components : {3, 1}) {
    TempDir dir;
    const TJpegImage image = Picture(64, 40, components);
    const std::vector<uint8_t> jpeg = EncodeJpeg(image, 90);
    const TJpegImage back = DecodeJpeg(jpeg.data(), jpeg.size());
    EXPECT_EQ(back.Pixels, DjpegRaster(dir, &jpeg));
    ASSERT_EQ(back.Pixels.size(), image.Pixels.size());
    double error = 0;
    for (size_t i = 0; i < back.Pixels.size(); ++i) {
      double d = static_cast<double>(back.Pixels[i]) - image.Pixels[i];
      error += d * d;
    }
    double psnr = 10 * std::log10(255.0 * 255.0 / (error / static_cast<double>(back.Pixels.size())));
    EXPECT_GT(psnr, 20.0) << components;  // garbage would be far below
  }
}

TEST(Jpeg, BadInputRaisesClearError) {
  const TJpegImage image = Picture(16, 16, 3);
  std::vector<uint8_t> good = EncodeJpeg(image, 75);
  std::vector<uint8_t> not_jpeg = {'B', 'M', 0, 0, 0, 0};
  std::vector<uint8_t> header_only(good.begin(), good.begin() + 20);
  EXPECT_THROW(DecodeJpeg(nullptr, 0), EJpegError);
  EXPECT_THROW(DecodeJpeg(not_jpeg.data(), not_jpeg.size()), EJpegError);
  EXPECT_THROW(DecodeJpeg(header_only.data(), header_only.size()), EJpegError);
  const std::string message = test::ErrorOf<EJpegError>([&] { DecodeJpeg(not_jpeg.data(), not_jpeg.size()); });
  EXPECT_EQ(message.rfind("JPEG: ", 0), 0u);
  EXPECT_GT(message.size(), 6u);
  TJpegImage wrong = image;
  wrong.Pixels.pop_back();
  EXPECT_THROW(EncodeJpeg(wrong, 75), EJpegError);
  wrong = image;
  wrong.Components = 2;
  EXPECT_THROW(EncodeJpeg(wrong, 75), EJpegError);
}

// A stream cut short in its data still gives the whole picture size (the
// part not read is filled), as viewers show it.
TEST(Jpeg, TruncatedDataStillDecodes) {
  std::vector<uint8_t> jpeg = EncodeJpeg(Picture(48, 48, 3), 75);
  jpeg.resize(jpeg.size() * 2 / 3);
  const TJpegImage back = DecodeJpeg(jpeg.data(), jpeg.size());
  EXPECT_EQ(back.Width, 48);
  EXPECT_EQ(back.Pixels.size(), 48u * 48u * 3u);
}

// Sets the size in the frame header (any SOFn marker) of a JPEG.
void SetFrameSize(std::vector<uint8_t>& jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xC0 && jpeg[i + 1] <= 0xC2) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      return;
    }
  }
  ADD_FAILURE() << "no frame header";
}

// Decodes in a child process; true when DecodeJpeg raised EJpegError.
// Peak is how far the child's largest resident size went beyond ours, in
// KiB.
bool DecodeInChild(const std::vector<uint8_t>& jpeg, long& peak_kib) {
  rusage self{};
  ::getrusage(RUSAGE_SELF, &self);
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 0;
    try {
      DecodeJpeg(jpeg.data(), jpeg.size());
    } catch (const EJpegError&) {
      code = 1;
    }
    ::_exit(code);
  }
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  peak_kib = usage.ru_maxrss - self.ru_maxrss;
  return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

// A picture of a few hundred bytes whose header claims 16384 x 8192 pixels
// (sequential and progressive) is refused before its size is allocated.
TEST(Jpeg, HugeSizeFromTinyDataIsRefusedWithoutAllocating) {
  std::vector<uint8_t> sequential = EncodeJpeg(Picture(16, 16, 3), 75);
  TempDir dir;
  std::vector<uint8_t> pixels;
  WriteFileBytes(dir / "in.pnm", MakePnm(16, 16, 3, pixels));
  ASSERT_EQ(RunCommand({"cjpeg", "-progressive", "-outfile", dir / "p.jpg", dir / "in.pnm"}).exit_code, 0);
  std::vector<uint8_t> progressive = ReadFileBytes(dir / "p.jpg");
  for (std::vector<uint8_t>* jpeg : {&sequential, &progressive}) {
    ASSERT_LT(jpeg->size(), 1024u);
    SetFrameSize(*jpeg, 16384, 8192);
    // In a child first: a decoding here would raise our own peak.
    long peak_kib = 0;
    EXPECT_TRUE(DecodeInChild(*jpeg, peak_kib));
    EXPECT_LT(peak_kib, 32 * 1024);
    EXPECT_THROW(DecodeJpeg(jpeg->data(), jpeg->size()), EJpegError);
  }
}

// A flat picture, compressed as far as JPEG goes, still decodes as djpeg
// decodes it, sequential and progressive.
TEST(Jpeg, FlatPictureOfLittleDataStillDecodes) {
  for (const char* mode : {"-baseline", "-progressive"}) {
    TempDir dir;
    const std::string header = "P5\n2048 1024\n255\n";
    std::vector<uint8_t> pnm(header.begin(), header.end());
    pnm.resize(pnm.size() + 2048 * 1024, 77);
    WriteFileBytes(dir / "in.pnm", pnm);
    ASSERT_EQ(RunCommand({"cjpeg", mode, "-optimize", "-quality", "10", "-outfile", dir / "x.jpg", dir / "in.pnm"})
                  .exit_code,
              0);
    const std::vector<uint8_t> reference = DjpegRaster(dir), jpeg = ReadFileBytes(dir / "x.jpg");
    const TJpegImage image = DecodeJpeg(jpeg.data(), jpeg.size());
    EXPECT_EQ(image.Width, 2048) << mode;
    EXPECT_EQ(image.Pixels, reference) << mode << " " << jpeg.size() << " bytes";
  }
}

// A CMYK JPEG as ImageMagick writes it (Adobe's inverted form) comes out as
// the RGB picture it was made from, give or take the compression.
TEST(Jpeg, CmykComesOutAsRgb) {
  TempDir dir;
  std::vector<uint8_t> pixels;
  WriteFileBytes(dir / "in.ppm", MakePnm(32, 16, 3, pixels));
  auto made = RunCommand({"convert", dir / "in.ppm", "-colorspace", "CMYK", "-quality", "95", dir / "cmyk.jpg"});
  ASSERT_EQ(made.exit_code, 0);
  std::vector<uint8_t> jpeg = ReadFileBytes(dir / "cmyk.jpg");
  TJpegImage image = DecodeJpeg(jpeg.data(), jpeg.size());
  ASSERT_EQ(image.Components, 3);
  ASSERT_EQ(image.Pixels.size(), pixels.size());
  double total = 0;
  for (size_t i = 0; i < pixels.size(); ++i) total += std::abs(static_cast<int>(image.Pixels[i]) - pixels[i]);
  EXPECT_LT(total / static_cast<double>(pixels.size()), 8.0);
}

}  // namespace
}  // namespace orba

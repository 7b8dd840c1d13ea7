// BMP: hand-worked files, run-length data kept and bounded, the clipboard
// form, hostile headers, and the fixtures of ImageMagick, netpbm and the
// Python writer against their reference decodes and through our writer.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <utility>

#include "core/errors.h"
#include "graphics/bmp.h"
#include "graphics/dib.h"
#include "graphics/graphic_errors.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::FromHex;
using test::ToHex;

void LoadHex(TDIB& d, const std::string& hex) {
  TKsMemoryStream s(FromHex(hex));
  d.LoadFromStream(s);
}

std::vector<uint8_t> Save(TDIB& d) {
  TKsMemoryStream s;
  d.SaveToStream(s);
  return s.Bytes();
}

TEST(Bmp, SixteenBitFileIsSavedWithMasks) {
  // A 2 x 1 16-bit BI_RGB file: pixels 0x7FFF and 0x001F.
  TDIB d;
  LoadHex(d, "42 4d 3a 00 00 00 00 00 00 00 36 00 00 00 28 00 00 00 02 00 00 00 01 00 00 00 01 00 10 00 00 00 00 00 04 00 00 00"
             "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ff 7f 1f 00");
  EXPECT_EQ(std::pair(d.CurrentLayout(), d.GetPixel(0, 0)), std::pair(Layout555(), 0x7FFFu));
  EXPECT_EQ(ToHex(Save(d)),
            "42 4d 46 00 00 00 00 00 00 00 42 00 00 00 "
            "28 00 00 00 02 00 00 00 01 00 00 00 01 00 10 00 03 00 00 00 04 00 00 00 "
            "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
            "00 7c 00 00 e0 03 00 00 1f 00 00 00 "
            "ff 7f 1f 00");
}

TEST(Bmp, MasksAndOs2Colours) {
  const std::string head = "42 4d 00 00 00 00 00 00 00 00 42 00 00 00 28 00 00 00 01 00 00 00 01 00 00 00 01 00 ";
  TDIB d, e, os2;
  LoadHex(d, head + "10 00 03 00 00 00 02 00 00 00 00000000 00000000 00000000 00000000 00 f8 00 00 e0 07 00 00 1f 00 00 00 ff ff 00 00");
  EXPECT_EQ(d.CurrentLayout(), Layout565());
  e.SetSize(1, 1, 8);
  EXPECT_EQ(test::ErrorOf<EInvalidGraphicOperation>([&] {
              LoadHex(e, head + "20 00 03 00 00 00 04 00 00 00 00000000 00000000 00000000 00000000 00 f8 00 00 e0 07 00 00 1f 00 00 00 01 02 03 04");
            }),
            kInvalidPixelFormatText);
  EXPECT_EQ(e.BitCount(), 8);  // a failed load keeps the old picture
  // OS/2 files have three-byte colours.
  LoadHex(os2, "42 4d 00 00 00 00 00 00 00 00 20 00 00 00 0c 00 00 00 03 00 01 00 01 00 01 00 10 20 30 40 50 60 a0 00 00 00");
  EXPECT_EQ((std::array{os2.ImageTable()[0], os2.ImageTable()[1]}), (std::array{TRGBQuad{0x10, 0x20, 0x30, 0}, TRGBQuad{0x40, 0x50, 0x60, 0}}));
  EXPECT_EQ(test::RowOf(os2, 0), (std::vector<uint32_t>{1, 0, 1}));
}

TEST(Bmp, HeaderErrorsAndHostileSizes) {
  const std::vector<std::string> bad = {
      "42",                                                      // shorter than the file header
      "42 4e 00 00 00 00 00 00 00 00 00 00 00 00",               // not "BM"
      "42 4d 00 00 00 00 00 00 00 00 00 00 00 00 28 00",         // header size cut
      "42 4d 00 00 00 00 00 00 00 00 00 00 00 00 6c 00 00 00",   // 108-byte header
      "42 4d 00 00 00 00 00 00 00 00 00 00 00 00 28 00 00 00 01 00 00 00 01 00 00 00 01 00 08 00 04 00 00 00"
      " 00000000 00000000 00000000 00000000 00000000",  // compression 4
  };
  for (const auto& hex : bad) {
    TDIB d;
    EXPECT_EQ(test::ErrorOf<EInvalidGraphic>([&] { LoadHex(d, hex); }), kInvalidDibText) << hex;
  }
  TDIB unchanged, bits;
  unchanged.SetSize(2, 2, 8);
  LoadHex(unchanged, "");
  EXPECT_EQ(unchanged.Width(), 2);
  LoadHex(unchanged, "42 4d 00 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_TRUE(unchanged.Empty());
  EXPECT_THROW(LoadHex(bits, "42 4d 00000000 00000000 00000000 28 00 00 00 01 00 00 00 01 00 00 00 01 00 0c 00"
                             " 00000000 00000000 00000000 00000000 00000000 00000000"),
               EInvalidGraphicOperation);
  const long before = test::PeakRssKiB();
  const std::string huge = "42 4d 00000000 00000000 36000000 28 00 00 00 ";
  for (const std::string dims : {"ff ff ff 7f ff ff ff 7f", "00 00 01 00 00 00 01 00", "01 00 00 00 00 00 00 80", "00 00 00 80 01 00 00 00"}) {
    TDIB d;
    EXPECT_THROW(LoadHex(d, huge + dims + " 01 00 18 00 00000000 00000000 00000000 00000000 00000000 00000000"), EOrbaError);
    // The same as run-length data: the encoded size is checked against the file.
    EXPECT_THROW(LoadHex(d, huge + dims + " 01 00 08 00 01000000 ffffff00 00000000 00000000 01000000 00000000 00 00 00 00 00 01"), EOrbaError);
  }
  EXPECT_LT(test::PeakRssKiB() - before, 256 * 1024);
}

TEST(Bmp, RunLengthDataStaysEncodedUntilUsed) {
  // 4 x 2, 8 bits: row 0 (bottom) "run of 4 x 7", end of line, absolute 3 pixels + pad, end of bitmap.
  std::string hex = "42 4d 00 00 00 00 00 00 00 00 36 04 00 00 28 00 00 00 04 00 00 00 02 00 00 00 01 00 08 00 01 00 00 00"
                    " 0c 00 00 00 00000000 00000000 00000000 00000000";
  for (int i = 0; i < 256; ++i) hex += " 00 00 00 00";
  const std::string codes = " 04 07 00 00 00 03 01 02 03 00 00 01";
  TDIB d;
  LoadHex(d, hex + codes);
  EXPECT_EQ((std::pair{d.Compressed(), d.Size()}), (std::pair{true, 12}));
  const auto saved = Save(d);
  EXPECT_EQ(ToHex(std::vector<uint8_t>(saved.end() - 12, saved.end())), ToHex(FromHex(codes)));
  EXPECT_EQ(d.GetPixel(1, 0), 2u);  // the top row holds the absolute run 1 2 3
  EXPECT_EQ((std::pair{d.GetPixel(3, 1), d.Compressed()}), (std::pair{7u, false}));
}

TEST(Bmp, RunLengthDecodersStayInsideTheBitmap) {
  const std::pair<bool, std::string> cases[] = {
      {false, "ff 01 ff 02 00 00 ff 03"},                   // runs longer than the row
      {false, "00 02 ff ff 05 09 00 02 00 ff 01 01"},       // deltas far outside
      {false, "00 ff 01 02"},                               // absolute run past the data
      {true, "ff 12 00 00 00 09 12 34 56 78 9a"},
      {true, "00 02 03 00 07 45 00 00 00 00 00 00 11 22"},  // rows past the top
  };
  for (const auto& [four, codes] : cases) {
    std::vector<uint8_t> pixels(2 * 4 + 64, 0xCC);  // 2 rows of 4 bytes, then a guard
    const auto data = FromHex(codes);
    std::fill(pixels.begin(), pixels.begin() + 8, 0);
    if (four) ExpandRle4(data.data(), data.size(), pixels.data(), 7, 2, 4);
    else ExpandRle8(data.data(), data.size(), pixels.data(), 3, 2, 4);
    EXPECT_EQ(std::count(pixels.begin() + 8, pixels.end(), 0xCC), 64) << codes;
    if (!four) {
      EXPECT_EQ((std::pair<int, int>(pixels[3], pixels[7])), (std::pair(0, 0))) << codes;  // row padding untouched
    }
  }
}

TEST(Bmp, ClipboardFormOfA256ColourImage) {
  TDIB d, back;
  d.SetSize(3, 2, 8);
  TKsMemoryStream s;
  d.WriteData(s);
  EXPECT_EQ(s.GetSize(), 40 + 1024 + 8);
  s.SetPosition(0);
  back.ReadData(s);
  EXPECT_EQ((std::pair{back.Width(), back.ImageTable()}), (std::pair{3, d.ImageTable()}));
}

// ---- files of other programs ---------------------------------------------------------

class BmpConformance : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    ASSERT_EQ(test::RunPython("fixtures/bmp_fixtures.py", {dir_->path()}).exit_code, 0);
  }
  static void TearDownTestSuite() { delete dir_; }
  static test::TempDir* dir_;
};
test::TempDir* BmpConformance::dir_ = nullptr;

// Every form decodes like its writer, and every cut ends in an error or a
// picture no larger than the whole file's.
TEST_F(BmpConformance, EveryFormDecodesLikeItsWriterAndEveryCutIsSafe) {
  const auto entries = test::ReadFixtureIndex(dir_->path());
  ASSERT_GE(entries.size(), 40u);
  for (const auto& e : entries) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(test::ComparePictures(test::DecodeFile(*dir_ / (e.name + ".bmp")), test::ReadReferenceRgba(*dir_ / (e.name + ".rgba"))), "");
    test::ExpectEveryCutSafe(test::ReadFileBytes(*dir_ / (e.name + ".bmp")), e);
  }
}

TEST_F(BmpConformance, OurWriterRoundTripsAndImageMagickReadsIt) {
  for (const auto& e : test::ReadFixtureIndex(dir_->path())) {
    SCOPED_TRACE(e.name);
    TDIB dib, again;
    dib.LoadFromFile(*dir_ / (e.name + ".bmp"));
    const std::string out = *dir_ / (e.name + ".ours.bmp");
    dib.SaveToFile(out);
    again.LoadFromFile(out);
    ASSERT_EQ(std::pair(again.Size(), again.BitCount()), std::pair(dib.Size(), dib.BitCount()));
    if (dib.BitCount() <= 8) {
      EXPECT_EQ(again.ImageTable(), dib.ImageTable());
    }
    again.ExpandRunLength();
    dib.ExpandRunLength();
    EXPECT_EQ(0, std::memcmp(again.PeekPixelBlock(), dib.PeekPixelBlock(), static_cast<size_t>(dib.Size())));
    // ImageMagick reads our file as it reads the source file (where it reads that one at all).
    const auto original = test::RunCommand({"convert", *dir_ / (e.name + ".bmp"), "-depth", "8", "rgba:-"});
    const auto theirs = test::RunCommand({"convert", out, "-depth", "8", "rgba:-"});
    if (original.exit_code != 0) continue;
    ASSERT_EQ(std::pair(theirs.exit_code, theirs.output.size()), std::pair(0, original.output.size()));
    // The fourth byte of a 32-bit pixel holds no colour: ImageMagick may read it as alpha.
    for (size_t i = 0; i < theirs.output.size(); ++i) {
      if (dib.BitCount() == 32 && i % 4 == 3) continue;
      ASSERT_EQ(theirs.output[i], original.output[i]) << "byte " << i;
    }
  }
}

}  // namespace
}  // namespace orba

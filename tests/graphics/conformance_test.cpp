// Our decodes of independently written PNG and BMP files against the
// reference decodes (Pillow, ImageMagick, netpbm, the Python model).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "core/errors.h"

#include "graphics/dib.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ComparePictures;
using test::DecodeFile;
using test::ReadFixtureIndex;
using test::ReadReferenceRgba;

// Every cut of `bytes` ends in an error or a picture no larger than the whole
// file's. A corrupt file cut before its fault may give a picture; its entry
// names no size.
void ExpectEveryCutSafe(const std::vector<uint8_t>& bytes, const test::FixtureEntry& e) {
  for (size_t n = 0; n < bytes.size(); ++n) {
    TKsSpanStream s(bytes.data(), static_cast<int64_t>(n));
    try {
      const TRgbaPicture p = DecodePictureRgba(s);
      ASSERT_TRUE(e.kind == "corrupt" || (p.Width <= e.width && p.Height <= e.height)) << e.name << " cut at " << n;
    } catch (const EOrbaError&) {
    }
  }
}

TEST(PngConformance, SuiteDecodesLikeTheReference) {
  test::TempDir dir;
  ASSERT_EQ(test::RunPython("fixtures/png_suite.py", {dir.path()}).exit_code, 0);
  const auto entries = ReadFixtureIndex(dir.path());
  ASSERT_GT(entries.size(), 150u);
  int passed = 0, failed = 0;
  for (const auto& e : entries) {
    const std::string path = dir / (e.name + ".png");
    std::string problem;
    try {
      const TRgbaPicture ours = DecodeFile(path);
      if (e.kind == "corrupt") problem = "a corrupt file was accepted";
      else problem = ComparePictures(ours, ReadReferenceRgba(dir / (e.name + ".rgba")));
    } catch (const EOrbaError& err) {
      if (e.kind != "corrupt") problem = std::string("refused: ") + err.what();
    }
    if (problem.empty()) {
      ++passed;
    } else {
      ++failed;
      ADD_FAILURE() << e.name << ": " << problem;
    }
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  EXPECT_EQ(failed, 0);
}

// Every cut of the small suite files ends in an error or a picture no larger
// than the whole file's.
TEST(PngConformance, EveryTruncationOfSmallFilesIsSafe) {
  test::TempDir dir;
  ASSERT_EQ(test::RunPython("fixtures/png_suite.py", {dir.path()}).exit_code, 0);
  int files = 0;
  for (const auto& e : ReadFixtureIndex(dir.path())) {
    const auto bytes = test::ReadFileBytes(dir / (e.name + ".png"));
    if (bytes.size() > 400) continue;
    ++files;
    ExpectEveryCutSafe(bytes, e);
  }
  EXPECT_GT(files, 50);
}

class BmpConformance : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    ASSERT_EQ(test::RunPython("fixtures/bmp_fixtures.py", {dir_->path()}).exit_code, 0);
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static test::TempDir* dir_;
};
test::TempDir* BmpConformance::dir_ = nullptr;

TEST_F(BmpConformance, EveryFormDecodesLikeItsWriter) {
  const auto entries = ReadFixtureIndex(dir_->path());
  ASSERT_GE(entries.size(), 40u);
  for (const auto& e : entries) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(ComparePictures(DecodeFile(*dir_ / (e.name + ".bmp")), ReadReferenceRgba(*dir_ / (e.name + ".rgba"))), "");
  }
}

TEST_F(BmpConformance, EveryTruncationIsSafe) {
  for (const auto& e : ReadFixtureIndex(dir_->path())) ExpectEveryCutSafe(test::ReadFileBytes(*dir_ / (e.name + ".bmp")), e);
}

TEST_F(BmpConformance, OurWriterRoundTripsAndImageMagickReadsIt) {
  for (const auto& e : ReadFixtureIndex(dir_->path())) {
    SCOPED_TRACE(e.name);
    TDIB dib;
    dib.LoadFromFile(*dir_ / (e.name + ".bmp"));
    const std::string out = *dir_ / (e.name + ".ours.bmp");
    dib.SaveToFile(out);
    TDIB again;
    again.LoadFromFile(out);
    ASSERT_EQ(again.Size(), dib.Size());
    EXPECT_EQ(again.BitCount(), dib.BitCount());
    if (dib.BitCount() <= 8) {
      EXPECT_EQ(again.ImageTable(), dib.ImageTable());
    }
    again.ExpandRunLength();
    dib.ExpandRunLength();
    EXPECT_EQ(0, std::memcmp(again.PeekPixelBlock(), dib.PeekPixelBlock(), static_cast<size_t>(dib.Size())));
    // ImageMagick reads our file as it reads the original (where it reads the original at all).
    const auto original = test::RunCommand({"convert", *dir_ / (e.name + ".bmp"), "-depth", "8", "rgba:-"});
    const auto theirs = test::RunCommand({"convert", out, "-depth", "8", "rgba:-"});
    if (original.exit_code != 0) continue;
    ASSERT_EQ(theirs.exit_code, 0);
    ASSERT_EQ(theirs.output.size(), original.output.size());
    // The fourth byte of a 32-bit pixel holds no colour: ImageMagick may read it as alpha.
    for (size_t i = 0; i < theirs.output.size(); ++i) {
      if (dib.BitCount() == 32 && i % 4 == 3) continue;
      ASSERT_EQ(theirs.output[i], original.output[i]) << "byte " << i;
    }
  }
}

}  // namespace
}  // namespace orba

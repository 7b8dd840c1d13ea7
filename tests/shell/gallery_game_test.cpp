// The "gallery" game at a sixteenth of full-screen 1080p: a hundred
// pictures of 480 x 270, each its own file, held at once while a movie of
// that size plays over them to its end. Under a heap ceiling in the
// proportion of this machine's to a gallery at full size, the game plays
// to its end; under a ceiling the pictures alone pass, it ends with exit 1
// and the heap line. (The full size, a hundred 1920 x 1080 pictures and a
// 1920 x 1080 movie at this machine's ceiling, is bench/picture_limits.sh.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "shell/peak_checks.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;

using test::ExpectContains;
using test::ExpectLacks;

constexpr int32_t kWidth = 480, kHeight = 270, kPictures = 100;

// Picture K: one 24-bit layer of a flat colour of its own.
void WritePicture(const std::string& path, int32_t k) {
  TBrixFrameList list;
  TBrixLayer* layer = list.AddFrame()->AddLayer();
  layer->Surface->SetSize(kWidth, kHeight, 24);
  layer->Surface->FillRect(layer->Surface->GetBounds(), static_cast<uint32_t>(0x203040 + k));
  TKsMemoryStream out;
  list.SaveToStream(out, 0, 70);
  test::WriteFileBytes(path, out.Bytes());
}

class GalleryGame : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
    const test::CommandResult movie = test::RunCommand(
        {"sh", "-c",
         "command -v ffmpeg >/dev/null || exit 77; exec ffmpeg -v error -y -f lavfi -i "
         "testsrc2=size=$1:rate=10:duration=1 -c:v ffv1 -pix_fmt bgr0 \"$2\"",
         "sh", size, dir_ / "movie.avi"});
    if (movie.exit_code == 77) GTEST_SKIP() << "no ffmpeg program: the movie cannot be made";
    ASSERT_EQ(movie.exit_code, 0) << movie.output;
    test::BuildGame("gallery", game_, true, {"Width = " + std::to_string(kWidth), "Height = " + std::to_string(kHeight)});
    fs::copy_file(dir_ / "movie.avi", game_ + "/movie.avi");
    for (int32_t k = 0; k < kPictures; ++k) WritePicture(game_ + "/p" + std::to_string(k) + ".brx", k);
  }

  test::TempDir dir_;
  const std::string game_ = dir_ / "game";
};

TEST_F(GalleryGame, AHundredPicturesAndAMoviePlayToTheEndUnderTheirCeiling) {
  // What the pictures hold at the player's 32 bits: 51.8 MB (49.4 MiB); at
  // full size 16 times that, 791 MiB, under a 3 GiB ceiling.
  const struct {
    const char* Ceiling;  // MiB
    bool Ends;            // at its end, exit 0; else at the ceiling, exit 1
  } runs[] = {{"192", true}, {"40", false}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.Ceiling);
    fs::remove(game_ + "/save.dat");
    const test::CommandResult r = test::PlayGameUnquarantined(game_, 200, {"--heap-ceiling", run.Ceiling});
    RecordProperty(std::string("peak_kb_") + run.Ceiling, std::to_string(r.peak_rss_kb));
    if (!run.Ends) {
      EXPECT_EQ(r.exit_code, 1) << r.output;
      ExpectContains(r.output, {"heap ceiling: no exit page, no status save\n"});
      continue;
    }
    ASSERT_EQ(r.exit_code, 0) << r.output;
    ExpectLacks(r.output, {"heap ceiling", "refused"});
    ExpectContains(test::DumpSave(game_ + "/save.dat"),
                   {"var wide int = " + std::to_string(kWidth * kPictures), "var ended int = 1", "var frames int = 10"});
  }
}

}  // namespace
}  // namespace orba

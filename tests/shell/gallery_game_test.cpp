// The "gallery" game at a sixteenth of full-screen 1080p: a hundred
// pictures of 480 x 270, each its own file, held at once while a movie of
// that size plays over them to its end. Under a heap ceiling in the
// proportion of this machine's to a gallery at full size, and under this
// machine's own, the movie ends with the pictures still held and the page
// reaches its last line; under a ceiling the pictures alone pass, the game
// ends with exit 1 and the heap line. (The full size, a hundred 1920 x 1080 pictures and a
// 1920 x 1080 movie at this machine's ceiling, is bench/picture_limits.sh.)
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "core/system/heap_watch.h"
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
  // This machine's own ceiling holds it as well: half the memory of any
  // machine the tests run on is far above the 192 MiB it needs.
  ASSERT_GE(MachineHeapCeiling(), uint64_t{192} << 20);
  const struct {
    const char* Ceiling;  // MiB; "": this machine's
    bool Ends;            // at its end, exit 0; else at the ceiling, exit 1
  } runs[] = {{"192", true}, {"", true}, {"40", false}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.Ceiling);
    fs::remove(game_ + "/save.dat");
    const std::vector<std::string> options =
        *run.Ceiling != '\0' ? std::vector<std::string>{"--heap-ceiling", run.Ceiling} : std::vector<std::string>{};
    const test::CommandResult r = test::PlayGameUnquarantined(game_, 120, options);
    RecordProperty(std::string("peak_kb_") + (*run.Ceiling != '\0' ? run.Ceiling : "machine"),
                   std::to_string(r.peak_rss_kb));
    if (!run.Ends) {
      EXPECT_EQ(r.exit_code, 1) << r.output;
      ExpectContains(r.output, {"heap ceiling: no exit page, no status save\n"});
      continue;
    }
    ASSERT_EQ(r.exit_code, 0) << r.output;
    ExpectLacks(r.output, {"heap ceiling", "refused"});
    const std::string widths = std::to_string(kWidth * kPictures) + "\n";
    ExpectContains(test::DumpSave(game_ + "/save.dat"), {"var wide int = " + widths, "var kept int = " + widths,
                                                          "var length int = 1000\n", "var ended int = 1\n",
                                                          "var last int = 1\n"});
  }
}

}  // namespace
}  // namespace orba

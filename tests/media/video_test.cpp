// Video items without a sound output: the picture follows the game clock,
// a repeating video seeks back to its start, and files that are no video
// (or end inside their frames) give no item or play to their end safely.
// The clips lie in a game folder read through the file manager.
#include <gtest/gtest.h>

#include "core/files/vr_file_manager.h"
#include "media/mixer.h"
#include "media/video_manager.h"
#include "support/test_support.h"

namespace orba {
namespace {

class VideoItem : public ::testing::Test {
 protected:
  void SetUp() override {
    const test::CommandResult r = test::RunPython("fixtures/video_fixtures.py", {"make", dir_.path()});
    if (r.exit_code == 77) GTEST_SKIP() << "no ffmpeg program: the test clips cannot be made";
    ASSERT_EQ(r.exit_code, 0) << r.output;
    files_.SetOverrideFolder(dir_.path());
  }
  // Runs the tick from From to To ms in steps of 20 ms.
  void Run(uint32_t from, uint32_t to) {
    for (uint32_t ms = from; ms <= to; ms += 20) {
      mixer_.Pump(ms);
      mixer_.Fill();
      manager_.Tick(ms);
    }
  }
  test::TempDir dir_;
  TVrFileManager files_;
  TMixer mixer_{nullptr};
  TVideoManager manager_{mixer_, &files_};
};

TEST_F(VideoItem, WithoutAnOutputThePictureFollowsTheGameClock) {
  const struct {
    bool repeat;
    uint32_t until;
    int64_t picture;
    bool ended;
  } cases[] = {{false, 520, 500, false}, {false, 1300, 900, true}, {true, 1520, 500, false}};
  for (const auto& c : cases) {
    TVideoItem* item = manager_.Add("clip.avi", true);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->GetLength(), 1000);
    item->SetRepeat(c.repeat);
    item->Play();
    Run(0, c.until);
    EXPECT_EQ(item->GetDC()->Time, c.picture) << c.until;
    EXPECT_EQ(item->IsEnd(), c.ended) << c.until;
    manager_.Remove(item);
  }
  EXPECT_EQ(manager_.Count(), 0u);
}

TEST_F(VideoItem, FilesThatAreNoVideoGiveNoItem) {
  for (const char* name : {"garbage.avi", "cut.avi", "missing.avi"}) EXPECT_EQ(manager_.Add(name, true), nullptr);
  EXPECT_EQ(manager_.Count(), 0u);
  // A file cut inside its frames plays what it has and ends.
  TVideoItem* item = manager_.Add("half.avi", false);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->GetDC(), nullptr);
  item->Play();
  Run(0, 1200);
  EXPECT_TRUE(item->IsEnd());
  EXPECT_LT(item->Picture().Time, 900);
}

}  // namespace
}  // namespace orba

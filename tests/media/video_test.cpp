// Video items without a sound output: the picture follows the game clock,
// a repeating video seeks back to its start, and files that are no video
// (or end inside their frames) give no item or play to their end safely.
// The movie item at its end raises OnPlayEnd on every tick, never piling up
// entries, until it is played or sought again; its saved state keeps its
// own zoom. The clips lie in a game folder read through the file manager.
#include <gtest/gtest.h>

#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "items/base_list.h"
#include "media/media_system.h"
#include "media/mixer.h"
#include "media/video_decoder.h"
#include "media/video_item.h"
#include "media/video_manager.h"
#include "platform/headless/memory_audio.h"
#include "script/save/save_data.h"
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

// The movie item "v" on clip.avi (1000 ms) in frame-copy mode, started at
// clock 0, with the headless sound output.
class MovieEnd : public VideoItem {
 protected:
  void SetUp() override {
    VideoItem::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    InitMediaGlobals(&files_, std::make_shared<TMemoryAudio>());
    objects_ = std::make_unique<TOrbaBaseList>();
    GameClock = 0;
    movie_ = NewOrbaObject<TOrbaVideo>(objects_.get());
    movie_->SetName("v");
    movie_->SetOverlay(false);
    movie_->SetSource("clip.avi");
    movie_->SetOnPlayEnd("main.osb:end");
    movie_->SetState(0);
    ASSERT_NE(movie_->Item(), nullptr);
  }
  void TearDown() override {
    if (objects_ == nullptr) return;
    objects_.reset();
    DoneMediaGlobals();
    GameClock = 0;
  }
  TTimerList& Events() { return objects_->Events; }
  // Runs the ticks of 20 ms up to To. With Handled, each tick first takes
  // the waiting entries as the interpreter runs their handlers; answers how
  // many it took.
  int RunTicks(uint32_t to, bool handled) {
    int taken = 0;
    for (; GameClock <= to; GameClock += 20) {
      for (; handled && Events().Count() > 0; ++taken) Events().Delete(0);
      MediaCatchUp(GameClock);
      MediaTick(GameClock);
      EXPECT_FALSE(movie_->Idle());
    }
    return taken;
  }

  std::unique_ptr<TOrbaBaseList> objects_;
  TOrbaVideo* movie_ = nullptr;
};

TEST_F(MovieEnd, AtItsEndOnPlayEndComesOnEveryTickButNeverTwiceAtOnce) {
  EXPECT_EQ(RunTicks(900, true), 0);
  EXPECT_GT(RunTicks(1300, true), 0);
  // Each tick at the end queues one entry once the last one was taken.
  for (int i = 0; i < 10; ++i) EXPECT_EQ(RunTicks(GameClock, true), 1) << i;
  // An entry whose handler has not run (or still runs) is not joined by
  // another.
  RunTicks(GameClock + 400, false);
  EXPECT_EQ(Events().Count(), 1);
  EXPECT_EQ(Events().GetItem(0)->Code, PR_ONPLAYEND);
}

// Played again or sought, a movie that reached its end raises nothing until
// it reaches its end again: MediaPlay, an unpause and a fade-in play it from
// the start; a seek moves it without playing it.
TEST_F(MovieEnd, PlayedOrSoughtAgainItForgetsItsLastEnd) {
  const struct {
    const char* name;
    void (*again)(TOrbaVideo&);
    bool ends_again;
  } cases[] = {
      {"played", [](TOrbaVideo& v) { v.Play(); }, true},
      {"unpaused",
       [](TOrbaVideo& v) {
         v.SetPaused(true);
         v.SetPaused(false);
       },
       true},
      {"faded in",
       [](TOrbaVideo& v) {
         v.SetDelay(200);
         v.SetState(1);
       },
       true},
      {"sought", [](TOrbaVideo& v) { v.SetIndex(500); }, false},
  };
  for (const auto& c : cases) {
    RunTicks(GameClock + 1300, true);
    ASSERT_TRUE(movie_->Item()->IsEnd()) << c.name;
    RunTicks(GameClock, true);
    EXPECT_EQ(Events().Count(), 1) << c.name;
    Events().Delete(0);
    c.again(*movie_);
    EXPECT_EQ(RunTicks(GameClock + 800, true), 0) << c.name;
    EXPECT_EQ(RunTicks(GameClock + 600, true) > 0, c.ends_again) << c.name;
    if (!c.ends_again) movie_->Play();
  }
}

// A movie's saved image record holds the movie's own zoom: a movie zoomed
// to 384 and given a Width loads at its zoom, sized by it. A record whose
// zoom is 0 (what a Width on a movie left there in older saves) loads at 1:1.
TEST_F(MovieEnd, ItsSavedStateKeepsItsOwnZoomAndNotAWidth) {
  const struct {
    int32_t saved_zoom, loaded_zoom, loaded_width;
  } cases[] = {{384, 384, 96}, {0, 256, 64}};
  for (const auto& c : cases) {
    movie_->SetZoomX(384);
    movie_->SetWidth(10);
    movie_->MovieZoomX = c.saved_zoom;
    TKsMemoryStream saved;
    movie_->SaveToStream(saved);
    saved.SetPosition(0);
    auto* loaded = NewOrbaObject<TOrbaVideo>(objects_.get());
    loaded->LoadFromStream(saved, kGameStateVersion);
    EXPECT_EQ(loaded->GetZoomX(), c.loaded_zoom) << c.saved_zoom;
    EXPECT_EQ(loaded->GetWidth(), c.loaded_width) << c.saved_zoom;
    loaded->Scrap();
  }
}

}  // namespace
}  // namespace orba

namespace orba {
namespace {

// The pictures of all open movies are counted together: six converted
// frames and three codec frames of 1920 x 1080 at 32 bits come to about
// 75 MB a movie, so three such movies open and a fourth is refused until
// one of them goes; each gives back what it was counted at.
TEST(MoviePictures, AllOpenMoviesTogetherHoldNoMoreThanOnePicture) {
  test::TempDir dir;
  const test::CommandResult made = test::RunCommand(
      {"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=c=red:size=1920x1080:rate=10", "-frames:v", "1", "-c:v",
       "ffv1", "-pix_fmt", "bgr0", dir / "big.avi"});
  if (made.exit_code != 0) GTEST_SKIP() << "no ffmpeg program: the clip cannot be made " << made.output;
  const std::vector<uint8_t> clip = test::ReadFileBytes(dir / "big.avi");
  auto open = [&clip] { return std::make_unique<TVideoDecoder>(std::make_unique<TKsMemoryStream>(clip)); };
  const int64_t before = TVideoDecoder::PictureBytesHeld();
  const int64_t one = (6 + 3) * int64_t{1920} * 1080 * 4;
  std::vector<std::unique_ptr<TVideoDecoder>> movies;
  for (int i = 0; i < 3; ++i) {
    movies.push_back(open());
    EXPECT_EQ(TVideoDecoder::PictureBytesHeld() - before, one * (i + 1)) << i;
  }
  EXPECT_THROW(open(), EMediaError);
  EXPECT_EQ(TVideoDecoder::PictureBytesHeld() - before, one * 3);
  movies.pop_back();
  EXPECT_NO_THROW(movies.push_back(open()));
  movies.clear();
  EXPECT_EQ(TVideoDecoder::PictureBytesHeld(), before);
}

}  // namespace
}  // namespace orba

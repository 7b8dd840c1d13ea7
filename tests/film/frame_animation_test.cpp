// The frame animation with a film double whose one track moves its owner's
// MotionX to the frame number and counts what it applied.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/game_clock.h"
#include "film/frame_animation.h"
#include "items/base_list.h"
#include "items/box.h"

namespace orba {
namespace {

class TTestFilm final : public TFilmManager {
 public:
  explicit TTestFilm(int32_t length) : Length(length) {}
  void LoadFromFile(const std::string& name) override {}
  int32_t GetLength() const override { return Length; }
  int32_t Length, Applies = 0;

 protected:
  void ApplyTracks(int32_t frame) override {
    ++Applies;
    Owner->SetMotionX(BaseX + frame);
  }
};

struct FrameAnimation : ::testing::Test {
  TOrbaBaseList m;
  TOrbaBox* owner = NewOrbaObject<TOrbaBox>(&m);
  int32_t saved_frame_time = FrameTime;
  void TearDown() override { FrameTime = saved_frame_time; }
  TOrbaMotionFilm Motion(int32_t length) { return TOrbaMotionFilm(*owner, std::make_unique<TTestFilm>(length)); }
};

TEST_F(FrameAnimation, SixtyFramesEndOnTheStepWhereElapsedReaches992) {
  FrameTime = 16;
  TOrbaMotionFilm motion = Motion(60);
  int steps = 1;
  while (!motion.Step()) ASSERT_LT(++steps, 100);
  // Two steps show frame 0, then 16 ms a step: 992 ms is frame 59.52 -> 60.
  EXPECT_EQ(std::vector<int32_t>({steps, motion.Elapsed, motion.Frame, owner->GetMotionX()}),
            std::vector<int32_t>({64, 992, 59, 59}));
  EXPECT_TRUE(motion.Ended() && !motion.Step());
  motion.Rewind();
  EXPECT_TRUE(!motion.Step() && owner->GetMotionX() == 0);
}

TEST_F(FrameAnimation, RepeatContinuesAtTheLoopStartAndAnEmptyFilmEndsAtOnce) {
  FrameTime = 0;
  owner->Repeat = true;
  TOrbaMotionFilm motion = Motion(60);
  motion.Film->LoopStart = 10;
  for (int i = 0; i < 2; ++i) motion.Step();
  motion.Elapsed = 1083;  // frame 64.98 -> 65
  EXPECT_FALSE(motion.Step());
  EXPECT_EQ(std::vector<int32_t>({motion.Frame, motion.Elapsed, owner->GetMotionX()}),
            std::vector<int32_t>({15, 250, 15}));

  for (const bool repeat : {false, true}) {
    owner->Repeat = repeat;
    TOrbaMotionFilm empty = Motion(0);
    EXPECT_EQ(empty.Step(), !repeat);
    EXPECT_EQ(static_cast<TTestFilm&>(*empty.Film).Applies, 0);
  }
}

TEST_F(FrameAnimation, ARelativeFilmFollowsItsOwnerAndTheMotionResetsItOnDestruction) {
  FrameTime = 16;
  owner->SetBounds(5, 6, 10, 10);
  {
    TOrbaMotionFilm motion = Motion(60);
    motion.Film->Relative = true;
    motion.Step();
    EXPECT_EQ(owner->GetMotionX(), 5);
    motion.Step();
    owner->SetLeft(30);
    motion.Step();
    EXPECT_EQ(std::vector<int32_t>({motion.Film->BaseX, motion.Film->BaseY, owner->GetMotionX()}),
              std::vector<int32_t>({30, 6, 31}));
  }
  EXPECT_EQ(owner->GetMotionX(), 0);
}

}  // namespace
}  // namespace orba

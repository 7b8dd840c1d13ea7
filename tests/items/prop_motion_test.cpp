// The property motion item: its three easings, a duration of one tick, a
// target removed while it runs, and its saved state.
#include <gtest/gtest.h>

#include <cmath>

#include "core/game_clock.h"
#include "core/streams/big_stream.h"
#include "items/base_list.h"
#include "items/box.h"
#include "items/prop_motion.h"

namespace orba {
namespace {

struct PropMotion : ::testing::Test {
  TOrbaBaseList m;
  TOrbaBox* box = NewOrbaObject<TOrbaBox>(&m);
  int32_t saved_frame_time = FrameTime;
  PropMotion() {
    box->SetName("box");
    box->SetParent(m.GetBase(0));
  }
  ~PropMotion() override { FrameTime = saved_frame_time; }
  TOrbaPropMotion* Make(uint8_t mode, int32_t duration, long double end) {
    auto* motion = static_cast<TOrbaPropMotion*>(CreateCompoByType(&m, CT_PROPMOTION));
    motion->TargetName = "box";
    motion->PropId = PR_LEFT;
    motion->Mode = mode;
    motion->Duration = duration;
    motion->EndValue = end;
    return motion;
  }
};

TEST_F(PropMotion, EasingsAtHalfTime) {
  const struct { uint8_t mode; long double want; } cases[] = {{MT_NORMAL, 50}, {MT_INC, 29.4}, {MT_DEC, 70.7}};
  for (const auto& c : cases) {
    TOrbaPropMotion* motion = Make(c.mode, 1000, 100);
    EXPECT_NEAR(static_cast<double>(motion->ValueAt(500)), static_cast<double>(c.want), 0.1) << int{c.mode};
    EXPECT_EQ(static_cast<double>(motion->ValueAt(999)), 100.0);
  }
}

TEST_F(PropMotion, ADurationOfOneWritesStartThenEndAndTheMotionGoes) {
  FrameTime = 16;
  box->SetLeft(7);
  const TObjectHandle motion = Make(MT_NORMAL, 1, 40)->Handle();
  m.Idle();
  EXPECT_EQ(box->Left, 7);
  EXPECT_NE(m.Lookup(motion), nullptr);
  m.Idle();
  EXPECT_EQ(box->Left, 40);
  EXPECT_EQ(m.Lookup(motion), nullptr);
}

TEST_F(PropMotion, ARemovedTargetEndsTheMotionWithoutAWrite) {
  FrameTime = 100;
  const TObjectHandle motion = Make(MT_NORMAL, 1000, 100)->Handle();
  m.Idle();
  m.Idle();
  EXPECT_EQ(box->Left, 10);
  box->Scrap();
  TOrbaBox* other = NewOrbaObject<TOrbaBox>(&m);  // a new object of the same name is not the target
  other->SetName("box");
  m.Idle();
  EXPECT_EQ(m.Lookup(motion), nullptr);
  EXPECT_EQ(other->Left, 0);
}

TEST_F(PropMotion, ASavedMotionContinuesAndReadsItsStartAfresh) {
  FrameTime = 100;
  TOrbaPropMotion* motion = Make(MT_DEC, 1000, -3.25L);
  motion->SetName("pm");
  m.Idle();
  TKsMemoryStream stream;
  motion->SaveToStream(stream);
  stream.SetPosition(0);
  TOrbaPropMotion loaded(&m);
  loaded.LoadFromStream(stream, kSceneVersion);
  EXPECT_EQ(loaded.TargetName + " " + std::to_string(loaded.Elapsed), "box 100");
  EXPECT_EQ(loaded.EndValue, -3.25L);
  EXPECT_FALSE(loaded.Target);
  // A target gone before the save: the loaded motion has no property and
  // ends, rather than moving the screen root that the empty name finds.
  box->Scrap();
  TKsMemoryStream again;
  motion->SaveToStream(again);
  again.SetPosition(0);
  loaded.LoadFromStream(again, kSceneVersion);
  EXPECT_EQ(loaded.TargetName + " " + std::to_string(loaded.PropId), " 255");
}

}  // namespace
}  // namespace orba

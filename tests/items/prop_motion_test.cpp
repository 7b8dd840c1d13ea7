// The property motion item: its three easings, a duration of one tick, a
// target removed while it runs, and its saved state.
#include <gtest/gtest.h>

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
  PropMotion() { box->SetName("box"); }
  ~PropMotion() override { FrameTime = saved_frame_time; }
  TOrbaPropMotion* Make(uint8_t mode, int32_t duration, long double end) {
    TPropMotionSetup setup{"", "box", PR_LEFT, end, duration, mode, std::nullopt};
    return static_cast<TOrbaPropMotion*>(m.Lookup(m.Services.CreatePropMotion(setup)));
  }
};

TEST_F(PropMotion, EasingsAtHalfTime) {
  const struct { uint8_t mode; long double want; } cases[] = {{MT_NORMAL, 50}, {MT_INC, 29.4}, {MT_DEC, 70.7}};
  for (const auto& c : cases) {
    TOrbaPropMotion* motion = Make(c.mode, 1000, 100);
    EXPECT_NEAR(static_cast<double>(motion->ValueAt(500)), static_cast<double>(c.want), 0.1) << int{c.mode};
  }
}

TEST_F(PropMotion, ADurationOfOneWritesStartThenEndAndTheMotionGoes) {
  FrameTime = 16;
  box->SetLeft(7);
  const TObjectHandle motion = Make(MT_NORMAL, 1, 40)->Handle();
  m.Idle();
  EXPECT_TRUE(box->GetLeft() == 7 && m.Lookup(motion) != nullptr);
  m.Idle();
  EXPECT_TRUE(box->GetLeft() == 40 && m.Lookup(motion) == nullptr);
}

TEST_F(PropMotion, ARemovedTargetEndsTheMotionWithoutAWrite) {
  FrameTime = 100;
  const TObjectHandle motion = Make(MT_NORMAL, 1000, 100)->Handle();
  m.Idle();
  m.Idle();
  EXPECT_EQ(box->GetLeft(), 10);
  box->Scrap();
  TOrbaBox* other = NewOrbaObject<TOrbaBox>(&m);  // a new object of the same name is not the target
  other->SetName("box");
  m.Idle();
  EXPECT_TRUE(m.Lookup(motion) == nullptr && other->GetLeft() == 0);
}

TEST_F(PropMotion, ASavedMotionContinuesAndReadsItsStartAfresh) {
  FrameTime = 100;
  TOrbaPropMotion* motion = Make(MT_DEC, 1000, -3.25L);
  motion->SetName("pm");
  m.Idle();
  TOrbaPropMotion loaded(&m);
  auto round_trip = [&] {
    TKsMemoryStream stream;
    motion->SaveToStream(stream);
    stream.SetPosition(0);
    loaded.LoadFromStream(stream, kSceneVersion);
    return loaded.TargetName + " " + std::to_string(loaded.PropId) + " " + std::to_string(loaded.Elapsed);
  };
  EXPECT_EQ(round_trip(), "box 3 100");
  EXPECT_TRUE(loaded.EndValue == -3.25L && !loaded.Target);
  // A target gone before the save: the loaded motion has no property and
  // ends, rather than moving the screen root that the empty name finds.
  box->Scrap();
  EXPECT_EQ(round_trip(), " 255 100");
}

}  // namespace
}  // namespace orba

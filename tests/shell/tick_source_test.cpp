#include "shell/tick_source.h"

#include <gtest/gtest.h>

#include <string>

#include "core/game_clock.h"
#include "platform/headless/fake_clock.h"

namespace orba {
namespace {

class TickSourceTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetPlayerGlobals(); }
  void TearDown() override { ResetPlayerGlobals(); }
  // "ticks N clock C frame F" of the player's globals.
  static std::string State() {
    return "ticks " + std::to_string(TickCount) + " clock " + std::to_string(GameClock) + " frame " +
           std::to_string(FrameTime);
  }
  TFakeClock clock{1000};
  TTickSource ticks{clock};
};

TEST_F(TickSourceTest, StepsOf15MsGiveOneTickEach) {
  for (int i = 1; i <= 100; ++i) {
    clock.Advance(15);
    ASSERT_TRUE(ticks.Poll()) << i;
    ASSERT_FALSE(ticks.Poll()) << i;  // measured already
  }
  EXPECT_EQ(State(), "ticks 100 clock 1500 frame 15");
}

TEST_F(TickSourceTest, ShorterStepsWaitForThePeriodAndCountWhole) {
  clock.Advance(10);
  EXPECT_FALSE(ticks.Poll());
  EXPECT_EQ(ticks.MsUntilDue(), 5u);
  clock.Advance(10);
  EXPECT_EQ(ticks.MsUntilDue(), 0u);
  EXPECT_TRUE(ticks.Poll());
  EXPECT_EQ(State(), "ticks 1 clock 20 frame 20");
  EXPECT_EQ(ticks.MsUntilDue(), 15u);
}

TEST_F(TickSourceTest, AGapOf300MsOrMoreAddsNothingAndMakesNoTick) {
  clock.Advance(15);
  ASSERT_TRUE(ticks.Poll());
  clock.Advance(300);
  EXPECT_FALSE(ticks.Poll());
  EXPECT_EQ(ticks.LastDroppedGap(), 300u);
  EXPECT_EQ(State(), "ticks 1 clock 15 frame 15");  // the last accepted tick's length
  clock.Advance(100000);
  EXPECT_FALSE(ticks.Poll());
  EXPECT_EQ(GameClock, 15u);
  // The time goes on from the end of the gap.
  clock.Advance(16);
  EXPECT_TRUE(ticks.Poll());
  EXPECT_EQ(ticks.LastDroppedGap(), 0u);
  EXPECT_EQ(State(), "ticks 2 clock 31 frame 16");
  // Just under the gap still counts.
  clock.Advance(299);
  EXPECT_TRUE(ticks.Poll());
  EXPECT_EQ(State(), "ticks 3 clock 330 frame 299");
}

TEST_F(TickSourceTest, PausedTimeIsNeverCounted) {
  clock.Advance(15);
  ASSERT_TRUE(ticks.Poll());
  ticks.SetPaused(true);
  for (int i = 0; i < 10; ++i) {
    clock.Advance(15);
    EXPECT_FALSE(ticks.Poll());
  }
  ticks.SetPaused(false);
  clock.Advance(20);
  EXPECT_TRUE(ticks.Poll());
  EXPECT_EQ(State(), "ticks 2 clock 35 frame 20");
}

TEST_F(TickSourceTest, TheTimerMayWrapAround) {
  clock.Set(0xFFFFFFF8u);
  ticks.Restart();
  clock.Advance(15);
  EXPECT_EQ(clock.NowMs(), 7u);
  EXPECT_TRUE(ticks.Poll());
  EXPECT_EQ(FrameTime, 15);
  // The game clock and the tick count wrap in the same way.
  GameClock = 0xFFFFFFFFu;
  clock.Advance(15);
  EXPECT_TRUE(ticks.Poll());
  EXPECT_EQ(GameClock, 14u);
  TickCount = INT32_MAX;
  clock.Advance(15);
  EXPECT_TRUE(ticks.Poll());
  EXPECT_EQ(TickCount, INT32_MIN);
}

}  // namespace
}  // namespace orba

#include "shell/tick_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/game_clock.h"
#include "platform/headless/fake_clock.h"

namespace orba {
namespace {

class TickSourceTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetPlayerGlobals(); }
  void TearDown() override { ResetPlayerGlobals(); }
  // Advances the clock by each of Ms in turn and polls. Per step: "tick" or
  // "none", the tick count, game clock and frame length after the poll, the
  // time until a tick is due asked before it and the gap it dropped.
  std::string Steps(const std::vector<uint32_t>& ms) {
    std::string out;
    for (const uint32_t step : ms) {
      clock.Advance(step);
      const uint32_t due = ticks.MsUntilDue();
      const bool tick = ticks.Poll();
      out += std::string(tick ? "tick " : "none ") + std::to_string(TickCount) + "/" +
             std::to_string(GameClock) + "/" + std::to_string(FrameTime) + " due " + std::to_string(due) +
             " gap " + std::to_string(ticks.LastDroppedGap()) + "\n";
    }
    return out;
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
  EXPECT_EQ(Steps({0}), "none 100/1500/15 due 15 gap 0\n");
}

TEST_F(TickSourceTest, ShorterStepsWaitForThePeriodAndCountWhole) {
  EXPECT_EQ(Steps({10, 10, 0}), "none 0/0/0 due 5 gap 0\ntick 1/20/20 due 0 gap 0\nnone 1/20/20 due 15 gap 0\n");
}

// A gap of 300 ms or more adds nothing and makes no tick (the frame length
// stays the last accepted tick's); the time goes on from the end of the
// gap, and just under the gap still counts.
TEST_F(TickSourceTest, AGapOf300MsOrMoreAddsNothingAndMakesNoTick) {
  EXPECT_EQ(Steps({15, 300, 100000, 16, 299}),
            "tick 1/15/15 due 0 gap 0\nnone 1/15/15 due 0 gap 300\nnone 1/15/15 due 0 gap 100000\n"
            "tick 2/31/16 due 0 gap 0\ntick 3/330/299 due 0 gap 0\n");
}

TEST_F(TickSourceTest, PausedTimeIsNeverCounted) {
  Steps({15});
  ticks.SetPaused(true);
  std::string none;
  for (int i = 0; i < 10; ++i) none += "none 1/15/15 due 0 gap 0\n";
  EXPECT_EQ(Steps(std::vector<uint32_t>(10, 15)), none);
  ticks.SetPaused(false);
  EXPECT_EQ(Steps({20}), "tick 2/35/20 due 0 gap 0\n");
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
  TickCount = INT32_MAX;
  EXPECT_EQ(Steps({15}), "tick " + std::to_string(INT32_MIN) + "/14/15 due 0 gap 0\n");
}

}  // namespace
}  // namespace orba

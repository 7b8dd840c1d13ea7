#include "core/game_clock.h"

#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <vector>

#include "platform/headless/fake_clock.h"

namespace orba {
namespace {

double fake_now = 0;
double FakeNow() { return fake_now; }

class GameClockTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SetDateTimeSource(nullptr);
    SetSystemClock(nullptr);
    SetMessageProcessor(nullptr);
    ResetPlayerGlobals();
  }
};

TEST_F(GameClockTest, CachedNowIsTakenAgainOnlyWhenTheGameClockMoved) {
  SetDateTimeSource(&FakeNow);
  fake_now = 100.25;
  EXPECT_EQ(CachedNow(), 100.25);
  fake_now = 200.5;
  EXPECT_EQ(CachedNow(), 100.25);
  GameClock += 15;
  EXPECT_EQ(CachedNow(), 200.5);
  fake_now = 300;
  EXPECT_EQ(CachedNow(), 200.5);
  SetDateTimeSource(&FakeNow);  // a new source forgets the cached value
  EXPECT_EQ(CachedNow(), 300.0);
}

TEST_F(GameClockTest, DatesCountDaysFrom30December1899) {
  // 1900 has no 29 February: 1 March 1900 is day 61.
  for (const auto& [y, m, d, days] : std::vector<std::array<int32_t, 4>>{
           {1899, 12, 30, 0}, {1899, 12, 31, 1}, {1900, 1, 1, 2}, {1900, 3, 1, 61}, {1970, 1, 1, 25569},
           {2000, 3, 1, 36586}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465}})
    EXPECT_EQ(DaysSince1899(y, m, d), days) << y << "-" << m << "-" << d;
  // The local date lies within a day of the UTC one.
  const double days_utc = 25569.0 + static_cast<double>(std::time(nullptr)) / 86400.0;
  EXPECT_NEAR(LocalNow(), days_utc, 1.0);
}

TEST_F(GameClockTest, SystemTimerAndMessageProcessingAreHooks) {
  EXPECT_EQ(SystemMilliseconds(), 0u);
  TFakeClock clock(1234);
  SetSystemClock(&clock);
  EXPECT_EQ(SystemMilliseconds(), 1234u);
  ProcessMessages();  // nothing set: nothing happens
  int calls = 0;
  SetMessageProcessor([&calls] { ++calls; });
  ProcessMessages();
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace orba

#include "core/files/write_budget.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace orba {
namespace {

// What a game writes is summed over its files up to the bound: a charge
// that reaches it exactly is taken, one past it is refused and takes
// nothing, so that smaller writes still fit; no sum overflows.
TEST(GameWriteBudget, ChargesAreSummedUpToTheBoundAndARefusalTakesNothing) {
  struct {
    int64_t bytes;
    bool taken;
    int64_t written;
  } const steps[] = {
      {60, true, 60},         {40, true, 100},      {1, false, 100}, {0, true, 100},
      {INT64_MAX, false, 100}, {-1, false, 100},
  };
  TGameWriteBudget budget(100);
  for (const auto& s : steps) {
    EXPECT_EQ(budget.Charge(s.bytes), s.taken) << s.bytes;
    EXPECT_EQ(budget.Written(), s.written) << s.bytes;
  }
  budget.Reset();
  EXPECT_TRUE(budget.Charge(100));
}

// The run's bound is 4 GiB: four 1 GiB copies are written, the fifth is not.
TEST(GameWriteBudget, FourGibibytesInOneRun) {
  TGameWriteBudget budget;
  std::vector<bool> taken;
  for (int i = 0; i < 5; ++i) taken.push_back(budget.Charge(int64_t{1} << 30));
  EXPECT_EQ(taken, (std::vector<bool>{true, true, true, true, false}));
  EXPECT_EQ(budget.Written(), kMaxGameWriteBytes);
}

}  // namespace
}  // namespace orba

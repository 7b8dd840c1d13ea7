// The watch on the player's memory: its ceiling for the machine, a ceiling
// passed stays passed until reset, and no ceiling watches nothing.
#include "core/system/heap_watch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace orba {
namespace {

class HeapWatch : public testing::Test {
 protected:
  void TearDown() override {
    SetHeapCeiling(0);
    ResetHeapCeiling();
  }
};

TEST_F(HeapWatch, TheMachinesCeilingIsHalfItsMemoryAtMostThreeGibibytes) {
  const uint64_t memory = static_cast<uint64_t>(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGESIZE);
  EXPECT_EQ(MachineHeapCeiling(), HeapCeilingFor(memory));
  EXPECT_EQ(MachineHeapCeiling(), std::min(kMaxHeapCeiling, memory / 2));
}

TEST_F(HeapWatch, TheCeilingIsHalfTheMemoryUpToThreeGibibytes) {
  constexpr uint64_t kMiB = uint64_t{1} << 20, kGiB = uint64_t{1} << 30;
  const struct {
    uint64_t Memory, Ceiling;
  } cases[] = {
      {0, 3 * kGiB},                      // unknown: the most
      {512 * kMiB, 256 * kMiB},           // a small board
      {2 * kGiB, 1 * kGiB},               //
      {2 * kGiB + 3, 1 * kGiB + 1},       // odd sizes halve exactly, rounded down
      {6 * kGiB - 2, 3 * kGiB - 1},       // just under the most
      {6 * kGiB, 3 * kGiB},               // where half reaches the most
      {24 * kGiB, 3 * kGiB},              //
      {UINT64_MAX, 3 * kGiB},             // no overflow at the top
  };
  for (const auto& c : cases) EXPECT_EQ(HeapCeilingFor(c.Memory), c.Ceiling) << c.Memory;
}

TEST_F(HeapWatch, MemoryInUseGrowsWithABlockThatIsTouched) {
  const uint64_t before = HeapInUse();
  EXPECT_GT(before, 0u);
  const size_t size = size_t{64} << 20;
  std::unique_ptr<char[]> block(new char[size]);
  for (size_t i = 0; i < size; i += 4096) block[i] = static_cast<char>(i);
  EXPECT_GE(HeapInUse(), before + size / 2);
}

TEST_F(HeapWatch, APassedCeilingStaysPassedUntilReset) {
  SetHeapCeiling(0);
  EXPECT_FALSE(CheckHeapCeiling());  // no ceiling: nothing watched
  SetHeapCeiling(uint64_t{1} << 60);
  EXPECT_FALSE(CheckHeapCeiling());
  EXPECT_FALSE(HeapCeilingPassed());
  ResetHeapCeiling();  // the next check reads at once
  SetHeapCeiling(1);
  EXPECT_TRUE(CheckHeapCeiling());
  EXPECT_TRUE(HeapCeilingPassed());
  SetHeapCeiling(uint64_t{1} << 60);
  EXPECT_TRUE(CheckHeapCeiling());  // passed once, the game is ending
  ResetHeapCeiling();
  EXPECT_FALSE(HeapCeilingPassed());
  EXPECT_FALSE(CheckHeapCeiling());
}

}  // namespace
}  // namespace orba

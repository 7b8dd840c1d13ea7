// The "bigsteps" game: single steps that make values of many megabytes (a
// page called with tens of arguments of 16 MiB, an array grown to 2^24
// texts, a text of 16 MiB repeated into every element of an array). What
// fits is made once, not copied again; what would pass the heap ceiling is
// refused before it is made, and the game ends the way the ceiling ends it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/peak_checks.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ExpectContains;
using test::ExpectLacks;

// The game built with its case What and Count into its own folder under
// Top, played four ticks under a heap ceiling of Ceiling_mib.
test::CommandResult PlayBigSteps(const std::string& top, int what, int count, int ceiling_mib) {
  const std::string game = top + "/" + std::to_string(what) + "_" + std::to_string(count);
  test::BuildGame("bigsteps", game, true, {"Var what int " + std::to_string(what), "Var count int " + std::to_string(count)});
  return test::PlayGameUnquarantined(game, 4, {"--heap-ceiling", std::to_string(ceiling_mib)});
}

constexpr int kCeilingMib = 1024;
constexpr char kEnded[] = "heap ceiling: no exit page, no status save\n";

// Count arguments, whether the call fits under the ceiling, and the most
// the run may add to the peak of the game that makes no call: one copy of
// each argument when it fits (with a text of room), the ceiling and 64 MiB
// when it does not.
struct CallCase {
  int count;
  bool fits;
  int64_t limit_mib;
};

TEST(BigStepsGame, ACallsLongArgumentsAreCopiedOnceAndACallPastTheCeilingEndsTheGameNearIt) {
  const test::TempDir dir;
  const std::string top = std::filesystem::canonical(dir.path()).string();
  const test::CommandResult base = PlayBigSteps(top, 0, 0, kCeilingMib);
  ASSERT_EQ(base.exit_code, 0) << base.output;
  for (const CallCase& c : std::vector<CallCase>{{20, true, 20 * 16 + 32}, {40, true, 40 * 16 + 32},
                                                 {80, false, kCeilingMib + 64}}) {
    SCOPED_TRACE(c.count);
    const test::CommandResult r = PlayBigSteps(top, 1, c.count, kCeilingMib);
    ::testing::Test::RecordProperty("call_" + std::to_string(c.count) + "_peak_kb", std::to_string(r.peak_rss_kb));
    test::ExpectPeakWithin(r, base, c.limit_mib);
    const std::string save = top + "/1_" + std::to_string(c.count) + "/save.dat";
    if (c.fits) {
      ASSERT_EQ(r.exit_code, 0) << r.output;
      ExpectLacks(r.output, {kEnded, "command failed"});
      ExpectContains(test::DumpSave(save), {"var took int = " + std::to_string(c.count), "var last int = 16777216",
                                            "var after int = 1"});
    } else {
      EXPECT_EQ(r.exit_code, 1) << r.output;
      ExpectContains(r.output, {"more asked for, past the ceiling of 1073741824\n",
                                "command failed: main.osb line 19: values of 16777216 bytes would pass the memory "
                                "ceiling\n",
                                kEnded});
      EXPECT_FALSE(std::filesystem::exists(save));
    }
  }
  // Twenty arguments of 16 MiB: the whole player well under half a gigabyte.
  if (!test::kAddressSanitizer) {
    EXPECT_LT(PlayBigSteps(top, 1, 20, kCeilingMib).peak_rss_kb, 450 * test::kPeakMB);
  }
}

// An array grown to 2^24 texts (512 MiB of elements) and a text of 16 MiB
// repeated into 64 elements (1 GiB), each in one step, under a ceiling of
// 256 MiB: refused before they are made, and the game ends.
TEST(BigStepsGame, AnArrayGrownOrATextRepeatedPastTheCeilingEndsTheGameBeforeItIsMade) {
  const test::TempDir dir;
  const std::string top = std::filesystem::canonical(dir.path()).string();
  const test::CommandResult base = PlayBigSteps(top, 0, 0, 256);
  ASSERT_EQ(base.exit_code, 0) << base.output;
  for (const auto& [what, asked] : std::vector<std::pair<int, std::string>>{{2, "536870880"}, {3, "1073741824"}}) {
    SCOPED_TRACE(what);
    const test::CommandResult r = PlayBigSteps(top, what, 64, 256);
    EXPECT_EQ(r.exit_code, 1) << r.output;
    ExpectContains(r.output, {" bytes in use and " + asked + " more asked for, past the ceiling of 268435456\n", kEnded});
    test::ExpectPeakWithin(r, base, 64);
  }
}

}  // namespace
}  // namespace orba

// Games that grow without end: a message of a hundred thousand characters
// shown within a tick, and one cut short by a quit signal with the status
// saved ("longmes"); a page calling itself, PushVar of a large text again
// and again, and texts kept until the heap passes its ceiling ("growth").
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ExpectContains;
using test::ExpectLacks;

// The growth game built with its case What; Play runs it Ticks ticks,
// standard error joined to the trace, with the Options before the game.
class GrowthGame : public testing::Test {
 protected:
  void Build(int what) { test::BuildGame("growth", game, true, {"Var what int " + std::to_string(what)}); }
  test::CommandResult Play(int ticks, const std::string& options = "") const {
    return test::RunCommand({"sh", "-c", "exec \"$1\" --headless --ticks \"$2\" --trace - $3 \"$4\" 2>&1", "sh",
                             ORBA_PLAYER_PATH, std::to_string(ticks), options, game});
  }
  std::string Dump() const { return test::DumpSave(game + "/save.dat"); }

  const test::TempDir dir;
  const std::string game = dir / "game";
};

// A message of 131,072 letters in one word (one row): laid out, rendered
// and its page shown in the first tick, and the game goes on.
TEST(LongMessageGame, AMessageOfAHundredThousandCharactersIsShownInItsTick) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("longmes", game, true, {"Var n int 14"});
  const test::CommandResult r = test::RunCommand({ORBA_PLAYER_PATH, "--headless", "--ticks", "3", game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var shown int = 131072"});
}

// A quit signal while a message of half a million characters is built and
// laid out: the work gives way, the game ends in order, exit 0, and the
// status save of that run is there and reads.
TEST(LongMessageGame, ASigtermDuringALongMessageEndsTheGameInOrderWithItsStatusSave) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("longmes", game, true, {"Var n int 16"});
  // Sent as the message is given its text (line 10 of the page).
  const test::CommandResult r = test::PlayAndSigterm(game, "main.osb(10)\n");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var runs int = 1"});
}

// Calls nest 10,000 deep; the next fails with a trace line and the game
// goes on, returning through every frame, to its exit page.
TEST_F(GrowthGame, APageCallingItselfStopsAtTheDeepestNesting) {
  Build(1);
  const test::CommandResult r = Play(4);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"command failed: deep.osb line 2: Call:deep.osb: calls nest deeper than 10000\n"});
  ExpectContains(Dump(), {"var depth int = 10000", "var after int = 1", "var exits int = 1"});
}

// PushVar of a 16 MB text: fifteen snapshots fit in the budget, the next
// PushVar fails with a trace line, and the game goes on.
TEST_F(GrowthGame, PushVarStopsAtItsBudget) {
  Build(2);
  const test::CommandResult r = Play(40);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"PushVar: the pushed variables would hold more than 268435456 bytes\n"});
  ExpectContains(Dump(), {"var pushed int = 15", "var after int = 1", "var exits int = 1"});
  EXPECT_LT(r.peak_rss_kb, 1100 * 1024);
}

// Four arrays of 2^24 texts: the first takes the whole budget of array
// elements, the others are refused with a trace line and stay scalars.
TEST_F(GrowthGame, ArraysStopAtTheirBudget) {
  Build(3);
  const test::CommandResult r = Play(3);
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectContains(r.output, {"arrays: 16777216 elements refused, the arrays would take more than 536870912 bytes\n"});
  ExpectContains(Dump(), {"var arrays int = 16777219", "var after int = 1"});
  EXPECT_LT(r.peak_rss_kb, 1100 * 1024);
}

// Texts of 8 MB kept until the heap passes a ceiling of 256 MiB (given
// for the test; the player's own is half the machine's memory, at most
// 3 GiB): the game ends with one line and exit 1, without its exit page,
// and the status save of the first run, which grew nothing, is kept and
// reads.
TEST_F(GrowthGame, PastTheHeapCeilingTheGameEndsWithOneLineAndKeepsItsStatusSave) {
  Build(4);
  const test::CommandResult first = Play(3, "--heap-ceiling 256");
  ASSERT_EQ(first.exit_code, 0) << first.output;
  const std::string kept = test::FileText(game + "/save.dat");
  const test::CommandResult r = Play(40, "--heap-ceiling 256");
  EXPECT_EQ(r.exit_code, 1) << r.output;
  ExpectContains(r.output, {"orba: the game held more than 256 MiB of memory; it was ended, its status save kept as "
                            "before\n",
                            "heap ceiling: no exit page, no status save\n"});
  EXPECT_LT(r.peak_rss_kb, 1100 * 1024);
  EXPECT_EQ(test::FileText(game + "/save.dat"), kept);
  ExpectContains(Dump(), {"var runs int = 1", "var texts int = 0", "var exits int = 1"});
}

}  // namespace
}  // namespace orba

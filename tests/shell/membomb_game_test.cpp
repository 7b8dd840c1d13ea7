// The "membomb" game: captions whose line space would make bitmaps of
// megabytes, a thousand deleted as soon as made (their bitmaps go at once)
// and three hundred kept, a fire far larger than the screen, and timers
// that multiply every tick. The player stays within a memory limit, the
// game goes on, and a quit signal still ends it through the ordered
// shut-down.
#include <gtest/gtest.h>

#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ExpectContains;
using test::ExpectLacks;

// Runs "$@" (the player, its trace written to the file $3) and stops it once
// its resident size passes $1 KiB (a sanitizer build cannot run under an
// address-space limit). With a tick number $2 it sends SIGTERM once the
// trace shows that tick, and the player ends by itself, however long its
// shut-down takes on a busy machine. A child that has ended but was not
// waited for yet counts as gone.
constexpr char kWatch[] = R"sh(limit=$1 term_tick=$2 trace=$3; shift 3
"$@" & p=$!
running() { [ -e /proc/$p ] && ! grep -q '^State:.*Z' /proc/$p/status 2>/dev/null; }
while running; do
  rss=$(awk '/^VmRSS/ {print $2}' /proc/$p/status 2>/dev/null)
  if [ "${rss:-0}" -gt "$limit" ]; then kill -9 $p; echo "over the memory limit"; fi
  if [ -n "$term_tick" ] && grep -q "^tick $term_tick " "$trace" 2>/dev/null; then kill -TERM $p; term_tick=; fi
  sleep 0.05
done
wait $p)sh";

// Under ASan freed memory waits in a quarantine of 256 MiB; the faulty
// player held gigabytes.
constexpr char kLimitKb[] = "1572864";

TEST(MemBombGame, DeletedAndOversizedItemsStayWithinMemoryAndTheGameGoesOn) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("membomb", game, true);
  const test::CommandResult r = test::RunCommand({"sh", "-c", kWatch, "sh", kLimitKb, "", "", ORBA_PLAYER_PATH,
                                                  "--headless", "--ticks", "12", "--tree", "-", game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectLacks(r.output, {"over the memory limit", "gone"});
  // The kept captions live on under numbered names; the timers doubled
  // from tick 2 on, as the game asks.
  ExpectContains(r.output, {"kept_300\n", "kept_2\n", "wide\n"});
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var deleted int = 1000", "var kept int = 300", "var runs int = 2048"});
}

TEST(MemBombGame, AQuitSignalEndsTheMultiplyingTimersInOrder) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("membomb", game, true);
  // By tick 12 two thousand timers wait, doubling each tick. The watchdog would end a
  // shut-down that made no progress; an exit status of 0 (and the status
  // save) shows that the ordered shut-down ended by itself.
  const std::string trace = dir / "trace.txt";
  const test::CommandResult r = test::RunCommand({"sh", "-c", kWatch, "sh", kLimitKb, "12", trace, ORBA_PLAYER_PATH,
                                                  "--headless", "--ticks", "2000000000", "--trace", trace, game});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  ExpectLacks(r.output, {"over the memory limit"});
  const std::string save = test::DumpSave(game + "/save.dat");
  ExpectContains(save, {"var deleted int = 1000", "var kept int = 300"});
  ExpectLacks(save, {"var runs int = 0"});
}

}  // namespace
}  // namespace orba

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

// Runs "$@" and stops it once its resident size passes $1 KiB (a sanitizer
// build cannot run under an address-space limit). With $2 seconds above 0
// it sends SIGTERM after that time and gives the player a generous 10 s
// more; without, 120 s in all. A player still running then is killed as
// "still running". A child that has ended but was not waited for yet counts
// as gone.
constexpr char kWatch[] = R"sh(limit=$1; term_after=$(($2 * 20)); shift 2
if [ $term_after -gt 0 ]; then last=$((term_after + 200)); else last=2400; fi
"$@" & p=$!
running() { [ -e /proc/$p ] && ! grep -q '^State:.*Z' /proc/$p/status 2>/dev/null; }
n=0
while running; do
  rss=$(awk '/^VmRSS/ {print $2}' /proc/$p/status 2>/dev/null)
  if [ "${rss:-0}" -gt "$limit" ]; then kill -9 $p; echo "over the memory limit"; fi
  n=$((n + 1))
  if [ $n -eq $term_after ]; then kill -TERM $p; fi
  if [ $n -gt $last ]; then kill -9 $p; echo "still running"; fi
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
  const test::CommandResult r = test::RunCommand(
      {"sh", "-c", kWatch, "sh", kLimitKb, "0", ORBA_PLAYER_PATH, "--headless", "--ticks", "12", "--tree", "-", game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  ExpectLacks(r.output, {"over the memory limit", "still running", "gone"});
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
  // After 5 s tens of thousands of timers wait. The watchdog ends the
  // player 900 ms after the signal at the latest; an exit status of 0 (and
  // the status save) shows that the ordered shut-down ended first.
  const test::CommandResult r = test::RunCommand(
      {"sh", "-c", kWatch, "sh", kLimitKb, "5", ORBA_PLAYER_PATH, "--headless", "--ticks", "2000000000", game});
  EXPECT_EQ(r.exit_code, 0) << r.output;
  ExpectLacks(r.output, {"still running", "over the memory limit"});
  const std::string save = test::DumpSave(game + "/save.dat");
  ExpectContains(save, {"var deleted int = 1000", "var kept int = 300"});
  ExpectLacks(save, {"var runs int = 0"});
}

}  // namespace
}  // namespace orba

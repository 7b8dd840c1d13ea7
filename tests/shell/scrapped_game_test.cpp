// Deleted objects as a game sees them: "scrapped" lists a box and a playing
// sound deleted in the tick they were made, nameless, until that tick ends
// (the sound's media item already given back), and makes and deletes a
// thousand captions of a huge line space in one tick within a memory bound;
// "particles" lists its snowflakes under the names their emitter gave them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::ExpectContains;

// Each caption's bitmaps take about half a megabyte; the thousand held
// together came to 560 MB at the peak. The sanitizers keep freed memory in a quarantine
// (256 MiB by default) before it is reused, which a peak would count as
// held: the player runs with a small one, so that the bound means the same
// in both builds (a build without sanitizers ignores the setting).
constexpr int64_t kPeakLimitKb = 300 * 1024;

std::string SmallQuarantine() {
  const char* options = std::getenv("ASAN_OPTIONS");
  const std::string kept = options != nullptr ? std::string(options) + ":" : std::string();
  return "ASAN_OPTIONS=" + kept + "quarantine_size_mb=16";
}

TEST(ScrappedGame, DeletedObjectsStayListedNamelessToTheTicksEndAndHoldNoPictures) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  const test::CommandResult fixtures = test::RunPython("fixtures/sound_fixtures.py", {dir / "files"});
  ASSERT_EQ(fixtures.exit_code, 0) << fixtures.output;
  test::BuildGame("scrapped", game, true, {}, dir / "files");
  const test::CommandResult r =
      test::RunCommand({"env", SmallQuarantine(), ORBA_PLAYER_PATH, "--headless", "--ticks", "5", game});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_GT(r.peak_rss_kb, 0);
  EXPECT_LT(r.peak_rss_kb, kPeakLimitKb);
  ExpectContains(test::DumpSave(game + "/save.dat"), {
      "var nnow int = 2\n", "var now str[2] = \"keep\", \"\"\n", "var found str = \"FALSE\"\n",
      "var nsounds int = 1\n", "var sounds str = \"\"\n",
      "var ncaptions int = 1000\n",                                  // all of them, nameless
      "var nlater int = 1\n", "var later str = \"keep\"\n",  // gone in the next tick
  });
}

// Snowflakes 0 to 28 of the pre-warmed start have fallen out of the
// emitter's area; the two born since took the smallest free numbers.
TEST(ScrappedGame, ParticlesAreNamedByTheirEmitterAndTheSmallestFreeNumber) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("particles", game, true);
  test::RunCommand({ORBA_PYTHON, "-c",
                    "from PIL import Image\nimport sys\n"
                    "Image.new('RGB', (2, 2), 'white').save(sys.argv[1] + '/dot.brx', 'PNG')\n",
                    game});
  ASSERT_EQ(test::PlayGame(game, 40).exit_code, 0);
  const std::string flake = "\"\x01snow\x01";
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var nflakes int = 23\n", "var flakes str[23] = " + flake + "29\", " + flake + "30\", ",
                  flake + "49\", " + flake + "0\", " + flake + "1\"\n"});
}

}  // namespace
}  // namespace orba

// The effect items played by the player program without a window: the
// "fire" game against its committed frame and values worked by hand.
#include <gtest/gtest.h>

#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Heat 254 (0xFFE5AD, between the ramp's rows 224 and 255) added at
// strength 255/256 over black.
const std::string kWhiteHot = "(254, 228, 172)";

// Two runs of 50 ticks of 25 ms give the same frame, equal to the committed
// one: the bottom rows of each fire white-hot (the zoomed one twice as
// tall), the narrow fire only heated, the negative one and the cold tops
// showing the black background.
TEST(EffectsGame, FireFrameIsReproducibleAndWorkedByHand) {
  const test::TempDir dir;
  test::BuildGame("fire", dir / "game", true);
  for (const char* shot : {"a.png", "b.png"})
    ASSERT_EQ(test::PlayGame(dir / "game", 50, {"--frame-ms", "25", "--screenshot", dir / shot}).exit_code, 0);
  const std::string same = "import sys\nfrom PIL import Image\nrgb = lambda p: Image.open(p).convert('RGB').tobytes()\n"
                           "print(rgb(sys.argv[1]) == rgb(sys.argv[2]) == rgb(sys.argv[3]))\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", same, dir / "a.png", dir / "b.png",
                              test::TestsPath("games/golden/fire_50x25ms.png")}).output, "True\n");
  EXPECT_EQ(test::PngPixels(dir / "a.png", "(5, 23), (23, 22), (40, 20), (59, 23), (0, 42), (1, 45), (0, 0), "
                                           "(0, 41), (45, 35), (5, 8)"),
            "[" + kWhiteHot + ", " + kWhiteHot + ", " + kWhiteHot + ", " + kWhiteHot + ", " + kWhiteHot + ", " +
                kWhiteHot + ", (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0)]\n");
}

}  // namespace
}  // namespace orba

// The effect items played by the player program without a window: the
// "fire" and "particles" games against their committed frames (two runs
// alike) and values worked by hand.
#include <gtest/gtest.h>

#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Pillow's answer whether the PNG files' pixels are all alike.
const std::string kSame = "import sys\nfrom PIL import Image\nrgb = lambda p: Image.open(p).convert('RGB').tobytes()\n"
                          "print(all(rgb(p) == rgb(sys.argv[1]) for p in sys.argv[2:]))\n";

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
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kSame, dir / "a.png", dir / "b.png",
                              test::TestsPath("games/golden/fire_50x25ms.png")}).output, "True\n");
  EXPECT_EQ(test::PngPixels(dir / "a.png", "(5, 23), (23, 22), (40, 20), (59, 23), (0, 42), (1, 45), (0, 0), "
                                           "(0, 41), (45, 35), (5, 8)"),
            "[" + kWhiteHot + ", " + kWhiteHot + ", " + kWhiteHot + ", " + kWhiteHot + ", " + kWhiteHot + ", " +
                kWhiteHot + ", (0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0)]\n");
}

// Snow (its x from the script's Random), a star and a twister on their
// white 2 x 2 cell: the same frame on every run; the emitter without motion
// leaves its strip black, and particles stay inside their emitters.
TEST(EffectsGame, ParticlesFrameIsReproducible) {
  const test::TempDir dir;
  test::BuildGame("particles", dir / "game", true);
  const std::string dot = "from PIL import Image\nimport sys\nImage.new('RGB', (2, 2), 'white').save(sys.argv[1], 'PNG')\n";
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", dot, dir / "game/dot.brx"}).exit_code, 0);
  for (const char* shot : {"a.png", "b.png"})
    ASSERT_EQ(test::PlayGame(dir / "game", 40, {"--screenshot", dir / shot}).exit_code, 0);
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kSame, dir / "a.png", dir / "b.png",
                              test::TestsPath("games/golden/particles_40x15ms.png")}).output, "True\n");
  const std::string lit =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('L')\n"
      "n = lambda l, t, r, b: sum(im.getpixel((x, y)) > 0 for x in range(l, r) for y in range(t, b))\n"
      "print(n(0, 40, 32, 48), n(0, 0, 32, 40) > 20, n(32, 0, 64, 24) > 4, n(32, 24, 64, 48) > 4)\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", lit, dir / "a.png"}).output, "0 True True True\n");
}

}  // namespace
}  // namespace orba

// The effect games played without a window: "fire" and "particles" against
// their committed frames, the same on two runs, with values worked by hand;
// "wave" saved and loaded; "wavedraw" bending boxes, paused or not.
#include <gtest/gtest.h>

#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Whether the PNG files' pixels are all alike.
const std::string kSame = "import sys\nfrom PIL import Image\nrgb = lambda p: Image.open(p).convert('RGB').tobytes()\n"
                          "print(all(rgb(p) == rgb(sys.argv[1]) for p in sys.argv[2:]))\n";

// Builds Game into Dir, plays it twice and answers whether both frames equal
// the committed Golden frame; the first frame stays as Dir/a.png.
bool PlaysLikeGolden(const test::TempDir& dir, const std::string& game, const std::vector<std::string>& options,
                     const std::string& golden, const std::string& extra_script = "") {
  test::BuildGame(game, dir / "game", true);
  if (!extra_script.empty()) test::RunCommand({ORBA_PYTHON, "-c", extra_script, dir / "game"});
  for (const char* shot : {"a.png", "b.png"}) {
    std::vector<std::string> o = options;
    o.insert(o.end(), {"--screenshot", dir / shot});
    if (test::PlayGame(dir / "game", std::stoi(options[0]), {o.begin() + 1, o.end()}).exit_code != 0) return false;
  }
  return test::RunCommand({ORBA_PYTHON, "-c", kSame, dir / "a.png", dir / "b.png",
                           test::TestsPath("games/golden/" + golden)}).output == "True\n";
}

// The bottom rows of each fire (the zoomed one's twice as tall) are heat 254
// (0xFFE5AD, between the ramp's rows 224 and 255) added at strength 255/256;
// the narrow fire is only heated; the negative one and cold tops are black.
TEST(EffectsGame, FireFrameIsReproducibleAndWorkedByHand) {
  const test::TempDir dir;
  ASSERT_TRUE(PlaysLikeGolden(dir, "fire", {"50", "--frame-ms", "25"}, "fire_50x25ms.png"));
  const std::string hot = "(254, 228, 172), ";
  EXPECT_EQ(test::PngPixels(dir / "a.png", "(5, 23), (23, 22), (40, 20), (59, 23), (0, 42), (1, 45), (0, 0), "
                                           "(0, 41), (45, 35), (5, 8)"),
            "[" + hot + hot + hot + hot + hot + hot + "(0, 0, 0), (0, 0, 0), (0, 0, 0), (0, 0, 0)]\n");
}

// Snow (its x from the script's Random), a star and a twister on a white
// 2 x 2 cell stay inside their emitters; the one without motion emits none.
TEST(EffectsGame, ParticlesFrameIsReproducible) {
  const test::TempDir dir;
  ASSERT_TRUE(PlaysLikeGolden(dir, "particles", {"40"}, "particles_40x15ms.png",
                              "from PIL import Image\nimport sys\n"
                              "Image.new('RGB', (2, 2), 'white').save(sys.argv[1] + '/dot.brx', 'PNG')\n"));
  const std::string lit =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('L')\n"
      "n = lambda l, t, r, b: sum(im.getpixel((x, y)) > 0 for x in range(l, r) for y in range(t, b))\n"
      "print(n(0, 40, 32, 48), n(0, 0, 32, 40) > 20, n(32, 0, 64, 24) > 4, n(32, 24, 64, 48) > 4)\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", lit, dir / "a.png"}).output, "0 True True True\n");
}

// After the save is loaded (20 ticks) the wave's children draw where they
// did right after saving (8 ticks): row 0 (y 13) unshifted, row 3 by 3.
TEST(EffectsGame, WaveChildrenDrawInPlaceAfterALoad) {
  const test::TempDir dir;
  for (const char* run : {"8", "20"}) {
    test::BuildGame("wave", dir / run, true);
    ASSERT_EQ(test::PlayGame(dir / run, std::stoi(run), {"--screenshot", dir / run + ".png"}).exit_code, 0);
  }
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kSame, dir / "8.png", dir / "20.png"}).output, "True\n");
  EXPECT_EQ(test::PngPixels(dir / "20.png", "(23, 13), (22, 13), (23, 16), (26, 16)"),
            "[(255, 255, 0), (64, 64, 64), (64, 64, 64), (255, 255, 0)]\n");
}

// "wavedraw": three waves of amplitude 10, each bending a box whose own
// columns are 22 to 41. Every wave's rows cover a whole cycle, so one row
// lies 10 px right and one 10 px left: the running wave's box and the
// paused one's (Paused does not stop a wave) reach 12 to 51; the one with
// AniPaused set keeps straight rows.
TEST(EffectsGame, WaveChildrenBendBeyondTheirOwnColumnsWhilePaused) {
  const test::TempDir dir;
  test::BuildGame("wavedraw", dir / "game", true);
  ASSERT_EQ(test::PlayGame(dir / "game", 20, {"--screenshot", dir / "shot.png"}).exit_code, 0);
  const std::string extents =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
      "for top in (0, 24, 48):\n"
      "  xs = [x for y in range(top, top + 24) for x in range(im.width) if im.getpixel((x, y)) != (0, 0, 0)]\n"
      "  print(min(xs), max(xs))\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", extents, dir / "shot.png"}).output, "12 51\n12 51\n22 41\n");
}

}  // namespace
}  // namespace orba

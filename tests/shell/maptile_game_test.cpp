// The "maptile" test game played without a window: the map's triangle
// hovered and clicked, checked through save.dat, and the tile's copies and
// the hover picture inside the triangle only, checked in the screenshot.
#include <gtest/gtest.h>

#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// The pictures (PNG data under ".brx" names) and the region file: an
// ellipse "oval" in 0..13 x 0..11 and a triangle "tri" (16, 0), (29, 0),
// (29, 11), written here independently of the player's reader.
const char* kFiles =
    "import struct, sys\nfrom PIL import Image\nd = sys.argv[1]\n"
    "s = Image.new('RGB', (8, 8), (255, 0, 0)); s.paste((0, 255, 0), (4, 0, 8, 8)); s.save(d + '/stripe.brx', 'PNG')\n"
    "Image.new('RGB', (30, 12), (80, 80, 80)).save(d + '/normal.brx', 'PNG')\n"
    "Image.new('RGB', (30, 12), (255, 255, 0)).save(d + '/hover.brx', 'PNG')\n"
    "name = lambda n: struct.pack('<i', len(n)) + n\n"
    "tri = [(16, 0), (29, 0), (29, 11)]\n"
    "open(d + '/areas.map', 'wb').write(struct.pack('<i', 2) + name(b'oval') + bytes([1]) + "
    "struct.pack('<4i', 0, 0, 13, 11) + name(b'tri') + bytes([2]) + struct.pack('<i', 3) + "
    "b''.join(struct.pack('<2i', *p) for p in tri))\n";

TEST(MapTileGame, HoverAndClickOnAnImageMapOverATile) {
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("maptile", game, true);
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kFiles, game}).exit_code, 0);
  test::WriteFileBytes(dir / "input.txt", test::Bytes("tick 3: mouse move 37 22\n"
                                                      "tick 5: lbutton down 37 22\n"
                                                      "tick 6: lbutton up 37 22\n"));
  const test::CommandResult r = test::PlayGame(game, 12, {"--input", dir / "input.txt", "--screenshot", dir / "shot.png"});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  test::ExpectContains(test::DumpSave(game + "/save.dat"),
                       {"var picked int = 1", "var pickstr str = \"tri\"", "var mapin str = \"tri/1 \""});
  // Tile copies every 12 pixels from x = -9: red 3..6, green 7..10, a gap
  // 11..14. In the map (at 10, 20) the triangle shows the hover picture,
  // the rest the normal one.
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(0, 4), (3, 4), (7, 7), (12, 4), (15, 0), "
                                              "(38, 21), (27, 30), (15, 25), (9, 20)"),
            "[(0, 0, 0), (255, 0, 0), (0, 255, 0), (0, 0, 0), (255, 0, 0), "
            "(255, 255, 0), (80, 80, 80), (80, 80, 80), (0, 0, 0)]\n");
}

}  // namespace
}  // namespace orba

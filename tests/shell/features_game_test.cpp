// Games that play features no other test game reaches: the built-in
// function families ("funcs"), the ways a picture is stored and a box's
// afterimages ("pictures"), checked through save.dat and the screenshot.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

namespace fs = std::filesystem;
using test::ExpectContains;

// Each family's results, worked by hand: Delete(w, 2, 2) of "abcdef" leaves
// "adef" and Insert puts "XY" before its 2nd character; JDelete counts
// double-byte characters; ArcTan2(1, 1) * 4000 is pi * 1000; 2024-02-29 is
// day 45351 after 1899-12-30 and a Thursday (week day 5, Sunday 1); the
// 2 x 3 array has 6 elements, its last dimension 3.
TEST(FuncsGame, EachFunctionFamilyWritesItsResults) {
  const test::TempDir dir;
  test::BuildGame("funcs", dir / "g", true);
  ASSERT_EQ(test::PlayGame(dir / "g", 5).exit_code, 0);
  ExpectContains(test::DumpSave(dir / "g/save.dat"),
                 {"var text str = \"6,bcd,adef,3,\xe3\x81\x86,aXYdef,3,t,MIXmix,-1,0,zzz,a+b+c,42,00FF,"
                  "dir\\pic.png,pic.bmp,.txt,65B,-1,77\"",
                  "var number str = \"7,5,3,9,5,0,100,3141,20,25,125\"",
                  "var date str = \"45351,2024-2-29 12:34:56,2024,2,29,12,34,56,5,Thursday\"",
                  "var arrays str = \"3,2,apple/fig/pear,fig/pear/kiwi,6,3,2,7\""});
}

// BMP and JPEG data and 15- and 16-bit Brix pictures under ".brx" names,
// each 8 x 8 at x 0, 10, 20, 30; a box that moved to x 24 and on to x 64
// left an afterimage at x 24 that fades from half its alpha.
TEST(PicturesGame, StoredFormatsAndAfterimages) {
  const test::TempDir dir;
  const std::string game = dir / "g";
  test::BuildGame("pictures", game, true);
  ASSERT_EQ(test::RunPython("fixtures/pictures_game_fixture.py", {"write", game}).exit_code, 0);
  ASSERT_EQ(test::PlayGame(game, 30, {"--screenshot", dir / "shot.png"}).exit_code, 0);
  ExpectContains(test::DumpSave(game + "/save.dat"), {"var sizes str = \"8,8,8,8\""});
  // BMP exactly; 15-bit 0x4210 and 16-bit 0x8410 widened by repeating each
  // field's top bits (10000b -> 10000100b, 100000b -> 10000010b); the box
  // at x 64 and nothing where it started.
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(3, 3), (23, 3), (33, 3), (70, 25), (5, 25), (40, 3)"),
            "[(200, 40, 10), (132, 132, 132), (132, 130, 132), (255, 255, 255), (0, 0, 0), (0, 0, 0)]\n");
  // JPEG within 3 of its colour; the afterimage grey, fainter than half.
  const std::string check =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
      "j = im.getpixel((13, 3)); a = im.getpixel((30, 25))\n"
      "print(max(abs(x - y) for x, y in zip(j, (40, 200, 90))) <= 3, a[0] == a[1] == a[2], 40 < a[0] < 128)\n";
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", check, dir / "shot.png"}).output, "True True True\n");
}

}  // namespace
}  // namespace orba

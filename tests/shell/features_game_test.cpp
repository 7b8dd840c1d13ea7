// Games that play features no other test game reaches: the built-in
// function families ("funcs"), the ways a picture is stored and a box's
// afterimages ("pictures"), the scroll bar, the list box's pieces and the
// button strips ("widgets"), checked through save.dat and the screenshot.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

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

// The widgets' pictures, PNG data under the ".brx" names they are loaded by:
// cells of one colour each, side by side.
const std::string kWidgetPictures = test::CellPicturesScript(R"(cells('bar.brx', 40, 6, [(128, 128, 128)])
cells('thumb.brx', 4, 6, [(255, 0, 0), (255, 128, 0), (255, 255, 0)])
cells('btn.brx', 6, 6, [(0, 0, 100 + 20 * k) for k in range(6)])
cells('up.brx', 16, 12, [(0, 80, 0)])
cells('down.brx', 16, 12, [(0, 200, 0)])
cells('hover.brx', 16, 12, [(200, 0, 200)])
cells('clicked.brx', 16, 12, [(0, 200, 200)])
for name, c in (('tl', (10, 0, 0)), ('tc', (20, 0, 0)), ('tr', (30, 0, 0)), ('cl', (40, 0, 0)), ('cc', (0, 0, 50)),
                ('cr', (60, 0, 0)), ('bl', (70, 0, 0)), ('bc', (80, 0, 0)), ('br', (90, 0, 0))):
    cells(name + '.brx', 4, 4, [c])
cells('scroll.brx', 6, 6, [(0, 100, 100 + 10 * k) for k in range(7)])
cells('check.brx', 6, 6, [(250, 250, 0), (100, 100, 100)])
)");

// The bounding box of the pixels of a screenshot that pass a Python test
// on x, y, r, g, b, as "x0 y0 x1 y1 count" ("none" when no pixel passes).
std::string PixelBox(const std::string& png, const std::string& test) {
  const std::string script =
      "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
      "p = [(x, y) for y in range(im.height) for x in range(im.width) if (lambda x, y, r, g, b: " + test +
      ")(x, y, *im.getpixel((x, y)))]\n"
      "print('%d %d %d %d %d' % (min(x for x, y in p), min(y for x, y in p), max(x for x, y in p), "
      "max(y for x, y in p), len(p)) if p else 'none')\n";
  return test::RunCommand({ORBA_PYTHON, "-c", script, png}).output;
}

// The caption's white pixels inside the hover button (40, 20)-(56, 32).
std::string CaptionBox(const std::string& png) {
  return PixelBox(png, "40 <= x < 56 and 20 <= y < 32 and (r * 299 + g * 587 + b * 114) // 1000 > 230");
}

TEST(WidgetsGame, ScrollBarListBoxPiecesAndButtonStrips) {
  const test::TempDir dir;
  const std::string game = dir / "g";
  test::BuildGame("widgets", game, true);
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kWidgetPictures, game}).exit_code, 0);
  // The scroll bar's second button (x 26..31) and its track right of the
  // thumb; the group buttons g1 then g2; the list's down button (x 86..91,
  // y 66..71); the pointer over the captioned button, which is clicked.
  test::WriteText(dir / "in.txt",
                  "tick 3: mouse move 28 3\ntick 4: lbutton down 28 3\ntick 5: lbutton up 28 3\n"
                  "tick 8: mouse move 22 3\ntick 9: lbutton down 22 3\ntick 10: lbutton up 22 3\n"
                  "tick 12: mouse move 5 25\ntick 13: lbutton down 5 25\ntick 14: lbutton up 5 25\n"
                  "tick 16: mouse move 25 25\ntick 17: lbutton down 25 25\ntick 18: lbutton up 25 25\n"
                  "tick 24: mouse move 88 68\ntick 25: lbutton down 88 68\ntick 26: lbutton up 88 68\n"
                  "tick 30: mouse move 45 25\ntick 32: lbutton down 45 25\ntick 33: lbutton up 45 25\n");
  ASSERT_EQ(test::PlayGame(game, 34, {"--input", dir / "in.txt", "--screenshot", dir / "clicked.png"}).exit_code, 0);
  // The bar: a small change, then a large one; one group button selected at
  // a time; the list scrolled one row by its button, row 0 checked.
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var bar str = \"3 8 \"", "var group str = \"TRUE,FALSE FALSE,TRUE FALSE,TRUE \"",
                  "var clicks int = 3", "var top str = \"0 TRUEFALSE, 1\""});
  // The scroll bar: first button's normal cell, track, the thumb for 8 of 10
  // (x 6 + 8 * 16 / 10 = 19), the second button's normal cell. The group
  // buttons: g1 up, g2 down. The list box's frame pieces (corners, edges,
  // centre), its scroll bar of seven cells (up button cell 0, the thumb,
  // cell 6, one row down, down button cell 2), no
  // check mark on the unchecked top row ("b") and the mark of the checked
  // row "c" below it. The clicked strip.
  EXPECT_EQ(test::PngPixels(dir / "clicked.png",
                            "(2, 3), (10, 3), (20, 3), (28, 3), (2, 22), (22, 22), (71, 41), (80, 41), (93, 41), "
                            "(71, 60), (93, 60), (71, 74), (80, 74), (93, 74), (76, 50), (88, 46), (88, 60), "
                            "(88, 68), (42, 22), (76, 65)"),
            "[(0, 0, 100), (128, 128, 128), (255, 0, 0), (0, 0, 160), (0, 80, 0), (0, 200, 0), (10, 0, 0), "
            "(20, 0, 0), (30, 0, 0), (40, 0, 0), (60, 0, 0), (70, 0, 0), (80, 0, 0), (90, 0, 0), (0, 0, 50), "
            "(0, 100, 100), (0, 100, 160), (0, 100, 120), (0, 200, 200), (250, 250, 0)]\n");
  // The caption is centred, one pixel right and down in the clicked strip.
  const std::string clicked_caption = CaptionBox(dir / "clicked.png");
  // Before the click: the hover strip under the pointer, the caption in its
  // centred place.
  ASSERT_EQ(test::PlayGame(game, 31, {"--input", dir / "in.txt", "--screenshot", dir / "hover.png"}).exit_code, 0);
  EXPECT_EQ(test::PngPixels(dir / "hover.png", "(42, 22)"), "[(200, 0, 200)]\n");
  const std::string hover_caption = CaptionBox(dir / "hover.png");
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0, cx0 = 0, cy0 = 0, cx1 = 0, cy1 = 0;
  ASSERT_EQ(std::sscanf(hover_caption.c_str(), "%d %d %d %d", &x0, &y0, &x1, &y1), 4) << hover_caption;
  ASSERT_EQ(std::sscanf(clicked_caption.c_str(), "%d %d %d %d", &cx0, &cy0, &cx1, &cy1), 4) << clicked_caption;
  EXPECT_EQ((std::array<int, 4>{cx0 - x0, cy0 - y0, cx1 - x1, cy1 - y1}), (std::array<int, 4>{1, 1, 1, 1}));
  EXPECT_NEAR((x0 + x1) / 2.0, 47.5, 1.5);  // centred in the 16-pixel button
}

// A press is hit-tested where it happens, whatever the pointer rested on
// before: from the scroll bar's second button (x 26..31), a move and a
// press in one tick on the track left of the thumb (x 7) pages down by 5
// (2 to 0), not a step up; from the list's down button (88, 68), a move and
// a press in one tick on row "a" (76, 48) choose "a" and scroll nothing.
TEST(WidgetsGame, APressAfterAMoveInTheSameTickHitsThePartUnderIt) {
  const test::TempDir dir;
  const std::string game = dir / "g";
  test::BuildGame("widgets", game, true);
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kWidgetPictures, game}).exit_code, 0);
  test::WriteText(dir / "in.txt",
                  "tick 3: mouse move 28 3\ntick 6: lbutton down 7 3\ntick 7: lbutton up 7 3\n"
                  "tick 10: mouse move 88 68\ntick 13: lbutton down 76 48\ntick 14: lbutton up 76 48\n");
  ASSERT_EQ(test::PlayGame(game, 40, {"--input", dir / "in.txt"}).exit_code, 0);
  ExpectContains(test::DumpSave(game + "/save.dat"),
                 {"var bar str = \"0 \"", "var chosen str = \"a \"", "var top str = \"0 TRUEFALSE, 0\""});
}

// The message window's first page: an inline picture, a variable and a
// history character; its second: ruby and a link, clicked. The backlog
// shows the first page with the history character; ClrHist empties the
// backlog, and ClrRead (in the second run) the read marks.
TEST(MesfeatGame, ImagesRubyLinksVariablesHistoryCharactersAndClearing) {
  const test::TempDir dir;
  const std::string game = dir / "g";
  test::BuildGame("mesfeat", game, true);
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", test::CellPicturesScript("cells('dot.brx', 8, 8, [(255, 0, 0)])\n"),
                              game}).exit_code, 0);
  // The link "LINK" lies at x 40..93, y 9..19, its underline in row 23
  // under the four 16-pixel cells from x 32 (the underline 3 rows below
  // the baseline that the font's ascent of 12 puts at row 20: inside the
  // 16-row cell).
  test::WriteText(dir / "in.txt", "tick 5: mouse move 50 16\ntick 6: lbutton down 50 16\ntick 7: lbutton up 50 16\n");
  const std::string white = "min(r, g, b) > 150", red = "r > 150 and g < 80";
  // Tick 1: the picture at the start of the row, 8 x 8 on its baseline;
  // the row's characters in 16-pixel cells reach x 104..119 only with the
  // variable's four characters ("V,." alone ends before x 56), and the
  // history character is not shown: one row.
  ASSERT_EQ(test::PlayGame(game, 1, {"--screenshot", dir / "first.png"}).exit_code, 0);
  EXPECT_EQ(PixelBox(dir / "first.png", red), "0 16 7 23 64\n");
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0, n = 0;
  const std::string text = PixelBox(dir / "first.png", white);
  ASSERT_EQ(std::sscanf(text.c_str(), "%d %d %d %d %d", &x0, &y0, &x1, &y1, &n), 5) << text;
  EXPECT_TRUE(x1 >= 104 && x1 < 120 && y1 <= 23) << text;
  // Tick 4: the ruby in the band above the "R" (x 8..23), the link in its
  // colour.
  ASSERT_EQ(test::PlayGame(game, 4, {"--screenshot", dir / "second.png"}).exit_code, 0);
  const std::string ruby = PixelBox(dir / "second.png", white);
  ASSERT_EQ(std::sscanf(ruby.c_str(), "%d %d %d %d %d", &x0, &y0, &x1, &y1, &n), 5) << ruby;
  EXPECT_TRUE(y0 < 8 && x1 < 24) << ruby;
  const std::string link = PixelBox(dir / "second.png", red);
  ASSERT_EQ(std::sscanf(link.c_str(), "%d %d %d %d %d", &x0, &y0, &x1, &y1, &n), 5) << link;
  EXPECT_EQ((std::array<int, 4>{x0, y0, x1, y1}), (std::array<int, 4>{32, 9, 95, 23}));
  // The backlog: the history character's "Taro." wraps to a second row.
  fs::remove(game + "/save.dat");  // the runs are counted from here
  ASSERT_EQ(test::PlayGame(game, 30, {"--input", dir / "in.txt", "--screenshot", dir / "backlog.png"}).exit_code, 0);
  const std::string backlog = PixelBox(dir / "backlog.png", white);
  ASSERT_EQ(std::sscanf(backlog.c_str(), "%d %d %d %d %d", &x0, &y0, &x1, &y1, &n), 5) << backlog;
  EXPECT_GE(y1, 30) << backlog;
  // OnLink gets the link's text and its value; one message in the backlog,
  // none after ClrHist; the pages were read.
  const std::string run1 = test::DumpSave(game + "/save.dat");
  ExpectContains(run1, {"var linked str = \"LINK/go;\"", "var log str = \"1,0\"", "read \"main.osb\" (8,0) (10,0)"});
  ASSERT_EQ(test::PlayGame(game, 30, {"--input", dir / "in.txt"}).exit_code, 0);
  const std::string run2 = test::DumpSave(game + "/save.dat");
  ExpectContains(run2, {"var runs int = 2", "var log str = \"1,0\""});
  test::ExpectLacks(run2, {"read \"main.osb\""});
}

// 2,000 image items show one picture and 2,000 boxes on one spot are given
// falling priorities as they are made, in one tick; then images 1 to 9
// leave. The first box draws over the others, the first image still shows
// the picture, and the images that left show nothing.
TEST(SharedpicsGame, ManyOwnersOfOnePictureAndPrioritiesGivenAtCreation) {
  const test::TempDir dir;
  const std::string game = dir / "g";
  test::BuildGame("sharedpics", game, true);
  ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", test::CellPicturesScript("cells('dot.brx', 4, 4, [(255, 0, 0)])\n"),
                              game}).exit_code, 0);
  ASSERT_EQ(test::PlayGame(game, 4, {"--screenshot", dir / "shot.png"}).exit_code, 0);
  const std::string dump = test::DumpSave(game + "/save.dat");
  for (const char* line : {"made int = 4000", "left int = 3991", "first str = \"TRUE FALSE TRUE\""})
    EXPECT_NE(dump.find(line), std::string::npos) << line;
  // The first image, the second's place, a spot no image covers, the
  // boxes' spot.
  EXPECT_EQ(test::PngPixels(dir / "shot.png", "(1, 1), (5, 1), (150, 5), (125, 95)"),
            "[(255, 0, 0), (0, 0, 0), (0, 0, 0), (0, 255, 0)]\n");
}

}  // namespace
}  // namespace orba

// The "edit" game without a window: an edit's and a memo's texts (and the
// memo's alignment) survive a save and a load made after they were changed;
// text typed into the edit shows in the screenshot inside the field, with
// its descenders, the underscore, the caret and a selection; a two-tone
// label beside them changes neither field's look, and its letters keep
// their spacing.
#include <gtest/gtest.h>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

TEST(EditGame, SavedTextsComeBackWithTheLoad) {
  const test::TempDir dir;
  test::BuildGame("edit", dir / "game", true);
  ASSERT_EQ(test::PlayGame(dir / "game", 10).exit_code, 0);
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"),
                       {"var loaded int = 1", "var edittext str = \"orba\"", "var memotext str = \"memo\"",
                        "var memoalign int = 2", "var keys str = \"\""});
}

// The screenshot's edit (20, 40, 120 x 20, white, black 16-pixel text)
// described by what a person reads there: the columns of a caret as high
// as the line (rows 42 to 57), the longest dark run of a row below the
// baseline (row 54 on, the line's top and the font's ascent of 12: the
// underscore), whether ink reaches the descenders' lowest row (56, their
// 4 rows below the baseline, within the line), whether the
// field's own first and last rows stay white, and the selection: its pixels
// and the white text on them.
constexpr const char* kReadField = R"(import sys
from PIL import Image
im = Image.open(sys.argv[1]).convert('RGB')
dark = lambda x, y: sum(im.getpixel((x, y))) < 200
xs = range(20, 140)
caret = [x for x in xs if all(dark(x, y) for y in range(42, 58))]
runs = []
for y in range(54, 60):
    n = 0
    for x in xs:
        n = n + 1 if dark(x, y) else 0
        runs.append(n)
descenders = sum(dark(x, 56) for x in xs)
edges = all(im.getpixel((x, y)) == (255, 255, 255) for x in xs for y in (40, 59))
sel = [(x, y) for x in xs for y in range(40, 60) if im.getpixel((x, y)) == (0x33, 0x99, 0xFF)]
white_text = sum(min(im.getpixel((x, y))) > 200 for x in range(min(p[0] for p in sel), max(p[0] for p in sel))
                 for y in range(44, 56)) if sel else 0
print(len(caret), max(runs) >= 6, descenders >= 4, edges, len(sel) > 100, white_text > 10)
)";

TEST(EditGame, TypedTextShowsInTheFieldWithItsCaretAndSelection) {
  const test::TempDir dir;
  test::BuildGame("edit", dir / "game", true);
  // A click at the edit's right end gives it the focus with the caret after
  // "orba"; Shift+minus, g, y and p type "_gyp"; later Shift+Left twice
  // selects "yp".
  const std::string typing = "tick 12: lbutton down 138 50\ntick 12: lbutton up 138 50\n"
                             "tick 13: key down 16\ntick 13: key down 0xBD\ntick 13: key up 0xBD\ntick 13: key up 16\n"
                             "tick 14: key down 71\ntick 14: key up 71\ntick 15: key down 89\ntick 15: key up 89\n"
                             "tick 16: key down 80\ntick 16: key up 80\n";
  const std::string selecting = "tick 18: key down 16\ntick 18: key down 37\ntick 18: key up 37\n"
                                "tick 19: key down 37\ntick 19: key up 37\ntick 19: key up 16\n";
  test::WriteText(dir / "typing.txt", typing);
  test::WriteText(dir / "selecting.txt", typing + selecting);
  ASSERT_EQ(test::PlayGame(dir / "game", 18, {"--input", dir / "typing.txt", "--screenshot", dir / "typed.png"}).exit_code,
            0);
  // The keys reached the edit's OnNotify with the text as it was, and not the game.
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"),
                       {"var keys str = \"16:orba,189:orba,71:orba_,89:orba_g,80:orba_gy,\""});
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kReadField, dir / "typed.png"}).output,
            "1 True True True False False\n");
  ASSERT_EQ(
      test::PlayGame(dir / "game", 22, {"--input", dir / "selecting.txt", "--screenshot", dir / "selected.png"}).exit_code,
      0);
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kReadField, dir / "selected.png"}).output,
            "1 True True True True True\n");
}

// Two screenshots of the fields, one after a click on the background put the
// label "gypq" (16 pixels, two-tone) above them: what differs inside the
// edit (20, 40, 120 x 20) and the memo (20, 70, 120 x 40), the colours of
// the smooth text in the edit, and the caption's columns (x 20 to 80, y 4
// to 24): whether it has ink and the widest blank run between its letters.
constexpr const char* kCompareFields = R"(import sys
from PIL import Image
plain, labelled = (Image.open(p).convert('RGB') for p in sys.argv[1:3])
fields = [(x, y) for x in range(20, 140) for y in list(range(40, 60)) + list(range(70, 110))]
differ = sum(plain.getpixel(p) != labelled.getpixel(p) for p in fields)
colours = len({labelled.getpixel((x, y)) for x in range(20, 140) for y in range(40, 60)})
ink = ''.join('#' if any(sum(labelled.getpixel((x, y))) > 384 for y in range(4, 24)) else '.' for x in range(20, 80))
gaps = [len(run) for run in ink.strip('.').split('#') if run]
print(differ, colours > 20, '#' in ink, max(gaps) if gaps else -1)
)";

TEST(EditGame, ATwoToneLabelLeavesTheFieldsSmoothAndKeepsItsLettersTogether) {
  const test::TempDir dir;
  test::BuildGame("edit", dir / "game", true);
  test::WriteText(dir / "click.txt", "tick 8: lbutton down 5 30\ntick 9: lbutton up 5 30\n");
  ASSERT_EQ(test::PlayGame(dir / "game", 12, {"--screenshot", dir / "plain.png"}).exit_code, 0);
  ASSERT_EQ(
      test::PlayGame(dir / "game", 12, {"--input", dir / "click.txt", "--screenshot", dir / "labelled.png"}).exit_code,
      0);
  // No field pixel changed; the edit's text has its grey edges; "gypq" is
  // drawn, no two letters further apart than 2 blank columns (a "p" whose
  // two-tone box strayed from its widths left 4 before the "q").
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", kCompareFields, dir / "plain.png", dir / "labelled.png"}).output,
            "0 True True 2\n");
}

}  // namespace
}  // namespace orba

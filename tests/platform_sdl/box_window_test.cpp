// The player's boxes on a real X server (a private Xvfb with openbox as its
// window manager), played with the "boxquit" game, which asks the overwrite
// question first when its "out/a.dat" exists, then waits: a quit signal
// while a box is open ends the player in order; a box is a dialog of the
// game window, placed over it and kept above it; a box destroyed by another
// client answers as Escape and the game goes on; the game window's and a
// box's old title property (WM_NAME) is compound text that reads as the
// Japanese Title. Skipped without Xvfb, openbox, xdotool or xprop, as the
// other display tests are.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Plays the game once in MODE on its own Xvfb with openbox:
//   termclose      the close question (Alt+F4 on the game window), then SIGTERM
//   termoverwrite  the overwrite question, then SIGTERM
//   goneclose      the close question, its window destroyed by xdotool
//   goneoverwrite  the overwrite question, its window destroyed, after the
//                  box's properties are read and the game window clicked
//   twiceclose     the close question, the game window's close button
//                  clicked, then Return (OK) in the question
//   clickclose     the close question, the game window clicked, then Escape
//                  typed to whichever window has the focus
// In the "gone" modes the game window is then closed from outside. Prints
// "KEY=VALUE" lines: box (a box was found), alive (the player lived on
// after its box was destroyed or answered), focus (after the click: "box"
// when the box has the keyboard), answered (the box went after Escape),
// exit (the exit code, or "hung"), and the
// box's and the game window's properties as xprop reads them in a UTF-8
// locale.
const char kPlay[] = R"sh(mode=$1 dir=$2 game=$3 player=$4
rm -f "$dir/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -noreset -nolisten tcp 3>"$dir/display" 2>/dev/null & x=$!
trap 'kill $wm $x 2>/dev/null; wait 2>/dev/null' EXIT
for i in $(seq 600); do [ -s "$dir/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$dir/display") LC_ALL=C.UTF-8
openbox --sm-disable >/dev/null 2>&1 & wm=$!
for i in $(seq 600); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.05; done
SDL_VIDEODRIVER=x11 ASAN_OPTIONS=detect_leaks=0 "$player" "$game" 2>"$dir/err" & p=$!
# The game window is the one of the game's height that stays (SDL may make
# it anew for its renderer just after showing it); a box is any other.
main=
for i in $(seq 600); do
  now=
  for w in $(xdotool search --onlyvisible --pid $p 2>/dev/null); do
    xdotool getwindowgeometry --shell $w 2>/dev/null | grep -qx HEIGHT=240 && now=$w
  done
  [ -n "$now" ] && [ "$now" = "$main" ] && break
  main=$now; sleep 0.2
done
box() {
  for i in $(seq 400); do
    for w in $(xdotool search --onlyvisible --pid $p 2>/dev/null); do
      [ "$w" != "$main" ] && { echo $w; return 0; }
    done; sleep 0.05
  done; return 1
}
case $mode in
  *close)
    # Asked once the game waits (a close asked before its first step is
    # answered just the same, but counts no run). Asked again until the
    # question opens: a key sent while openbox is still giving the window
    # the focus is lost on a loaded machine.
    sleep 1
    for try in $(seq 10); do
      xdotool windowactivate --sync $main key alt+F4 2>/dev/null
      for i in $(seq 20); do [ "$(xdotool search --onlyvisible --pid $p 2>/dev/null | wc -l)" -ge 2 ] && break 2; sleep 0.1; done
    done ;;
esac
b=$(box) && echo box=yes || echo box=no
sleep 0.5
case $mode in
  goneoverwrite)
    echo "main=$(printf '0x%x' $main)"
    echo "transient=$(xprop -id $b WM_TRANSIENT_FOR)"
    echo "type=$(xprop -id $b _NET_WM_WINDOW_TYPE)"
    echo "actions=$(xprop -id $b _NET_WM_ALLOWED_ACTIONS)"
    echo "boxname=$(xprop -id $b WM_NAME)"
    echo "mainname=$(xprop -id $main WM_NAME)"
    eval $(xdotool getwindowgeometry --shell $main); mx=$((X + WIDTH / 2)) my=$((Y + HEIGHT / 2))
    eval $(xdotool getwindowgeometry --shell $b); echo "offcentre=$((X + WIDTH / 2 - mx)) $((Y + HEIGHT / 2 - my))"
    xdotool mousemove --window $main 5 5 click 1; sleep 0.5
    echo "stacking=$(xprop -root _NET_CLIENT_LIST_STACKING)"
    ;;
esac
case $mode in
  term*) kill -TERM $p ;;
  clickclose)
    xdotool mousemove --window $main 5 5 click 1; sleep 0.5
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$b" ] && echo focus=box || echo focus=other
    xdotool key Escape
    answered=no
    for i in $(seq 50); do
      xdotool search --onlyvisible --pid $p 2>/dev/null | grep -qx "$b" || { answered=yes; break; }
      sleep 0.1
    done
    echo answered=$answered
    kill -0 $p 2>/dev/null && echo alive=yes || echo alive=no
    xdotool windowclose $main 2>/dev/null ;;
  twiceclose)
    # The close button at the right end of the game window's title bar (the
    # keyboard is the box's: Alt+F4 would close the box).
    eval $(xdotool getwindowgeometry --shell $main)
    set -- $(xprop -id $main _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    xdotool mousemove $((X + WIDTH + $2 - 10)) $((Y - $3 / 2)) click 1; sleep 0.5
    for try in $(seq 10); do
      xdotool windowactivate --sync $b key Return 2>/dev/null
      for i in $(seq 20); do kill -0 $p 2>/dev/null || break 2; sleep 0.1; done
    done ;;
  gone*)
    xdotool windowclose $b
    sleep 1
    kill -0 $p 2>/dev/null && echo alive=yes || echo alive=no
    xdotool windowclose $main 2>/dev/null ;;
esac
# A quit signal ends the player by itself, however long that takes on a
# busy machine (its watchdog ends a shut-down that makes no progress).
case $mode in term*) wait $p; echo exit=$?; echo "said=$(paste -sd'|' "$dir/err")"; exit ;; esac
for i in $(seq 1000); do kill -0 $p 2>/dev/null || break; sleep 0.01; done
if kill -0 $p 2>/dev/null; then kill -9 $p; wait $p; echo exit=hung; else wait $p; echo exit=$?; fi
echo "said=$(paste -sd'|' "$dir/err")"
)sh";

class BoxWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop"})
      if (test::RunCommand({"sh", "-c", std::string("command -v ") + tool}).exit_code != 0)
        GTEST_SKIP() << tool << " is not installed";
    test::BuildGame("boxquit", game, true);
  }
  // The game played in Mode, with an older out/a.dat when Overwrite: the
  // lines the script printed, by key.
  std::map<std::string, std::string> Play(const std::string& mode, bool overwrite) {
    std::filesystem::remove_all(game + "/out");
    if (overwrite) {
      std::filesystem::create_directories(game + "/out");
      test::WriteText(game + "/out/a.dat", "old a\n");
    }
    const test::CommandResult r =
        test::RunCommand({"sh", "-c", kPlay, "sh", mode, dir.path(), game, ORBA_PLAYER_PATH});
    std::map<std::string, std::string> said;
    std::istringstream lines(r.output);
    for (std::string line; std::getline(lines, line);) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) said[line.substr(0, eq)] = line.substr(eq + 1);
    }
    EXPECT_EQ(said["box"], "yes") << mode << ": " << r.output;
    return said;
  }

  test::TempDir dir;
  const std::string game = dir / "game";
};

// SIGTERM while the close question and while the overwrite question is
// open: the box is answered as Escape, and the player ends through its exit
// page with its status saved and exit code 0, not stopped by the watchdog.
// The overwrite question's Escape keeps the file.
TEST_F(BoxWindow, AQuitSignalEndsAnOpenBoxAndThePlayerInOrder) {
  for (const auto& [mode, overwrite] : {std::pair{"termclose", false}, std::pair{"termoverwrite", true}}) {
    std::map<std::string, std::string> said = Play(mode, overwrite);
    EXPECT_EQ(said["exit"], "0") << mode << ": " << said["said"];
    if (overwrite) {
      EXPECT_EQ(test::FileText(game + "/out/a.dat"), "old a\n");
    }
  }
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var runs int", "var exits int = 2"});
}

// A box whose window another client destroys answers as Escape: the game
// goes on (the overwrite question's file is kept, the close question's
// game keeps waiting) and later ends in order when its window is closed.
// The overwrite question's box was a dialog of the game window (transient
// for it, of the dialog type, neither resized nor maximised), centred
// over it and kept above it after a click on the game window; the old
// title property of both windows is compound text that reads as their
// Japanese captions.
TEST_F(BoxWindow, ABoxIsADialogOfTheGameAndAGoneBoxAnswersAsEscape) {
  std::map<std::string, std::string> said = Play("goneoverwrite", true);
  EXPECT_EQ(said["alive"], "yes");
  EXPECT_EQ(said["exit"], "0") << said["said"];
  EXPECT_EQ(test::FileText(game + "/out/a.dat"), "old a\n");
  const std::string main = said["main"];
  EXPECT_EQ(said["transient"], "WM_TRANSIENT_FOR(WINDOW): window id # " + main);
  EXPECT_EQ(said["type"], "_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_DIALOG");
  EXPECT_NE(said["actions"].find("_NET_WM_ACTION_CLOSE"), std::string::npos) << said["actions"];
  // (openbox keeps minimising whatever the hints say.)
  for (const char* action : {"MAXIMIZE", "RESIZE"})
    EXPECT_EQ(said["actions"].find(action), std::string::npos) << said["actions"];
  EXPECT_EQ(said["boxname"], "WM_NAME(COMPOUND_TEXT) = \"確認\"");
  EXPECT_EQ(said["mainname"], "WM_NAME(COMPOUND_TEXT) = \"箱のテスト\"");
  // The box's middle is the game window's, to a pixel of rounding.
  int dx = 99, dy = 99;
  std::istringstream(said["offcentre"]) >> dx >> dy;
  EXPECT_LE(std::abs(dx), 1) << said["offcentre"];
  EXPECT_LE(std::abs(dy), 1) << said["offcentre"];
  // Listed bottom first: the box stays above the game window it was
  // clicked on.
  const std::string stacking = said["stacking"];
  EXPECT_NE(stacking.find(main + ","), std::string::npos) << stacking;

  said = Play("goneclose", false);
  EXPECT_EQ(said["alive"], "yes");
  EXPECT_EQ(said["exit"], "0") << said["said"];
  const std::string dump = test::DumpSave(game + "/save.dat");
  test::ExpectContains(dump, {"var runs int = 2", "var asked int = 2", "var exits int = 2"});
}

// A close asked on the game window while its close question is open is not
// asked again once the question is answered OK: the player ends.
TEST_F(BoxWindow, ACloseAskedUnderTheQuestionIsNotAskedAgain) {
  std::map<std::string, std::string> said = Play("twiceclose", false);
  EXPECT_EQ(said["exit"], "0") << said["said"];
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var exits int = 1"});
}

// While the close question is open the keyboard is the box's: a click on
// the game window leaves the focus with the box (given back to it), so that
// Escape typed next answers the question (Cancel) and the game goes on,
// until its window is closed.
TEST_F(BoxWindow, AClickOnTheGameWindowLeavesTheKeyboardWithTheBox) {
  std::map<std::string, std::string> said = Play("clickclose", false);
  EXPECT_EQ(said["focus"], "box");
  EXPECT_EQ(said["answered"], "yes");
  EXPECT_EQ(said["alive"], "yes");
  EXPECT_EQ(said["exit"], "0") << said["said"];
  test::ExpectContains(test::DumpSave(game + "/save.dat"), {"var asked int = 1", "var exits int = 1"});
}

}  // namespace
}  // namespace orba

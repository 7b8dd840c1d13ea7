// The "flip" game played without a window: a fade, objects carried over and
// cleared, and a save during the fade; the "capture" game: screen captures,
// display modes and the wallpaper.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// The badge (0, 0), the middle (10, 10) and the white corner (30, 1).
const char kPoints[] = "(0, 0), (10, 10), (30, 1)";
const std::string kOld = "[(0, 0, 255), (255, 0, 0), (255, 255, 255)]\n";
const std::string kNew = "[(0, 0, 255), (0, 255, 0), (0, 255, 0)]\n";

// The fade starts at tick 2 (clock 30) and ends at clock 330: at clock 180
// every channel is the mean of the two pictures, rounded down; the badge is
// blue on both. Saved at tick 8 and loaded at tick 3 of a new run, the
// command finishes in the next tick with the new screen shown.
TEST(ScreenGame, FlipFadesCarriesClearsAndLoadsFinished) {
  const test::TempDir dir;
  test::BuildGame("flip", dir / "game", true);
  const struct {
    int ticks;
    std::string pixels;
  } frames[] = {{1, kOld}, {12, "[(0, 0, 255), (127, 127, 0), (127, 255, 127)]\n"}, {21, ""}, {22, kNew}};
  for (const auto& f : frames) {
    const std::string shot = dir / (std::to_string(f.ticks) + ".png");
    const test::CommandResult r = test::PlayGame(dir / "game", f.ticks, {"--screenshot", shot});
    EXPECT_EQ(f.pixels.empty() ? "" : test::PngPixels(shot, kPoints), f.pixels) << f.ticks;
    EXPECT_EQ(r.output.find("main.osb(6)") != std::string::npos, f.ticks == 22) << r.output;
    if (f.ticks == 22) test::ExpectContains(r.output, {"tick 22 clock 330 frame 15\n0000014a : main.osb(6)\n"});
  }
  test::WriteText(dir / "save.txt", "tick 8: event save.osb\n");
  test::WriteText(dir / "load.txt", "tick 3: event load.osb\n");
  ASSERT_EQ(test::PlayGame(dir / "game", 9, {"--events", dir / "save.txt"}).exit_code, 0);
  const test::CommandResult r =
      test::PlayGame(dir / "game", 4, {"--events", dir / "load.txt", "--screenshot", dir / "shot.png"});
  test::ExpectContains(r.output, {"no painting after a load\ntick 4 clock 60 frame 15\n0000003c : main.osb(5)\n"
                                  "0000003c : main.osb(6)\n"});
  EXPECT_EQ(test::PngPixels(dir / "shot.png", kPoints), kNew);
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"),
                       {"caption \"fading\"", "var log str = \"after FALSEFALSETRUETRUEafter FALSEFALSETRUETRUE\""});
}

// The 1280 x 720 screen captured at 320 x 180 reads back through orbatool's
// decoder as the four quarters; the capture
// registered for deletion is gone after the run, a PNG name and a size too
// large to hold are refused, the in-memory capture exists. Without a window
// there is one display mode, the game's; other indexes write nothing. The
// wallpaper is the screen written as a bitmap.
TEST(ScreenGame, CapturesDisplayModesAndWallpaper) {
  const test::TempDir dir;
  test::BuildGame("capture", dir / "game", true);
  // Without a display the wallpaper is only written, into the data folder.
  ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  ::unsetenv("DISPLAY");
  ::unsetenv("WAYLAND_DISPLAY");
  ASSERT_EQ(test::PlayGame(dir / "game", 3).exit_code, 0);
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"),
                       {"var log str = \"TRUEFALSETRUETRUEFALSETRUE 1 TRUE1280x720x32@60 FALSEFALSE7 FALSEFALSE\""});
  EXPECT_EQ(test::PngPixels(dir / "data/orba/orbawall.bmp", "(0, 0), (1279, 0), (0, 719), (1279, 719)"),
            "[(255, 0, 0), (0, 0, 255), (0, 255, 0), (255, 255, 255)]\n");
  EXPECT_FALSE(std::filesystem::exists(dir / "game/gone.brx"));
  EXPECT_FALSE(std::filesystem::exists(dir / "game/cap.png"));
  const char* points = "(80, 45), (240, 45), (80, 135), (240, 135)";
  ASSERT_EQ(test::RunOrbaTool({"img", "decode", dir / "game/cap.brx", dir / "cap.png"}).exit_code, 0);
  EXPECT_EQ(test::PngPixels(dir / "cap.png", points), "[(255, 0, 0), (0, 0, 255), (0, 255, 0), (255, 255, 255)]\n");
  EXPECT_EQ(test::RunCommand({ORBA_PYTHON, "-c", "import sys\nfrom PIL import Image\nprint(Image.open(sys.argv[1]).size)",
                              dir / "cap.png"}).output, "(320, 180)\n");
}

}  // namespace
}  // namespace orba

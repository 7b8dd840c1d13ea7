// What drawing the game window costs: which renderer draws it (SDL's
// software renderer where OpenGL runs on the CPU, as under Xvfb), and the
// player's CPU time on the demo's animated title page with its window shown
// and then minimised, side by side in one run on a private Xvfb with
// openbox. Skipped without Xvfb, openbox, xdotool or xprop, as the other
// display tests are.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/sdl/sdl_renderer_choice.h"
#include "platform/sdl/sdl_video.h"
#include "platform_sdl/xvfb_run.h"
#include "shell/test_games.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Mesa's rasterizers that run on the CPU, as their renderer strings read,
// against a graphics card's.
TEST(SdlRendererChoice, OpenGlOnTheCpuIsKnownByItsRendererString) {
  const struct {
    const char* renderer;
    bool software;
  } cases[] = {
      {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
      {"softpipe", true},
      {"Mesa DRI swrast", true},
      {"Software Rasterizer", true},
      {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
      {"NVIDIA GeForce GTX 1060/PCIe/SSE2", false},
      {"AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0)", false},
      {"", false},
      {nullptr, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsSoftwareGlRenderer(c.renderer), c.software) << (c.renderer != nullptr ? c.renderer : "null");
}

// Run by the test below on its display: the game window's renderer is the
// one ORBA_WANT_RENDERER names, and it draws the picture.
TEST(SdlRendererChoice, OnTheDisplay) {
  const char* want = std::getenv("ORBA_WANT_RENDERER");
  if (want == nullptr) GTEST_SKIP() << "run by SdlRendererChoice.UnderXvfbSoftwareDrawsUnlessOpenGlIsNamed";
  TSdlVideo video;
  video.CreateWindow(64, 48, "renderer");
  SDL_RendererInfo info;
  ASSERT_EQ(SDL_GetRendererInfo(video.Renderer(), &info), 0) << SDL_GetError();
  EXPECT_STREQ(info.name, want);
  const std::vector<uint32_t> frame(64 * 48, 0x00FF00u);
  video.Present({frame.data(), 64, 48, 64}, {{0, 0, 64, 48}});
  uint32_t pixel = 0;
  const SDL_Rect at{10, 10, 1, 1};
  ASSERT_EQ(SDL_RenderReadPixels(video.Renderer(), &at, SDL_PIXELFORMAT_RGB888, &pixel, 4), 0) << SDL_GetError();
  EXPECT_EQ(pixel & 0xFFFFFFu, 0x00FF00u);
}

// Xvfb's OpenGL is Mesa's, on the CPU: the software renderer draws there,
// unless the user names OpenGL (SDL_RENDER_DRIVER), which is then kept.
TEST(SdlRendererChoice, UnderXvfbSoftwareDrawsUnlessOpenGlIsNamed) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb"}).exit_code != 0) GTEST_SKIP() << "Xvfb is not installed";
  for (const char* exports : {"SDL_VIDEODRIVER=x11 ORBA_WANT_RENDERER=software",
                              "SDL_VIDEODRIVER=x11 SDL_RENDER_DRIVER=opengl ORBA_WANT_RENDERER=opengl"}) {
    const test::CommandResult r = test::RunOnXvfb("640x480", exports, "", "SdlRendererChoice.OnTheDisplay");
    EXPECT_EQ(r.exit_code, 0) << exports << "\n" << r.output;
    EXPECT_NE(r.output.find("[  PASSED  ] 1 test"), std::string::npos) << exports << "\n" << r.output;
  }
}

// Plays the demo in DIR/demo on its own Xvfb with openbox, waits for its
// window, lets the page run for 2 s, then measures the player's CPU time
// (all its threads) over SECONDS with the window shown. With RENDERER
// ("opengl") that renderer draws and that is all; otherwise the CPU time
// is measured again with the window minimised, and the window is restored
// and its picture taken as raw RGB into DIR/shot. Prints "shown TICKS
// minimised TICKS hz HZ" (minimised 0 with RENDERER) and then "restored
// yes" or "restored no" (whether the window came back), or "no window".
const char kMeasure[] = R"sh(dir=$1 player=$2 seconds=$3 renderer=$4
Xvfb -displayfd 3 -screen 0 1280x800x24 -noreset -nolisten tcp 3>"$dir/display" 2>/dev/null & x=$!
p= wm=
trap 'kill $p $wm $x 2>/dev/null; wait 2>/dev/null' EXIT
for i in $(seq 600); do [ -s "$dir/display" ] && break; sleep 0.05; done
export DISPLAY=:$(cat "$dir/display") DBUS_SESSION_BUS_ADDRESS=disabled:
unset WAYLAND_DISPLAY SDL_RENDER_DRIVER SDL_FRAMEBUFFER_ACCELERATION
[ -n "$renderer" ] && export SDL_RENDER_DRIVER=$renderer
openbox --sm-disable >/dev/null 2>&1 & wm=$!
for i in $(seq 600); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.05; done
SDL_VIDEODRIVER=x11 ASAN_OPTIONS=detect_leaks=0 "$player" "$dir/demo" 2>"$dir/err" & p=$!
# The window that stays (SDL may make it anew for its renderer). The waits
# end as soon as what they wait for is there; their bounds (30 s for the
# display and the window manager, 2 min for the window) leave room for a
# sanitizer build on a machine with every core busy.
w=
for i in $(seq 600); do
  now=$(xdotool search --onlyvisible --pid $p 2>/dev/null | tail -n 1)
  [ -n "$now" ] && [ "$now" = "$w" ] && break; w=$now; sleep 0.2
done
[ -n "$w" ] || { echo "no window"; exit 0; }
cpu() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' /proc/$p/stat; }
sleep 2
a=$(cpu); sleep $seconds; b=$(cpu)
[ -n "$renderer" ] && { echo "shown $((b - a)) minimised 0 hz $(getconf CLK_TCK)"; exit 0; }
timeout 10 xdotool windowminimize --sync $w; sleep 1
c=$(cpu); sleep $seconds; d=$(cpu)
echo "shown $((b - a)) minimised $((d - c)) hz $(getconf CLK_TCK)"
timeout 10 xdotool windowactivate --sync $w 2>/dev/null; sleep 1
xdotool search --onlyvisible --pid $p 2>/dev/null | grep -qx $w && echo "restored yes" || echo "restored no"
timeout 20 import -window $w -depth 8 rgb:"$dir/shot" 2>/dev/null
)sh";

// The demo's animated title redraws every few ticks. Drawn by the software
// renderer it costs a fraction of what OpenGL on the CPU costs (Xvfb's);
// minimised, the game goes on but nothing is drawn, and the player costs a
// fraction of what it costs shown (docs/PERFORMANCE.md has the figures;
// the margins here leave room for a loaded machine and a sanitizer build,
// whose own ticks cost more). Restored, the window shows the whole title
// again.
TEST(WindowCost, AMinimisedWindowCostsAFractionOfAShownOne) {
  for (const char* tool : {"Xvfb", "openbox", "xdotool", "xprop"})
    if (test::RunCommand({"sh", "-c", std::string("command -v ") + tool}).exit_code != 0)
      GTEST_SKIP() << tool << " is not installed";
  const test::TempDir dir;
  std::filesystem::create_directories(dir / "demo");
  std::filesystem::copy_file(ORBA_DEMO_GAME, dir / "demo/game.dat");
  const test::CommandResult gl =
      test::RunCommand({"sh", "-c", kMeasure, "sh", dir.path(), ORBA_PLAYER_PATH, "4", "opengl"});
  const test::CommandResult r =
      test::RunCommand({"sh", "-c", kMeasure, "sh", dir.path(), ORBA_PLAYER_PATH, "4", ""});
  long gl_shown = -1, shown = -1, minimised = -1, hz = 0;
  ASSERT_EQ(std::sscanf(gl.output.c_str(), "shown %ld minimised 0 hz %ld", &gl_shown, &hz), 2) << gl.output;
  ASSERT_EQ(std::sscanf(r.output.c_str(), "shown %ld minimised %ld hz %ld", &shown, &minimised, &hz), 3) << r.output;
  const auto percent = [hz](long ticks) { return 100.0 * static_cast<double>(ticks) / static_cast<double>(hz) / 4; };
  std::printf("through OpenGL %.1f %% of a core; shown %.1f %%, minimised %.1f %%\n", percent(gl_shown),
              percent(shown), percent(minimised));
  ASSERT_GT(shown, 0) << r.output;
  // Generous: a loaded machine slows both sides of the one run. Through
  // OpenGL the title cost seven to ten times what it costs now; minimised,
  // what is left is the game's own ticks, 0.4 to 0.6 of the shown window's
  // cost (1.5 % of a core in a release build). That nothing is drawn while
  // minimised, SdlWindowTest.AHiddenWindowIsDrawnWholeWhenShownAgain shows.
  EXPECT_LE(shown * 3, gl_shown) << gl.output << r.output;
  EXPECT_LE(minimised * 6, gl_shown) << gl.output << r.output;
  EXPECT_LE(minimised, shown) << r.output;
  EXPECT_NE(r.output.find("restored yes"), std::string::npos) << r.output;
  // The title page is light on dark: most of the restored window is not black.
  const std::string shot = test::FileText(dir / "shot");
  ASSERT_GT(shot.size(), 3u * 640 * 480) << r.output;
  size_t lit = 0;
  for (size_t i = 0; i + 2 < shot.size(); i += 3) lit += (shot[i] | shot[i + 1] | shot[i + 2]) != 0;
  EXPECT_GT(lit, shot.size() / 3 / 2);
}

}  // namespace
}  // namespace orba

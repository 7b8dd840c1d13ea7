// The icon given to the SDL window reaches the X server as the window's
// _NET_WM_ICON (width, height, then ARGB pixels), as a window manager reads
// it: here the player's own, set before the window opens.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/sdl/sdl_video.h"
#include "platform_sdl/xvfb_run.h"
#include "shell/window_icon.h"
#include "support/test_support.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace orba {
namespace {

// Run by WindowIconSdl.UnderXvfb on its display (skipped elsewhere).
TEST(WindowIconOnTheDisplay, TheWindowCarriesTheIconItWasGiven) {
  if (std::getenv("ORBA_WINDOW_ICON_DISPLAY") == nullptr) GTEST_SKIP() << "run by WindowIconSdl.UnderXvfb";
  TSdlVideo video;
  TRgbaPicture icon = PlayerIcon();
  video.SetIcon(icon.Width, icon.Height, icon.Pixels);
  video.CreateWindow(64, 48, "icon");
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ASSERT_EQ(SDL_GetWindowWMInfo(video.Window(), &info), SDL_TRUE) << SDL_GetError();
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  XSync(info.info.x11.display, False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(other, info.info.x11.window, XInternAtom(other, "_NET_WM_ICON", False), 0, 1 << 16,
                               False, XA_CARDINAL, &type, &format, &count, &after, &data),
            Success);
  // Format 32 properties come as longs.
  const auto* values = reinterpret_cast<const unsigned long*>(data);
  ASSERT_EQ(count, 2 + size_t{kPlayerIconSize} * kPlayerIconSize);
  EXPECT_EQ(values[0], static_cast<unsigned long>(kPlayerIconSize));
  EXPECT_EQ(values[1], static_cast<unsigned long>(kPlayerIconSize));
  const auto pixel = [&](int x, int y) { return values[2 + y * kPlayerIconSize + x] & 0xFFFFFFFFu; };
  EXPECT_EQ(pixel(kPlayerIconSize / 2, kPlayerIconSize / 2), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(kPlayerIconSize / 2, 4), 0xFF2A62C8u);
  EXPECT_EQ(pixel(0, 0) >> 24, 0u);
  XFree(data);
  XCloseDisplay(other);
}

TEST(WindowIconSdl, UnderXvfb) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb"}).exit_code != 0) GTEST_SKIP() << "Xvfb is not installed";
  const test::CommandResult r = test::RunOnXvfb("800x600", "SDL_VIDEODRIVER=x11 ORBA_WINDOW_ICON_DISPLAY=1", "",
                                                "WindowIconOnTheDisplay.*");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("[  PASSED  ] 1 test"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace orba

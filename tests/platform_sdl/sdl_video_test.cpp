// Tests of the SDL window under SDL's "dummy" video driver.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/headless/scripted_input.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_video.h"
#include "sdl_window_fixture.h"

namespace orba {
namespace {

class SdlVideoTest : public test::SdlWindowTest {
 protected:
  void PushKey(Uint32 type, SDL_Keycode key, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = video->WindowId();
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat;
    Push(e);
  }
  // The waiting events in the input script's text form.
  std::vector<std::string> Drain(TSdlInput& input) {
    std::vector<std::string> events;
    for (TInputEvent e; input.NextEvent(e);) events.push_back(FormatInputEvent(e));
    return events;
  }
  // What the window shows at each point.
  std::vector<uint32_t> ShownAt(const std::vector<std::pair<int, int>>& points) {
    std::vector<uint32_t> out;
    for (auto [x, y] : points) out.push_back(Shown(x, y));
    return out;
  }
  std::pair<int32_t, int32_t> GameAt(int32_t x, int32_t y) {
    int32_t gx = -1, gy = -1;
    video->WindowToGamePosition(x, y, gx, gy);
    return {gx, gy};
  }
};

TEST_F(SdlVideoTest, OpensPresentsAndMapsPositions) {
  video->CreateWindow(64, 48, "\x83\x65\x83\x58\x83\x67");
  EXPECT_NE(video->WindowId(), 0u);
  EXPECT_THROW(video->CreateWindow(64, 48, "again"), ESdlError);
  std::vector<uint32_t> frame(70 * 48, 0x336699);
  video->Present({frame.data(), 64, 48, 70}, {{0, 0, 64, 48}, {60, 40, 200, 200}, {-3, -3, 2, 2}, {5, 5, 5, 9}});
  video->Present({frame.data(), 64, 48, 70}, {});
  video->SetTitle("orba");
  video->ShowCursor(false);
  video->ShowCursor(true);
  video->SetMousePosition(10, 10);
  EXPECT_EQ(GameAt(10, 20), std::make_pair(10, 20));
  video->SetFullScreen(true);
  video->SetFullScreen(false);
  EXPECT_FALSE(video->FullScreen());
  video->Redraw();
}

// The picture keeps only what the dirty rectangles brought, is scaled into
// a resized window with its aspect kept between black bars, and positions
// in the window map back to the game pixel under them.
TEST_F(SdlVideoTest, DirtyPartsReachTheWindowScaledBetweenBars) {
  constexpr uint32_t kRed = 0xFF0000u, kBlue = 0x0000FFu, kGreen = 0x00FF00u;
  video->CreateWindow(64, 48, "");
  std::vector<uint32_t> frame(64 * 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) frame[static_cast<size_t>(y * 64 + x)] = x < 32 ? kRed : kBlue;
  video->Present({frame.data(), 64, 48, 64}, {{0, 0, 64, 48}});
  EXPECT_EQ(ShownAt({{0, 0}, {63, 47}}), (std::vector<uint32_t>{kRed, kBlue}));
  // A new frame, but only its top-left corner is dirty.
  std::fill(frame.begin(), frame.end(), kGreen);
  video->Present({frame.data(), 64, 48, 64}, {{0, 0, 8, 8}});
  EXPECT_EQ(ShownAt({{7, 7}, {8, 8}, {40, 0}}), (std::vector<uint32_t>{kGreen, kRed, kBlue}));

  // Twice as wide: the picture at 1:1 in the middle, bars of 32 either side.
  SDL_SetWindowSize(video->Window(), 128, 48);
  video->Redraw();
  EXPECT_EQ(ShownAt({{31, 20}, {32, 20}, {95, 20}, {96, 20}}), (std::vector<uint32_t>{0, kRed, kBlue, 0}));
  EXPECT_EQ(GameAt(33, 20), std::make_pair(1, 20));
  EXPECT_LT(GameAt(10, 20).first, 0);

  // Twice as large: scaled by 2 all over.
  SDL_SetWindowSize(video->Window(), 128, 96);
  video->Redraw();
  EXPECT_EQ(ShownAt({{2, 2}, {40, 40}, {120, 90}}), (std::vector<uint32_t>{kGreen, kRed, kBlue}));
  EXPECT_EQ(GameAt(127, 95), std::make_pair(63, 47));
}

TEST_F(SdlVideoTest, InputArrivesAsVirtualKeysAndGamePositions) {
  video->CreateWindow(64, 48, "");
  TSdlInput input(*video);
  Drain(input);  // whatever the window's opening sent

  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = video->WindowId();
  e.button.button = SDL_BUTTON_RIGHT;
  e.button.x = 7;
  e.button.y = 8;
  Push(e);
  e.button.button = SDL_BUTTON_MIDDLE;  // not a button the games know
  Push(e);
  e = SDL_Event{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = -2;
  Push(e);
  PushKey(SDL_KEYDOWN, SDLK_a);
  PushKey(SDL_KEYDOWN, SDLK_a, KMOD_NONE, 1);
  PushKey(SDL_KEYUP, SDLK_a);
  PushKey(SDL_KEYDOWN, SDLK_BRIGHTNESSUP);  // no virtual key: dropped
  PushKey(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT);  // Alt+Enter: window or full screen, not a key
  e = SDL_Event{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = video->WindowId();
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  Push(e);

  EXPECT_EQ(Drain(input), (std::vector<std::string>{"rbutton down 7 8", "wheel down 2", "key down 65",
                                                     "key down 65 repeat", "key up 65", "close"}));
}

}  // namespace
}  // namespace orba

// Tests of the SDL window under SDL's "dummy" video driver.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

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
  std::vector<TInputEvent> Drain(TSdlInput& input) {
    std::vector<TInputEvent> events;
    for (TInputEvent e; input.NextEvent(e);) events.push_back(e);
    return events;
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
  int32_t gx = -1, gy = -1;
  video->WindowToGamePosition(10, 20, gx, gy);
  EXPECT_EQ(gx, 10);
  EXPECT_EQ(gy, 20);
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
  EXPECT_EQ(Shown(0, 0), kRed);
  EXPECT_EQ(Shown(63, 47), kBlue);
  // A new frame, but only its top-left corner is dirty.
  std::fill(frame.begin(), frame.end(), kGreen);
  video->Present({frame.data(), 64, 48, 64}, {{0, 0, 8, 8}});
  EXPECT_EQ(Shown(7, 7), kGreen);
  EXPECT_EQ(Shown(8, 8), kRed);
  EXPECT_EQ(Shown(40, 0), kBlue);

  // Twice as wide: the picture at 1:1 in the middle, bars of 32 either side.
  SDL_SetWindowSize(video->Window(), 128, 48);
  video->Redraw();
  EXPECT_EQ(Shown(31, 20), 0u);
  EXPECT_EQ(Shown(32, 20), kRed);
  EXPECT_EQ(Shown(95, 20), kBlue);
  EXPECT_EQ(Shown(96, 20), 0u);
  int32_t gx = -1, gy = -1;
  video->WindowToGamePosition(33, 20, gx, gy);
  EXPECT_EQ(gx, 1);
  EXPECT_EQ(gy, 20);
  video->WindowToGamePosition(10, 20, gx, gy);
  EXPECT_LT(gx, 0);

  // Twice as large: scaled by 2 all over.
  SDL_SetWindowSize(video->Window(), 128, 96);
  video->Redraw();
  EXPECT_EQ(Shown(2, 2), kGreen);
  EXPECT_EQ(Shown(40, 40), kRed);
  EXPECT_EQ(Shown(120, 90), kBlue);
  video->WindowToGamePosition(127, 95, gx, gy);
  EXPECT_EQ(gx, 63);
  EXPECT_EQ(gy, 47);
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

  const std::vector<TInputEvent> events = Drain(input);
  ASSERT_EQ(events.size(), 6u);
  EXPECT_EQ(events[0].Kind, TInputKind::ButtonDown);
  EXPECT_EQ(events[0].Button, TMouseButton::Right);
  EXPECT_EQ(events[0].X, 7);
  EXPECT_EQ(events[0].Y, 8);
  EXPECT_EQ(events[1].Kind, TInputKind::Wheel);
  EXPECT_EQ(events[1].Notches, -2);
  EXPECT_EQ(events[2].Kind, TInputKind::KeyDown);
  EXPECT_EQ(events[2].Key, 0x41);
  EXPECT_FALSE(events[2].Repeat);
  EXPECT_TRUE(events[3].Repeat);
  EXPECT_EQ(events[4].Kind, TInputKind::KeyUp);
  EXPECT_EQ(events[5].Kind, TInputKind::Close);
}

}  // namespace
}  // namespace orba

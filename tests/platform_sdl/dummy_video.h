// A test fixture for the player's own SDL windows under SDL's "dummy" video
// driver, which needs no display (a test is skipped where it cannot start):
// events made and queued for a window, and a pixel of a window's picture.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orba::test {

class DummyVideoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << SDL_GetError();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
  void TearDown() override {
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  static void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }
  static SDL_Event KeyEvent(uint32_t window, SDL_Keycode key, uint16_t mod = 0) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = window;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    return e;
  }
  // The left button pressed (SDL_MOUSEBUTTONDOWN) or released at a point.
  static SDL_Event ButtonEvent(uint32_t window, uint32_t type, int32_t x, int32_t y) {
    SDL_Event e{};
    e.type = type;
    e.button.windowID = window;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = x;
    e.button.y = y;
    return e;
  }
  static SDL_Event WindowEvent(uint32_t window, uint8_t event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window;
    e.window.event = event;
    return e;
  }
  // The types of the events left in the queue once a window is gone, none
  // of them an event of that window (checked); Count tells how many of one
  // type.
  static std::vector<uint32_t> EventsLeftAfter(uint32_t gone_window) {
    std::vector<uint32_t> left;
    for (SDL_Event e{}; SDL_PollEvent(&e) != 0;) {
      left.push_back(e.type);
      if (e.type == SDL_WINDOWEVENT) {
        EXPECT_NE(e.window.windowID, gone_window) << int{e.window.event};
      }
    }
    return left;
  }
  static long Count(const std::vector<uint32_t>& types, uint32_t type) {
    return std::count(types.begin(), types.end(), type);
  }
  // The window's pixel as 0x00RRGGBB (0xFFFFFFFF without a picture).
  static uint32_t PixelAt(SDL_Window* window, int32_t x, int32_t y) {
    SDL_Surface* s = SDL_GetWindowSurface(window);
    if (s == nullptr) return 0xFFFFFFFF;
    uint32_t raw = 0;
    SDL_LockSurface(s);
    std::memcpy(&raw, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel,
                s->format->BytesPerPixel);
    SDL_UnlockSurface(s);
    uint8_t r = 0, g = 0, b = 0;
    SDL_GetRGB(raw, s->format, &r, &g, &b);
    return uint32_t{r} << 16 | uint32_t{g} << 8 | b;
  }
};

}  // namespace orba::test

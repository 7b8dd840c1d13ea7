// A fixture for tests of the SDL window under SDL's "dummy" video driver,
// which needs no display; a test is skipped where that driver cannot start.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "platform/sdl/sdl_video.h"

namespace orba::test {

class SdlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    try {
      video = std::make_unique<TSdlVideo>();
    } catch (const ESdlError& e) {
      GTEST_SKIP() << e.what();
    }
  }

  void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }
  // What the window shows, read back from its renderer: 0x00RRGGBB.
  uint32_t Shown(int x, int y) {
    uint32_t pixel = 0;
    SDL_Rect at{x, y, 1, 1};
    EXPECT_EQ(SDL_RenderReadPixels(video->Renderer(), &at, SDL_PIXELFORMAT_RGB888, &pixel, 4), 0) << SDL_GetError();
    return pixel & 0xFFFFFFu;
  }

  std::unique_ptr<TSdlVideo> video;
};

}  // namespace orba::test

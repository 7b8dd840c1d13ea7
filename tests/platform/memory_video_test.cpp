#include "platform/headless/memory_video.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orba {
namespace {

// A 6x4 frame kept in a buffer 8 pixels wide; pixel (x, y) is 0x00YY00XX + base.
struct TTestFrame {
  explicit TTestFrame(uint32_t base) : pixels(8 * 4, 0xDEADBEEF) {
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 6; ++x) pixels[y * 8 + x] = base + (static_cast<uint32_t>(y) << 16) + x;
  }
  TFrameView View() const { return {pixels.data(), 6, 4, 8}; }
  std::vector<uint32_t> pixels;
};

TEST(MemoryVideo, StartsBlackAndCopiesOnlyTheDirtyRectangles) {
  TMemoryVideo video;
  EXPECT_THROW(video.CreateWindow(0, 10, ""), std::invalid_argument);
  EXPECT_FALSE(video.WindowCreated());
  video.CreateWindow(6, 4, "\x83\x65\x83\x58\x83\x67");  // テスト
  EXPECT_TRUE(video.WindowCreated());
  EXPECT_EQ(video.Title(), "\x83\x65\x83\x58\x83\x67");
  EXPECT_EQ(video.Picture(), std::vector<uint32_t>(24, 0));

  TTestFrame frame(0x100);
  video.Present(frame.View(), {{1, 1, 3, 2}, {5, 3, 9, 9}});
  EXPECT_EQ(video.PresentCount(), 1);
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 6; ++x) {
      const bool dirty = (y == 1 && (x == 1 || x == 2)) || (x == 5 && y == 3);
      EXPECT_EQ(video.Pixel(x, y), dirty ? 0x100 + (static_cast<uint32_t>(y) << 16) + x : 0u) << x << "," << y;
    }
  }
  // Rectangles off the screen, empty or turned around change nothing.
  TTestFrame other(0x200);
  video.Present(other.View(), {{-5, -5, 0, 0}, {6, 0, 10, 4}, {3, 3, 3, 4}, {4, 2, 2, 1}});
  EXPECT_EQ(std::make_pair(video.Pixel(1, 1), video.Pixel(0, 0)), std::make_pair(0x10101u, 0u));
  video.Present(other.View(), {{-5, -5, 100, 100}});
  // (6, 0) lies outside the window.
  EXPECT_EQ((std::vector<uint32_t>{video.Pixel(0, 0), video.Pixel(5, 3), video.Pixel(6, 0)}),
            (std::vector<uint32_t>{0x200, 0x30205, 0}));
  EXPECT_EQ(video.PresentCount(), 3);
}

}  // namespace
}  // namespace orba

// The screen's dirty rectangles reach the window the same whether painted
// straight into the video's own picture or copied through the client's
// frame buffer: window pixels with the unused high byte cleared, only
// inside the rectangles (cut to the window), on any screen depth.
#include "shell/screen_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "graphics/dibx.h"
#include "platform/headless/memory_video.h"

namespace orba {
namespace {

// A window without a picture of its own to paint into.
struct TCopyingVideo : TMemoryVideo {
  TFrameBuffer PresentBuffer() override { return {}; }
};

TEST(ScreenCopy, PaintedInPlaceOrCopiedTheWindowShowsTheSame) {
  for (int32_t bits : {32, 24}) {
    TDIBX screen;
    screen.SetSize(9, 7, bits);
    TMemoryVideo direct;
    TCopyingVideo copying;
    for (TMemoryVideo* video : {static_cast<TMemoryVideo*>(&direct), static_cast<TMemoryVideo*>(&copying)}) {
      SCOPED_TRACE(std::to_string(bits) + (video == &direct ? " direct" : " copying"));
      video->CreateWindow(8, 6, "");
      std::vector<uint32_t> frame, expected(48, 0);
      for (uint32_t step : {1u, 2u}) {
        for (int32_t y = 0; y < 7; ++y)
          for (int32_t x = 0; x < 9; ++x)
            screen.SetPixel(x, y, 0xFF000000u | (step << 20) | (static_cast<uint32_t>(y) << 12) | static_cast<uint32_t>(x) << 4);
        const std::vector<TRect> rects =
            step == 1 ? std::vector<TRect>{{0, 0, 9, 7}} : std::vector<TRect>{{2, 1, 5, 3}, {6, 4, 20, 20}};
        for (const TRect& r : rects)
          for (int32_t y = r.Top; y < std::min(r.Bottom, 6); ++y)
            for (int32_t x = r.Left; x < std::min(r.Right, 8); ++x) expected[y * 8 + x] = screen.GetPixel(x, y) & 0xFFFFFFu;
        EXPECT_TRUE(PresentScreen(*video, &screen, rects, 8, 6, frame));
      }
      EXPECT_FALSE(PresentScreen(*video, &screen, {}, 8, 6, frame));
      EXPECT_FALSE(PresentScreen(*video, &screen, {{0, 0, 8, 6}}, 10, 6, frame));  // wider than the screen
      EXPECT_EQ(video->Picture(), expected);
      EXPECT_EQ(video->PresentCount(), 2);
    }
  }
}

}  // namespace
}  // namespace orba

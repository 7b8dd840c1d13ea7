#include "platform/sdl/letterbox.h"

#include <gtest/gtest.h>

#include <vector>

namespace orba {
namespace {

TEST(Letterbox, FitsThePictureWithItsAspectKept) {
  struct Case {
    int32_t window_w, window_h;
    TLetterbox box;
  };
  const Case cases[] = {
      {640, 480, {640, 480, 0, 0, 640, 480}},        // 1:1
      {1280, 960, {640, 480, 0, 0, 1280, 960}},      // twice, no bars
      {1280, 720, {640, 480, 160, 0, 960, 720}},     // wide window: bars left and right
      {800, 800, {640, 480, 0, 100, 800, 600}},      // tall window: bars above and below
      {321, 240, {640, 480, 0, 0, 320, 240}},        // odd spare column stays on the right
      {1920, 1081, {640, 480, 239, 0, 1441, 1081}},  // picture sizes truncate
  };
  for (const Case& c : cases) EXPECT_EQ(FitLetterbox(640, 480, c.window_w, c.window_h), c.box) << c.window_w << "x" << c.window_h;
  EXPECT_EQ(FitLetterbox(800, 600, 1920, 1080), (TLetterbox{800, 600, 240, 0, 1440, 1080}));
  // A minimised window or an empty game gives no picture, and no game pixel.
  for (const TLetterbox& box : {FitLetterbox(640, 480, 0, 0), FitLetterbox(640, 480, -5, 100), FitLetterbox(0, 480, 640, 480)}) {
    int32_t gx = 0, gy = 0;
    WindowToGame(box, 10, 10, gx, gy);
    EXPECT_EQ((std::vector<int32_t>{box.Width, box.Height, gx, gy}), (std::vector<int32_t>{0, 0, -1, -1}));
  }
}

TEST(Letterbox, WindowPositionsMapToTheGamePixelUnderThem) {
  // Window size, window position, game position.
  const int32_t cases[][6] = {
      {640, 480, 0, 0, 0, 0}, {640, 480, 639, 479, 639, 479}, {1280, 960, 1, 1, 0, 0}, {1280, 960, 2, 3, 1, 1},
      {1280, 960, 1279, 959, 639, 479}, {1280, 720, 160, 0, 0, 0}, {1280, 720, 1119, 719, 639, 479},
      {1280, 720, 640, 360, 320, 240},
      // On the bars: outside the game screen, so nothing is hit there.
      {1280, 720, 159, 10, -1, 7}, {1280, 720, 1120, 10, 640, 7}, {1280, 720, 0, 0, -107, 0},
      {800, 800, 400, 99, 320, -1}, {800, 800, 400, 700, 320, 480},
      // Shrunk picture: every window pixel stands for two game pixels and
      // takes the one under its middle.
      {320, 240, 5, 7, 11, 15}, {320, 240, 0, 0, 1, 1}};
  for (const auto& c : cases) {
    int32_t gx = 0, gy = 0;
    WindowToGame(FitLetterbox(640, 480, c[0], c[1]), c[2], c[3], gx, gy);
    EXPECT_EQ(std::make_pair(gx, gy), std::make_pair(c[4], c[5])) << c[0] << "x" << c[1] << " at " << c[2] << "," << c[3];
  }
}

TEST(Letterbox, GamePixelsMapToTheMiddleOfTheirScaledPictureAndBack) {
  for (auto [w, h] : std::vector<std::pair<int32_t, int32_t>>{{640, 480}, {1280, 720}, {1000, 1000}, {1917, 1080}}) {
    const TLetterbox box = FitLetterbox(640, 480, w, h);
    for (int32_t g = 0; g < 640; ++g) {
      int32_t wx = 0, wy = 0, gx = 0, gy = 0;
      GameToWindow(box, g, g % 480, wx, wy);
      WindowToGame(box, wx, wy, gx, gy);
      ASSERT_EQ(std::make_pair(gx, gy), std::make_pair(g, g % 480)) << w << "x" << h;
    }
  }
  const TLetterbox twice = FitLetterbox(640, 480, 1280, 960);
  int32_t wx = 0, wy = 0;
  GameToWindow(twice, 10, 20, wx, wy);
  EXPECT_EQ(std::make_pair(wx, wy), std::make_pair(21, 41));
  // Positions far off the screen stay far off and never overflow.
  GameToWindow(twice, INT32_MIN, INT32_MAX, wx, wy);
  EXPECT_TRUE(wx < -1000000 && wy > 1000000);
}

}  // namespace
}  // namespace orba

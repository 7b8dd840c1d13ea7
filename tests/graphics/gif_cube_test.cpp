// The 216-colour cube rendering of GIF frames, worked by hand: the
// Floyd-Steinberg ditherer's serpentine scan around transparent pixels,
// which take the fill the rows start with, and that fill for a range of
// transparent colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_render.h"
#include "graphics/gif_frames_fixture.h"

namespace orba {
namespace {

// TColor values hold red in the low byte.
constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16; }

// A picture of one frame covering a Width x Height screen, its pixels the
// indices of Data; index 0 is the transparent one.
std::unique_ptr<TGIFImage> OneFrame(int32_t width, int32_t height, std::vector<uint32_t> table,
                                    std::vector<uint8_t> data) {
  auto image = std::make_unique<TGIFImage>();
  image->ScreenWidth = width, image->ScreenHeight = height;
  for (uint32_t c : table) image->GlobalColorMap.Add(c);
  image->Add(std::make_unique<TGIFSubImage>(*image));
  TGIFSubImage& frame = image->Frame(0);
  frame.SetFrameRect(0, 0, width, height);
  frame.Data = std::move(data);
  frame.EnsureGraphicControl().TransparentIndex = 0, frame.GraphicControl->SetTransparent(true);
  return image;
}

// A 3 x 2 frame: index 0 (red 100, green 200, blue 30) is transparent,
// index 1 is (90, 0, 0). Rows: 1 0 1 and 1 1 1. Green and blue of index 1
// are levels of the cube already, so only red carries an error.
//
// The fill: MulDiv(36, 100, 51) = 71 (70.6), MulDiv(6, 200, 51) = 24
// (23.5), 30 div 51 = 0, plus 1: index 96 = 36 x 2 + 6 x 4 + 0, the colour
// (102, 204, 0), not the cube's nearest (102, 153, 0).
//
// Red through the ditherer (error row E of 5 entries, pointer p; the cube
// level of v is (v + 3) div 51):
//   row 0 forward, p = 0. x 0: 90 + (0 + 0 + 8) / 16 = 90, level 1 = 51,
//     e 39: E[0] = 0 + 117, pending 195, below 39, running 273; p = 1.
//   x 1 transparent: the column moves, p stays 1; it shows the fill.
//   x 2: 90 + (E[1] 0 + 273 + 8) / 16 = 107, level 2 = 102, e 5:
//     E[1] = 195 + 15, pending 39 + 25 = 64; p = 2. End of row: E[2] = 64,
//     p = 4 (backward).
//   row 1 backward. x 2: 90 + (E[4] 0 + 8) / 16 = 90 -> 51, e 39:
//     E[4] = 117, pending 195, below 39, running 273; p = 3.
//   x 1: 90 + (E[3] 0 + 273 + 8) / 16 = 107 -> 102, e 5: pending 64,
//     running 35; p = 2.
//   x 0: 90 + (E[2] 64 + 35 + 8) / 16 = 96 -> 51.
// Had the transparent pixel moved the pointer, x 0 of row 1 would read
// 210 there and come out 102.
const std::vector<uint32_t> kDithered = {Rgb(51, 0, 0),  Rgb(102, 204, 0), Rgb(102, 0, 0),
                                         Rgb(51, 0, 0),  Rgb(102, 0, 0),   Rgb(51, 0, 0)};

std::unique_ptr<TGIFImage> HandWorkedFrame() {
  return OneFrame(3, 2, {Rgb(100, 200, 30), Rgb(90, 0, 0)}, {1, 0, 1, 1, 1, 1});
}

// The canvas after Draw, both rows.
std::vector<uint32_t> Drawn(TGIFImage& image, uint32_t under) {
  TDIB canvas;
  canvas.SetSize(3, 2, 24);
  const uint8_t bgr[3] = {static_cast<uint8_t>(under >> 16), static_cast<uint8_t>(under >> 8),
                          static_cast<uint8_t>(under)};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) std::copy_n(bgr, 3, canvas.GetRow(y) + x * 3);
  TGIFCanvas target(canvas);
  image.Draw(target, TRect{0, 0, 3, 2});
  std::vector<uint32_t> out = test::Colors(canvas, 0);
  for (uint32_t c : test::Colors(canvas, 1)) out.push_back(c);
  return out;
}

TEST(GifCube, DitheredFrameShowsTheFillWhereTransparentUnlessDrawnThroughItsMask) {
  auto image = HandWorkedFrame();
  const TGIFRenderedFrame rendered = RenderFrame(image->Frame(0), true);
  EXPECT_EQ(rendered.Mask, (std::vector<uint8_t>{0, 1, 0, 0, 0, 0}));
  const uint32_t grey = Rgb(7, 7, 7);
  struct TCase {
    uint16_t flags;
    std::vector<uint32_t> canvas;
  };
  const TCase cases[] = {
      // The cube rendering, drawn without the mask: the fill shows.
      {gif_paint::kDither, kDithered},
      // Through the mask: the canvas shows where the frame is transparent.
      {gif_paint::kDither | gif_paint::kTransparent,
       {kDithered[0], grey, kDithered[2], kDithered[3], kDithered[4], kDithered[5]}},
      // Only for a paletted display, which this never is: each index's own colour.
      {gif_paint::kDither | gif_paint::kDitherPalettedOnly,
       {Rgb(90, 0, 0), Rgb(100, 200, 30), Rgb(90, 0, 0), Rgb(90, 0, 0), Rgb(90, 0, 0), Rgb(90, 0, 0)}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
    auto fresh = HandWorkedFrame();
    fresh->PaintFlags = c.flags;
    EXPECT_EQ(Drawn(*fresh, grey), c.canvas);
  }
}

// The fill of a 1 x 1 transparent frame for transparent colours whose
// index is worked out by hand: MulDiv(36, red, 51) + MulDiv(6, green, 51)
// + blue div 51 + 1, cube entry 36r + 6g + b being (51r, 51g, 51b).
TEST(GifCube, TransparentPixelsTakeTheFillOfTheTransparentColour) {
  struct TCase {
    uint32_t transparent, fill;
  };
  const TCase cases[] = {
      {Rgb(0, 0, 0), Rgb(0, 0, 51)},           // 0 + 0 + 0 + 1 = 1
      {Rgb(51, 51, 50), Rgb(51, 51, 51)},      // 36 + 6 + 0 + 1 = 43
      {Rgb(25, 0, 0), Rgb(0, 153, 51)},        // 18 (17.6) + 0 + 0 + 1 = 19 = 6 x 3 + 1
      {Rgb(100, 200, 30), Rgb(102, 204, 0)},   // 71 + 24 + 0 + 1 = 96
      {Rgb(204, 0, 255), Rgb(204, 51, 0)},     // 144 + 0 + 5 + 1 = 150 = 36 x 4 + 6 x 1
      {Rgb(255, 255, 255), Rgb(0, 0, 0)},      // 180 + 30 + 5 + 1 = 216: past the cube
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.transparent);
    auto image = OneFrame(1, 1, {c.transparent}, {0});
    const TGIFRenderedFrame rendered = RenderFrame(image->Frame(0), true);
    ASSERT_EQ(rendered.Rgb.size(), 3u);
    EXPECT_EQ(Rgb(rendered.Rgb[0], rendered.Rgb[1], rendered.Rgb[2]), c.fill);
    EXPECT_EQ(rendered.Mask, std::vector<uint8_t>{1});
  }
}

}  // namespace
}  // namespace orba

// Three-frame GIF pictures and a timer that moves only when slept, shared
// by the tests of drawing and animating GIF pictures.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_painter.h"

namespace orba::test {

// Moves its clock by what is slept, and notes each sleep.
class TFakeTimer : public TGIFTimer {
 public:
  uint32_t NowMs() override { return now; }
  void Sleep(uint32_t ms) override {
    sleeps.push_back(ms);
    now += ms;
  }
  uint32_t now = 1000;
  std::vector<uint32_t> sleeps;
};

// Red, green, blue and white as TColor values; the background is white.
inline constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

// A screen of 3 x 1: frame 0 all red, frame 1 green at x = 1, frame 2 blue
// at x = 2. `disposal` is frame 1's; the others keep theirs (1).
inline std::unique_ptr<TGIFImage> ThreeFrames(int32_t disposal, std::array<uint16_t, 3> delays) {
  auto image = std::make_unique<TGIFImage>();
  image->ScreenWidth = 3, image->ScreenHeight = 1;
  for (uint32_t c : {kRed, kGreen, kBlue, kWhite}) image->GlobalColorMap.Add(c);
  image->BackgroundIndex = 3;
  const int32_t left[3] = {0, 1, 2}, width[3] = {3, 1, 1};
  for (int32_t k = 0; k < 3; ++k) {
    auto f = std::make_unique<TGIFSubImage>(*image);
    f->SetFrameRect(left[k], 0, width[k], 1);
    std::fill(f->Data.begin(), f->Data.end(), static_cast<uint8_t>(k));
    f->EnsureGraphicControl().Delay = delays[static_cast<size_t>(k)];
    f->GraphicControl->SetDisposal(static_cast<uint8_t>(k == 1 ? disposal : 1));
    image->Add(std::move(f));
  }
  return image;
}

// The pixels of a 24-bit row as TColor values.
inline std::vector<uint32_t> Colors(TDIB& dib, int32_t y = 0) {
  std::vector<uint32_t> out;
  const uint8_t* row = dib.PeekRow(y);
  for (int32_t x = 0; x < dib.Width(); ++x)
    out.push_back(static_cast<uint32_t>(row[x * 3 + 2] | (row[x * 3 + 1] << 8) | (row[x * 3] << 16)));
  return out;
}

}  // namespace orba::test

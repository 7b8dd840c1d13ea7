// Pictures in plain buffers for the drawing tests.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "graphics/pixel_view.h"

namespace orba::test {

// A picture that owns its rows (top-down, padded to 4 bytes) with a view.
struct TTestPicture {
  std::vector<uint8_t> Buffer;
  TPixelView View;

  TTestPicture(int32_t width, int32_t height, int32_t bits) {
    std::ptrdiff_t pitch = PaddedRowSize(width, bits);
    Buffer.assign(static_cast<size_t>(pitch * height), 0);
    View = MakePixelView(Buffer.data(), pitch, width, height, bits);
  }
  TTestPicture(const TTestPicture& o) : Buffer(o.Buffer), View(o.View) { View.Bits = Buffer.data(); }
  TTestPicture& operator=(const TTestPicture& o) {
    Buffer = o.Buffer;
    View = o.View;
    View.Bits = Buffer.data();
    return *this;
  }

  uint32_t Get(int32_t x, int32_t y) const { return ViewGetPixel(View, x, y); }
  uint32_t GetPixel(int32_t x, int32_t y) const { return Get(x, y); }
  int32_t Width() const { return View.Width; }
  void Set(int32_t x, int32_t y, uint32_t v) { ViewSetPixel(View, x, y, v); }
  void Fill(uint32_t v) {
    for (int32_t y = 0; y < View.Height; ++y)
      for (int32_t x = 0; x < View.Width; ++x) Set(x, y, v);
  }
  // Random pixel values of the depth (the fourth byte of 32-bit pixels 0).
  void Randomise(std::mt19937& rng) {
    uint32_t mask = View.BitCount >= 24 ? 0xFFFFFFu
                    : View.BitCount == 16 ? 0xFFFFu
                    : View.BitCount == 15 ? 0x7FFFu
                                          : (1u << View.BitCount) - 1;
    for (int32_t y = 0; y < View.Height; ++y)
      for (int32_t x = 0; x < View.Width; ++x) Set(x, y, static_cast<uint32_t>(rng()) & mask);
  }
};

}  // namespace orba::test

// Pictures and surfaces for the drawing tests: pictures in plain buffers,
// drawing surfaces over them, and memory surfaces painted by rule.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "graphics/color_convert.h"
#include "graphics/dibx.h"
#include "graphics/picture_fixtures.h"
#include "graphics/pixel_view.h"

namespace orba::test {

using TRow = std::vector<uint32_t>;

inline uint32_t DepthMask(int32_t bits) {
  return bits >= 24 ? 0xFFFFFFu : bits == 16 ? 0xFFFFu : bits == 15 ? 0x7FFFu : (1u << bits) - 1;
}

inline int32_t Any(std::mt19937& rng, int32_t lo, int32_t hi) {
  return lo + static_cast<int32_t>(rng() % static_cast<uint32_t>(hi - lo + 1));
}

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
    for (int32_t y = 0; y < View.Height; ++y)
      for (int32_t x = 0; x < View.Width; ++x) Set(x, y, static_cast<uint32_t>(rng()) & DepthMask(View.BitCount));
  }
};

// A drawing surface over a plain buffer: the primitives and nothing else, so
// that the base class's algorithms are seen alone (on top-down rows, where a
// memory surface's rows run bottom-up).
class TBufferDIBX : public TCustomDIBX {
 public:
  TBufferDIBX(int32_t w, int32_t h, int32_t bits) { SetSize(w, h, bits); }
  void SetSize(int32_t w, int32_t h, int32_t bits) override {
    FPicture.emplace(std::max(w, 1), std::max(h, 1), bits);
    FBits = bits;
    TCustomDIBX::SetSize(w, h, bits);
  }
  int32_t BitCount() override { return FBits; }
  uint32_t RedMask() override { return FPicture->View.RedMask; }
  uint32_t GreenMask() override { return FPicture->View.GreenMask; }
  uint32_t BlueMask() override { return FPicture->View.BlueMask; }
  std::ptrdiff_t Pitch() override { return FPicture->View.Pitch; }
  uint32_t GetPixel(int32_t x, int32_t y) override { return FPicture->Get(x, y); }
  void SetPixel(int32_t x, int32_t y, uint32_t v) override { FPicture->Set(x, y, v); }
  uint8_t* Lock(int32_t x, int32_t y) override { return FPicture->View.Row(y) + x * BytesPerPixel(); }
  bool IsMemorySurface() override { return true; }
  int32_t ColorToPixel(int32_t color) override { return orba::ColorToPixel(color, FBits); }

 private:
  std::optional<TTestPicture> FPicture;
  int32_t FBits = 32;
};

inline void Randomise(TCustomDIBX& s, std::mt19937& rng, uint32_t mask) {
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) s.SetPixel(x, y, static_cast<uint32_t>(rng()) & mask);
}

inline TRow Pixels(TCustomDIBX& s) {
  TRow out;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

inline std::unique_ptr<TDIBX> MakeDIBX(int32_t w, int32_t h, int32_t bits) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, bits);
  s->Fill(0);
  return s;
}

// A surface whose pixel (x, y) is f(x, y).
inline std::unique_ptr<TDIBX> PaintedDIBX(int32_t w, int32_t h, int32_t bits,
                                          const std::function<uint32_t(int32_t, int32_t)>& f) {
  auto s = MakeDIBX(w, h, bits);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) s->SetPixel(x, y, f(x, y));
  return s;
}

// A surface of one value.
inline std::unique_ptr<TDIBX> Flat(int32_t w, int32_t h, int32_t bits, uint32_t v) {
  return PaintedDIBX(w, h, bits, [v](int32_t, int32_t) { return v; });
}

// A value no draw writes, to see which pixels a draw leaves alone.
constexpr uint32_t kUntouched = 0xABCDu;

inline std::unique_ptr<TDIBX> Sentinel(int32_t w, int32_t h, int32_t bits) { return Flat(w, h, bits, kUntouched); }

// Source pixel values that name their position: 1 + x + 16 y.
inline uint32_t Number(int32_t x, int32_t y) { return uint32_t(1 + x + 16 * y); }
inline std::unique_ptr<TDIBX> Numbered(int32_t w, int32_t h, int32_t bits) { return PaintedDIBX(w, h, bits, Number); }

// The pixels of a w x h surface of `fill` after `draw`.
inline TRow After(int32_t w, int32_t h, int32_t bits, uint32_t fill, const std::function<void(TCustomDIBX&)>& draw) {
  auto d = Flat(w, h, bits, fill);
  draw(*d);
  return Pixels(*d);
}

// The pixels of a w x h surface: f(x, y).
inline TRow Map(int32_t w, int32_t h, const std::function<uint32_t(int32_t, int32_t)>& f) {
  TRow out;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) out.push_back(f(x, y));
  return out;
}

// `in` inside the rectangle, `out` elsewhere.
inline TRow Box(int32_t w, int32_t h, const TRect& r, uint32_t in, uint32_t out = 0) {
  return Map(w, h, [&](int32_t x, int32_t y) { return PointInRect({x, y}, r) ? in : out; });
}

}  // namespace orba::test

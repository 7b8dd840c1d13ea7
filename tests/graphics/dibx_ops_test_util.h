// Memory surfaces and comparisons for the tests of the stretched, rotated,
// tiled, indexed and wave draws.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "graphics/dibx.h"
#include "graphics/dibx_test_util.h"

namespace orba::test {

inline std::unique_ptr<TDIBX> MakeDIBX(int32_t w, int32_t h, int32_t bits) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, bits);
  s->Fill(0);
  return s;
}

inline std::unique_ptr<TDIBX> CloneDIBX(TCustomDIBX& from) {
  auto s = MakeDIBX(from.Width(), from.Height(), from.BitCount());
  for (int32_t y = 0; y < from.Height(); ++y)
    for (int32_t x = 0; x < from.Width(); ++x) s->SetPixel(x, y, from.GetPixel(x, y));
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

inline int32_t Any(std::mt19937& rng, int32_t lo, int32_t hi) {
  return lo + static_cast<int32_t>(rng() % static_cast<uint32_t>(hi - lo + 1));
}

// A value no draw writes, to see which pixels a draw leaves alone.
constexpr uint32_t kUntouched = 0xABCDu;

inline std::unique_ptr<TDIBX> Sentinel(int32_t w, int32_t h, int32_t bits) {
  return PaintedDIBX(w, h, bits, [](int32_t, int32_t) { return kUntouched; });
}

// Source pixel values that name their position: 1 + x + 16 y.
inline uint32_t Number(int32_t x, int32_t y) { return uint32_t(1 + x + 16 * y); }
inline std::unique_ptr<TDIBX> Numbered(int32_t w, int32_t h, int32_t bits) { return PaintedDIBX(w, h, bits, Number); }

// A random picture of the given size and depth.
inline std::unique_ptr<TDIBX> RandomDIBX(std::mt19937& rng, int32_t w, int32_t h, int32_t bits) {
  auto s = MakeDIBX(w, h, bits);
  Randomise(*s, rng, DepthMask(bits));
  return s;
}

// A random source keyed by its first pixel, and a random 8-bit mask of its size.
inline std::pair<std::unique_ptr<TDIBX>, std::unique_ptr<TDIBX>> RandomSourceAndMask(std::mt19937& rng, int32_t w,
                                                                                      int32_t h, int32_t bits) {
  auto src = RandomDIBX(rng, w, h, bits);
  src->TransparentColor = static_cast<int32_t>(src->GetPixel(0, 0));
  return {std::move(src), RandomDIBX(rng, w, h, 8)};
}

// Runs `draw` on a clipped copy and on an unclipped copy of `dst`, puts the
// pixels outside the clip back on the unclipped one, and expects both equal;
// the clip rectangle must be as it was after the draw.
inline void ExpectClipInvariant(TCustomDIBX& dst, const TRect& clip, const std::function<void(TCustomDIBX&)>& draw,
                                const std::string& what) {
  auto clipped = CloneDIBX(dst), whole = CloneDIBX(dst);
  clipped->SetClipRect(clip);
  draw(*clipped);
  EXPECT_EQ(clipped->GetClipRect(), clip) << what;
  draw(*whole);
  for (int32_t y = 0; y < dst.Height(); ++y)
    for (int32_t x = 0; x < dst.Width(); ++x)
      if (!PointInRect(TPoint{x, y}, clip)) whole->SetPixel(x, y, dst.GetPixel(x, y));
  ASSERT_EQ(Pixels(*clipped), Pixels(*whole)) << what;
}

}  // namespace orba::test

// The random clip-invariance check shared by the drawing-surface tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "graphics/custom_dibx.h"

namespace orba::test {

using TSurfaceMaker = std::function<std::unique_ptr<TCustomDIBX>(int32_t, int32_t, int32_t)>;

inline uint32_t DepthMask(int32_t bits) {
  return bits == 8 ? 0xFFu : bits == 15 ? 0x7FFFu : bits == 16 ? 0xFFFFu : 0xFFFFFFu;
}

inline void Randomise(TCustomDIBX& s, std::mt19937& rng, uint32_t mask) {
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) s.SetPixel(x, y, static_cast<uint32_t>(rng()) & mask);
}

inline std::vector<uint32_t> Pixels(TCustomDIBX& s) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

// ---- the operations, as one table for the random checks -------------------

struct TArgs {
  int32_t x, y;
  TRect rect;
  bool transparent, flip_h, flip_v;
  uint32_t pixel;
  int32_t alpha, thickness;
};

using TOperation = std::function<void(TCustomDIBX& dst, TCustomDIBX& src, TCustomDIBX& mask, const TArgs&)>;

struct TNamedOperation {
  const char* name;
  TOperation run;
};

inline const TNamedOperation kOperations[] = {
    {"FillRect", [](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX&, const TArgs& a) { d.FillRect(a.rect, a.pixel); }},
    {"FillRectAlpha", [](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX&, const TArgs& a) { d.FillRectAlpha(a.rect, a.pixel, a.alpha); }},
    {"FillRectAdd", [](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX&, const TArgs& a) { d.FillRectAdd(a.rect, a.pixel); }},
    {"FillRectSub", [](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX&, const TArgs& a) { d.FillRectSub(a.rect, a.pixel); }},
    {"FrameRect", [](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX&, const TArgs& a) { d.FrameRect(a.rect, a.thickness, a.pixel); }},
    {"FrameRectAlpha", [](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX&, const TArgs& a) { d.FrameRectAlpha(a.rect, a.thickness, a.pixel, a.alpha); }},
    {"FrameRectAdd", [](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX&, const TArgs& a) { d.FrameRectAdd(a.rect, a.thickness, a.pixel); }},
    {"DrawColorMask", [](TCustomDIBX& d, TCustomDIBX&, TCustomDIBX& m, const TArgs& a) { d.DrawColorMask(a.x, a.y, m, a.rect, a.flip_h, a.flip_v, a.pixel, a.alpha); }},
    {"Draw", [](TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX&, const TArgs& a) { d.Draw(a.x, a.y, s, a.rect, a.transparent, a.flip_h, a.flip_v); }},
    {"DrawAlpha", [](TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX&, const TArgs& a) { d.DrawAlpha(a.x, a.y, s, a.rect, a.transparent, a.flip_h, a.flip_v, a.alpha); }},
    {"DrawAdd", [](TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX&, const TArgs& a) { d.DrawAdd(a.x, a.y, s, a.rect, a.transparent, a.flip_h, a.flip_v, a.alpha); }},
    {"DrawMask", [](TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX& m, const TArgs& a) { d.DrawMask(a.x, a.y, s, a.rect, a.flip_h, a.flip_v, m); }},
    {"DrawAlphaMask", [](TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX& m, const TArgs& a) { d.DrawAlphaMask(a.x, a.y, s, a.rect, a.flip_h, a.flip_v, m, a.alpha); }},
    {"DrawAddMask", [](TCustomDIBX& d, TCustomDIBX& s, TCustomDIBX& m, const TArgs& a) { d.DrawAddMask(a.x, a.y, s, a.rect, a.flip_h, a.flip_v, m, a.alpha); }},
};

// Drawing with a clip rectangle equals drawing without one and then putting
// back every pixel outside the clip: 10,000 random draws of one operation,
// spread over the depths 8, 15, 16, 24 and 32.
inline void CheckClipInvariance(const TSurfaceMaker& make, int op_index) {
  const TNamedOperation& op = kOperations[op_index];
  std::mt19937 rng(9000u + static_cast<unsigned>(op_index));
  const int32_t depths[] = {8, 15, 16, 24, 32};
  auto any = [&](int32_t lo, int32_t hi) { return lo + static_cast<int32_t>(rng() % static_cast<uint32_t>(hi - lo + 1)); };
  for (int iter = 0; iter < 10000; ++iter) {
    int32_t bits = depths[iter % 5];
    int32_t w = any(1, 14), h = any(1, 12), sw = any(1, 12), sh = any(1, 10);
    auto dst = make(w, h, bits);
    auto src = make(sw, sh, bits);
    // Now and then a mask smaller than the source.
    bool small = rng() % 5 == 0;
    auto mask = make(small ? any(1, sw) : sw, small ? any(1, sh) : sh, 8);
    Randomise(*dst, rng, DepthMask(bits));
    Randomise(*src, rng, DepthMask(bits));
    Randomise(*mask, rng, 0xFF);
    for (int k = 0; k < 6; ++k)
      mask->SetPixel(any(0, mask->Width() - 1), any(0, mask->Height() - 1), (rng() & 1) ? 0 : 255);
    // Keys and fill colours taken from the pictures, so that they occur.
    src->TransparentColor = (rng() % 3 == 0) ? -1 : static_cast<int32_t>(src->GetPixel(any(0, sw - 1), any(0, sh - 1)));
    TArgs a;
    a.x = any(-6, w + 2);
    a.y = any(-6, h + 2);
    int32_t l = any(-4, sw + 1), t = any(-4, sh + 1);
    a.rect = {l, t, l + any(-1, sw + 4), t + any(-1, sh + 4)};
    if (op_index <= 6) {  // fills and frames take destination rectangles
      l = any(-4, w + 1);
      t = any(-4, h + 1);
      a.rect = {l, t, l + any(-1, w + 4), t + any(-1, h + 4)};
    }
    a.transparent = rng() & 1;
    a.flip_h = rng() & 1;
    a.flip_v = rng() & 1;
    a.pixel = (rng() & 1) ? dst->GetPixel(any(0, w - 1), any(0, h - 1)) : static_cast<uint32_t>(rng()) & DepthMask(bits);
    uint32_t r = rng() % 4;
    a.alpha = static_cast<int32_t>(r == 0 ? 255 : r == 1 ? 0 : rng() % 256);
    a.thickness = any(0, 5);
    TRect clip{any(-3, w), any(-3, h), 0, 0};
    clip.Right = clip.Left + any(-1, w + 3);
    clip.Bottom = clip.Top + any(-1, h + 3);

    std::vector<uint32_t> before = Pixels(*dst);
    auto unclipped = make(w, h, bits);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) unclipped->SetPixel(x, y, dst->GetPixel(x, y));
    dst->SetClipRect(clip);
    op.run(*dst, *src, *mask, a);
    op.run(*unclipped, *src, *mask, a);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (!PointInRect(TPoint{x, y}, clip)) unclipped->SetPixel(x, y, before[static_cast<size_t>(y * w + x)]);
    ASSERT_EQ(Pixels(*dst), Pixels(*unclipped))
        << op.name << " iteration " << iter << " bits " << bits << " rect " << a.rect.Left << ","
        << a.rect.Top << "," << a.rect.Right << "," << a.rect.Bottom << " at " << a.x << "," << a.y;
  }
}

}  // namespace orba::test

// Every drawing operation of the drawing surface, drawn at random on memory
// surfaces and on plain-buffer surfaces: a clipped draw equals the unclipped
// draw with the pixels outside the clip put back, the clip is left as it
// was, a wave surface with every offset 0 draws what direct drawing draws,
// every lock taken is released, and extreme arguments are safe.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <tuple>

#include "graphics/draw_test_util.h"
#include "graphics/wave_surface.h"

namespace orba {
namespace {

using test::Any;
using test::DepthMask;
using test::Pixels;
using test::Randomise;

using TMaker = std::function<std::unique_ptr<TCustomDIBX>(int32_t, int32_t, int32_t)>;

std::unique_ptr<TCustomDIBX> MakeMemory(int32_t w, int32_t h, int32_t bits) { return test::MakeDIBX(w, h, bits); }
std::unique_ptr<TCustomDIBX> MakeBuffer(int32_t w, int32_t h, int32_t bits) {
  return std::make_unique<test::TBufferDIBX>(w, h, bits);
}

// Everything one random draw needs.
struct TScene {
  std::unique_ptr<TCustomDIBX> src, mask, mono, classes, nibbles, bytes;
  std::array<uint32_t, 256> table{};
  int32_t x, y, zx, zy, angle, alpha, ox, oy, gx, gy, cx, cy, thickness;
  TRect rect, src_rect;
  uint32_t pixel;
  bool key, fh, fv, small_mask;
};

struct TNamedOp {
  const char* name;
  std::function<void(TCustomDIBX&, TScene&)> run;
  bool extras = false;          // draws the 1-, 4- or 8-bit sources through a table
  bool clip_invariant = true;  // a copy of a surface of equal size takes the whole block
  // False: a memory surface up to 16 bits ignores the clip (its Fill
  // restarts the whole bitmap).
  bool memory_clip_invariant = true;
};

const TNamedOp kOps[] = {
    {"Fill", [](TCustomDIBX& d, TScene& s) { d.Fill(s.pixel); }, false, true, false},
    {"FillRect", [](TCustomDIBX& d, TScene& s) { d.FillRect(s.rect, s.pixel); }},
    {"FillRectAlpha", [](TCustomDIBX& d, TScene& s) { d.FillRectAlpha(s.rect, s.pixel, s.alpha & 255); }},
    {"FillRectAdd", [](TCustomDIBX& d, TScene& s) { d.FillRectAdd(s.rect, s.pixel); }},
    {"FillRectSub", [](TCustomDIBX& d, TScene& s) { d.FillRectSub(s.rect, s.pixel); }},
    {"FrameRect", [](TCustomDIBX& d, TScene& s) { d.FrameRect(s.rect, s.thickness, s.pixel); }},
    {"FrameRectAlpha", [](TCustomDIBX& d, TScene& s) { d.FrameRectAlpha(s.rect, s.thickness, s.pixel, s.alpha & 255); }},
    {"FrameRectAdd", [](TCustomDIBX& d, TScene& s) { d.FrameRectAdd(s.rect, s.thickness, s.pixel); }},
    {"DrawColorMask", [](TCustomDIBX& d, TScene& s) { d.DrawColorMask(s.x, s.y, *s.mask, s.src_rect, s.fh, s.fv, s.pixel, s.alpha & 255); }},
    {"CopyFrom", [](TCustomDIBX& d, TScene& s) { d.CopyFrom(*s.src); }, false, false},
    {"Draw", [](TCustomDIBX& d, TScene& s) { d.Draw(s.x, s.y, *s.src, s.src_rect, s.key, s.fh, s.fv); }},
    {"DrawMask", [](TCustomDIBX& d, TScene& s) { d.DrawMask(s.x, s.y, *s.src, s.src_rect, s.fh, s.fv, *s.mask); }},
    {"DrawAlpha", [](TCustomDIBX& d, TScene& s) { d.DrawAlpha(s.x, s.y, *s.src, s.src_rect, s.key, s.fh, s.fv, s.alpha & 255); }},
    {"DrawAlphaMask", [](TCustomDIBX& d, TScene& s) { d.DrawAlphaMask(s.x, s.y, *s.src, s.src_rect, s.fh, s.fv, *s.mask, s.alpha & 255); }},
    {"DrawAdd", [](TCustomDIBX& d, TScene& s) { d.DrawAdd(s.x, s.y, *s.src, s.src_rect, s.key, s.fh, s.fv, s.alpha & 255); }},
    {"DrawAddMask", [](TCustomDIBX& d, TScene& s) { d.DrawAddMask(s.x, s.y, *s.src, s.src_rect, s.fh, s.fv, *s.mask, s.alpha & 255); }},
    {"DrawRotate", [](TCustomDIBX& d, TScene& s) { d.DrawRotate(s.x, s.y, s.zx, s.zy, *s.src, s.src_rect, s.cx, s.cy, s.angle, s.key, s.fh, s.fv, s.alpha); }},
    {"DrawRotateMask", [](TCustomDIBX& d, TScene& s) { d.DrawRotateMask(s.x, s.y, s.zx, s.zy, *s.src, s.src_rect, s.cx, s.cy, s.angle, s.fh, s.fv, *s.mask, s.alpha); }},
    {"StretchDrawAlpha", [](TCustomDIBX& d, TScene& s) { d.StretchDrawAlpha(s.rect, *s.src, s.src_rect, s.key, s.fh, s.fv, s.alpha & 255); }},
    {"StretchDrawAlphaMask", [](TCustomDIBX& d, TScene& s) { d.StretchDrawAlphaMask(s.rect, *s.src, s.src_rect, s.fh, s.fv, *s.mask, s.alpha & 255); }},
    {"StretchDrawAdd", [](TCustomDIBX& d, TScene& s) { d.StretchDrawAdd(s.rect, *s.src, s.src_rect, s.key, s.fh, s.fv, s.alpha & 255); }},
    {"StretchDrawAddMask", [](TCustomDIBX& d, TScene& s) { d.StretchDrawAddMask(s.rect, *s.src, s.src_rect, s.fh, s.fv, *s.mask, s.alpha & 255); }},
    {"DrawMonoReduced", [](TCustomDIBX& d, TScene& s) { d.DrawMonoReduced(s.x, s.y, *s.mono, s.mono->GetBoundsRect(), s.pixel, s.fh, s.fv, s.alpha & 255, 4); }, true},
    {"DrawMonoReducedTable", [](TCustomDIBX& d, TScene& s) { d.DrawMonoReducedTable(s.x, s.y, *s.classes, s.classes->GetBoundsRect(), s.table, s.fh, s.fv, s.alpha, 4); }, true},
    {"DrawTile", [](TCustomDIBX& d, TScene& s) { d.DrawTile(s.rect, s.gx, s.gy, *s.src, s.src_rect, s.key, s.ox, s.oy); }},
    {"DrawTileAlpha", [](TCustomDIBX& d, TScene& s) { d.DrawTileAlpha(s.rect, s.gx, s.gy, *s.src, s.src_rect, s.key, s.alpha & 255, s.ox, s.oy); }},
    {"DrawTileAdd", [](TCustomDIBX& d, TScene& s) { d.DrawTileAdd(s.rect, s.gx, s.gy, *s.src, s.src_rect, s.key, s.alpha & 255, s.ox, s.oy); }},
    {"DrawTileMask", [](TCustomDIBX& d, TScene& s) { d.DrawTileMask(s.rect, s.gx, s.gy, *s.src, s.src_rect, *s.mask, s.ox, s.oy); }},
    {"DrawTileAlphaMask", [](TCustomDIBX& d, TScene& s) { d.DrawTileAlphaMask(s.rect, s.gx, s.gy, *s.src, s.src_rect, *s.mask, s.alpha & 255, s.ox, s.oy); }},
    {"DrawTileAddMask", [](TCustomDIBX& d, TScene& s) { d.DrawTileAddMask(s.rect, s.gx, s.gy, *s.src, s.src_rect, *s.mask, s.alpha & 255, s.ox, s.oy); }},
    {"StretchDrawTile", [](TCustomDIBX& d, TScene& s) { d.StretchDrawTile(s.rect, s.gx + 1, s.gy + 1, s.zx, s.zy, *s.src, s.src_rect, s.key, s.fh, s.fv, s.alpha, s.ox, s.oy); }},
    {"StretchDrawTileMask", [](TCustomDIBX& d, TScene& s) { d.StretchDrawTileMask(s.rect, s.gx + 1, s.gy + 1, s.zx, s.zy, *s.src, s.src_rect, *s.mask, s.fh, s.fv, s.alpha, s.ox, s.oy); }},
    {"PatternFrameRect", [](TCustomDIBX& d, TScene& s) { d.PatternFrameRect(s.rect, s.thickness, *s.src, s.ox, s.oy); }},
    {"DrawIndexed", [](TCustomDIBX& d, TScene& s) { d.DrawIndexed(s.x, s.y, *s.nibbles, s.nibbles->GetBoundsRect(), s.fh, s.fv, s.alpha, s.table); }, true},
    {"DrawIndexedAdd", [](TCustomDIBX& d, TScene& s) { d.DrawIndexedAdd(s.x, s.y, *s.bytes, s.bytes->GetBoundsRect(), 17, s.fh, s.fv, s.alpha & 255, s.table); }, true},
    {"DrawIndexedStretch", [](TCustomDIBX& d, TScene& s) { d.DrawIndexedStretch(s.rect, *s.bytes, s.bytes->GetBoundsRect(), 17, s.fh, s.fv, s.alpha & 255, s.table); }, true},
    {"PatternFillZoom", [](TCustomDIBX& d, TScene& s) { d.PatternFillZoom(s.rect, s.zx, s.zy, *s.src, s.ox, s.oy, s.key, s.fh, s.fv, s.alpha); }},
    {"PatternFillZoomMask", [](TCustomDIBX& d, TScene& s) { d.PatternFillZoomMask(s.rect, s.zx, s.zy, *s.src, s.ox, s.oy, s.fh, s.fv, *s.mask, s.alpha); }},
    {"PatternFill", [](TCustomDIBX& d, TScene& s) { d.PatternFill(s.rect, *s.src, s.ox, s.oy, s.fh, s.fv); }},
};

// A rectangle starting anywhere near the surface; now and then reversed, or
// ending before the surface starts.
TRect RandomRect(std::mt19937& rng, int32_t w, int32_t h, int32_t reach) {
  TRect r{Any(rng, -8, w + 1), Any(rng, -8, h + 1), 0, 0};
  r.Right = rng() % 4 == 0 ? Any(rng, -5, w + 5) : r.Left + Any(rng, -1, w + reach);
  r.Bottom = rng() % 4 == 0 ? Any(rng, -5, h + 5) : r.Top + Any(rng, -1, h + reach);
  return r;
}

TScene RandomScene(std::mt19937& rng, const TMaker& make, TCustomDIBX& dst, bool extras = true) {
  const int32_t w = dst.Width(), h = dst.Height(), bits = dst.BitCount();
  auto random = [&](int32_t pw, int32_t ph, int32_t pbits, uint32_t mask) {
    auto p = make(pw, ph, pbits);
    Randomise(*p, rng, mask);
    return p;
  };
  TScene s;
  const int32_t sw = Any(rng, 1, 12), sh = Any(rng, 1, 10);
  s.src = random(sw, sh, bits, DepthMask(bits));
  // Keys and fill colours are taken from the pictures, so that they occur.
  s.src->TransparentColor = rng() % 3 == 0 ? -1 : static_cast<int32_t>(s.src->GetPixel(Any(rng, 0, sw - 1), Any(rng, 0, sh - 1)));
  s.pixel = rng() & 1 ? dst.GetPixel(Any(rng, 0, w - 1), Any(rng, 0, h - 1)) : static_cast<uint32_t>(rng()) & DepthMask(bits);
  // Now and then a mask smaller than the source; some mask pixels clear or full.
  s.small_mask = rng() % 5 == 0;
  s.mask = random(s.small_mask ? Any(rng, 1, sw) : sw, s.small_mask ? Any(rng, 1, sh) : sh, 8, 0xFF);
  for (int k = 0; k < 6; ++k)
    s.mask->SetPixel(Any(rng, 0, s.mask->Width() - 1), Any(rng, 0, s.mask->Height() - 1), rng() & 1 ? 0 : 255);
  if (extras) {
    s.mono = random(Any(rng, 4, 24), Any(rng, 4, 24), 1, 1);
    s.classes = random(Any(rng, 4, 24), Any(rng, 4, 24), 4, 0xF);
    s.nibbles = random(Any(rng, 1, 8), Any(rng, 1, 8), 4, 0xF);
    s.nibbles->TransparentColor = 2;
    s.bytes = random(Any(rng, 1, 8), Any(rng, 1, 8), 8, 0x1F);
    for (auto& t : s.table) t = static_cast<uint32_t>(rng()) & DepthMask(bits);
  }
  s.rect = RandomRect(rng, w, h, 12);
  // The source rectangle: inside the source, the whole source, or reaching past it.
  const int32_t kind = Any(rng, 0, 3), l = Any(rng, 0, sw - 1), t = Any(rng, 0, sh - 1);
  s.src_rect = kind < 2 ? TRect{l, t, Any(rng, l + 1, sw), Any(rng, t + 1, sh)}
               : kind == 2 ? TRect{0, 0, sw, sh}
                           : RandomRect(rng, sw, sh, 4);
  for (auto [field, lo, hi] : {std::tuple{&TScene::x, -8, w + 4}, {&TScene::y, -8, h + 4}, {&TScene::zx, 30, 700},
                               {&TScene::zy, 30, 700}, {&TScene::angle, 0, 255}, {&TScene::ox, -40, 40},
                               {&TScene::oy, -40, 40}, {&TScene::gx, 0, 3}, {&TScene::gy, 0, 3}, {&TScene::cx, 0, sw},
                               {&TScene::cy, 0, sh}, {&TScene::thickness, 0, 5}})
    s.*field = Any(rng, lo, hi);
  // Opacity 255, 0, below 255, or additive above it.
  const uint32_t a = rng() % 4;
  s.alpha = a == 0 ? 255 : a == 1 ? 0 : a == 2 ? Any(rng, 1, 254) : Any(rng, 256, 511);
  s.key = rng() & 1;
  s.fh = rng() & 1;
  s.fv = rng() & 1;
  return s;
}

std::unique_ptr<TCustomDIBX> Clone(const TMaker& make, TCustomDIBX& from) {
  auto s = make(from.Width(), from.Height(), from.BitCount());
  for (int32_t y = 0; y < from.Height(); ++y)
    for (int32_t x = 0; x < from.Width(); ++x) s->SetPixel(x, y, from.GetPixel(x, y));
  return s;
}

struct TOpCase {
  bool memory;
  int op;
};

class DrawOps : public testing::TestWithParam<TOpCase> {};

// 10,000 random draws of one operation over the depths 8, 15, 16, 24 and 32.
// A clipped draw equals the unclipped draw with every pixel outside the clip
// put back, and neither changes the clip. On memory surfaces, every fourth
// draw, a wave surface with every offset 0 in front of the target (a third of
// the time clipped) draws exactly what direct drawing draws; left out are
// masks smaller than the source, with which a direct draw draws nothing and
// the wave surface's one-row pieces may draw.
TEST_P(DrawOps, ClippedEqualsUnclippedAndAFlatWaveEqualsDirect) {
  const TMaker make = GetParam().memory ? MakeMemory : MakeBuffer;
  const TNamedOp& op = kOps[GetParam().op];
  std::mt19937 rng(9000u + static_cast<unsigned>(GetParam().op));
  const int32_t depths[] = {8, 15, 16, 24, 32};
  for (int iter = 0; iter < 3000; ++iter) {
    const int32_t bits = depths[iter % 5], w = Any(rng, 1, 20), h = Any(rng, 1, 16);
    auto dst = make(w, h, bits);
    Randomise(*dst, rng, DepthMask(bits));
    TScene scene = RandomScene(rng, make, *dst, op.extras);
    TRect clip{Any(rng, -3, w), Any(rng, -3, h), 0, 0};
    clip.Right = clip.Left + Any(rng, -w, w + 3);
    clip.Bottom = clip.Top + Any(rng, -h, h + 3);
    const std::string what = std::string(op.name) + " iteration " + std::to_string(iter);
    auto clipped = Clone(make, *dst), whole = Clone(make, *dst);
    clipped->SetClipRect(clip);
    op.run(*clipped, scene);
    op.run(*whole, scene);
    ASSERT_EQ(std::tuple(clipped->GetClipRect(), whole->HasClipRect()), std::tuple(clip, false)) << what;
    const test::TRow unclipped = Pixels(*whole);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (!PointInRect(TPoint{x, y}, clip)) whole->SetPixel(x, y, dst->GetPixel(x, y));
    const bool invariant = op.clip_invariant && (!GetParam().memory || op.memory_clip_invariant || bits > 16);
    if (invariant) {
      ASSERT_EQ(Pixels(*clipped), Pixels(*whole)) << what;
    } else if (!op.memory_clip_invariant) {
      ASSERT_EQ(Pixels(*clipped), unclipped) << what;
    }
    if (!GetParam().memory || scene.small_mask || iter % 4 != 0) continue;
    const bool wave_clipped = iter % 3 == 0 && invariant;
    auto target = Clone(make, *dst);
    if (wave_clipped) target->SetClipRect(clip);
    TDIBXWave wave;
    wave.Target = target.get();
    wave.SetSize(w, h, 0);
    if (wave_clipped) wave.SetClipRect(clip);
    op.run(wave, scene);
    ASSERT_EQ(Pixels(*target), wave_clipped ? Pixels(*clipped) : unclipped) << what << " through a wave";
    ASSERT_EQ(std::pair(target->HasClipRect(), target->GetClipRect()),
              std::pair(wave_clipped, wave_clipped ? clip : target->GetBoundsRect())) << what;
  }
}

std::vector<TOpCase> OpCases() {
  std::vector<TOpCase> cases;
  for (bool memory : {true, false})
    for (int op = 0; op < static_cast<int>(std::size(kOps)); ++op) cases.push_back({memory, op});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Every, DrawOps, testing::ValuesIn(OpCases()), [](const testing::TestParamInfo<TOpCase>& info) {
  return std::string(info.param.memory ? "Memory_" : "Buffer_") + kOps[info.param.op].name;
});

// Counts locks and unlocks; with Refuse, Lock gives no address.
class TCountingDIBX : public test::TBufferDIBX {
 public:
  using TBufferDIBX::TBufferDIBX;
  uint8_t* Lock(int32_t x, int32_t y) override {
    if (Refuse) return nullptr;
    ++Locks;
    return TBufferDIBX::Lock(x, y);
  }
  void Unlock() override { ++Unlocks; }
  bool Refuse = false;
  int Locks = 0, Unlocks = 0;
};

// Every lock that gave an address is released once, whichever of the
// destination, the sources and the mask cannot be addressed; a refused lock
// is never released, and nothing is locked after the destination refused.
TEST(DrawingOperations, EveryTakenLockIsReleasedOnce) {
  std::vector<TCountingDIBX*> made;
  const TMaker make = [&](int32_t w, int32_t h, int32_t bits) {
    auto s = std::make_unique<TCountingDIBX>(w, h, bits);
    made.push_back(s.get());
    return s;
  };
  std::mt19937 rng(5);
  for (const TNamedOp& op : kOps)
    for (int refused = 0; refused < 8; ++refused) {
      SCOPED_TRACE(testing::Message() << op.name << ", refused " << refused);
      made.clear();
      auto dst = make(9, 7, 32);
      TScene scene = RandomScene(rng, make, *dst);
      for (TCountingDIBX* s : made) s->Refuse = refused & (s == made[0] ? 1 : s->BitCount() == 8 ? 4 : 2);
      op.run(*dst, scene);
      int others = 0;
      for (TCountingDIBX* s : made) {
        EXPECT_EQ(s->Locks, s->Unlocks);
        if (s != made[0]) others += s->Locks;
      }
      if (refused & 1) {
        EXPECT_EQ(others, 0);
      }
    }
}

// Extreme coordinates, sizes, zooms, gaps, offsets and opacities: every
// operation returns without reading or writing outside any picture and
// without overflow, directly and through a wave surface.
TEST(DrawingOperations, ExtremeArgumentsAreSafe) {
  std::mt19937 rng(77077);
  const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -65536, -1, 0, 1, 65536, INT32_MAX - 1, INT32_MAX};
  auto pick = [&] { return extremes[rng() % std::size(extremes)]; };
  for (int iter = 0; iter < 60; ++iter) {
    auto target = test::MakeDIBX(9, 7, iter % 2 ? 16 : 32);
    TScene s = RandomScene(rng, MakeMemory, *target);
    for (int32_t TScene::*field : {&TScene::x, &TScene::y, &TScene::zx, &TScene::zy, &TScene::angle, &TScene::alpha,
                                   &TScene::ox, &TScene::oy, &TScene::cx, &TScene::cy, &TScene::thickness})
      s.*field = pick();
    s.rect = iter % 3 == 0 ? TRect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX} : TRect{pick(), pick(), pick(), pick()};
    s.gx = pick() & 0x7FFFFFFE;
    s.gy = pick() & 0x7FFFFFFE;
    TDIBXWave wave;
    wave.Target = target.get();
    wave.OriginX = pick();
    wave.OriginY = iter % 2 ? 0 : pick();
    wave.SetSize(9, 7, 0);
    for (auto& o : wave.Offsets) o = pick();
    for (const TNamedOp& op : kOps) {
      op.run(*target, s);
      op.run(wave, s);
    }
  }
}

}  // namespace
}  // namespace orba

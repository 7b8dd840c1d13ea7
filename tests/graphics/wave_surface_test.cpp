#include "graphics/wave_surface.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <tuple>
#include <utility>

#include "graphics/dibx_ops_test_util.h"

namespace orba {
namespace {

using test::Any;
using test::CloneDIBX;
using test::MakeDIBX;
using test::PaintedDIBX;
using test::Pixels;

// Everything one random draw needs.
struct TScene {
  std::unique_ptr<TDIBX> src, mask, mono, classes, nibbles, bytes;
  std::array<uint32_t, 256> table{};
  int32_t x, y, zx, zy, angle, alpha, ox, oy, gx, gy, cx, cy, thickness;
  TRect rect, src_rect;
  uint32_t pixel;
  bool key, fh, fv;
};

using TOp = std::function<void(TCustomDIBX&, TScene&)>;
struct TNamedOp {
  const char* name;
  TOp run;
};

const TNamedOp kOps[] = {
    {"Fill", [](TCustomDIBX& d, TScene& s) { d.Fill(s.pixel); }},
    {"FillRect", [](TCustomDIBX& d, TScene& s) { d.FillRect(s.rect, s.pixel); }},
    {"FillRectAlpha", [](TCustomDIBX& d, TScene& s) { d.FillRectAlpha(s.rect, s.pixel, s.alpha & 255); }},
    {"FillRectAdd", [](TCustomDIBX& d, TScene& s) { d.FillRectAdd(s.rect, s.pixel); }},
    {"FillRectSub", [](TCustomDIBX& d, TScene& s) { d.FillRectSub(s.rect, s.pixel); }},
    {"FrameRectAlpha", [](TCustomDIBX& d, TScene& s) { d.FrameRectAlpha(s.rect, s.thickness, s.pixel, s.alpha & 255); }},
    {"DrawColorMask", [](TCustomDIBX& d, TScene& s) { d.DrawColorMask(s.x, s.y, *s.mask, s.src_rect, s.fh, s.fv, s.pixel, s.alpha & 255); }},
    {"CopyFrom", [](TCustomDIBX& d, TScene& s) { d.CopyFrom(*s.src); }},
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
    {"DrawMonoReduced", [](TCustomDIBX& d, TScene& s) { d.DrawMonoReduced(s.x, s.y, *s.mono, s.mono->GetBoundsRect(), s.pixel, s.fh, s.fv, s.alpha & 255, 4); }},
    {"DrawMonoReducedTable", [](TCustomDIBX& d, TScene& s) { d.DrawMonoReducedTable(s.x, s.y, *s.classes, s.classes->GetBoundsRect(), s.table, s.fh, s.fv, s.alpha, 4); }},
    {"DrawTile", [](TCustomDIBX& d, TScene& s) { d.DrawTile(s.rect, s.gx, s.gy, *s.src, s.src_rect, s.key, s.ox, s.oy); }},
    {"DrawTileAlpha", [](TCustomDIBX& d, TScene& s) { d.DrawTileAlpha(s.rect, s.gx, s.gy, *s.src, s.src_rect, s.key, s.alpha & 255, s.ox, s.oy); }},
    {"DrawTileAdd", [](TCustomDIBX& d, TScene& s) { d.DrawTileAdd(s.rect, s.gx, s.gy, *s.src, s.src_rect, s.key, s.alpha & 255, s.ox, s.oy); }},
    {"DrawTileMask", [](TCustomDIBX& d, TScene& s) { d.DrawTileMask(s.rect, s.gx, s.gy, *s.src, s.src_rect, *s.mask, s.ox, s.oy); }},
    {"DrawTileAlphaMask", [](TCustomDIBX& d, TScene& s) { d.DrawTileAlphaMask(s.rect, s.gx, s.gy, *s.src, s.src_rect, *s.mask, s.alpha & 255, s.ox, s.oy); }},
    {"DrawTileAddMask", [](TCustomDIBX& d, TScene& s) { d.DrawTileAddMask(s.rect, s.gx, s.gy, *s.src, s.src_rect, *s.mask, s.alpha & 255, s.ox, s.oy); }},
    {"StretchDrawTile", [](TCustomDIBX& d, TScene& s) { d.StretchDrawTile(s.rect, s.gx + 1, s.gy + 1, s.zx, s.zy, *s.src, s.src_rect, s.key, s.fh, s.fv, s.alpha, s.ox, s.oy); }},
    {"StretchDrawTileMask", [](TCustomDIBX& d, TScene& s) { d.StretchDrawTileMask(s.rect, s.gx + 1, s.gy + 1, s.zx, s.zy, *s.src, s.src_rect, *s.mask, s.fh, s.fv, s.alpha, s.ox, s.oy); }},
    {"PatternFrameRect", [](TCustomDIBX& d, TScene& s) { d.PatternFrameRect(s.rect, s.thickness, *s.src, s.ox, s.oy); }},
    {"DrawIndexed", [](TCustomDIBX& d, TScene& s) { d.DrawIndexed(s.x, s.y, *s.nibbles, s.nibbles->GetBoundsRect(), s.fh, s.fv, s.alpha, s.table); }},
    {"DrawIndexedAdd", [](TCustomDIBX& d, TScene& s) { d.DrawIndexedAdd(s.x, s.y, *s.bytes, s.bytes->GetBoundsRect(), 17, s.fh, s.fv, s.alpha & 255, s.table); }},
    {"DrawIndexedStretch", [](TCustomDIBX& d, TScene& s) { d.DrawIndexedStretch(s.rect, *s.bytes, s.bytes->GetBoundsRect(), 17, s.fh, s.fv, s.alpha & 255, s.table); }},
    {"PatternFillZoom", [](TCustomDIBX& d, TScene& s) { d.PatternFillZoom(s.rect, s.zx, s.zy, *s.src, s.ox, s.oy, s.key, s.fh, s.fv, s.alpha); }},
    {"PatternFillZoomMask", [](TCustomDIBX& d, TScene& s) { d.PatternFillZoomMask(s.rect, s.zx, s.zy, *s.src, s.ox, s.oy, s.fh, s.fv, *s.mask, s.alpha); }},
    {"PatternFill", [](TCustomDIBX& d, TScene& s) { d.PatternFill(s.rect, *s.src, s.ox, s.oy, s.fh, s.fv); }},
};

TScene RandomScene(std::mt19937& rng, int32_t w, int32_t h, int32_t bits) {
  TScene s;
  const int32_t sw = Any(rng, 1, 7), sh = Any(rng, 1, 7);
  s.src = MakeDIBX(sw, sh, bits);
  test::Randomise(*s.src, rng, test::DepthMask(bits));
  s.src->TransparentColor = static_cast<int32_t>(s.src->GetPixel(0, 0));
  s.mask = MakeDIBX(sw, sh, 8);
  test::Randomise(*s.mask, rng, 0xFF);
  s.mono = MakeDIBX(Any(rng, 4, 24), Any(rng, 4, 24), 1);
  test::Randomise(*s.mono, rng, 1);
  s.classes = MakeDIBX(Any(rng, 4, 24), Any(rng, 4, 24), 4);
  test::Randomise(*s.classes, rng, 0xF);
  s.nibbles = MakeDIBX(Any(rng, 1, 8), Any(rng, 1, 8), 4);
  test::Randomise(*s.nibbles, rng, 0xF);
  s.nibbles->TransparentColor = 2;
  s.bytes = MakeDIBX(Any(rng, 1, 8), Any(rng, 1, 8), 8);
  test::Randomise(*s.bytes, rng, 0x1F);
  for (auto& t : s.table) t = static_cast<uint32_t>(rng()) & test::DepthMask(bits);
  s.x = Any(rng, -5, w);
  s.y = Any(rng, -5, h);
  s.rect = {Any(rng, -5, w), Any(rng, -5, h), 0, 0};
  s.rect.Right = s.rect.Left + Any(rng, 0, w + 4);
  s.rect.Bottom = s.rect.Top + Any(rng, 0, h + 4);
  const int32_t l = Any(rng, 0, sw - 1), t = Any(rng, 0, sh - 1);
  s.src_rect = {l, t, Any(rng, l + 1, sw), Any(rng, t + 1, sh)};
  for (auto [field, lo, hi] : {std::tuple{&TScene::zx, 100, 600}, {&TScene::zy, 100, 600}, {&TScene::angle, 0, 255},
                               {&TScene::alpha, 1, 511}, {&TScene::ox, -9, 9}, {&TScene::oy, -9, 9},
                               {&TScene::gx, 0, 3}, {&TScene::gy, 0, 3}, {&TScene::cx, 0, sw}, {&TScene::cy, 0, sh},
                               {&TScene::thickness, 1, 3}})
    s.*field = Any(rng, lo, hi);
  s.pixel = static_cast<uint32_t>(rng()) & test::DepthMask(bits);
  s.key = rng() & 1;
  s.fh = rng() & 1;
  s.fv = rng() & 1;
  return s;
}

class WaveSurfaceZeroOffsets : public testing::TestWithParam<int> {};

// With every offset 0 the wave surface draws exactly what direct drawing
// draws, and leaves the target's clip rectangle as it was.
TEST_P(WaveSurfaceZeroOffsets, DrawsWhatDirectDrawingDraws) {
  const TNamedOp& op = kOps[GetParam()];
  std::mt19937 rng(31000u + static_cast<unsigned>(GetParam()));
  const int32_t depths[] = {15, 16, 32, 24, 8};
  for (int iter = 0; iter < 150; ++iter) {
    const int32_t bits = depths[iter % 5];
    const int32_t w = Any(rng, 1, 16), h = Any(rng, 1, 14);
    auto direct = MakeDIBX(w, h, bits);
    test::Randomise(*direct, rng, test::DepthMask(bits));
    auto through = CloneDIBX(*direct);
    TScene scene = RandomScene(rng, w, h, bits);
    const bool clipped = rng() % 3 == 0;
    const TRect clip{Any(rng, 0, w), Any(rng, 0, h), Any(rng, 0, w), Any(rng, 0, h)};
    if (clipped) {
      direct->SetClipRect(clip);
      through->SetClipRect(clip);
    }
    TDIBXWave wave;
    wave.Target = through.get();
    wave.SetSize(w, h, 0);
    if (clipped) wave.SetClipRect(clip);
    op.run(*direct, scene);
    op.run(wave, scene);
    ASSERT_EQ(Pixels(*through), Pixels(*direct)) << op.name << " iteration " << iter << " bits " << bits << " w " << w << " rect " << scene.rect.Left << "," << scene.rect.Top << "," << scene.rect.Right << "," << scene.rect.Bottom << " th " << scene.thickness << " clipped " << clipped;
    ASSERT_EQ(std::pair(through->HasClipRect(), through->GetClipRect()),
              std::pair(clipped, clipped ? clip : through->GetBoundsRect())) << op.name;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, WaveSurfaceZeroOffsets, testing::Range(0, static_cast<int>(std::size(kOps))),
                         [](const testing::TestParamInfo<int>& info) { return std::string(kOps[info.param].name); });

// Extreme coordinates, sizes, zooms, gaps, offsets and opacities: every
// operation returns without reading or writing outside any picture and
// without overflow, directly and through a wave surface.
TEST(DrawingOperations, ExtremeArgumentsAreSafe) {
  std::mt19937 rng(77077);
  const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -65536, -1, 0, 1, 65536, INT32_MAX - 1, INT32_MAX};
  auto pick = [&] { return extremes[rng() % std::size(extremes)]; };
  for (int iter = 0; iter < 60; ++iter) {
    const int32_t bits = iter % 2 ? 16 : 32;
    auto target = MakeDIBX(9, 7, bits);
    TScene s = RandomScene(rng, 9, 7, bits);
    for (int32_t TScene::*field : {&TScene::x, &TScene::y, &TScene::zx, &TScene::zy, &TScene::angle, &TScene::alpha,
                                   &TScene::ox, &TScene::oy, &TScene::cx, &TScene::cy, &TScene::thickness})
      s.*field = pick();
    s.rect = {pick(), pick(), pick(), pick()};
    if (iter % 3 == 0) s.rect = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
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

// A target that records the fills it receives.
class TRecordingDIBX : public TDIBX {
 public:
  std::vector<TRect> Fills;
  void FillRect(const TRect& rect, uint32_t pixel) override {
    Fills.push_back(rect);
    TDIBX::FillRect(rect, pixel);
  }
};

TEST(WaveSurface, AlternatingOffsetsSplitAFillIntoShiftedRows) {
  TRecordingDIBX target;
  target.SetSize(10, 4, 32);
  TDIBXWave wave;
  wave.Target = &target;
  wave.SetSize(10, 4, 0);
  wave.Offsets = {0, 5, 0, 5};
  wave.FillRect({0, 0, 3, 4}, 0xFFFFFF);
  EXPECT_EQ(target.Fills, (std::vector<TRect>{{0, 0, 3, 1}, {5, 1, 8, 2}, {0, 2, 3, 3}, {5, 3, 8, 4}}));
  // Equal offsets make one call.
  target.Fills.clear();
  wave.Offsets = {2, 2, 2, 2};
  wave.FillRect({0, 0, 3, 4}, 0);
  EXPECT_EQ(target.Fills, (std::vector<TRect>{{2, 0, 5, 4}}));
}

TEST(WaveSurface, RowsOutsideTheBentAreaAreNotDrawn) {
  auto target = MakeDIBX(6, 8, 16);
  TDIBXWave wave;
  wave.Target = target.get();
  wave.OriginY = 2;
  wave.SetSize(6, 3, 0);
  auto src = PaintedDIBX(6, 8, 16, [](int32_t, int32_t) { return 0x1234u; });
  wave.Draw(0, 0, *src, {0, 0, 6, 8}, false, false, false);
  wave.StretchDrawAlpha({0, 0, 6, 8}, *src, {0, 0, 3, 3}, false, false, false, 255);
  wave.FillRectAdd({0, 0, 6, 8}, 1);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(target->GetPixel(x, y), y >= 2 && y < 5 ? 0x1235u : 0u) << x << "," << y;
}

TEST(WaveSurface, ShiftedRowsOfDrawsAndStretchedDraws) {
  auto src = PaintedDIBX(4, 3, 32, [](int32_t x, int32_t y) { return uint32_t(1 + x + 16 * y); });
  auto target = MakeDIBX(12, 3, 32);
  TDIBXWave wave;
  wave.Target = target.get();
  wave.SetSize(12, 3, 0);
  wave.Offsets = {0, 3, -1};
  wave.Draw(2, 0, *src, {0, 0, 4, 3}, false, false, true);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 12; ++x) {
      const int32_t i = x - 2 - wave.Offsets[static_cast<size_t>(y)];
      EXPECT_EQ(target->GetPixel(x, y), i >= 0 && i < 4 ? uint32_t(1 + i + 16 * (2 - y)) : 0u) << x << "," << y;
    }
  // A stretched draw is shifted row by row and cut at its unshifted columns.
  auto stretched = MakeDIBX(12, 3, 32);
  wave.Target = stretched.get();
  wave.StretchDrawAlpha({2, 0, 10, 3}, *src, {0, 0, 4, 3}, false, false, false, 255);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 12; ++x) {
      const int32_t i = x - 2 - wave.Offsets[static_cast<size_t>(y)];
      const bool drawn = x >= 2 && x < 10 && i >= 0 && i < 8;
      EXPECT_EQ(stretched->GetPixel(x, y), drawn ? uint32_t(1 + i / 2 + 16 * y) : 0u) << x << "," << y;
    }
}

TEST(WaveSurface, TargetClipIsWhatItWasAfterAStretchedDraw) {
  auto target = MakeDIBX(8, 8, 16);
  auto src = PaintedDIBX(2, 2, 16, [](int32_t, int32_t) { return 7u; });
  TDIBXWave wave;
  wave.Target = target.get();
  wave.SetSize(8, 8, 0);
  wave.Offsets.assign(8, 1);
  wave.StretchDrawAdd({0, 0, 8, 8}, *src, {0, 0, 2, 2}, false, false, false, 255);
  EXPECT_FALSE(target->HasClipRect());
  target->SetClipRect({1, 2, 6, 7});
  wave.StretchDrawAlphaMask({0, 0, 8, 8}, *src, {0, 0, 2, 2}, false, false, *PaintedDIBX(2, 2, 8, [](int32_t, int32_t) { return 9u; }), 255);
  wave.DrawRotate(3, 3, 256, 256, *src, {0, 0, 2, 2}, 0, 0, 10, false, false, false, 255);
  EXPECT_EQ(target->GetClipRect(), (TRect{1, 2, 6, 7}));
}

TEST(WaveSurface, SizeGivesOneOffsetPerRowAndTheTargetsFormat) {
  TDIBXWave wave;
  wave.SetSize(30, 120, 0);
  EXPECT_EQ(wave.Offsets.size(), 120u);
  EXPECT_EQ((std::pair{wave.BitCount(), wave.StorageBitCount()}), (std::pair{0, 0}));
  auto target = MakeDIBX(4, 4, 15);
  wave.Target = target.get();
  EXPECT_EQ((std::pair{wave.BitCount(), wave.StorageBitCount()}), (std::pair{15, 16}));
  EXPECT_EQ(wave.ColorToPixel(0x0000FF), target->ColorToPixel(0x0000FF));
  EXPECT_EQ(wave.BaseSurface(), target.get());
  EXPECT_EQ(wave.Lock(0, 0), nullptr);
}

TEST(WaveSurface, ClipRectanglesReachTheTarget) {
  auto target = MakeDIBX(40, 40, 32);
  TDIBXWave wave;
  wave.Target = target.get();
  wave.OriginX = 10;
  wave.OriginY = 10;
  wave.SetSize(10, 10, 0);
  // Limited to the bent area; one outside changes nothing.
  for (auto [include, clip] : {std::pair{TRect{0, 0, 12, 12}, TRect{10, 10, 12, 12}},
                               {TRect{18, 18, 30, 30}, TRect{10, 10, 20, 20}}, {TRect{0, 0, 5, 5}, TRect{10, 10, 20, 20}}}) {
    wave.IncludeClipRect(include);
    EXPECT_EQ(std::pair(wave.GetClipRect(), target->GetClipRect()), std::pair(clip, clip));
  }
  wave.ResetClipRect();
  EXPECT_EQ(std::pair(wave.HasClipRect(), target->HasClipRect()), std::pair(false, false));
  EXPECT_EQ(wave.GetClipRect(), target->GetBoundsRect());
}

TEST(WaveSurface, WithoutATargetNothingHappens) {
  TDIBXWave wave;
  wave.SetSize(4, 4, 0);
  auto src = PaintedDIBX(2, 2, 32, [](int32_t, int32_t) { return 1u; });
  wave.Fill(3);
  wave.Draw(0, 0, *src, {0, 0, 2, 2}, false, false, false);
  wave.StretchDrawAlpha({0, 0, 4, 4}, *src, {0, 0, 2, 2}, false, false, false, 255);
  wave.DrawTile({0, 0, 4, 4}, 0, 0, *src, {0, 0, 2, 2}, false, 0, 0);
  wave.ResetClipRect();
  EXPECT_EQ(wave.GetClipRect(), TRect{});
}

}  // namespace
}  // namespace orba

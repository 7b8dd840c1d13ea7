// Items wholly painted over by a later opaque picture are left out of the
// repaint. Each case draws a screen prefilled with a colour nothing paints
// through that shortcut, and compares it with the same scene drawn in two
// layers (everything under the picture, then the picture by itself), which
// no shortcut can touch: a wrong skip leaves the prefill showing.
#include <gtest/gtest.h>

#include <functional>

#include "items/base_list.h"
#include "items/box.h"
#include "items/still_image.h"

namespace orba {
namespace {

// An item that counts its paintings; Pure says whether it only paints.
struct TCountingItem : TOrbaControl {
  using TOrbaControl::TOrbaControl;
  bool Pure = true;
  int32_t Draws = 0;
  void Draw() override { ++Draws; TOrbaControl::Draw(); }
  bool OnlyPaints() const override { return Pure; }
};

struct TCase {
  const char* name;
  std::function<void(TOrbaImage&, TDIBX& picture, TCountingItem& under)> change;
  bool skipped;
};

// An opaque mask but for one pixel.
TDIBX* Mask() {
  static TDIBX mask;
  mask.SetSize(40, 30, 8);
  mask.Fill(255);
  mask.SetPixel(3, 3, 0);
  return &mask;
}

class PaintedOverTest : public ::testing::TestWithParam<TCase> {};

TEST_P(PaintedOverTest, SameScreenAsPaintingEveryLayer) {
  constexpr int32_t kW = 40, kH = 30;
  TDIBX picture;  // outlives the items
  TOrbaBaseList m;
  m.SetWidth(kW);
  m.SetHeight(kH);
  TOrbaBase* root = m.GetBase(0);
  root->SetColor(0x0000FF);
  auto* box = NewOrbaObject<TOrbaBox>(&m);
  box->SetParent(root);
  box->SetBounds(5, 5, 20, 10);
  box->SetColor(0x00FF00);
  auto* under = NewOrbaObject<TCountingItem>(&m);
  under->SetParent(root);
  under->SetBounds(0, 0, kW, kH);
  picture.SetSize(kW, kH, TOrbaBase::kScreenBits);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) picture.SetPixel(x, y, static_cast<uint32_t>(x * 6 + y * 0x700 + 0x10000));
  auto* cover = NewOrbaObject<TOrbaImage>(&m);
  cover->SetParent(root);
  cover->SetDIB(&picture);
  cover->UpdateSize();
  GetParam().change(*cover, picture, *under);
  TCustomDIBX& screen = *root->GetDIB();
  auto pixels = [&] {
    std::vector<uint32_t> all;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) all.push_back(screen.GetPixel(x, y));
    return all;
  };
  // Two layers: the cover hidden, then drawn alone under its clip window.
  const bool shown = cover->GetVisible();
  cover->SetVisible(false);
  root->InvalidateAll();
  m.Draw();
  cover->SetVisible(shown);
  screen.ResetClipRect();
  TRect clip{0, 0, kW, kH};
  if (cover->ClipActive()) IntersectRects(clip, cover->ClipWindow(), clip);
  screen.IncludeClipRect(clip);
  if (shown) cover->Draw();
  screen.ResetClipRect();
  const std::vector<uint32_t> layered = pixels();
  // At once, over a prefill.
  screen.FillRect(TRect{0, 0, kW, kH}, 0x123456);
  under->Draws = 0;
  root->InvalidateAll();
  m.Draw();
  EXPECT_EQ(pixels(), layered);
  EXPECT_EQ(under->Draws, GetParam().skipped ? 0 : 1);
}

using TImg = TOrbaImage;
using TItem = TCountingItem;
INSTANTIATE_TEST_SUITE_P(
    Covers, PaintedOverTest,
    ::testing::Values(
        TCase{"Opaque", [](TImg&, TDIBX&, TItem&) {}, true},
        TCase{"Larger", [](TImg& c, TDIBX& p, TItem&) { p.SetSize(50, 40, 32); c.UpdateSize(); c.SetLeft(-3); }, true},
        TCase{"LeavesAStrip", [](TImg& c, TDIBX&, TItem&) { c.SetLeft(1); }, false},
        TCase{"Alpha254", [](TImg& c, TDIBX&, TItem&) { c.SetAlpha(254); }, false},
        TCase{"Flipped", [](TImg& c, TDIBX&, TItem&) { c.SetFlipH(true); }, false},
        TCase{"Turned", [](TImg& c, TDIBX&, TItem&) { c.SetAngle(64); }, false},
        TCase{"Zoomed", [](TImg& c, TDIBX&, TItem&) { c.SetZoomX(512); c.UpdateSize(); }, false},
        TCase{"Keyed", [](TImg&, TDIBX& p, TItem&) { p.TransparentColor = 0x10000; }, false},
        TCase{"Masked", [](TImg& c, TDIBX&, TItem&) { c.SetMaskDIB(Mask()); }, false},
        TCase{"Listed", [](TImg&, TDIBX& p, TItem&) { p.RectsA.push_back(TRect{0, 0, 20, 30}); }, false},
        TCase{"OtherDepth", [](TImg& c, TDIBX& p, TItem&) { p.SetSize(40, 30, 24); c.UpdateSize(); }, false},
        TCase{"ClipWindow", [](TImg& c, TDIBX&, TItem&) { c.SetClipWidth(10); c.SetClipHeight(10); }, false},
        TCase{"Hidden", [](TImg& c, TDIBX&, TItem&) { c.SetVisible(false); }, false},
        TCase{"ImpureBelow", [](TImg&, TDIBX&, TItem& u) { u.Pure = false; }, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orba

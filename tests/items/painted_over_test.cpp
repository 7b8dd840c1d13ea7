// Items wholly painted over by a later opaque picture or box are left out
// of the repaint. Each case draws the scene over a prefill and compares it
// with the same scene drawn in two layers (all under the picture, then the
// picture alone): a wrong skip leaves the prefill showing.
#include <gtest/gtest.h>

#include "items/base_list.h"
#include "items/box.h"
#include "items/still_image.h"

namespace orba {
namespace {

struct TCountingItem : TOrbaControl {
  using TOrbaControl::TOrbaControl;
  bool Pure = true;  // only paints
  int32_t Draws = 0;
  void Draw() override { ++Draws; TOrbaControl::Draw(); }
  bool OnlyPaints() const override { return Pure; }
};

// A 40 x 30 screen: an item, a box, a picture with a mask at hand.
struct TScene {
  TDIBX picture, mask;  // outlive the items
  TOrbaBaseList m;
  TCountingItem* under = nullptr;  // counts its paintings
  TOrbaBox* box = nullptr;
  TOrbaImage* cover = nullptr;
};

// What a case changes, and whether the counting item is then left out.
struct TCase { const char* name; void (*change)(TScene&); bool skipped; };
class PaintedOverTest : public ::testing::TestWithParam<TCase> {};

TEST_P(PaintedOverTest, SameScreenAsPaintingEveryLayer) {
  TScene s;
  s.m.SetWidth(40);
  s.m.SetHeight(30);
  TOrbaBase* root = s.m.GetBase(0);
  root->SetColor(0x0000FF);
  s.under = NewOrbaObject<TCountingItem>(&s.m);
  s.under->SetParent(root);
  s.box = NewOrbaObject<TOrbaBox>(&s.m);
  s.box->SetParent(root);
  s.box->SetBounds(5, 5, 20, 10);
  s.box->SetColor(0x00FF00);
  s.picture.SetSize(40, 30, TOrbaBase::kScreenBits);
  for (int32_t i = 0; i < 40 * 30; ++i) s.picture.SetPixel(i % 40, i / 40, static_cast<uint32_t>(i * 0x10203 + 0x10000));
  s.cover = NewOrbaObject<TOrbaImage>(&s.m);
  s.cover->SetParent(root);
  s.cover->SetDIB(&s.picture);
  s.cover->UpdateSize();
  GetParam().change(s);
  TCustomDIBX& screen = *root->GetDIB();
  std::vector<uint32_t> layered(40 * 30), direct(40 * 30);
  auto take = [&](std::vector<uint32_t>& all) { for (int32_t i = 0; i < 40 * 30; ++i) all[i] = screen.GetPixel(i % 40, i / 40); };
  const bool shown = s.cover->GetVisible();
  s.cover->SetVisible(false);
  root->InvalidateAll();
  s.m.Draw();
  s.cover->SetVisible(shown);
  screen.IncludeClipRect(s.cover->ClipActive() ? s.cover->ClipWindow() : TRect{0, 0, 40, 30});
  if (shown) s.cover->Draw();
  screen.ResetClipRect();
  take(layered);
  screen.FillRect(TRect{0, 0, 40, 30}, 0x123456);
  s.under->Draws = 0;
  root->InvalidateAll();
  s.m.Draw();
  take(direct);
  EXPECT_EQ(direct, layered);
  EXPECT_EQ(s.under->Draws, GetParam().skipped ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Covers, PaintedOverTest,
    ::testing::Values(
        TCase{"Opaque", [](TScene&) {}, true},
        TCase{"Larger", [](TScene& s) { s.picture.SetSize(50, 40, 32); s.cover->UpdateSize(); s.cover->SetLeft(-3); }, true},
        TCase{"LeavesAStrip", [](TScene& s) { s.cover->SetLeft(1); }, false},
        TCase{"Alpha254", [](TScene& s) { s.cover->SetAlpha(254); }, false},
        TCase{"Flipped", [](TScene& s) { s.cover->SetFlipH(true); }, false},
        TCase{"Turned", [](TScene& s) { s.cover->SetAngle(64); }, false},
        TCase{"Zoomed", [](TScene& s) { s.cover->SetZoomX(512); s.cover->UpdateSize(); }, false},
        TCase{"Keyed", [](TScene& s) { s.picture.TransparentColor = 0x10000; }, false},
        TCase{"Masked", [](TScene& s) { s.mask.SetSize(40, 30, 8); s.mask.Fill(255); s.mask.SetPixel(3, 3, 0); s.cover->SetMaskDIB(&s.mask); }, false},
        TCase{"Listed", [](TScene& s) { s.picture.RectsA.push_back(TRect{0, 0, 20, 30}); }, false},
        TCase{"OtherDepth", [](TScene& s) { s.picture.SetSize(40, 30, 24); s.cover->UpdateSize(); }, false},
        TCase{"ClipWindow", [](TScene& s) { s.cover->SetClipWidth(10); s.cover->SetClipHeight(10); }, false},
        TCase{"ImpureBelow", [](TScene& s) { s.under->Pure = false; }, false},
        TCase{"Box", [](TScene& s) { s.box->SetBounds(0, 0, 40, 30); s.cover->SetVisible(false); }, true},
        TCase{"BoxAlpha254", [](TScene& s) { s.box->SetBounds(0, 0, 40, 30); s.box->SetAlpha(254); s.cover->SetVisible(false); }, false},
        TCase{"BoxFramed", [](TScene& s) { s.box->SetBounds(0, 0, 40, 30); s.box->SetBorderWidth(2); s.cover->SetVisible(false); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orba

// A parent paints its children with its screen origin, its surface and the
// clip worked out once for all of them. Each case builds a small tree of
// pictures, paints the screen, and compares what every item saw while it
// was drawn (its screen place, its surface, its clip, whether it was drawn
// at all) with what the walk up its ancestors gives once painting is over.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "items/base_list.h"
#include "items/still_image.h"

namespace orba {
namespace {

constexpr int32_t kW = 80, kH = 60;

// A picture that records what it sees when drawn; it may scroll its
// children as a tile does.
struct TProbe : TOrbaImage {
  using TOrbaImage::TOrbaImage;
  struct TSeen {
    int32_t Left, Top;
    TCustomDIBX* Surface;
    TRect Clip;
  };
  std::optional<TSeen> Seen;
  int32_t ScrollX = 0, ScrollY = 0;
  int32_t GetScrollX() const override { return ScrollX; }
  int32_t GetScrollY() const override { return ScrollY; }
  void Draw() override {
    TCustomDIBX* surface = GetSurface();
    Seen = TSeen{GetScreenLeft(), GetScreenTop(), surface, surface != nullptr ? surface->GetClipRect() : TRect{}};
    TOrbaImage::Draw();
  }
};

// The screen root holds A and then D; A holds B and then E; B holds C.
struct TTree {
  TDIBX small, large;  // outlive the items
  TOrbaBaseList m;
  std::map<std::string, TProbe*> items;
  TProbe& operator[](const std::string& name) { return *items.at(name); }
};

TProbe* AddProbe(TTree& t, const std::string& name, TOrbaControl* parent, TDIBX& picture, int32_t left, int32_t top) {
  auto* p = NewOrbaObject<TProbe>(&t.m);
  p->SetName(name);
  p->SetParent(parent);
  p->SetDIB(&picture);
  p->UpdateSize();
  p->SetLeft(left);
  p->SetTop(top);
  t.items[name] = p;
  return p;
}

// The clip a child is drawn under: its parent's bounds under the parent's
// own clip, cut by the child's clip window.
TRect ExpectedClip(const TOrbaControl& item) {
  const TOrbaControl& parent = *item.GetParent();
  TRect c = parent.IsScreenRoot() ? TRect{0, 0, kW, kH} : ExpectedClip(parent);
  IntersectRects(parent.GetBoundsRect(), c, c);
  if (item.ClipActive()) IntersectRects(c, item.ClipWindow(), c);
  return c;
}

bool ExpectedDrawn(const TOrbaControl& item) {
  const TOrbaControl& parent = *item.GetParent();
  return item.GetVisible() && (parent.IsScreenRoot() || ExpectedDrawn(parent)) && !RectIsEmpty(ExpectedClip(item));
}

struct TCase {
  const char* name;
  void (*change)(TTree&);
};
class PaintOriginTest : public ::testing::TestWithParam<TCase> {};

TEST_P(PaintOriginTest, EveryItemSeesWhatTheWalkUpItsAncestorsGives) {
  TTree t;
  t.m.SetWidth(kW);
  t.m.SetHeight(kH);
  TOrbaBase* root = t.m.GetBase(0);
  root->SetColor(0);
  // Keyed pictures paint over nothing: no item is left out as covered.
  t.small.SetSize(6, 4, TOrbaBase::kScreenBits);
  t.small.Fill(0x123456);
  t.small.TransparentColor = 0;
  t.large.SetSize(24, 18, TOrbaBase::kScreenBits);
  t.large.Fill(0x654321);
  t.large.TransparentColor = 0;
  TProbe* a = AddProbe(t, "A", root, t.large, 10, 8);
  TProbe* b = AddProbe(t, "B", a, t.large, 3, 2);
  AddProbe(t, "C", b, t.small, 2, 1);
  AddProbe(t, "E", a, t.small, 6, 5);
  AddProbe(t, "D", root, t.small, 40, 30);
  GetParam().change(t);
  for (auto& [name, item] : t.items) item->UpdateSize();
  root->InvalidateAll();
  t.m.Draw();
  for (const auto& [name, item] : t.items) {
    SCOPED_TRACE(name);
    ASSERT_EQ(item->Seen.has_value(), ExpectedDrawn(*item));
    if (!item->Seen) continue;
    EXPECT_EQ(item->Seen->Left, item->GetScreenLeft());
    EXPECT_EQ(item->Seen->Top, item->GetScreenTop());
    EXPECT_EQ(item->Seen->Surface, item->GetSurface());
    EXPECT_EQ(item->Seen->Clip, ExpectedClip(*item));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, PaintOriginTest,
    ::testing::Values(
        TCase{"Plain", [](TTree&) {}},
        TCase{"Offsets", [](TTree& t) { t["A"].SetOffsetX(4); t["A"].SetOffsetY(-3); t["B"].SetOffsetX(-2); t["C"].SetOffsetY(1); }},
        TCase{"PlusAndScroll", [](TTree& t) { t["B"].SetPlusX(5); t["C"].SetPlusY(-2); t["A"].ScrollX = 3; t["B"].ScrollY = -4; }},
        TCase{"ClipWindows", [](TTree& t) {
          t["A"].SetClipLeft(2); t["A"].SetClipTop(2); t["A"].SetClipWidth(10); t["A"].SetClipHeight(8);
          t["C"].SetClipWidth(3); t["C"].SetClipHeight(2); }},
        TCase{"ClipWindowOutside", [](TTree& t) { t["B"].SetClipLeft(100); t["B"].SetClipWidth(5); t["B"].SetClipHeight(5); }},
        TCase{"HiddenParent", [](TTree& t) { t["B"].SetVisible(false); }},
        TCase{"HiddenTopItem", [](TTree& t) { t["A"].SetVisible(false); }},
        TCase{"ChildBeyondItsParent", [](TTree& t) { t["E"].SetLeft(30); t["C"].SetTop(-3); }},
        TCase{"Flipped", [](TTree& t) { t["A"].SetFlipH(true); t["B"].SetFlipV(true); t["A"].SetOffsetX(2); }},
        TCase{"PositionsZoomed", [](TTree& t) {
          for (const char* n : {"A", "B", "C", "E"}) { t[n].SetZoomX(512); t[n].SetZoomY(256 + 128); }
          for (const char* n : {"B", "C", "E"}) t[n].SetPosZoomed(true);
          t["B"].SetLeft(5); t["E"].SetTop(7); }},
        TCase{"PositionsZoomedFlipped", [](TTree& t) {
          for (const char* n : {"A", "B", "C"}) { t[n].SetZoomX(384); t[n].SetPosZoomed(true); }
          t["A"].SetFlipH(true); t["B"].SetFlipH(true); t["B"].SetOffsetX(3); }},
        TCase{"PositionZoomedUnderTheRoot", [](TTree& t) { t["D"].SetZoomX(128); t["D"].SetPosZoomed(true); t["D"].SetLeft(41); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orba

// Painting through dirty rectangles against a full repaint, hit-testing and
// z-order, and the per-tick keyboard and mouse state.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/game_clock.h"
#include "items/base_list.h"
#include "items/box.h"

namespace orba {
namespace {

constexpr int32_t kW = 96, kH = 64;

std::vector<uint32_t> Pixels(TCustomDIBX& dib) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < dib.Height(); ++y)
    for (int32_t x = 0; x < dib.Width(); ++x) out.push_back(dib.GetPixel(x, y));
  return out;
}

// One random change of a random box through its property setters.
void Mutate(std::mt19937& rng, std::vector<TOrbaBox*>& boxes, TOrbaBaseList& m) {
  auto pick = [&](int32_t lo, int32_t hi) { return lo + static_cast<int32_t>(rng() % uint32_t(hi - lo + 1)); };
  TOrbaBox* b = boxes[rng() % boxes.size()];
  switch (rng() % 13) {
    case 0: b->SetLeft(pick(-20, kW)); break;
    case 1: b->SetTop(pick(-20, kH)); break;
    case 2: b->SetWidth(pick(0, 50)); break;
    case 3: b->SetHeight(pick(0, 40)); break;
    case 4: b->SetColor(rng() % 5 == 0 ? -1 : static_cast<int32_t>(rng() & 0xFFFFFF)); break;
    case 5: b->SetAlpha(pick(0, 520)); break;
    case 6: b->SetBorderWidth(pick(0, 6)); break;
    case 7: b->SetBorderColor(rng() % 4 == 0 ? -1 : static_cast<int32_t>(rng() & 0xFFFFFF)); break;
    case 8: b->SetVisible(rng() % 3 != 0); break;
    case 9: b->SetPriority(pick(-3, 3)); break;
    case 10: {
      TOrbaBox* p = boxes[rng() % boxes.size()];
      b->SetParent(p != b && rng() % 2 == 0 ? static_cast<TOrbaControl*>(p) : m.ActiveBase());
      break;
    }
    case 11:
      b->SetClipLeft(pick(0, 10));
      b->SetClipTop(pick(0, 10));
      b->SetClipWidth(pick(0, 30));
      b->SetClipHeight(pick(0, 30));
      break;
    default:
      b->SetOffsetX(pick(-5, 5));
      b->SetPlusY(pick(-5, 5));
      break;
  }
}

TEST(PaintTest, IncrementalPaintingEqualsAFullRepaint) {
  std::mt19937 rng(20261206);
  for (int scene = 0; scene < 200; ++scene) {
    SCOPED_TRACE(scene);
    TOrbaBaseList m;
    m.SetWidth(kW);
    m.SetHeight(kH);
    m.ActiveBase()->SetColor(static_cast<int32_t>(rng() & 0xFFFFFF));
    std::vector<TOrbaBox*> boxes;
    const int count = 2 + static_cast<int>(rng() % 6);
    for (int i = 0; i < count; ++i) {
      auto* b = NewOrbaObject<TOrbaBox>(&m);
      b->SetParent(m.ActiveBase());
      b->SetBounds(static_cast<int32_t>(rng() % kW) - 10, static_cast<int32_t>(rng() % kH) - 10,
                   static_cast<int32_t>(rng() % 40), static_cast<int32_t>(rng() % 30));
      b->SetColor(static_cast<int32_t>(rng() & 0xFFFFFF));
      boxes.push_back(b);
    }
    TOrbaBase* root = m.ActiveBase();
    root->InvalidateAll();
    m.Draw();
    root->Dirty.Clear();
    for (int round = 0; round < 4; ++round) {
      const int changes = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < changes; ++i) Mutate(rng, boxes, m);
      m.Draw();
      root->Dirty.Clear();
      const std::vector<uint32_t> incremental = Pixels(m.Composition);
      root->InvalidateAll();
      m.Draw();
      root->Dirty.Clear();
      ASSERT_EQ(Pixels(m.Composition), incremental) << "round " << round;
    }
  }
}

TEST(PaintTest, ZOrderHitTestAndIgnoreMouse) {
  TOrbaBaseList m;
  m.SetWidth(kW);
  m.SetHeight(kH);
  auto make = [&](const std::string& name, int32_t priority) {
    auto* b = NewOrbaObject<TOrbaBox>(&m);
    b->SetName(name);
    b->SetParent(m.ActiveBase());
    b->SetBounds(0, 0, 20, 20);
    b->SetPriority(priority);
    return b;
  };
  TOrbaBox* low = make("b", 0);
  TOrbaBox* high = make("a", 5);
  TOrbaBox* same = make("c", 0);
  TOrbaBox* internal = make("\x01z", 99);
  TOrbaBase* root = m.ActiveBase();
  // Internal names first, then priority, then name.
  EXPECT_EQ(root->Children, (std::vector<TOrbaControl*>{internal, low, same, high}));
  EXPECT_EQ(root->HitTest({5, 5}, 29), high);
  high->SetIgnoreMouse(IM_ALL);
  EXPECT_EQ(root->HitTest({5, 5}, 29), same);
  same->SetIgnoreMouse(IM_CLICK);  // hovers, but a left press falls through
  EXPECT_EQ(root->HitTest({5, 5}, 29), same);
  EXPECT_EQ(root->HitTest({5, 5}, 17), low);
  EXPECT_EQ(root->HitTest({20, 5}, 29), root);
  low->Scrap();  // an empty name is neither painted nor hit
  internal->SetIgnoreMouse(IM_ALL);
  EXPECT_EQ(root->HitTest({5, 5}, 17), root);
}

// A member of a button group.
class TGroupBox final : public TOrbaBox {
 public:
  using TOrbaBox::TOrbaBox;
  int32_t Group = 1;
  bool Selected = false, AllowAllUp = false;
  int32_t GetGroupIndex() const override { return Group; }
  bool GetSelected() const override { return Selected; }
  bool GetAllowAllUp() const override { return AllowAllUp; }
  void SetGroupSelected(bool v) override { Selected = v; }
};

TEST(PaintTest, ButtonGroupKeepsOneSelected) {
  TOrbaBaseList m;
  std::vector<TGroupBox*> g;
  for (int i = 0; i < 3; ++i) {
    g.push_back(NewOrbaObject<TGroupBox>(&m));
    g.back()->SetParent(m.ActiveBase());
  }
  g[2]->Group = 2;
  TOrbaBase* root = m.ActiveBase();
  // Nothing selected and all-up not allowed: the first member is chosen.
  auto selected = [&] { return std::vector<bool>{g[0]->Selected, g[1]->Selected, g[2]->Selected}; };
  root->UpdateGroup(g[1], 1);
  EXPECT_EQ(selected(), (std::vector<bool>{true, false, false}));
  g[1]->Selected = true;  // clicked on; another group is untouched
  root->UpdateGroup(g[1], 1);
  EXPECT_EQ(selected(), (std::vector<bool>{false, true, false}));
  g[1]->Selected = false;  // clicked off, all may be up
  g[1]->AllowAllUp = true;
  root->UpdateGroup(g[1], 1);
  EXPECT_EQ(selected(), (std::vector<bool>{false, false, false}));
}

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GameClock = 0;
    FrameTime = 15;
    m.SetWidth(kW);
    m.SetHeight(kH);
    box = NewOrbaObject<TOrbaBox>(&m);
    box->SetName("A");
    box->SetParent(m.ActiveBase());
    box->SetBounds(10, 10, 20, 20);
  }
  // One tick of the player: input, then the interpreter takes every event.
  std::vector<const TTimerData*> Tick() {
    GameClock += 15;
    m.UpdateInput();
    taken.clear();
    for (int32_t i = 0; i < m.Events.Count(); ++i) {
      const TTimerData* e = m.Events.GetItem(i);
      codes.push_back(e->Code);
      taken.push_back(e);
    }
    m.Events.Clear();
    return taken;
  }
  TOrbaBaseList m;
  TOrbaBox* box = nullptr;
  std::vector<int> codes;
  std::vector<const TTimerData*> taken;
};

TEST_F(InputTest, HeldKeyRepeatsAfter300MsThenEvery50Ms) {
  box->SetHandleKey(true);
  box->SetOnKeyDown("p:down");
  box->SetOnKeyRepeat("p:repeat");
  box->SetOnKeyUp("p:up");
  Tick();  // the focus is picked
  ASSERT_EQ(m.GetFocusObject(), box);
  codes.clear();
  m.SetKeyState(65, true);
  m.SetKeyClick(65, true);
  std::vector<int32_t> repeat_times;
  int downs = 0;
  for (int32_t elapsed = 0; elapsed <= 1000; elapsed += 15) {
    codes.clear();
    Tick();
    for (int c : codes) {
      if (c == PR_ONKEYDOWN) ++downs;
      if (c == PR_ONKEYREPEAT) repeat_times.push_back(elapsed);
    }
    if (elapsed == 0) {
      EXPECT_TRUE(m.GetKeyClick(65));
      EXPECT_TRUE(m.GetKeyRepeat(65));
    }
    EXPECT_TRUE(m.GetKeyPush(65));
  }
  EXPECT_EQ(downs, 1);
  // The press counts as the first repeat; the n-th auto-repeat falls due in
  // the first update at least 300 + 50 (n - 1) ms after the press and is sent
  // at the next update.
  ASSERT_GE(repeat_times.size(), 2u);
  EXPECT_EQ(repeat_times[0], 0);
  std::vector<int32_t> expected{0};
  for (int n = 1;; ++n) {
    const int32_t due = 300 + 50 * (n - 1);
    // The update at label e has counted e + 15 ms of ticks.
    int32_t update = 0;
    while (update + 15 < due) update += 15;
    if (update + 15 > 1000) break;
    expected.push_back(update + 15);
  }
  EXPECT_EQ(repeat_times, expected);
  m.SetKeyState(65, false);
  codes.clear();
  Tick();
  ASSERT_FALSE(codes.empty());
  EXPECT_EQ(codes.back(), PR_ONKEYUP);
  EXPECT_FALSE(m.GetKeyPush(65));
}

TEST_F(InputTest, DragOffKeepsCaptureUntilRelease) {
  box->SetOnLBtnDown("p:down");
  box->SetOnLBtnUp("p:up");
  box->SetOnMouseMove("p:move");
  box->SetOnMouseOut("p:out");
  box->SetOnMouseIn("p:in");
  m.MouseMove(15, 15);
  Tick();
  EXPECT_EQ(codes, (std::vector<int>{PR_ONMOUSEIN, PR_ONMOUSEMOVE}));
  codes.clear();
  m.MouseButton(true, true);
  Tick();
  EXPECT_EQ(codes, std::vector<int>{PR_ONLBTNDOWN});
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_FALSE(m.ActiveBase()->GetLPush());  // captured by A
  codes.clear();
  for (int32_t x = 20; x <= 80; x += 10) {
    m.MouseMove(x, 50);
    Tick();
  }
  m.MouseButton(true, false);
  Tick();
  std::vector<int> expected(7, PR_ONMOUSEMOVE);
  expected.push_back(PR_ONLBTNUP);
  EXPECT_EQ(codes, expected);
  // After the release the pointer is off A: the next tick says so.
  codes.clear();
  Tick();
  EXPECT_EQ(codes, std::vector<int>{PR_ONMOUSEOUT});
}

TEST_F(InputTest, FocusFollowsVisibilityAndTheActiveRoot) {
  box->SetHandleKey(true);
  box->SetOnFocusIn("p:in");
  box->SetOnFocusOut("p:out");
  Tick();
  EXPECT_EQ(m.GetFocusObject(), box);
  EXPECT_EQ(codes, std::vector<int>{PR_ONFOCUSIN});
  codes.clear();
  box->SetVisible(false);
  EXPECT_EQ(m.GetFocusObject(), nullptr);
  EXPECT_TRUE(m.PickFocus);
  Tick();
  EXPECT_EQ(m.GetFocusObject(), nullptr);
  box->SetVisible(true);
  Tick();
  EXPECT_EQ(m.GetFocusObject(), box);
  // Showing the other root drops a focus that is not on it.
  m.Flip(1, 0, false, false, 0, 0);
  EXPECT_EQ(m.GetFocusObject(), nullptr);
  EXPECT_TRUE(m.PickFocus);
}

TEST_F(InputTest, FreedHoverAndFocusAreForgotten) {
  box->SetHandleKey(true);
  m.MouseMove(15, 15);
  Tick();
  ASSERT_EQ(m.GetFocusObject(), box);
  const TObjectHandle h = box->Handle();
  box->Scrap();
  m.Idle_();
  EXPECT_EQ(m.Lookup(h), nullptr);
  EXPECT_EQ(m.GetFocusObject(), nullptr);
  auto* other = NewOrbaObject<TOrbaBox>(&m);
  other->SetParent(m.ActiveBase());
  other->SetBounds(10, 10, 20, 20);
  other->SetOnMouseIn("p:in");
  codes.clear();
  Tick();
  EXPECT_EQ(codes, std::vector<int>{PR_ONMOUSEIN});
}


// A box that shows a bitmap of its own at a zoom.
class TZoomBox final : public TOrbaBox {
 public:
  using TOrbaBox::TOrbaBox;
  int32_t Zoom = 256;
  mutable TDIBX Bitmap;
  int32_t GetZoomX() const override { return Zoom; }
  int32_t GetZoomY() const override { return Zoom; }
  TCustomDIBX* GetDIB() const override { return Bitmap.IsEmpty() ? nullptr : const_cast<TDIBX*>(&Bitmap); }
};

TEST(GeometryTest, ZoomedPositions) {
  TOrbaBaseList m;
  m.SetWidth(kW);
  m.SetHeight(kH);
  auto* b = NewOrbaObject<TZoomBox>(&m);
  b->SetParent(m.ActiveBase());
  b->Zoom = 128;
  b->SetPosZoomed(true);
  b->SetLeft(101);
  EXPECT_EQ(b->GetScreenLeft(), 50);
  b->SetLeft(-101);
  EXPECT_EQ(b->GetScreenLeft(), -50);
  b->SetOffsetX(10);  // the anchor is scaled too
  EXPECT_EQ(b->GetScreenLeft(), -55);

  // Under a parent that shows a bitmap at the same zoom, positions follow
  // the parent's bitmap scale: 200 pixels shown over a width of 100.
  auto* parent = NewOrbaObject<TZoomBox>(&m);
  parent->SetParent(m.ActiveBase());
  parent->Bitmap.SetSize(200, 10, 32);
  parent->SetBounds(5, 0, 100, 10);
  auto* child = NewOrbaObject<TZoomBox>(&m);
  child->Bitmap.SetSize(4, 4, 32);
  child->SetParent(parent);
  child->SetPosZoomed(true);
  child->SetLeft(41);
  EXPECT_EQ(child->GetScreenLeft(), 5 + 21);  // 41 / 2 rounded half up
  // A parent of width 0 takes the plain path.
  parent->SetWidth(0);
  EXPECT_EQ(child->GetScreenLeft(), 5 + 41);
}

}  // namespace
}  // namespace orba

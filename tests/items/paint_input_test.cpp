// Painting through dirty rectangles against a full repaint, hit-testing and
// z-order, button groups, zoomed positions, and the per-tick keyboard and
// mouse state.
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
  auto colour = [&](uint32_t none_one_in) { return rng() % none_one_in == 0 ? -1 : static_cast<int32_t>(rng() & 0xFFFFFF); };
  TOrbaBox* b = boxes[rng() % boxes.size()];
  switch (rng() % 13) {
    case 0: b->SetLeft(pick(-20, kW)); break;
    case 1: b->SetTop(pick(-20, kH)); break;
    case 2: b->SetWidth(pick(0, 50)); break;
    case 3: b->SetHeight(pick(0, 40)); break;
    case 4: b->SetColor(colour(5)); break;
    case 5: b->SetAlpha(pick(0, 520)); break;
    case 6: b->SetBorderWidth(pick(0, 6)); break;
    case 7: b->SetBorderColor(colour(4)); break;
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

TEST(IncrementalPaint, EqualsAFullRepaint) {
  std::mt19937 rng(20261206);
  for (int scene = 0; scene < 200; ++scene) {
    SCOPED_TRACE(scene);
    TOrbaBaseList m;
    m.SetWidth(kW);
    m.SetHeight(kH);
    TOrbaBase* root = m.ActiveBase();
    root->SetColor(static_cast<int32_t>(rng() & 0xFFFFFF));
    std::vector<TOrbaBox*> boxes;
    for (int i = 0, count = 2 + static_cast<int>(rng() % 6); i < count; ++i) {
      auto* b = boxes.emplace_back(NewOrbaObject<TOrbaBox>(&m));
      b->SetParent(root);
      b->SetBounds(static_cast<int32_t>(rng() % kW) - 10, static_cast<int32_t>(rng() % kH) - 10,
                   static_cast<int32_t>(rng() % 40), static_cast<int32_t>(rng() % 30));
      b->SetColor(static_cast<int32_t>(rng() & 0xFFFFFF));
    }
    auto paint = [&](bool all) {
      if (all) root->InvalidateAll();
      m.Draw();
      root->Dirty.Clear();
      return Pixels(m.Composition);
    };
    paint(true);
    for (int round = 0; round < 4; ++round) {
      for (int i = 0, changes = 1 + static_cast<int>(rng() % 4); i < changes; ++i) Mutate(rng, boxes, m);
      const std::vector<uint32_t> incremental = paint(false);
      ASSERT_EQ(paint(true), incremental) << "round " << round;
    }
  }
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

class PaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.SetWidth(kW);
    m.SetHeight(kH);
  }
  template <class T = TOrbaBox>
  T* Make(const std::string& name, int32_t priority = 0) {
    auto* b = NewOrbaObject<T>(&m);
    b->SetName(name);
    b->SetParent(root);
    b->SetBounds(0, 0, 20, 20);
    b->SetPriority(priority);
    return b;
  }
  TOrbaBaseList m;
  TOrbaBase* root = m.ActiveBase();
};

TEST_F(PaintTest, ButtonGroupKeepsOneSelected) {
  std::vector<TGroupBox*> g{Make<TGroupBox>("g0"), Make<TGroupBox>("g1"), Make<TGroupBox>("g2")};
  g[2]->Group = 2;
  auto selected = [&] { return std::vector<bool>{g[0]->Selected, g[1]->Selected, g[2]->Selected}; };
  // Nothing selected and all-up not allowed: the first member is chosen.
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

TEST_F(PaintTest, ZoomedPositions) {
  auto* b = NewOrbaObject<TZoomBox>(&m);
  b->SetParent(root);
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
  parent->SetParent(root);
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

// The box "A" at (10, 10), 20 x 20, under the pointer's and keys' updates.
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
  // Answers the events' codes.
  std::vector<int> Tick() {
    GameClock += 15;
    m.UpdateInput();
    std::vector<int> codes;
    for (int32_t i = 0; i < m.Events.Count(); ++i) codes.push_back(m.Events.GetItem(i)->Code);
    m.Events.Clear();
    return codes;
  }
  TOrbaBaseList m;
  TOrbaBox* box = nullptr;
};

TEST_F(InputTest, HeldKeyRepeatsAfter300MsThenEvery50Ms) {
  box->SetHandleKey(true);
  box->SetOnKeyDown("p:down");
  box->SetOnKeyRepeat("p:repeat");
  box->SetOnKeyUp("p:up");
  Tick();  // the focus is picked
  ASSERT_EQ(m.GetFocusObject(), box);
  m.SetKeyState(65, true);
  m.SetKeyClick(65, true);
  std::vector<int32_t> downs, repeats;
  for (int32_t elapsed = 0; elapsed <= 1000; elapsed += 15) {
    for (int code : Tick()) {
      if (code == PR_ONKEYDOWN) downs.push_back(elapsed);
      if (code == PR_ONKEYREPEAT) repeats.push_back(elapsed);
    }
    EXPECT_TRUE(m.GetKeyPush(65) && (elapsed > 0 || (m.GetKeyClick(65) && m.GetKeyRepeat(65)))) << elapsed;
  }
  EXPECT_EQ(downs, std::vector<int32_t>{0});
  // The press counts as the first repeat; the n-th auto-repeat falls due in
  // the first update at least 300 + 50 (n - 1) ms after the press (the
  // update at E has counted E + 15 ms) and is sent at the next update.
  EXPECT_EQ(repeats, (std::vector<int32_t>{0, 300, 360, 405, 450, 510, 555, 600, 660, 705, 750, 810, 855, 900, 960}));
  m.SetKeyState(65, false);
  const std::vector<int> up = Tick();
  EXPECT_EQ(up.empty() ? -1 : up.back(), PR_ONKEYUP);
  EXPECT_FALSE(m.GetKeyPush(65));
}

TEST_F(InputTest, DragOffKeepsCaptureUntilRelease) {
  box->SetOnLBtnDown("p:down");
  box->SetOnLBtnUp("p:up");
  box->SetOnMouseMove("p:move");
  box->SetOnMouseOut("p:out");
  box->SetOnMouseIn("p:in");
  m.MouseMove(15, 15);
  EXPECT_EQ(Tick(), (std::vector<int>{PR_ONMOUSEIN, PR_ONMOUSEMOVE}));
  m.MouseButton(true, true);
  EXPECT_EQ(Tick(), std::vector<int>{PR_ONLBTNDOWN});
  EXPECT_FALSE(m.ActiveBase()->GetLPush());  // captured by A
  std::vector<int> codes;
  auto take = [&] {
    for (int code : Tick()) codes.push_back(code);
  };
  for (int32_t x = 20; x <= 80; x += 10) {
    m.MouseMove(x, 50);
    take();
  }
  m.MouseButton(true, false);
  take();
  std::vector<int> expected(7, PR_ONMOUSEMOVE);
  expected.push_back(PR_ONLBTNUP);
  EXPECT_EQ(codes, expected);
  // After the release the pointer is off A: the next tick says so.
  EXPECT_EQ(Tick(), std::vector<int>{PR_ONMOUSEOUT});
}

TEST_F(InputTest, FocusFollowsVisibilityAndTheActiveRoot) {
  box->SetHandleKey(true);
  box->SetOnFocusIn("p:in");
  box->SetOnFocusOut("p:out");
  EXPECT_EQ(Tick(), std::vector<int>{PR_ONFOCUSIN});
  EXPECT_EQ(m.GetFocusObject(), box);
  box->SetVisible(false);
  EXPECT_TRUE(m.GetFocusObject() == nullptr && m.PickFocus);
  Tick();
  EXPECT_EQ(m.GetFocusObject(), nullptr);
  box->SetVisible(true);
  Tick();
  EXPECT_EQ(m.GetFocusObject(), box);
  // Showing the other root drops a focus that is not on it.
  m.Flip({.Index = 1});
  EXPECT_TRUE(m.GetFocusObject() == nullptr && m.PickFocus);
}

TEST_F(InputTest, FreedHoverAndFocusAreForgotten) {
  box->SetHandleKey(true);
  m.MouseMove(15, 15);
  Tick();
  ASSERT_EQ(m.GetFocusObject(), box);
  const TObjectHandle h = box->Handle();
  box->Scrap();
  m.Idle_();
  EXPECT_TRUE(m.Lookup(h) == nullptr && m.GetFocusObject() == nullptr);
  auto* other = NewOrbaObject<TOrbaBox>(&m);
  other->SetParent(m.ActiveBase());
  other->SetBounds(10, 10, 20, 20);
  other->SetOnMouseIn("p:in");
  EXPECT_EQ(Tick(), std::vector<int>{PR_ONMOUSEIN});
}

}  // namespace
}  // namespace orba

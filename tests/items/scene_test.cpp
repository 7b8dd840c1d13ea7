// Naming, the saved scene (round trips, damaged streams), the timer item and
// the box item's drawing and afterimages.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/game_clock.h"
#include "core/streams/big_stream.h"
#include "items/base_list.h"
#include "items/box.h"
#include "items/timer.h"
#include "support/test_support.h"

namespace orba {
namespace {

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GameClock = 0;
    FrameTime = 15;
    m.SetWidth(64);
    m.SetHeight(48);
  }
  TOrbaBox* Box(const std::string& name, TOrbaControl* parent, TRect r, int32_t color) {
    auto* b = NewOrbaObject<TOrbaBox>(&m);
    if (!name.empty()) b->SetName(name);
    b->SetParent(parent != nullptr ? parent : m.ActiveBase());
    b->SetBounds(r.Left, r.Top, r.Right, r.Bottom);
    b->SetColor(color);
    return b;
  }
  // A timer that fires the handler "p:tick" every Delay ms.
  TOrbaTimer* Timer(const std::string& name, int32_t delay, bool auto_scrap = false) {
    auto* t = NewOrbaObject<TOrbaTimer>(&m);
    if (!name.empty()) t->SetName(name);
    t->SetOnNotify("p:tick");
    t->SetDelay(delay);
    t->SetAutoScrap(auto_scrap);
    return t;
  }
  void Tick(int times = 1) {
    for (int i = 0; i < times; ++i) {
      GameClock += 15;
      m.Idle_();
    }
  }
  static std::vector<uint8_t> Save(const TOrbaBaseList& manager) {
    TKsMemoryStream s;
    manager.SaveToStream(s);
    return s.MutableBytes();
  }
  static void Load(TOrbaBaseList& manager, const std::vector<uint8_t>& bytes) {
    TKsMemoryStream s(bytes);
    manager.LoadFromStream(s, kSceneVersion);
  }
  uint32_t Pixel(int32_t x, int32_t y) {
    m.ActiveBase()->InvalidateAll();
    m.Draw();
    m.ActiveBase()->Dirty.Clear();
    return m.Composition.GetPixel(x, y) & 0xFFFFFF;
  }

  TOrbaBaseList m;
};

TEST_F(SceneTest, AutomaticNamesAndRenaming) {
  auto* a = NewOrbaObject<TOrbaBox>(&m);
  auto* b = NewOrbaObject<TOrbaBox>(&m);
  EXPECT_EQ(a->GetName() + " " + b->GetName(), "object0 object1");
  // A visual item taking a name in use renames the other one and keeps it.
  auto* c = NewOrbaObject<TOrbaBox>(&m);
  a->SetName("btn");
  b->SetName("btn");
  EXPECT_EQ(a->GetName() + " " + b->GetName(), "btn_2 btn");
  c->SetName("btn");
  EXPECT_EQ(b->GetName() + " " + c->GetName(), "btn_3 btn");
  EXPECT_EQ(m.GetObjectCount(), 3);
  // A non-visual item taking a name in use scraps the other one.
  TOrbaTimer* t1 = Timer("tick", 0);
  TOrbaTimer* t2 = Timer("tick", 0);
  EXPECT_TRUE(t1->IsScrapped() && t1->GetName().empty());
  EXPECT_EQ(m.FindObject("tick"), t2);
  m.Idle_();
  EXPECT_EQ(m.IndexOfObject(t1), -1);
  // Lookups of the roots by their reserved names.
  EXPECT_EQ((std::vector<TOrbaObject*>{m.FindObject(""), m.FindObject("\x01"), m.FindControl("\x01" "BASE1")}),
            (std::vector<TOrbaObject*>{m.GetBase(0), m.GetBase(1), m.GetBase(1)}));
}

TEST_F(SceneTest, SaveLoadSaveIsByteIdentical) {
  TOrbaBox* a = Box("a", nullptr, {4, 5, 20, 10}, 0x123456);
  a->SetAlpha(300);
  a->SetBorderWidth(2);
  a->SetBorderColor(0xFF);
  a->SetOnLBtnDown("p:down");
  a->SetHandleKey(true);
  a->SetTag("tag");
  a->SetPriority(3);
  a->SetClipWidth(5);
  a->SetClipHeight(6);
  a->SetBlurSpan(40);
  a->SetBlurDelay(200);
  Box("child", a, {1, 1, 3, 3}, 0xFF00);
  Box("", m.GetBase(1), {0, 0, 8, 8}, 0);
  Timer("t", 500, true);
  TArrayString args;
  args.Add("1");
  m.Events.QueueEvent(a->Handle(), "p:down", &args, PR_ONLBTNDOWN);
  m.SetFocusObject(a);

  const std::vector<uint8_t> first = Save(m);
  TOrbaBaseList loaded;
  Load(loaded, first);
  EXPECT_EQ(Save(loaded), first);
  TOrbaObject* la = loaded.FindObject("a");
  ASSERT_NE(la, nullptr);
  EXPECT_EQ((std::vector<int32_t>{loaded.Width, la->GetAlpha(), la->GetChildCount()}),
            (std::vector<int32_t>{64, 300, 1}));
  EXPECT_EQ(loaded.GetFocusObject(), la);
  ASSERT_EQ(loaded.Events.Count(), 1);
  EXPECT_EQ(loaded.Events.GetItem(0)->Sender, la->Handle());
  // Loading into a manager that already holds a scene replaces it.
  Load(m, first);
  EXPECT_EQ(Save(m), first);
}

TEST_F(SceneTest, HandWorkedObjectHeadAndTheOldestSlotVersion) {
  TOrbaTimer* t = Timer("T", 7);
  t->SetPriority(2);
  t->SetSubPriority(1);
  t->SetTag("g");
  t->SetOnNotify("x");
  TKsMemoryStream s;
  t->SaveToStream(s);
  // Name "T", priority, sub-priority, tag "g", OnNotify "x", Delay, flags.
  EXPECT_EQ(test::ToHex(s.MutableBytes()),
            "01 00 00 00 54 02 00 00 00 01 00 00 00 01 00 00 00 67 01 00 00 00 78 07 00 00 00 00 00 00");
  // Version 107, the oldest game slot that loads, and 119: the same head
  // without the tag (from 120): name "U", priority 2, sub-priority 3,
  // OnNotify "x", Delay 7, Paused, AutoScrap and Fired set.
  for (int32_t version : {107, kSceneTagVersion - 1}) {
    TOrbaTimer* u = Timer("", 0);
    TKsMemoryStream o(test::FromHex("01 00 00 00 55 02 00 00 00 03 00 00 00 01 00 00 00 78 07 00 00 00 01 01 01"));
    u->LoadFromStream(o, version);
    EXPECT_EQ(u->GetName() + "|" + u->GetTag() + "|" + std::to_string(u->GetSubPriority()) + "|" + std::to_string(u->Paused) +
                  std::to_string(u->AutoScrap) + std::to_string(u->Fired),
              "U||3|111");
    EXPECT_EQ(o.GetPosition(), o.GetSize());
  }
}

TEST_F(SceneTest, UncreatableItemKindFailsAndKeepsTheGame) {
  Box("keep", nullptr, {0, 0, 4, 4}, 1);
  const std::vector<uint8_t> bytes = Save(m);
  TOrbaBaseList other;
  NewOrbaObject<TOrbaTimer>(&other)->SetName("t");
  const std::vector<uint8_t> with_timer = Save(other);
  // The timer's type byte follows the width, height, the two roots and the
  // object count 1.
  TKsMemoryStream roots;
  other.GetBase(0)->SaveToStream(roots);
  other.GetBase(1)->SaveToStream(roots);
  const size_t type_at = 12 + roots.MutableBytes().size() + 4;
  ASSERT_EQ(with_timer[type_at], CT_TIMER);
  for (uint8_t bad : {uint8_t{0}, uint8_t{1}, uint8_t{10}, uint8_t{28}, uint8_t{127}, uint8_t{CT_BOX}}) {
    std::vector<uint8_t> broken = with_timer;
    broken[type_at] = bad;
    EXPECT_THROW(Load(m, broken), EReadError) << int(bad);
    EXPECT_NE(m.FindObject("keep"), nullptr);
  }
  EXPECT_EQ(Save(m), bytes);
}

TEST_F(SceneTest, MutatedScenesGiveLoadErrorsOnly) {
  TOrbaBox* a = Box("a", nullptr, {4, 5, 20, 10}, 0x123456);
  Box("b", a, {1, 1, 3, 3}, 0xFF00);
  Timer("", 0);
  m.Events.QueueEvent(a->Handle(), "p:x", nullptr, PR_ONMOUSEIN);
  const std::vector<uint8_t> good = Save(m);
  std::mt19937 rng(15);
  int loaded = 0;
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> bytes = good;
    const int kind = static_cast<int>(rng() % 3);
    if (kind == 0) bytes.resize(rng() % bytes.size());
    for (int i = 0, flips = kind == 0 ? 0 : 1 + static_cast<int>(rng() % 4); i < flips; ++i) {
      const size_t at = rng() % bytes.size();
      bytes[at] = kind == 1 ? static_cast<uint8_t>(rng()) : static_cast<uint8_t>(bytes[at] ^ 0x80);
    }
    TOrbaBaseList target;
    target.SetWidth(16);
    target.SetHeight(16);
    try {
      Load(target, bytes);
      ++loaded;
      // A scene that loaded can be painted, ticked and saved.
      target.ActiveBase()->InvalidateAll();
      target.Draw();
      target.UpdateInput();
      target.Idle_();
      Save(target);
    } catch (const EOrbaError&) {
      EXPECT_EQ(target.GetObjectCount(), 0);
    }
  }
  EXPECT_GT(loaded, 0);
}

TEST_F(SceneTest, AfterimagesFollowAMovingBoxOnly) {
  TOrbaBox* b = Box("b", nullptr, {0, 0, 10, 10}, 0xFFFFFF);
  b->SetBlurSpan(30);
  b->SetBlurDelay(90);
  Tick(20);
  EXPECT_EQ(m.GetObjectCount(), 1);
  b->SetLeft(5);
  Tick(2);
  ASSERT_EQ(m.GetObjectCount(), 2);
  auto* blur = static_cast<TOrbaBlurBox*>(m.GetObject(1));
  // Half the box's alpha, already faded by the one tick of the pass that
  // made it: 127 - round(15 / 90 * 127).
  EXPECT_EQ(std::make_pair(blur->StartAlpha, blur->GetAlpha()), std::make_pair(127, 106));
  EXPECT_EQ(blur->GetName(), "b0");
  // It sorts below its source and fades out within the delay.
  EXPECT_EQ(m.ActiveBase()->GetChild(0), blur);
  Tick(7);
  EXPECT_EQ(m.IndexOfObject(blur), -1);
  EXPECT_EQ(m.GetObjectCount(), 1);
}

}  // namespace
}  // namespace orba

// What one item may allocate and how soon a deleted one goes: the
// screen-sized limit of the sides that size an item's pictures (a caption's
// font height and line space, a fire's field), and the objects a script
// deletes, freed between its commands when nothing holds them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "items/box.h"
#include "items/choice_items_support.h"
#include "items/fire.h"
#include "items/label.h"
#include "items/surface_limits.h"
#include "items/timer.h"

namespace orba {
namespace {

struct TLimitCase {
  std::string Name;
  int32_t Width, Height, Limit;
};

class ItemSideLimitTest : public ::testing::TestWithParam<TLimitCase> {};

TEST_P(ItemSideLimitTest, FollowsTheLargerScreenSideWithinItsBounds) {
  const TLimitCase& c = GetParam();
  TOrbaBaseList m;
  m.SetWidth(c.Width);
  m.SetHeight(c.Height);
  EXPECT_EQ(ItemSideLimit(&m), c.Limit);
  EXPECT_EQ(ClampItemSide(65535, &m), c.Limit);
  EXPECT_EQ(ClampItemSide(-65535, &m), -c.Limit);
  EXPECT_EQ(ClampItemSide(int64_t{INT32_MAX} * 4, &m), c.Limit);
  EXPECT_EQ(ClampItemSide(-7, &m), -7);
  EXPECT_EQ(ClampItemSide(kMinItemSideLimit, &m), kMinItemSideLimit);
}

INSTANTIATE_TEST_SUITE_P(Screens, ItemSideLimitTest,
                         ::testing::Values(TLimitCase{"Small", 64, 48, kMinItemSideLimit},
                                           TLimitCase{"Wide", 1920, 1080, 1920},
                                           TLimitCase{"Tall", 600, 2400, 2400},
                                           TLimitCase{"BeyondTheLargestScreen", 8192, 8192, 8192}),
                         [](const auto& info) { return info.param.Name; });

TEST(ItemSideLimit, WithoutAManagerIsTheFloor) { EXPECT_EQ(ItemSideLimit(nullptr), kMinItemSideLimit); }

class ItemMemoryTest : public test::ChoiceItemsTest {};

// A line space of 65535 once made a bitmap 65,547 rows tall for one line.
TEST_F(ItemMemoryTest, CaptionLineSpaceAndFontHeightStopAtTheLimit) {
  auto* l = Make<TOrbaLabel>();
  l->SetFontHeight(12);
  l->SetText("AB");
  const int32_t width = l->NaturalWidth;
  l->SetLineSpace(65535);
  EXPECT_EQ(l->NaturalHeight, 12 + kMinItemSideLimit);
  EXPECT_EQ(l->TextBitmap.Height(), 12 + kMinItemSideLimit);
  EXPECT_EQ(l->TextBitmap.Width(), width);
  // The stored values stay what the script gave.
  EXPECT_EQ(l->GetLineSpace(), 65535);
  l->SetText("AB\r\nC");
  EXPECT_EQ(l->NaturalHeight, 2 * (12 + kMinItemSideLimit));
  l->SetLineSpace(0);
  l->SetFontHeight(1000000);
  EXPECT_EQ(l->NaturalHeight, 2 * kMinItemSideLimit);
  EXPECT_EQ(l->GetFontHeight(), 1000000);
}

TEST_F(ItemMemoryTest, FireFieldStopsAtTheLimit) {
  auto* f = Make<TOrbaFire>();
  f->SetOrigWidth(2000000000);
  f->SetOrigHeight(3);
  f->Idle();
  EXPECT_EQ(f->Bitmap.Width(), kMinItemSideLimit);
  EXPECT_EQ(f->Bitmap.Height(), 3);
  EXPECT_EQ(f->Noise.size(), size_t{kMinItemSideLimit} * 3);
  EXPECT_EQ(f->GetOrigWidth(), 2000000000);
}

// Each case scraps one box and says what still holds it.
struct TEarlyFreeCase {
  std::string Name;
  bool Freed;
};

class EarlyFreeTest : public test::ChoiceItemsTest, public ::testing::WithParamInterface<TEarlyFreeCase> {};

TEST_P(EarlyFreeTest, ScrappedObjectGoesBeforeTheIdlePassUnlessHeld) {
  const TEarlyFreeCase& c = GetParam();
  auto* box = Make<TOrbaBox>();
  box->SetName("b");
  const TObjectHandle h = box->Handle();
  std::vector<TObjectHandle> held;
  if (c.Name == "WaitingEvent") m.Events.QueueEvent(h, "p:x", nullptr, PR_ONNOTIFY);
  if (c.Name == "RunningEvent") {
    m.Events.QueueEvent(h, "p:x", nullptr, PR_ONNOTIFY);
    m.Events.SetLevel(*m.Events.GetItem(0), 1);
  }
  if (c.Name == "HandlerSender") held.push_back(h);
  if (c.Name == "HasChildren") {
    auto* child = Make<TOrbaBox>();
    child->SetName("child");
    child->SetParent(box);
  }
  box->Scrap();
  ASSERT_TRUE(m.Services.HasScrappedObjects());
  m.Services.FreeScrappedObjects(held);
  EXPECT_EQ(m.Lookup(h) == nullptr, c.Freed);
  EXPECT_EQ(m.ScrapList.size(), c.Freed ? 0U : 1U);
  // The idle pass frees what was held.
  m.Events.Clear();
  m.Idle_();
  EXPECT_EQ(m.Lookup(h), nullptr);
  EXPECT_EQ(m.FindObject("child"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Holders, EarlyFreeTest,
                         ::testing::Values(TEarlyFreeCase{"NothingHoldsIt", true},
                                           TEarlyFreeCase{"WaitingEvent", false},
                                           TEarlyFreeCase{"RunningEvent", false},
                                           TEarlyFreeCase{"HandlerSender", false},
                                           TEarlyFreeCase{"HasChildren", false}),
                         [](const auto& info) { return info.param.Name; });

// A held object is judged once and then waits for the idle pass; objects
// scrapped later are still judged.
TEST_F(ItemMemoryTest, HeldScrapIsJudgedOnceAndLaterOnesStillGo) {
  auto* a = Make<TOrbaBox>();
  auto* b = Make<TOrbaBox>();
  const TObjectHandle ha = a->Handle(), hb = b->Handle();
  a->Scrap();
  const std::vector<TObjectHandle> held{ha};
  m.Services.FreeScrappedObjects(held);
  EXPECT_FALSE(m.Services.HasScrappedObjects());
  m.Services.FreeScrappedObjects({});
  EXPECT_NE(m.Lookup(ha), nullptr);
  b->Scrap();
  ASSERT_TRUE(m.Services.HasScrappedObjects());
  m.Services.FreeScrappedObjects({});
  EXPECT_EQ(m.Lookup(hb), nullptr);
  EXPECT_NE(m.Lookup(ha), nullptr);
  m.Idle_();
  EXPECT_EQ(m.Lookup(ha), nullptr);
  EXPECT_FALSE(m.Services.HasScrappedObjects());
}

// A timer replaced by name goes at once; the control that took its name
// from a caption renames the caption, which stays.
TEST_F(ItemMemoryTest, ReplacedTimerGoesAtOnceRenamedCaptionStays) {
  auto* first = NewOrbaObject<TOrbaTimer>(&m);
  first->SetName("t");
  const TObjectHandle gone = first->Handle();
  NewOrbaObject<TOrbaTimer>(&m)->SetName("t");
  auto* caption = Make<TOrbaLabel>();
  caption->SetName("c");
  Make<TOrbaLabel>()->SetName("c");
  m.Services.FreeScrappedObjects({});
  EXPECT_EQ(m.Lookup(gone), nullptr);
  EXPECT_EQ(m.FindObject("c_2"), caption);
  EXPECT_TRUE(m.ScrapList.empty());
}

}  // namespace
}  // namespace orba

// What one item may allocate and how long a deleted one holds it: the
// screen-sized limit of the sides that size an item's pictures (a caption's
// font height and line space, a fire's field), and the objects a script
// deletes, which stay listed to the end of the tick but let their pictures
// go at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/streams/stream_encoding.h"
#include "items/base_list.h"
#include "items/choice_items_support.h"
#include "items/fire.h"
#include "items/image_item.h"
#include "items/label.h"
#include "items/message_window.h"
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

// A scrapped item stays in the manager's list, nameless, until the end of
// the idle pass, whatever holds it; its bitmaps go at once. Each case makes
// one item kind with a picture and says whether it still holds one.
class ScrappedItemTest;

struct TScrapCase {
  std::string Name;
  std::function<TOrbaControl*(ScrappedItemTest&)> Make;
  std::function<bool(TOrbaControl&)> HoldsPicture;
  // What RestoreSurface brings back: nothing (an image's picture set from
  // outside has no source to come back from), the pictures (a message
  // window renders its page anew), or the very screen shown before.
  enum TRestore { kNothing, kPicture, kSameScreen } Restores = kSameScreen;
};

class ScrappedItemTest : public test::ChoiceItemsTest, public ::testing::WithParamInterface<TScrapCase> {
 public:
  template <class T>
  T* MakeItem() {
    return Make<T>();
  }
};

TEST_P(ScrappedItemTest, StaysListedNamelessUntilTheIdlePassAndDropsItsPictureAtOnce) {
  const TScrapCase& c = GetParam();
  TOrbaControl* item = c.Make(*this);
  item->SetName("gone");
  ASSERT_TRUE(c.HoldsPicture(*item));
  const TObjectHandle h = item->Handle();
  // A handler of its own waits, as a running handler's sender would.
  m.Events.QueueEvent(h, "p:x", nullptr, PR_ONNOTIFY);
  item->Scrap();
  EXPECT_FALSE(c.HoldsPicture(*item));
  EXPECT_EQ(m.Lookup(h), item);
  EXPECT_EQ(m.FindObject("gone"), nullptr);
  std::vector<std::string> names;
  EXPECT_EQ(m.ListCompo(names, 0, &m), 1);
  EXPECT_EQ(names, std::vector<std::string>{""});
  // Nothing draws it meanwhile, and a second scrap changes nothing.
  Paint();
  EXPECT_EQ(Screen(), std::vector<uint32_t>(64 * 48, 0));
  item->Scrap();
  EXPECT_EQ(m.ScrapList.size(), 1U);
  m.Idle_();
  EXPECT_EQ(m.Lookup(h), nullptr);
  EXPECT_EQ(m.GetObjectCount(), 0);
  EXPECT_TRUE(m.ScrapList.empty());
}

std::vector<TScrapCase> ScrapCases() {
  return {
    TScrapCase{"Caption",
               [](ScrappedItemTest& t) {
                 auto* l = t.MakeItem<TOrbaLabel>();
                 l->SetFontColor(0xFFFFFF);
                 l->SetText("AB");
                 return l;
               },
               [](TOrbaControl& o) {
                 auto& l = static_cast<TOrbaLabel&>(o);
                 return !l.TextBitmap.IsEmpty() && !l.MaskBitmap.IsEmpty();
               }},
    TScrapCase{"Image",
               [](ScrappedItemTest& t) {
                 auto* i = t.MakeItem<TOrbaCustomImage>();
                 auto picture = std::make_shared<TDIBX>();
                 picture->SetSize(16, 16, 32);
                 picture->Fill(0xFFFFFF);
                 i->Surface = std::move(picture);
                 i->SetWidth(16);
                 i->SetHeight(16);
                 return i;
               },
               [](TOrbaControl& o) { return o.GetDIB() != nullptr; }, TScrapCase::kNothing},
    TScrapCase{"MessageWindow",
               [](ScrappedItemTest& t) {
                 auto* w = t.MakeItem<TOrbaMes>();
                 w->SetBounds(0, 8, 64, 40);
                 w->SetFontHeight(16);
                 w->SetFontColor(0xFFFFFF);
                 w->SetText("AB");
                 // The characters appear one by one.
                 for (int i = 0; i < 20; ++i, GameClock += 15) w->Idle();
                 return w;
               },
               [](TOrbaControl& o) {
                 TKsWord& word = static_cast<TOrbaMes&>(o).Word;
                 return !word.TextSurface.IsEmpty() && !word.Coverage.IsEmpty();
               },
               TScrapCase::kPicture}};
}

INSTANTIATE_TEST_SUITE_P(Kinds, ScrappedItemTest, ::testing::ValuesIn(ScrapCases()),
                         [](const auto& info) { return info.param.Name; });

// Around a display change the same items drop their pictures and make them
// again; a caption shows what it showed.
class RestoredItemTest : public ScrappedItemTest {};

TEST_P(RestoredItemTest, PicturesComeBackAfterARestore) {
  const TScrapCase& c = GetParam();
  TOrbaControl* item = c.Make(*this);
  item->SetName("kept");
  Paint();
  const std::vector<uint32_t> before = Screen();
  ASSERT_NE(before, std::vector<uint32_t>(64 * 48, 0));
  m.FreeSurface();
  EXPECT_FALSE(c.HoldsPicture(*item));
  m.RestoreSurface();
  EXPECT_TRUE(c.HoldsPicture(*item));
  Paint();
  if (c.Restores == TScrapCase::kSameScreen) {
    EXPECT_EQ(Screen(), before);
  }
}

std::vector<TScrapCase> RestorableCases() {
  std::vector<TScrapCase> cases = ScrapCases();
  std::erase_if(cases, [](const TScrapCase& c) { return c.Restores == TScrapCase::kNothing; });
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Kinds, RestoredItemTest, ::testing::ValuesIn(RestorableCases()),
                         [](const auto& info) { return info.param.Name; });

// The screen-sized caption of a huge line space holds megabytes; a loop
// that makes and deletes a thousand of them holds one at a time.
TEST_F(ItemMemoryTest, CaptionsDeletedInALoopHoldOneBitmapAtATime) {
  size_t most = 0;
  for (int i = 0; i < 1000; ++i) {
    auto* l = Make<TOrbaLabel>();
    l->SetName("gone");
    l->SetLineSpace(65535);
    l->SetText("tall tall");
    size_t held = 0;
    for (TOrbaObject* o : m.Objects) {
      auto* caption = static_cast<TOrbaLabel*>(o);
      held += caption->TextBitmap.IsEmpty() ? 0 : 1;
    }
    most = std::max(most, held);
    l->Scrap();
  }
  EXPECT_EQ(most, 1U);
  EXPECT_EQ(m.GetObjectCount(), 1000);
  m.Idle_();
  EXPECT_EQ(m.GetObjectCount(), 0);
}

// A timer replaced by name and a caption that gives way to a control of
// its name: the timer stays listed, nameless, to the end of the tick; the
// caption takes a numbered name and stays.
TEST_F(ItemMemoryTest, ReplacedTimerWaitsForTheIdlePassRenamedCaptionStays) {
  auto* first = NewOrbaObject<TOrbaTimer>(&m);
  first->SetName("t");
  const TObjectHandle gone = first->Handle();
  NewOrbaObject<TOrbaTimer>(&m)->SetName("t");
  auto* caption = Make<TOrbaLabel>();
  caption->SetName("c");
  Make<TOrbaLabel>()->SetName("c");
  EXPECT_EQ(m.Lookup(gone), first);
  EXPECT_TRUE(first->GetName().empty());
  EXPECT_EQ(m.IndexOfObject(first), 0);
  EXPECT_EQ(m.FindObject("c_2"), caption);
  m.Idle_();
  EXPECT_EQ(m.Lookup(gone), nullptr);
  EXPECT_EQ(m.FindObject("c_2"), caption);
  EXPECT_TRUE(m.ScrapList.empty());
}

}  // namespace
}  // namespace orba

namespace orba {
namespace {

// A saved scene's size drives three screen bitmaps: one beyond the largest
// screen a game may have (in pixels, though each side is allowed) is refused
// before any is made, and the scene in hand stays.
TEST(SceneSize, BeyondTheLargestScreenIsRefusedAndTheSceneStays) {
  // The size comes first in every version of the scene; the oldest read.
  constexpr int32_t kSceneVersion = 107;
  const std::pair<int32_t, int32_t> sizes[] = {{8192, 8192}, {7680, 4320}, {6144, 4609}, {8192, 3457}};
  for (const auto& [width, height] : sizes) {
    TOrbaBaseList m;
    m.SetWidth(64);
    m.SetHeight(48);
    TKsMemoryStream s;
    WriteStreamInt(s, width);
    WriteStreamInt(s, height);
    s.SetPosition(0);
    EXPECT_THROW(m.LoadFromStream(s, kSceneVersion), ESceneError) << width << " x " << height;
    EXPECT_EQ(m.Width, 64);
    EXPECT_EQ(m.Height, 48);
  }
  // 28,311,552 pixels at most.
  EXPECT_TRUE(TOrbaBaseList::ScreenSizeAllowed(6144, 4608));
  EXPECT_TRUE(TOrbaBaseList::ScreenSizeAllowed(8192, 3456));
  EXPECT_TRUE(TOrbaBaseList::ScreenSizeAllowed(7680, 3686));
}

}  // namespace
}  // namespace orba

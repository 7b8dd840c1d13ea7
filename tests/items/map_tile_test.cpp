// The image map (hover and selection events, keys, two maps on one picture,
// brightness, saved form) and the tile (spacing and scroll against a naive
// tiler on each drawing path, afterimages, saved form).
#include "items/choice_items_support.h"
#include "items/image_map.h"
#include "items/tile.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

namespace orba {
namespace {

using test::TBytes;

class MapTileTest : public test::ChoiceItemsTest {
 protected:
  void SetUp() override {
    ChoiceItemsTest::SetUp();
    m.Services.Funcs = &funcs;
    WriteCells("n.brx", {0x000010}, 20, 4);
    WriteCells("h.brx", {0x0000FF}, 20, 4);
    // Six 2 x 2 rectangles r0 to r5, three pixels apart (inclusive bounds).
    TBytes f;
    f.I(6);
    for (int i = 0; i < 6; ++i) f.S("r" + std::to_string(i)).B(0).I(3 * i).I(0).I(3 * i + 1).I(1);
    test::WriteFileBytes(dir_ / "six.map", f.b);
  }
  void TearDown() override {
    m.Services.Funcs = nullptr;
    ChoiceItemsTest::TearDown();
  }
  TOrbaMapImage* Map(int32_t left, int32_t top, const std::string& regions = "six.map") {
    auto* map = Make<TOrbaMapImage>();
    map->SetBounds(left, top, 0, 0);
    map->SetSource("n.brx");
    map->SetHoverSource("h.brx");
    map->SetMapSource(regions);
    map->SetAlpha(255);
    return map;
  }
  std::vector<std::string> Queued() {
    std::vector<std::string> out;
    for (int32_t i = 0; i < m.Events.Count(); ++i) {
      const TTimerData* e = m.Events.GetItem(i);
      out.push_back(std::to_string(e->Code) + " " + e->Label + " " + e->Args.Get(0) + " " + e->Args.Get(1));
    }
    return out;
  }
  TParamCollection store;
  TSysFuncMan funcs{store};
};

TEST_F(MapTileTest, MapEventsSelectionAndKeys) {
  auto* map = Map(4, 4);
  map->SetOnMapIn("in");
  map->SetOnMapOut("out");
  map->SetOnSelect("sel");
  EXPECT_EQ(std::make_pair(map->GetWidth(), map->GetHeight()), std::make_pair(20, 4));
  for (int32_t x : {4 + 7, 4 + 16}) m.MouseMove(x, 5), Tick();
  EXPECT_EQ(Queued(), (std::vector<std::string>{"104 in r2 2", "105 out r2 2", "104 in r5 5"}));
  m.Events.Clear();
  map->DoLButtonDown();
  map->DoLButtonDown();
  EXPECT_EQ(Queued(), (std::vector<std::string>{"72 sel r5 5"}));
  EXPECT_EQ(std::make_pair(store.SelStr, store.SelIndex), std::make_pair(std::string("r5"), 5));
  // Down on the last region wraps to 0; without regions the arrows do nothing.
  auto* bare = Map(30, 30, "");
  for (TOrbaMapImage* target : {map, bare}) {
    target->SetHandleKey(true);
    m.SetFocusObject(target);
    m.SetKeyState(40, true);
    Tick();
    m.SetKeyState(40, false);
    Tick();
  }
  EXPECT_EQ(std::make_pair(map->HoverIndex, bare->HoverIndex), std::make_pair(0, -1));
  test::ExpectRoundTrip(m, *map);
  // The oldest game slot that loads (107) and 114 stop before CloseState.
  TBytes old = test::ControlPart(107, "x");
  old.S("n.brx").S("").S("six.map").I(200).I(0).S("i").S("o").B(1).B(1).S("").B(0).S("pick");
  auto* v107 = test::LoadHandBuilt<TOrbaMapImage>(m, old, 107);
  EXPECT_EQ(std::make_tuple(v107->Regions.size(), v107->Alpha, v107->OnSelect, v107->CloseState),
            std::make_tuple(size_t{6}, 200, std::string("pick"), 0));
  TBytes mid = test::ControlPart(114, "y");
  mid.S("").S("").S("").I(0).I(0).S("").S("").B(0).B(0).S("idle").B(1).S("sel");
  auto* v114 = test::LoadHandBuilt<TOrbaMapImage>(m, mid, 114);
  EXPECT_EQ(std::make_tuple(v114->OnIdle, v114->Paused, v114->CloseState), std::make_tuple(std::string("idle"), true, 0));
}

// Two maps on one picture keep their own cut masks; a brightness past 255
// saturates every channel without spilling.
TEST_F(MapTileTest, MapsOnOnePictureDrawIndependently) {
  auto* a = Map(0, 10);
  Map(0, 20);
  auto* bright = Map(30, 30);
  a->SetHover(1);
  bright->SetBrightness(300);
  Paint();
  EXPECT_EQ((std::vector<uint32_t>{Pixel(3, 10), Pixel(6, 10), Pixel(3, 20), Pixel(3, 13), Pixel(30, 30)}),
            (std::vector<uint32_t>{0x0000FF, 0x000010, 0x000010, 0x000010, 0xFFFFFF}));
}

// Copies of a 10-pixel picture (pixel i has colour i + 1) over 50 pixels
// from x = 2, worked out pixel by pixel: the pattern without spacing, else
// copies every Distance pixels from the scroll's phase, later copies on top.
TEST_F(MapTileTest, TileSpacingAndScrollMatchANaiveTiler) {
  TDIBX picture;
  picture.SetSize(10, 1, 32);
  for (int32_t i = 0; i < 10; ++i) picture.SetPixel(i, 0, static_cast<uint32_t>(i + 1));
  struct TCase { int32_t distance, scroll; bool rects; };
  for (const TCase c : {TCase{4, 0, false}, TCase{4, 13, true}, TCase{5, 0, true}, TCase{5, 3, false},
                        TCase{15, 0, true}, TCase{15, -4, false}, TCase{10, -3, true}, TCase{10, 23, false}}) {
    picture.RectsA = c.rects ? std::vector<TRect>{{0, 0, 10, 1}} : std::vector<TRect>{};
    auto* tile = Make<TOrbaTile>();
    tile->SetBounds(2, 0, 50, 1);
    tile->SetDIB(&picture);
    tile->SetDistanceX(c.distance);
    tile->SetScrollX(c.scroll);
    Paint();
    const bool spaced = c.distance >= 5;
    const int64_t origin = 2 - ((c.scroll % c.distance) + c.distance) % c.distance;
    for (int32_t x = 0; x < 60; ++x) {
      int64_t col = spaced ? (x - origin) % c.distance : ((x - 2 + c.scroll) % 10 + 10) % 10;
      const uint32_t want = x < 2 || x >= 52 || col >= 10 ? 0 : static_cast<uint32_t>(col + 1);
      EXPECT_EQ(Pixel(x, 0), want) << c.distance << " " << c.scroll << " " << c.rects << " at " << x;
    }
    tile->SetDIB(nullptr);
    tile->Scrap();
  }
}

// A moving tile leaves afterimages that keep its spacing and scroll; the
// saved form round-trips.
TEST_F(MapTileTest, TileAfterimagesAndSavedForm) {
  auto* tile = Make<TOrbaTile>();
  tile->SetSource("n.brx");
  tile->SetBounds(0, 0, 30, 8);
  tile->SetDistanceX(25);
  tile->SetScrollY(3);
  tile->SetBlurSpan(15);
  tile->SetBlurDelay(60);
  tile->SetLeft(5);
  Tick();
  auto* blur = dynamic_cast<TOrbaBlurTile*>(m.ActiveBase()->GetChildren().front());
  ASSERT_NE(blur, nullptr);
  EXPECT_EQ(std::make_tuple(blur->Layout.DistanceX, blur->Layout.ScrollY, blur->GetWidth()), std::make_tuple(25, 3, 30));
  test::ExpectRoundTrip(m, *tile);
}

}  // namespace
}  // namespace orba

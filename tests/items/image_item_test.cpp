// Image items on a small screen: what the still image draws of its own
// copy of a picture, hit tests, cell timing, saved state, extreme settings,
// cells drawn by hand, ImgNew and afterimages. How the animated image draws
// in every way (flipped, keyed, masked, zoomed, turned, blended, added) the
// "images" game compares with its golden frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "graphics/brix.h"
#include "items/anim_image.h"
#include "items/base_list.h"
#include "items/blur_image.h"
#include "items/brix_cache.h"
#include "items/still_image.h"
#include "script/expr/expr_compiler.h"
#include "script/interp/call_man.h"
#include "script/interp/com_component.h"
#include "script/interp/com_object.h"
#include "script/values/param_collection.h"
#include "support/test_support.h"

namespace orba {
namespace {

constexpr int32_t kW = 5, kH = 3;

// Pixel (x, y) of the pictures Pillow writes for the fixture, and whether
// the alpha of "m.brx" shows it.
uint32_t Ref(int32_t x, int32_t y) {
  return static_cast<uint32_t>((((40 * x + 17 * y) % 256) << 16) | (((90 + 50 * y) % 256) << 8) | (200 - 30 * x));
}
bool Shown(int32_t x, int32_t y) { return (x + y) % 2 == 0; }

uint32_t Blend(uint32_t s, uint32_t d, int a) {
  uint32_t out = 0;
  for (int sh : {0, 8, 16})
    out |= static_cast<uint32_t>((((s >> sh) & 0xFF) * a + ((d >> sh) & 0xFF) * (255 - a)) / 255) << sh;
  return out;
}
bool Near(uint32_t a, uint32_t b) {
  for (int sh : {0, 8, 16})
    if (std::abs(static_cast<int>((a >> sh) & 0xFF) - static_cast<int>((b >> sh) & 0xFF)) > 1) return false;
  return true;
}

// A 40 x 30 black screen over a picture folder: "p.png"; "k.png", keyed by
// the colour of its pixel (1, 1); "m.brx", PNG data under a Brix name with
// an alpha plane; and Brix files of solid cells.
class ImageItemFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.SetOverrideFolder(dir_.path());
    InitBrixCollection();
    BrixCollection()->Files = &files_;
    RegisterImageItems();
    const std::string script =
        "import sys\nfrom PIL import Image\nim = Image.new('RGB', (5, 3))\n"
        "im.putdata([((40*x+17*y) % 256, (90+50*y) % 256, (200-30*x) % 256) for y in range(3) for x in range(5)])\n"
        "im.save(sys.argv[1] + '/p.png')\nim.save(sys.argv[1] + '/k.png', transparency=im.getpixel((1, 1)))\n"
        "rgba = im.convert('RGBA')\n"
        "rgba.putdata([p[:3] + ((i % 5 + i // 5) % 2 * -255 + 255,) for i, p in enumerate(rgba.getdata())])\n"
        "rgba.save(sys.argv[1] + '/m.brx', format='PNG')\n";
    ASSERT_EQ(test::RunCommand({ORBA_PYTHON, "-c", script, dir_.path()}).exit_code, 0);
    manager_.SetWidth(40);
    manager_.SetHeight(30);
    manager_.GetBase(0)->SetColor(0x000000);
    saved_frame_time_ = FrameTime;
  }
  void TearDown() override {
    FrameTime = saved_frame_time_;
    RegisterCompoType(CT_IMAGES, nullptr);
    manager_.Reset();
    FinalBrixCollection();
  }

  // A Brix file of W x H cells, one per delay, cell f filled with f * 10 + 1.
  void WriteCells(const std::string& name, const std::vector<int32_t>& delays, int32_t w = 2, int32_t h = 2) {
    TBrixFrameList image;
    for (size_t f = 0; f < delays.size(); ++f) {
      TBrixFrame* frame = image.AddFrame();
      frame->Delay = delays[f];
      frame->Surface.SetSize(w, h, 24);
      frame->Surface.FillRect(frame->Surface.GetBounds(), static_cast<uint32_t>(f * 10 + 1));
    }
    TKsMemoryStream s;
    image.SaveToStream(s, 0, 70);
    test::WriteFileBytes(dir_ / name, s.TakeBytes());
  }

  // An item showing Source at (Left, Top); with a Span, one that leaves
  // afterimages of its moves for Delay ms.
  template <class T = TOrbaImages>
  T* Placed(const std::string& source, int32_t left = 0, int32_t top = 0, int32_t span = 0, int32_t delay = 0) {
    T* item = NewOrbaObject<T>(&manager_);
    item->SetParent(manager_.GetBase(0));
    item->SetSource(source);
    item->SetLeft(left);
    item->SetTop(top);
    item->SetBlurSpan(span);
    item->SetBlurDelay(delay);
    return item;
  }
  uint32_t Screen(int32_t x, int32_t y) { return manager_.GetBase(0)->GetDIB()->GetPixel(x, y) & 0xFFFFFF; }
  void Paint() {
    manager_.GetBase(0)->InvalidateAll();
    manager_.Draw();
  }
  // The afterimages in the manager, in z-order of their parent.
  std::vector<TOrbaBlurImage*> Afterimages() {
    std::vector<TOrbaBlurImage*> found;
    for (TOrbaControl* c : manager_.GetBase(0)->GetChildren())
      if (auto* blur = dynamic_cast<TOrbaBlurImage*>(c)) found.push_back(blur);
    return found;
  }

  test::TempDir dir_;
  TVrFileManager files_;
  TOrbaBaseList manager_;
  int32_t saved_frame_time_ = 0;
};

// The still image draws its own copy of the picture: as it is, keyed by the
// PNG's transparent colour, added, darkened (brightness 0 is black); the
// animated image masks by the PNG's alpha. A missing picture has size 0.
TEST_F(ImageItemFixture, StillImagesDrawTheirOwnCopyOfThePicture) {
  EXPECT_EQ(Placed<TOrbaImage>("p.png")->GetWidth(), kW);
  Placed<TOrbaImage>("k.png", 30, 0);
  Placed<TOrbaImage>("p.png", 20, 20)->SetAlpha(300);
  TOrbaImage* dark = Placed<TOrbaImage>("p.png", 0, 20);
  dark->SetBrightness(-5);
  EXPECT_EQ(dark->Brightness, 0);
  Placed("m.brx", 10, 20);
  TOrbaImage* missing = Placed<TOrbaImage>("nothing.brx", 10, 10);
  EXPECT_EQ(std::make_pair(missing->GetWidth(), missing->GetHeight()), std::make_pair(0, 0));
  Paint();
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
      EXPECT_EQ(Screen(x, y), Ref(x, y));
      EXPECT_EQ(Screen(30 + x, y), Ref(x, y) == Ref(1, 1) ? 0u : Ref(x, y));
      EXPECT_EQ(Screen(10 + x, 20 + y), Shown(x, y) ? Ref(x, y) : 0u);
      uint32_t add = 0;
      for (int sh : {0, 8, 16}) add |= std::min(255u, ((Ref(x, y) >> sh) & 0xFF) * 44 / 255) << sh;
      EXPECT_TRUE(Near(Screen(20 + x, 20 + y), add)) << Screen(20 + x, 20 + y) << " " << add;
      EXPECT_EQ(Screen(x, 20 + y), 0u);
    }
  EXPECT_EQ(std::make_pair(Screen(kW, 0), Screen(12, 12)), std::make_pair(0u, 0u));
  // Still images keep copies: only the animated image holds a cache entry.
  EXPECT_EQ(BrixCollection()->Count(), 1);
}

TEST_F(ImageItemFixture, HitTestByMaskRotationAndExplicitSize) {
  TOrbaImage* item = Placed<TOrbaImage>("p.png", 4, 4);
  TDIBX mask;
  mask.SetSize(kW, kH, 8);
  mask.Fill(0);
  mask.SetPixel(1, 1, 127);
  mask.SetPixel(2, 1, 128);
  item->SetMaskDIB(&mask);
  // Where the item is hit at y 5 along x, as a string of 0 and 1.
  auto row = [](TOrbaControl* hit_item, int32_t from, int32_t to, int32_t y = 5) {
    std::string hits;
    for (int32_t x = from; x < to; ++x) hits += hit_item->HitTest(TPoint{x, y}, 0xFF) == hit_item ? '1' : '0';
    return hits;
  };
  EXPECT_EQ(row(item, 4, 9), "11111");  // the mask is not consulted
  item->SetCaptureMask(true);
  EXPECT_EQ(row(item, 4, 9), "00100");  // at 128 and above
  // Flipped, the picture moves to x 0..4 and its columns turn round.
  item->SetFlipH(true);
  EXPECT_EQ(row(item, 0, 5), "00100");
  item->SetFlipH(false);
  // An explicit width (zoom 0) maps the item's size onto the mask and never
  // reads past it.
  item->SetWidth(50);
  EXPECT_EQ(item->ZoomX, 0);
  EXPECT_EQ(row(item, 4, 61), std::string(20, '0') + std::string(10, '1') + std::string(27, '0'));
  item->SetMaskDIB(nullptr);
  item->SetCaptureMask(false);
  item->Idle();

  // A 10 x 2 bar at (20, 20) turned a quarter about its origin: every point
  // hit, turned back, lies in the unturned bar.
  WriteCells("bar.brx", {100}, 10, 2);
  TOrbaImages* bar = Placed("bar.brx", 20, 20);
  EXPECT_EQ(row(bar, 27, 28, 20), "1");
  bar->SetAngle(64);
  const TRect b = bar->GetBoundsRect();
  int hits = 0;
  for (int32_t y = b.Top; y < b.Bottom; ++y)
    for (int32_t x = b.Left; x < b.Right; ++x) {
      if (bar->HitTest(TPoint{x, y}, 0xFF) == nullptr) continue;
      ++hits;
      const double t = -64.0 * 2.0 * M_PI / 256.0;
      const double rx = std::nearbyint((x - 20) * std::cos(t) - (y - 20) * std::sin(t) + 20);
      const double ry = std::nearbyint((x - 20) * std::sin(t) + (y - 20) * std::cos(t) + 20);
      EXPECT_TRUE(rx >= 20 && rx < 30 && ry >= 20 && ry < 22) << x << "," << y;
    }
  EXPECT_GT(hits, 10);
  EXPECT_EQ(row(bar, 27, 28, 20), "0");
  // Zoom 0 on both axes with the mask consulted: no division by zero.
  bar->SetAngle(0);
  bar->SetWidth(10);
  bar->SetHeight(2);
  TDIBX full;
  full.SetSize(10, 2, 8);
  full.Fill(255);
  bar->SetMaskDIB(&full);
  bar->SetCaptureMask(true);
  EXPECT_EQ(row(bar, 21, 22, 21), "1");
  bar->SetWidth(0);
  EXPECT_EQ(row(bar, 21, 22, 21), "0");
  bar->SetMaskDIB(nullptr);
}

TEST_F(ImageItemFixture, AnimationStepsByCellDelays) {
  WriteCells("two.brx", {100, 100});
  WriteCells("five.brx", {100, 100, 100, 100, 100});
  FrameTime = 250;
  TOrbaImages* two = Placed("two.BRX");
  TOrbaImages* five = Placed("five.brx");
  EXPECT_EQ((std::vector<int32_t>{two->GetCount(), two->GetIndex(), two->GetWidth()}), (std::vector<int32_t>{2, 0, 2}));
  two->Idle();
  five->Idle();
  auto state = [](TOrbaImages* item) { return std::make_pair(item->GetIndex(), item->Remaining); };
  EXPECT_EQ(state(two), std::make_pair(1, 100));
  EXPECT_EQ(state(five), std::make_pair(2, 50));
  // At the end: stays on the last cell; with AutoScrap the item asks to go.
  two->Idle();
  EXPECT_EQ(std::make_pair(two->GetIndex(), two->GetPlaying()), std::make_pair(1, false));
  two->SetAutoScrap(true);
  EXPECT_TRUE(two->Idle());
  two->SetAutoScrap(false);
  two->SetRepeat(true);
  two->Idle();
  EXPECT_EQ(two->GetIndex(), 0);
  // Brightness shifts the shown cell.
  two->SetBrightness(20);
  EXPECT_EQ(two->GetDIB()->GetPixel(0, 0) & 0xFF, 21u);
  // Two items share one cache entry; the same name again loads nothing; a
  // source that is no picture, or a film, leaves the item empty.
  TOrbaImages* other = Placed("five.brx");
  EXPECT_EQ(BrixCollection()->Count(), 2);
  other->SetSource("five.brx");
  for (const char* source : {"x.txt", "film.omt"}) {
    other->SetSource(source);
    EXPECT_EQ(other->GetWidth(), 0) << source;
  }
  EXPECT_EQ(other->GetDIB(), other->Surface.get());
}

TEST_F(ImageItemFixture, SavedStateRoundTripsAndOlderVersionsReadTheirFields) {
  WriteCells("three.brx", {100, 100, 100});
  TOrbaImages* item = Placed("three.brx", 0, 0, 40, 90);
  item->SetName("pic");
  item->SetAlpha(300);
  item->SetZoomY(300);
  item->SetAngle(7);
  item->SetFlipV(true);
  item->SetCaptureMask(true);
  item->SetIndex(2);
  item->Remaining = 33;
  item->SetRepeat(true);
  item->SetOnPlayEnd("*end");
  item->SetOnIdle("*idle");
  item->SetBrightness(-12);
  TKsMemoryStream first;
  item->SaveToStream(first);
  const std::vector<uint8_t> bytes = first.TakeBytes();

  TOrbaImages* copy = Placed("");
  TKsMemoryStream in(bytes);
  copy->LoadFromStream(in, kSceneVersion);
  // Cell 2 (21) darkened by 12.
  EXPECT_EQ(std::make_tuple(in.GetPosition(), copy->GetIndex(), copy->GetDIB()->GetPixel(0, 0) & 0xFF),
            std::make_tuple(static_cast<int64_t>(bytes.size()), 2, 9u));
  TKsMemoryStream second;
  copy->SaveToStream(second);
  EXPECT_EQ(test::ToHex(second.TakeBytes()), test::ToHex(bytes));

  // The image base's record ends with ZoomY, BlurSpan and BlurDelay; the
  // animated kinds follow with 4 + 4 + 4 + 1 + 4 (empty expression) bytes,
  // then Repeat, AutoScrap and three strings. Version 139 has no BlurSpan
  // and BlurDelay.
  const size_t images_tail = 1 + 1 + (4 + 10) + (4 + 4) + (4 + 5);
  const size_t custom_tail = 4 + 4 + 4 + 1 + 4;
  const size_t end_of_base = bytes.size() - images_tail - custom_tail;
  std::vector<uint8_t> v139(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end_of_base - 8));
  v139.insert(v139.end(), bytes.begin() + static_cast<std::ptrdiff_t>(end_of_base), bytes.end());
  TOrbaImages* older = Placed("", 0, 0, 5, 6);
  TKsMemoryStream in139(v139);
  older->LoadFromStream(in139, 139);
  EXPECT_EQ(in139.GetPosition(), static_cast<int64_t>(v139.size()));
  EXPECT_EQ((std::vector<int32_t>{older->BlurSpan, older->BlurDelay, older->ZoomY, older->Alpha}),
            (std::vector<int32_t>{5, 6, 300, 300}));
  EXPECT_EQ(older->GetOnIdle(), "*idle");
}

TEST_F(ImageItemFixture, ExtremeSettingsDrawAndHitTestSafely) {
  WriteCells("r.brx", {100}, 3, 2);
  for (int32_t big : {INT32_MIN, INT32_MAX}) {
    TOrbaImages* item = Placed("r.brx");
    item->SetOffsetX(big);
    item->SetOffsetY(big / -2);
    item->SetFlipH(true);
    item->SetFlipV(true);
    item->SetZoomX(big);
    item->Idle();
    Paint();
    item->SetCaptureMask(true);
    EXPECT_EQ(item->HitTest(TPoint{1, 1}, 0xFF), nullptr);
    item->SetAngle(100);
    item->SetZoomX(300);
    Paint();
    item->HitTest(TPoint{1, 1}, 0xFF);
  }
}

TEST_F(ImageItemFixture, CellsDrawAtAPointAndAsTheItem) {
  WriteCells("two.brx", {100, 100}, 3, 2);
  TOrbaImages* item = Placed("");
  TOrbaImageList list;
  list.LoadBrix(&list, "two.brx", false);
  TOrbaImageData& cell = *list.GetCell(1);
  Paint();
  cell.DrawAt(*item, 30, 20, TRect{0, 0, 3, 2});
  EXPECT_EQ((std::vector<uint32_t>{Screen(30, 20), Screen(32, 21), Screen(33, 21)}),
            (std::vector<uint32_t>{11, 11, 0}));
  for (int32_t alpha : {0, 512}) {
    item->Alpha = alpha;
    cell.DrawAt(*item, 0, 0, TRect{0, 0, 3, 2});
    EXPECT_EQ(Screen(0, 0), 0u);
  }
  // As the item: stretched into its rectangle, brightness included.
  item->Alpha = 255;
  item->SetLeft(10);
  item->SetTop(10);
  item->SetWidth(6);
  item->SetHeight(4);
  cell.SetBrightness(5);
  cell.DrawAsItem(*item);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(Screen(10 + x, 10 + y), 0x050510u);
  EXPECT_EQ(Screen(16, 10), 0u);
  list.Clear();
  EXPECT_EQ(BrixCollection()->Count(), 0);
}

TEST_F(ImageItemFixture, ImgNewMakesAnAnimatedImageWithItsDelayExpression) {
  WriteCells("three.brx", {100, 100, 100});
  TParamCollection store;
  TSysFuncMan funcs{store};
  TCallManHost host;
  manager_.Services.Funcs = &funcs;
  TCallMan cm{funcs, manager_.Services, host};
  TComImgNew command(nullptr);
  for (const auto& [id, text] : std::vector<std::pair<uint8_t, std::string>>{
           {PR_NAME, "\"anim\""}, {PR_SOURCE, "\"three.brx\""}, {PR_LEFT, "6"}, {PR_ZOOMX, "512"},
           {PR_DELAY, "20 + 30"}}) {
    command.Expressions[id] = std::make_unique<TOrbaParser>();
    ASSERT_TRUE(CompileText(text, *command.Expressions[id])) << text;
  }
  TPage* page = nullptr;
  int32_t pc = 0;
  command.Start(&cm);
  command.Execute(&cm, page, pc);
  auto* item = dynamic_cast<TOrbaImages*>(manager_.FindObject("anim"));
  ASSERT_NE(item, nullptr);
  // The zoom was applied before the position, and the size followed it.
  EXPECT_EQ((std::vector<int32_t>{item->GetCompoType(), item->GetLeft(), item->GetWidth(), item->GetHeight(), item->GetIndex()}),
            (std::vector<int32_t>{CT_IMAGES, 6, 4, 2, 0}));
  item->SetIndex(2);
  EXPECT_EQ(item->Remaining, 100 + 100 + 50);
  manager_.Services.Funcs = nullptr;
}

TEST_F(ImageItemFixture, MovingImageLeavesFadingAfterimagesBelowIt) {
  WriteCells("one.brx", {100}, 3, 2);
  FrameTime = 15;
  TOrbaImages* item = Placed("one.brx", 0, 0, 30, 90);
  item->SetName("ship");
  item->SetPriority(5);
  // Standing still, it leaves nothing however long it waits.
  for (int i = 0; i < 10; ++i) manager_.Idle();
  EXPECT_TRUE(Afterimages().empty());
  item->SetLeft(7);
  manager_.Idle();
  EXPECT_TRUE(Afterimages().empty());  // 15 of 30 ms
  manager_.Idle();
  std::vector<TOrbaBlurImage*> blurs = Afterimages();
  ASSERT_EQ(blurs.size(), 1u);
  TOrbaBlurImage* first = blurs[0];
  EXPECT_TRUE(first->GetName().rfind("ship", 0) == 0 && first->GetName() != "ship") << first->GetName();
  // Kind, priority, place, size, starting alpha, time, time gone and alpha:
  // made in the manager's idle pass, it faded once in that pass, to
  // 127 - round(15 / 90 x 127).
  EXPECT_EQ((std::vector<int32_t>{first->GetCompoType(), first->GetPriority(), first->GetLeft(), first->GetWidth(),
                                  first->StartAlpha, first->Delay, first->Elapsed, first->Alpha}),
            (std::vector<int32_t>{CT_NONE, 4, 7, 3, 127, 90, 15, 127 - 21}));
  // The cell's bitmap is shared, not copied.
  EXPECT_EQ(first->GetDIB(), item->GetDIB());
  // A second afterimage after the next move; the older, fainter one sorts
  // first and both lie below the item.
  item->SetTop(3);
  for (int i = 0; i < 2; ++i) manager_.Idle();
  blurs = Afterimages();
  ASSERT_EQ(blurs.size(), 2u);
  const std::vector<TOrbaControl*>& z = manager_.GetBase(0)->GetChildren();
  EXPECT_EQ(std::make_pair(blurs[0], blurs[1]->GetTop()), std::make_pair(first, 3));
  EXPECT_LT(first->Alpha, blurs[1]->Alpha);
  EXPECT_LT(std::find(z.begin(), z.end(), blurs[1]), std::find(z.begin(), z.end(), item));
  // The afterimage is drawn with its own alpha where the item stood.
  Paint();
  EXPECT_NE(Screen(7, 3), 0u);
  // The first one's time is up after 90 ms: six ticks in all.
  for (int i = 0; i < 2; ++i) manager_.Idle();
  EXPECT_EQ(first->Elapsed, 75);
  manager_.Idle();
  ASSERT_EQ(Afterimages().size(), 1u);
  // Afterimages are not part of the saved scene.
  TKsMemoryStream scene;
  manager_.SaveToStream(scene);
  TOrbaBaseList loaded;
  scene.SetPosition(0);
  loaded.LoadFromStream(scene, kSceneVersion);
  EXPECT_EQ(loaded.GetObjectCount(), 1);
  loaded.Reset();
}

TEST_F(ImageItemFixture, AfterimagesKeepTheirPictureWhenTheSourceChanges) {
  WriteCells("two.brx", {100, 100}, 3, 2);
  FrameTime = 30;
  TOrbaImages* item = Placed("m.brx", 0, 0, 30, 300);
  item->SetLeft(10);
  manager_.Idle();
  ASSERT_EQ(Afterimages().size(), 1u);
  // The item shows another file elsewhere: the old one's cached frame and
  // mask stay for the afterimage, which still draws them.
  item->SetLeft(30);
  item->SetSource("two.brx");
  EXPECT_NE(BrixCollection()->FindKey("m.brx"), nullptr);
  Paint();
  const int32_t faded = Afterimages()[0]->Alpha;
  EXPECT_EQ(faded, 127 - 13);  // 30 of 300 ms
  for (int32_t x = 0; x < kW; ++x)
    EXPECT_TRUE(Near(Screen(10 + x, 0), Shown(x, 0) ? Blend(Ref(x, 0), 0, faded) : 0u)) << x << " " << Screen(10 + x, 0);
  // Once the source is gone its afterimages go, and the frames with them.
  item->Scrap();
  for (int i = 0; i < 2; ++i) manager_.Idle();
  EXPECT_TRUE(Afterimages().empty());
  EXPECT_EQ(BrixCollection()->FindKey("m.brx"), nullptr);

  // A brightened cell's bitmap is the cell's own: the afterimage copies it.
  TOrbaImages* bright = Placed("two.brx", 0, 0, 30, 300);
  bright->SetBrightness(5);
  bright->SetLeft(5);
  manager_.Idle();
  ASSERT_EQ(Afterimages().size(), 1u);
  TOrbaBlurImage* copy = Afterimages()[0];
  EXPECT_NE(copy->GetDIB(), bright->GetDIB());
  bright->SetSource("");
  EXPECT_EQ(copy->GetDIB()->GetPixel(0, 0) & 0xFFFFFF, 0x050506u);
  manager_.FreeObject(bright);
  manager_.Idle();
  EXPECT_TRUE(Afterimages().empty());

  // A still image's own bitmap is shared and outlives the image.
  TOrbaImage* still = Placed<TOrbaImage>("p.png", 0, 0, 30, 300);
  still->SetAlpha(511);
  still->SetLeft(20);
  manager_.Idle();
  std::vector<TOrbaBlurImage*> blurs = Afterimages();
  ASSERT_EQ(blurs.size(), 1u);
  EXPECT_EQ(std::make_pair(blurs[0]->GetDIB(), blurs[0]->StartAlpha), std::make_pair(still->GetDIB(), 255));
  manager_.FreeObject(still);
  manager_.Idle();
  ASSERT_EQ(Afterimages().size(), 1u);
  EXPECT_EQ(blurs[0]->GetDIB()->Width(), kW);
  Paint();
  // Around a display change afterimages let their pictures go and end.
  manager_.FreeSurface();
  manager_.RestoreSurface();
  EXPECT_EQ(blurs[0]->GetDIB(), nullptr);
  Paint();
  manager_.Idle();
  EXPECT_TRUE(Afterimages().empty());
}

}  // namespace
}  // namespace orba

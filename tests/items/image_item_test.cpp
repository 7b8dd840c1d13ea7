#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

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

// A small screen with a picture folder: "p.png" written and decoded again by
// Pillow (its pixels are the reference), and Brix files of solid cells.
class ImageItemFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.SetOverrideFolder(dir_.path());
    InitBrixCollection();
    BrixCollection()->Files = &files_;
    const std::string script =
        "import sys\nfrom PIL import Image\n"
        "im = Image.new('RGB', (5, 3))\n"
        "im.putdata([((40*x+17*y) % 256, (90+50*y) % 256, (200-30*x) % 256) for y in range(3) for x in range(5)])\n"
        "im.save(sys.argv[1])\n"
        "back = Image.open(sys.argv[1]).convert('RGB')\n"
        "print(' '.join('%d' % ((r << 16) | (g << 8) | b) for (r, g, b) in back.getdata()))\n"
        "im.save(sys.argv[2], transparency=back.getpixel((1, 1)))\n"
        "rgba = im.convert('RGBA')\n"
        "rgba.putdata([(r, g, b, 0 if (x + y) % 2 else 255) for (i, (r, g, b, a)) in enumerate(rgba.getdata()) for x, y in [(i % 5, i // 5)]])\n"
        "rgba.save(sys.argv[3], format='PNG')\n"
        "print(' '.join('%d' % a for (r, g, b, a) in Image.open(sys.argv[3]).getdata()))\n";
    test::WriteFileBytes(dir_ / "mk.py", std::vector<uint8_t>(script.begin(), script.end()));
    test::CommandResult r =
        test::RunCommand({ORBA_PYTHON, dir_ / "mk.py", dir_ / "p.png", dir_ / "k.png", dir_ / "m.brx"});
    ASSERT_EQ(r.exit_code, 0);
    std::stringstream in(r.output);
    std::string line;
    std::getline(in, line);
    std::stringstream colours(line);
    uint32_t v = 0;
    while (colours >> v) reference_.push_back(v);
    ASSERT_EQ(reference_.size(), static_cast<size_t>(kW * kH));
    std::getline(in, line);
    std::stringstream alphas(line);
    while (alphas >> v) alpha_.push_back(v);
    ASSERT_EQ(alpha_.size(), static_cast<size_t>(kW * kH));
    manager_.SetWidth(40);
    manager_.SetHeight(30);
    manager_.GetBase(0)->SetColor(0x000000);
  }
  void TearDown() override {
    manager_.Reset();
    FinalBrixCollection();
  }

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

  template <class T>
  T* NewItem() {
    T* item = NewOrbaObject<T>(&manager_);
    item->SetParent(manager_.GetBase(0));
    return item;
  }
  // An item showing Source at (Left, Top).
  template <class T = TOrbaImage>
  T* Placed(const std::string& source, int32_t left, int32_t top) {
    T* item = NewItem<T>();
    item->SetSource(source);
    item->SetLeft(left);
    item->SetTop(top);
    return item;
  }
  // An item showing Source that leaves afterimages of its moves.
  template <class T>
  T* Blurred(const std::string& source, int32_t span, int32_t delay) {
    T* item = NewItem<T>();
    item->SetSource(source);
    item->SetBlurSpan(span);
    item->SetBlurDelay(delay);
    return item;
  }
  uint32_t Ref(int32_t x, int32_t y) const { return reference_[static_cast<size_t>(y * kW + x)]; }
  uint32_t Screen(int32_t x, int32_t y) { return manager_.GetBase(0)->GetDIB()->GetPixel(x, y) & 0xFFFFFF; }
  void Paint() {
    manager_.GetBase(0)->InvalidateAll();
    manager_.Draw();
  }

  test::TempDir dir_;
  TVrFileManager files_;
  TOrbaBaseList manager_;
  std::vector<uint32_t> reference_;
  std::vector<uint32_t> alpha_;  // of m.brx, PNG data under a Brix name
};

uint32_t Blend(uint32_t s, uint32_t d, int a) {
  uint32_t out = 0;
  for (int sh : {0, 8, 16}) {
    const int sc = static_cast<int>((s >> sh) & 0xFF), dc = static_cast<int>((d >> sh) & 0xFF);
    out |= static_cast<uint32_t>((sc * a + dc * (255 - a)) / 255) << sh;
  }
  return out;
}

bool Near(uint32_t a, uint32_t b) {
  for (int sh : {0, 8, 16})
    if (std::abs(static_cast<int>((a >> sh) & 0xFF) - static_cast<int>((b >> sh) & 0xFF)) > 1) return false;
  return true;
}

TEST_F(ImageItemFixture, PaintsPlainFlippedBlendedAndZoomedLikeTheReference) {
  EXPECT_EQ(Placed("p.png", 0, 0)->Width, kW);
  // Flipped, the origin pixel is mirrored too: Left 14, Top 2 put the
  // picture at (10, 0).
  TOrbaImage* flipped = Placed("p.png", 14, 2);
  flipped->SetFlipH(true);
  flipped->SetFlipV(true);
  Placed("p.png", 0, 10)->SetAlpha(128);
  TOrbaImage* zoomed = NewItem<TOrbaImage>();
  zoomed->SetZoomX(512);
  zoomed->SetZoomY(512);
  zoomed->SetSource("p.png");
  zoomed->SetLeft(20);
  zoomed->SetTop(10);
  zoomed->Idle();
  EXPECT_EQ(zoomed->Width, 2 * kW);
  TOrbaImage* dark = Placed("p.png", 0, 20);
  dark->SetBrightness(-5);
  EXPECT_EQ(dark->Brightness, 0);
  // Keyed by the PNG's transparent colour, masked by its alpha, additive.
  Placed("k.png", 30, 0);
  Placed<TOrbaImages>("m.brx", 10, 20);
  Placed("p.png", 20, 20)->SetAlpha(300);
  Paint();
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      EXPECT_EQ(Screen(30 + x, y), Ref(x, y) == Ref(1, 1) ? 0u : Ref(x, y)) << x << "," << y;
      EXPECT_EQ(Screen(10 + x, 20 + y), alpha_[static_cast<size_t>(y * kW + x)] == 255 ? Ref(x, y) : 0u);
      uint32_t add = 0;
      for (int sh : {0, 8, 16})
        add |= static_cast<uint32_t>(std::min(255u, ((Ref(x, y) >> sh) & 0xFF) * 44 / 255)) << sh;
      EXPECT_TRUE(Near(Screen(20 + x, 20 + y), add)) << Screen(20 + x, 20 + y) << " " << add;
      EXPECT_EQ(Screen(x, y), Ref(x, y)) << x << "," << y;
      EXPECT_EQ(Screen(10 + kW - 1 - x, kH - 1 - y), Ref(x, y));
      EXPECT_TRUE(Near(Screen(x, 10 + y), Blend(Ref(x, y), 0, 128))) << Screen(x, 10 + y);
      for (int32_t k : {0, 1})
        EXPECT_EQ(Screen(20 + 2 * x + k, 10 + 2 * y + k), Ref(x, y));
      EXPECT_EQ(Screen(x, 20 + y), 0u);
    }
  EXPECT_EQ(Screen(kW, 0), 0u);
  // A missing picture: size 0, nothing drawn.
  TOrbaImage* missing = Placed("nothing.brx", 0, 0);
  EXPECT_EQ(std::make_pair(missing->Width, missing->Height), std::make_pair(0, 0));
  // Still images keep copies: only the animated image holds a cache entry.
  EXPECT_EQ(BrixCollection()->Count(), 1);
}

TEST_F(ImageItemFixture, HitTestByMaskRotationAndExplicitSize) {
  TOrbaImage* item = Placed("p.png", 4, 4);
  TDIBX mask;
  mask.SetSize(kW, kH, 8);
  mask.Fill(0);
  mask.SetPixel(1, 1, 127);
  mask.SetPixel(2, 1, 128);
  item->SetMaskDIB(&mask);
  EXPECT_EQ(item->HitTest(TPoint{5, 5}, 0xFF), item);  // mask not consulted
  item->SetCaptureMask(true);
  EXPECT_EQ(item->HitTest(TPoint{5, 5}, 0xFF), nullptr);
  EXPECT_EQ(item->HitTest(TPoint{6, 5}, 0xFF), item);
  // Flipped, the picture moves to x 0..4 and its columns turn round.
  item->SetFlipH(true);
  EXPECT_EQ(item->HitTest(TPoint{2, 5}, 0xFF), item);
  EXPECT_EQ(item->HitTest(TPoint{3, 5}, 0xFF), nullptr);
  item->SetFlipH(false);
  // An explicit width (zoom 0) maps the item's size onto the mask and never
  // reads past it.
  item->SetWidth(50);
  EXPECT_EQ(item->ZoomX, 0);
  for (int32_t x = 4; x < 54; ++x) {
    TOrbaObject* hit = item->HitTest(TPoint{x, 5}, 0xFF);
    EXPECT_EQ(hit != nullptr, x >= 24 && x < 34) << x;
  }
  EXPECT_EQ(item->HitTest(TPoint{60, 5}, 0xFF), nullptr);
  item->SetMaskDIB(nullptr);
  item->SetCaptureMask(false);
  item->Idle();

  // A 10 x 2 bar at (20, 20) turned a quarter about its origin.
  WriteCells("bar.brx", {100}, 10, 2);
  TOrbaImages* bar = Placed<TOrbaImages>("bar.brx", 20, 20);
  EXPECT_EQ(bar->HitTest(TPoint{27, 20}, 0xFF), bar);
  bar->SetAngle(64);
  const TRect b = bar->GetBoundsRect();
  int hits = 0;
  for (int32_t y = b.Top; y < b.Bottom; ++y)
    for (int32_t x = b.Left; x < b.Right; ++x) {
      const bool hit = bar->HitTest(TPoint{x, y}, 0xFF) != nullptr;
      hits += hit ? 1 : 0;
      // Turned back, the point lies in the unturned bar.
      if (hit) {
        const double t = -64.0 * 2.0 * M_PI / 256.0;
        const double rx = std::nearbyint((x - 20) * std::cos(t) - (y - 20) * std::sin(t) + 20);
        const double ry = std::nearbyint((x - 20) * std::sin(t) + (y - 20) * std::cos(t) + 20);
        EXPECT_TRUE(rx >= 20 && rx < 30 && ry >= 20 && ry < 22) << x << "," << y;
      }
    }
  EXPECT_GT(hits, 10);
  EXPECT_EQ(bar->HitTest(TPoint{27, 20}, 0xFF), nullptr);
  // Zoom 0 on both axes with the mask consulted: no division by zero.
  bar->SetAngle(0);
  bar->SetWidth(10);
  bar->SetHeight(2);
  TDIBX full;
  full.SetSize(10, 2, 8);
  full.Fill(255);
  bar->SetMaskDIB(&full);
  bar->SetCaptureMask(true);
  EXPECT_EQ(bar->HitTest(TPoint{21, 21}, 0xFF), bar);
  bar->SetWidth(0);
  EXPECT_EQ(bar->HitTest(TPoint{21, 21}, 0xFF), nullptr);
  bar->SetMaskDIB(nullptr);
}

TEST_F(ImageItemFixture, AnimationStepsByCellDelays) {
  WriteCells("two.brx", {100, 100});
  WriteCells("five.brx", {100, 100, 100, 100, 100});
  const int32_t saved = FrameTime;
  FrameTime = 250;
  TOrbaImages* two = NewItem<TOrbaImages>();
  two->SetSource("two.BRX");
  ASSERT_EQ(two->GetCount(), 2);
  EXPECT_EQ(two->GetIndex(), 0);
  EXPECT_EQ(two->Width, 2);
  two->Idle();
  EXPECT_EQ(two->GetIndex(), 1);
  EXPECT_EQ(two->Remaining, 100);
  TOrbaImages* five = NewItem<TOrbaImages>();
  five->SetSource("five.brx");
  five->Idle();
  EXPECT_EQ(five->GetIndex(), 2);
  EXPECT_EQ(five->Remaining, 50);
  // At the end: stays on the last cell; with AutoScrap the item asks to go.
  two->Idle();
  EXPECT_EQ(two->GetIndex(), 1);
  EXPECT_FALSE(two->GetPlaying());
  two->SetAutoScrap(true);
  EXPECT_TRUE(two->Idle());
  two->SetAutoScrap(false);
  two->SetRepeat(true);
  two->Idle();
  EXPECT_EQ(two->GetIndex(), 0);
  // Brightness shifts the shown cell.
  two->SetBrightness(20);
  EXPECT_EQ(two->GetDIB()->GetPixel(0, 0) & 0xFF, 21u);
  // Two items share one cache entry; the same name again loads nothing.
  TOrbaImages* other = NewItem<TOrbaImages>();
  other->SetSource("five.brx");
  EXPECT_EQ(BrixCollection()->Count(), 2);
  other->SetSource("five.brx");
  other->SetSource("x.txt");
  EXPECT_EQ(other->Width, 0);
  other->SetSource("film.omt");
  EXPECT_EQ(other->Width, 0);
  EXPECT_EQ(other->GetDIB(), other->Surface.get());
  FrameTime = saved;
}

TEST_F(ImageItemFixture, SavedStateRoundTripsAndOlderVersionsReadTheirFields) {
  WriteCells("three.brx", {100, 100, 100});
  TOrbaImages* item = NewItem<TOrbaImages>();
  item->SetName("pic");
  item->SetSource("three.brx");
  item->SetAlpha(300);
  item->SetZoomY(300);
  item->SetAngle(7);
  item->SetFlipV(true);
  item->SetCaptureMask(true);
  item->SetBlurSpan(40);
  item->SetBlurDelay(90);
  item->SetIndex(2);
  item->Remaining = 33;
  item->SetRepeat(true);
  item->SetOnPlayEnd("*end");
  item->SetOnIdle("*idle");
  item->SetBrightness(-12);
  TKsMemoryStream first;
  item->SaveToStream(first);
  const std::vector<uint8_t> bytes = first.TakeBytes();

  TOrbaImages* copy = NewItem<TOrbaImages>();
  TKsMemoryStream in(bytes);
  copy->LoadFromStream(in, kSceneVersion);
  EXPECT_EQ(in.GetPosition(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(copy->GetIndex(), 2);
  EXPECT_EQ(copy->GetDIB()->GetPixel(0, 0) & 0xFF, 9u);  // cell 2 (21) darkened by 12
  TKsMemoryStream second;
  copy->SaveToStream(second);
  EXPECT_EQ(test::ToHex(second.TakeBytes()), test::ToHex(bytes));

  // The image base's record ends with ZoomY, BlurSpan and BlurDelay; the
  // animated kinds follow with 4 + 4 + 4 + 1 + 4 (empty expression) bytes,
  // then Repeat, AutoScrap and three strings.
  const size_t images_tail = 1 + 1 + (4 + 10) + (4 + 4) + (4 + 5);
  const size_t custom_tail = 4 + 4 + 4 + 1 + 4;
  const size_t end_of_base = bytes.size() - images_tail - custom_tail;
  std::vector<uint8_t> v139(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end_of_base - 8));
  v139.insert(v139.end(), bytes.begin() + static_cast<std::ptrdiff_t>(end_of_base), bytes.end());
  TOrbaImages* older = NewItem<TOrbaImages>();
  older->SetBlurSpan(5);
  older->SetBlurDelay(6);
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
    TOrbaImages* item = NewItem<TOrbaImages>();
    item->SetSource("r.brx");
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
  TOrbaImages* item = NewItem<TOrbaImages>();
  TOrbaImageList list;
  list.LoadBrix(&list, "two.brx", false);
  TOrbaImageData& cell = *list.GetCell(1);
  Paint();
  cell.DrawAt(*item, 30, 20, TRect{0, 0, 3, 2});
  EXPECT_EQ(Screen(30, 20), 11u);
  EXPECT_EQ(Screen(32, 21), 11u);
  EXPECT_EQ(Screen(33, 21), 0u);
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
  RegisterImageItems();
  TComImgNew command(nullptr);
  auto prop = [&](uint8_t id, const std::string& text) {
    command.Expressions[id] = std::make_unique<TOrbaParser>();
    ASSERT_TRUE(CompileText(text, *command.Expressions[id])) << text;
  };
  prop(PR_NAME, "\"anim\"");
  prop(PR_SOURCE, "\"three.brx\"");
  prop(PR_LEFT, "6");
  prop(PR_ZOOMX, "512");
  prop(PR_DELAY, "20 + 30");
  TPage* page = nullptr;
  int32_t pc = 0;
  command.Start(&cm);
  command.Execute(&cm, page, pc);
  RegisterCompoType(CT_IMAGES, nullptr);
  auto* item = dynamic_cast<TOrbaImages*>(manager_.FindObject("anim"));
  ASSERT_NE(item, nullptr);
  // The zoom was applied before the position, and the size followed it.
  EXPECT_EQ((std::vector<int32_t>{item->GetCompoType(), item->Left, item->Width, item->Height, item->GetIndex()}),
            (std::vector<int32_t>{CT_IMAGES, 6, 4, 2, 0}));
  // Entering the last cell adds the expression's value to its time.
  item->SetIndex(2);
  EXPECT_EQ(item->Remaining, 100 + 100 + 50);
  manager_.Services.Funcs = nullptr;
}


// The afterimages in the manager, in z-order of their parent.
std::vector<TOrbaBlurImage*> Afterimages(TOrbaBaseList& m) {
  std::vector<TOrbaBlurImage*> found;
  for (TOrbaControl* c : m.GetBase(0)->Children)
    if (auto* blur = dynamic_cast<TOrbaBlurImage*>(c)) found.push_back(blur);
  return found;
}

size_t IndexIn(const std::vector<TOrbaControl*>& list, const TOrbaObject* o) {
  return static_cast<size_t>(std::find(list.begin(), list.end(), o) - list.begin());
}

TEST_F(ImageItemFixture, MovingImageLeavesFadingAfterimagesBelowIt) {
  WriteCells("one.brx", {100}, 3, 2);
  const int32_t saved = FrameTime;
  FrameTime = 15;
  TOrbaImages* item = Blurred<TOrbaImages>("one.brx", 30, 90);
  item->SetName("ship");
  item->SetPriority(5);
  item->SetAlpha(255);
  // Standing still, it leaves nothing however long it waits.
  for (int i = 0; i < 10; ++i) manager_.Idle();
  EXPECT_TRUE(Afterimages(manager_).empty());
  item->SetLeft(7);
  manager_.Idle();
  EXPECT_TRUE(Afterimages(manager_).empty());  // 15 of 30 ms
  manager_.Idle();
  std::vector<TOrbaBlurImage*> blurs = Afterimages(manager_);
  ASSERT_EQ(blurs.size(), 1u);
  TOrbaBlurImage* first = blurs[0];
  EXPECT_EQ(first->Name.rfind("ship", 0), 0u);
  EXPECT_NE(first->Name, "ship");
  // Kind, priority, place, size, starting alpha and time of the afterimage.
  EXPECT_EQ((std::vector<int32_t>{first->GetCompoType(), first->Priority, first->Left, first->Width,
                                  first->StartAlpha, first->Delay}),
            (std::vector<int32_t>{CT_NONE, 4, 7, 3, 127, 90}));
  // The cell's bitmap is shared, not copied.
  EXPECT_EQ(first->GetDIB(), item->GetDIB());
  // Made during the manager's idle pass, it faded once in that pass:
  // 127 - round(15 / 90 x 127).
  EXPECT_EQ(std::make_pair(first->Elapsed, first->Alpha), std::make_pair(15, 127 - 21));
  // A second afterimage after the next move; the older, fainter one sorts
  // first and both lie below the item.
  item->SetTop(3);
  manager_.Idle();
  manager_.Idle();
  blurs = Afterimages(manager_);
  ASSERT_EQ(blurs.size(), 2u);
  const std::vector<TOrbaControl*>& z = manager_.GetBase(0)->Children;
  EXPECT_EQ(blurs[0], first);
  EXPECT_LT(first->Alpha, blurs[1]->Alpha);
  EXPECT_LT(IndexIn(z, blurs[1]), IndexIn(z, item));
  EXPECT_EQ(blurs[1]->Top, 3);
  // The afterimage is drawn with its own alpha where the item stood.
  Paint();
  EXPECT_NE(Screen(7, 3), 0u);
  // The first one's time is up after 90 ms: six ticks in all.
  manager_.Idle();
  manager_.Idle();
  EXPECT_EQ(first->Elapsed, 75);
  manager_.Idle();
  blurs = Afterimages(manager_);
  ASSERT_EQ(blurs.size(), 1u);
  // Afterimages are not part of the saved scene.
  RegisterImageItems();
  TKsMemoryStream scene;
  manager_.SaveToStream(scene);
  TOrbaBaseList loaded;
  scene.SetPosition(0);
  loaded.LoadFromStream(scene, kSceneVersion);
  EXPECT_EQ(loaded.GetObjectCount(), 1);
  loaded.Reset();
  FrameTime = saved;
}

TEST_F(ImageItemFixture, AfterimagesKeepTheirPictureWhenTheSourceChanges) {
  WriteCells("two.brx", {100, 100}, 3, 2);
  const int32_t saved = FrameTime;
  FrameTime = 30;
  TOrbaImages* item = Blurred<TOrbaImages>("m.brx", 30, 300);
  item->SetLeft(10);
  manager_.Idle();
  ASSERT_EQ(Afterimages(manager_).size(), 1u);
  // The item shows another file elsewhere: the old one's cached frame and
  // mask stay for the afterimage, which still draws them.
  item->SetLeft(30);
  item->SetSource("two.brx");
  EXPECT_NE(BrixCollection()->FindKey("m.brx"), nullptr);
  Paint();
  const int32_t faded = Afterimages(manager_)[0]->Alpha;
  EXPECT_EQ(faded, 127 - 13);  // 30 of 300 ms
  for (int32_t x = 0; x < kW; ++x) {
    const bool shown = alpha_[static_cast<size_t>(x)] == 255;
    EXPECT_TRUE(Near(Screen(10 + x, 0), shown ? Blend(Ref(x, 0), 0, faded) : 0u)) << x << " " << Screen(10 + x, 0);
  }
  // Once the source is gone its afterimages go, and the frames with them.
  item->Scrap();
  manager_.Idle();
  manager_.Idle();
  EXPECT_TRUE(Afterimages(manager_).empty());
  EXPECT_EQ(BrixCollection()->FindKey("m.brx"), nullptr);

  // A brightened cell's bitmap is the cell's own: the afterimage copies it.
  TOrbaImages* bright = Blurred<TOrbaImages>("two.brx", 30, 300);
  bright->SetBrightness(5);
  bright->SetLeft(5);
  manager_.Idle();
  ASSERT_EQ(Afterimages(manager_).size(), 1u);
  TOrbaBlurImage* copy = Afterimages(manager_)[0];
  EXPECT_NE(copy->GetDIB(), bright->GetDIB());
  bright->SetSource("");
  EXPECT_EQ(copy->GetDIB()->GetPixel(0, 0) & 0xFFFFFF, 0x050506u);
  manager_.FreeObject(bright);
  manager_.Idle();
  EXPECT_TRUE(Afterimages(manager_).empty());

  // A still image's own bitmap is shared and outlives the image.
  TOrbaImage* still = Blurred<TOrbaImage>("p.png", 30, 300);
  still->SetAlpha(511);
  still->SetLeft(20);
  manager_.Idle();
  std::vector<TOrbaBlurImage*> blurs = Afterimages(manager_);
  ASSERT_EQ(blurs.size(), 1u);
  EXPECT_EQ(blurs[0]->GetDIB(), still->GetDIB());
  EXPECT_EQ(blurs[0]->StartAlpha, 255);
  manager_.FreeObject(still);
  manager_.Idle();
  ASSERT_EQ(Afterimages(manager_).size(), 1u);
  EXPECT_EQ(blurs[0]->GetDIB()->Width(), kW);
  Paint();
  // Around a display change afterimages let their pictures go and end.
  manager_.FreeSurface();
  manager_.RestoreSurface();
  EXPECT_EQ(blurs[0]->GetDIB(), nullptr);
  Paint();
  manager_.Idle();
  EXPECT_TRUE(Afterimages(manager_).empty());
  FrameTime = saved;
}

}  // namespace
}  // namespace orba

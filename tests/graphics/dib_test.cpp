// Bitmaps: pixel formats, sizes and layouts, copy on write, depth changes,
// blur, grey, inversion, palettes and the paint box; the alpha bitmap's
// plane through sizes, trims, copies, flips and files, its colour
// statistics and conversions, and JPEG pictures in and out.
#include "graphics/dib.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <tuple>
#include <utility>

#include "graphics/color_convert.h"
#include "graphics/dib_surface.h"
#include "graphics/dibx.h"
#include "graphics/graphic_errors.h"
#include "graphics/paint_box.h"
#include "graphics/palette.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using TRow = std::vector<uint32_t>;

std::unique_ptr<TDIB> Dib(int32_t w, int32_t h, int32_t bits, const TRow& pixels = {}) {
  return test::MakeBitmap<TDIB>(w, h, bits, pixels);
}

// The alpha bitmap's depth change, the drawing surface's and the colour
// conversion widen a 15- or 16-bit pixel alike, and narrowing the result
// gives the pixel back: 0x4210 (three 5-bit 16s) is 0x848484 on each path.
TEST(PixelFormat, FifteenAndSixteenBitPixelsWidenByOneRuleOnEveryPath) {
  for (auto [bits, pixel, wide] : {std::tuple{15, 0x4210u, 0x848484u}, {16, 0x8410u, 0x848284u},
                                   {15, 0x7FFFu, 0xFFFFFFu}, {16, 0x0821u, 0x080408u}}) {
    SCOPED_TRACE(bits);
    auto alpha_bitmap = test::MakeBitmap<TDIBSurface>(1, 1, bits, {pixel});
    alpha_bitmap->ChangeBitCount(24);
    EXPECT_EQ(alpha_bitmap->GetPixel(0, 0) & 0xFFFFFF, wide);
    alpha_bitmap->ChangeBitCount(bits);
    EXPECT_EQ(alpha_bitmap->GetPixel(0, 0), pixel);
    TDIBX surface;
    surface.SetSize(1, 1, bits);
    surface.SetPixel(0, 0, pixel);
    surface.SetBitCount(32);
    EXPECT_EQ(surface.GetPixel(0, 0) & 0xFFFFFF, wide);
    surface.SetBitCount(bits);
    EXPECT_EQ(surface.GetPixel(0, 0), pixel);
    EXPECT_EQ(PixelToRGB888(pixel, {bits}), wide);
  }
}

TEST(PixelFormat, UnpackPackAndLayoutRecords) {
  struct UnpackCase {
    const TDIBChannelLayout* layout;
    uint32_t pixel;
    uint8_t r, g, b;
  };
  const UnpackCase cases[] = {
      // 5-bit 16 = 10000b widens to 10000100b, 6-bit 32 = 100000b to
      // 10000010b, 5-bit 15 = 01111b to 01111011b.
      {&Layout555(), 0x7FFF, 255, 255, 255}, {&Layout565(), 0x8410, 132, 130, 132},
      {&Layout555(), 0x0000, 0, 0, 0},       {&Layout555(), 0x000F, 0, 0, 123},
      {&Layout555(), 0x4210, 132, 132, 132},
      {&Layout565(), 0xFFFF, 255, 255, 255}, {&Layout888(), 0x123456, 0x12, 0x34, 0x56},
  };
  for (const auto& c : cases) {
    uint8_t r, g, b;
    UnpackPixel(*c.layout, c.pixel, r, g, b);
    EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{c.r, c.g, c.b})) << std::hex << c.pixel;
  }
  EXPECT_EQ((TRow{PackPixel(Layout555(), 255, 255, 255), PackPixel(Layout565(), 0x80, 0x80, 0x80), PackPixel(Layout888(), 0x12, 0x34, 0x56)}),
            (TRow{0x7FFF, 0x8410, 0x123456}));
  EXPECT_EQ(BuildChannelLayoutFromMasks(0xF800, 0x07E0, 0x001F), Layout565());
  EXPECT_EQ(BuildChannelLayoutFromMasks(0x7C00 << 3, 0x3E0 << 3, 0x1F << 3), Layout555());  // widths only
  EXPECT_EQ(BuildChannelLayoutFromMasks(0, 0, 0).RedMask, 0);
  EXPECT_EQ(BuildChannelLayoutFromMasks(0xFFFFFFFF, 1, 1).RedBits, 16);  // clamped, later refused
}

TEST(Dib, SetSizeRules) {
  TDIB d;
  d.SetSize(0, 5, 24);
  EXPECT_TRUE(d.Empty());
  d.SetSize(3, 2, 24);
  d.SetPixel(0, 0, 0x302010);
  EXPECT_EQ(std::tuple(d.RowSize(), d.Size(), test::ToHex(std::vector<uint8_t>(d.PeekRow(0), d.PeekRow(0) + 3))), std::tuple(12, 24, "10 20 30"));
  d.SetSize(3, 2, 24);  // everything equal: pixels kept
  EXPECT_EQ(d.GetPixel(0, 0), 0x302010u);
  d.RequestedLayout = Layout565();
  d.SetSize(3, 2, 16);
  EXPECT_EQ(std::pair(d.CurrentLayout(), d.InfoBlockSize()), std::pair(Layout565(), 52));
  d.RequestedLayout = Layout555();
  d.SetSize(3, 2, 16);  // same size, other layout: a new image
  EXPECT_EQ(d.CurrentLayout().GreenMask, 0x3E0);
  d.RequestedLayout = BuildChannelLayout(6, 5, 5);
  EXPECT_THROW(d.SetSize(3, 2, 16), EInvalidGraphicOperation);
  d.RequestedLayout = Layout565();
  EXPECT_THROW(d.SetSize(3, 2, 24), EInvalidGraphicOperation);
  d.RequestedLayout = Layout888();
  EXPECT_EQ(test::ErrorOf<EInvalidGraphicOperation>([&] { d.SetSize(3, 2, 7); }), InvalidBitCountText(7));
  EXPECT_THROW(d.SetSize(1 << 20, 1 << 20, 8), EOutOfResources);
  // Rows outside raise with the row; pixels outside read 0 and are not written.
  d.SetSize(2, 3, 8);
  for (int32_t y : {-1, 3}) EXPECT_EQ(test::ErrorOf<EInvalidGraphicOperation>([&] { d.GetRow(y); }), ScanLineRangeText(y));
  d.SetPixel(5, 5, 1);
  EXPECT_EQ(d.GetPixel(-1, 0), 0u);
  // Rows are bottom-up: displayed row 0 is the last in the block.
  EXPECT_EQ(d.GetRow(0), d.GetPixelBlock() + 2 * d.RowSize());
}

TEST(Dib, AssignSharesUntilAWriteAndCommitTableCopies) {
  auto a = Dib(4, 4, 8);
  a->SetPixel(1, 1, 7);
  TDIB b, c, shared;
  b.Assign(a.get());
  EXPECT_EQ((std::pair<bool, long>(b.SharesImageWith(*a), a->UseCount())), (std::pair<bool, long>(true, 2)));
  b.GetRow(1)[1] = 9;
  EXPECT_EQ(std::tuple(b.SharesImageWith(*a), a->GetPixel(1, 1), b.GetPixel(1, 1)), std::tuple(false, 7u, 9u));
  shared.Assign(a.get());
  shared.ColorTable[3] = MakeQuad(1, 2, 3);
  shared.CommitTable();
  EXPECT_EQ(std::pair(shared.ImageTable()[3], a->ImageTable()[3]), std::pair(MakeQuad(1, 2, 3), MakeQuad(3, 3, 3)));
  EXPECT_EQ(std::memcmp(shared.InfoBlock().data() + 40 + 12, &shared.ImageTable()[3], 4), 0);
  c.Assign(a.get());
  a.reset();
  EXPECT_EQ(c.GetPixel(1, 1), 7u);  // the image lives on with its last bitmap
  c.Assign(nullptr);
  EXPECT_TRUE(c.Empty());
}

TEST(Dib, DepthConversions) {
  auto d = Dib(5, 2, 8, {0, 50, 100, 150, 200});
  TDIB four, one, src4;
  four.Assign(d.get());
  four.ChangeDepth(4);
  for (int i = 0; i < 16; ++i)
    for (int j = 0; j < i; ++j) EXPECT_NE(four.ImageTable()[i], four.ImageTable()[j]);
  one.Assign(d.get());
  one.ChangeDepth(1);
  EXPECT_EQ((std::array{one.ImageTable()[0], one.ImageTable()[1]}), (std::array{MakeQuad(0, 0, 0), MakeQuad(255, 255, 255)}));
  src4.ColorTable = GreyTableForDepth(4);
  src4.SetSize(3, 1, 4);
  src4.SetPixel(2, 0, 11);
  src4.ChangeDepth(8);
  EXPECT_EQ(std::pair(src4.GetPixel(2, 0), src4.ImageTable()[11]), std::pair(11u, MakeQuad(187, 187, 187)));
  auto rgb = Dib(2, 1, 24, {0x123456, 0xFEDCBA});
  rgb->ChangeDepth(32);
  EXPECT_EQ((TRow{rgb->GetPixel(0, 0) & 0xFFFFFF, rgb->GetPixel(1, 0) & 0xFFFFFF}), (TRow{0x123456, 0xFEDCBA}));
  rgb->RequestedLayout = Layout555();
  rgb->ChangeDepth(16);
  EXPECT_EQ(rgb->GetPixel(0, 0), PackPixel(Layout555(), 0x12, 0x34, 0x56));
}

TEST(Dib, BlurGreyscaleInversionAndProgress) {
  auto one = Dib(1, 1, 24, {0x405060}), d = Dib(3, 1, 24, {0x000000, 0x0000FF, 0x000030});
  one->Blur(24, 3);
  EXPECT_EQ(one->GetPixel(0, 0), 0x405060u);
  TDIB e, same;
  e.Assign(d.get());
  d->Blur(24, -1);
  e.Blur(24, 1);
  // (0 + 255) / 2 at the edge.
  EXPECT_EQ(test::RowOf(*d, 0), (TRow{0x7F, (0u + 255 + 0x30) / 3, (255u + 0x30) / 2}));
  EXPECT_EQ(test::RowOf(e, 0), test::RowOf(*d, 0));
  same.Assign(&e);
  e.Blur(8, 0);
  EXPECT_TRUE(e.SharesImageWith(same));
  auto w = Dib(1, 1, 24, {0xFFFFFF}), g = Dib(2, 1, 24, {0x7F7F7F, 0xFFFFFF});
  w->Greyscale(24);
  EXPECT_EQ(w->GetPixel(0, 0), 0xFDFDFDu);
  // Grey 127 and 128 exactly: red 0 green 0 blue b with trunc(b * 0.2392);
  // the one-bit grey palette ends in white.
  g->Greyscale(1);
  EXPECT_EQ(std::pair(test::RowOf(*g, 0), g->ImageTable()[1]), std::pair(TRow{0, 1}, MakeQuad(255, 255, 255)));
  // Inverting a palette picture inverts the table, not the indexes.
  auto p = Dib(2, 1, 8, {5});
  p->InvertColors();
  EXPECT_EQ(std::pair(p->GetPixel(0, 0), p->ImageTable()[5]), std::pair(5u, MakeQuad(250, 250, 250)));
  TDIB h;
  h.RequestedLayout = Layout555();
  h.SetSize(1, 1, 16);
  h.SetPixel(0, 0, 0x0001);
  h.InvertColors();
  EXPECT_EQ(h.GetPixel(0, 0), 0xFFFEu);
  // A blur reports its start and end.
  auto tall = Dib(4, 50, 24);
  std::vector<TProgressStage> stages;
  tall->OnProgress = [&](TProgressStage s, int32_t, bool, const TRect&, const std::string& name) {
    stages.push_back(s);
    EXPECT_EQ(name, "Blur");
  };
  tall->Blur(24, 1);
  ASSERT_GE(stages.size(), 3u);
  EXPECT_EQ(std::pair(stages.front(), stages.back()), std::pair(TProgressStage::Starting, TProgressStage::Ending));
}

TEST(PaletteManager, SharesOneHandlePerTable) {
  TPaletteManager m;
  TColorTable t = GreyRamp();
  TPaletteHandle a = m.SharePalette(t.data(), 16), b = m.SharePalette(t.data(), 16);
  EXPECT_EQ(a, b);
  t[0] = MakeQuad(1, 0, 0);
  TPaletteHandle c = m.SharePalette(t.data(), 16);
  EXPECT_NE(a, c);
  m.ReturnPalette(a);
  EXPECT_EQ(a, 0u);
  EXPECT_NE(m.Find(b), nullptr);
  m.ReturnPalette(b);
  EXPECT_EQ(std::pair(m.Find(c)->RefCount, m.ItemCount()), std::pair(1, size_t{1}));
  TPaletteHandle stranger = 999;
  m.ReturnPalette(stranger);
  EXPECT_EQ(stranger, 999u);
  // Images with one table share a palette.
  EXPECT_EQ(Dib(1, 1, 8)->GetPalette(), Dib(2, 2, 8)->GetPalette());
}

TEST(PaintBox, DrawRectanglesAndPaintsStretchedIntoTheClient) {
  struct PaintCase {
    int32_t dw, dh, cw, ch;
    bool auto_stretch, stretch, keep, center;
    int32_t view_w, view_h;
    TRect want;
  };
  const PaintCase cases[] = {
      {200, 100, 100, 100, true, false, false, false, 0, 0, {0, 0, 100, 50}},
      {200, 100, 300, 300, true, false, false, false, 0, 0, {0, 0, 200, 100}},
      {200, 100, 300, 300, false, true, false, false, 0, 0, {0, 0, 300, 300}},
      {200, 100, 300, 300, false, true, true, false, 0, 0, {0, 0, 300, 150}},
      {200, 100, 300, 300, false, false, false, false, 50, 0, {0, 0, 50, 100}},
      {200, 100, 100, 100, false, false, false, true, 0, 0, {-50, 0, 150, 100}},
      {3, 1, 2, 2, true, false, false, false, 0, 0, {0, 0, 2, 1}},  // 0.667 rounds to 1
  };
  for (const auto& c : cases) {
    TDXPaintBox box;
    box.SetDIB(*Dib(c.dw, c.dh, 24));
    box.SetAutoStretch(c.auto_stretch);
    box.SetStretch(c.stretch);
    box.SetKeepAspect(c.keep);
    box.SetCenter(c.center);
    box.SetViewWidth(c.view_w);
    box.SetViewHeight(c.view_h);
    EXPECT_EQ(box.DrawRect(c.cw, c.ch), c.want) << c.dw << "x" << c.dh << " in " << c.cw << "x" << c.ch;
  }
  TDXPaintBox box, empty;
  auto client = Dib(4, 2, 32), untouched = Dib(1, 1, 8);
  box.SetDIB(*Dib(2, 1, 24, {0x0000FF, 0x00FF00}));
  box.SetStretch(true);
  box.Paint(*client);
  EXPECT_EQ((TRow{client->GetPixel(1, 1) & 0xFFFFFF, client->GetPixel(2, 0) & 0xFFFFFF}), (TRow{0x0000FF, 0x00FF00}));
  empty.Paint(*untouched);
  EXPECT_EQ(untouched->GetPixel(0, 0), 0u);
}

// ---- the alpha bitmap ----------------------------------------------------------------

std::unique_ptr<TDIBSurface> Surface(int32_t w, int32_t h, int32_t bits, const TRow& pixels = {}) {
  return test::MakeBitmap<TDIBSurface>(w, h, bits, pixels);
}

void FillPixels(TDIBSurface& s, uint32_t mask) {
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) s.SetPixel(x, y, static_cast<uint32_t>(x * 37 + y * 101) & mask);
}

TEST(AlphaBitmap, SizesKeepTheLayoutAndTheAlphaPlaneFollows) {
  for (int32_t depth : {15, 16, 24}) {
    SCOPED_TRACE(depth);
    auto s = Surface(4, 3, depth);
    // 15 bits report themselves, stored in 16-bit words.
    EXPECT_EQ((std::pair{s->GetBitCount(), s->BitCount()}), (std::pair{depth, depth == 15 ? 16 : depth}));
    s->EnsureAlpha();
    s->SetWidth(6);
    EXPECT_EQ(s->GetBitCount(), depth);
    s->SetHeight(5);
    EXPECT_EQ((std::array{s->GetBitCount(), s->Width(), s->Height()}), (std::array{depth, 6, 5}));
    EXPECT_EQ(s->CurrentLayout(), depth == 15 ? Layout555() : depth == 16 ? Layout565() : Layout888());
    // The alpha plane follows through the overridden SetSize.
    ASSERT_NE(s->Alpha(), nullptr);
    EXPECT_EQ((std::pair{s->Alpha()->Width(), s->Alpha()->Height()}), (std::pair{6, 5}));
  }
  // A plain bitmap keeps its 5-5-5 layout too.
  TDIB d;
  d.RequestedLayout = Layout555();
  d.SetSize(4, 3, 16);
  d.SetHeight(2);
  d.SetWidth(9);
  EXPECT_EQ((std::pair{d.CurrentLayout(), d.Width()}), (std::pair{Layout555(), 9}));
  // The plane is resized at 8 bits, dropped when a source without one is assigned, and by Clear.
  auto s = Surface(4, 3, 32), source = Surface(3, 3, 24);
  s->EnsureAlpha();
  s->SetSize(7, 5, 24);
  ASSERT_NE(s->Alpha(), nullptr);
  EXPECT_EQ((std::array{s->Alpha()->Width(), s->Alpha()->Height(), s->Alpha()->BitCount()}), (std::array{7, 5, 8}));
  FillPixels(*source, 0xFFFFFF);
  s->AssignSurface(*source);
  EXPECT_EQ(std::tuple(s->Alpha() == nullptr, s->Width(), s->GetPixel(2, 1)), std::tuple(true, 3, source->GetPixel(2, 1)));
  s->EnsureAlpha();
  s->Clear();
  EXPECT_EQ(std::pair(s->Alpha() == nullptr, s->Empty()), std::pair(true, true));
}

TEST(AlphaBitmap, TrimKeepsTheOpaquePartAndItsAlpha) {
  auto s = Surface(6, 5, 32);
  s->EnsureAlpha();
  s->Alpha()->FillRect(s->GetBounds(), 10);
  s->SetPixel(2, 1, 0x123456);
  s->SetPixel(4, 3, 0x654321);
  s->Alpha()->SetPixel(4, 3, 99);
  EXPECT_EQ(s->TrimToKey(0), (TRect{2, 1, 5, 4}));
  ASSERT_NE(s->Alpha(), nullptr);
  EXPECT_EQ((TRow{uint32_t(s->Width()), s->GetPixel(0, 0), s->GetPixel(2, 2), s->Alpha()->GetPixel(2, 2), s->Alpha()->GetPixel(0, 0)}),
            (TRow{3, 0x123456, 0x654321, 99, 10}));
  // Nothing but the key gives one pixel.
  auto key = Surface(5, 4, 16, TRow(20, 0x1F));
  EXPECT_EQ(key->OpaqueBounds(0x1F), (TRect{0, 0, 0, 0}));
  EXPECT_EQ(key->TrimToKey(0x1F), (TRect{0, 0, 1, 1}));
  EXPECT_EQ((std::pair{key->Width(), key->Height()}), (std::pair{1, 1}));
}

TEST(AlphaBitmap, CopyRectReachingPastTheSourceKeepsPlacesAndAlpha) {
  auto source = Surface(4, 3, 16);
  FillPixels(*source, 0xFFFF);
  source->EnsureAlpha();
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) source->Alpha()->SetPixel(x, y, static_cast<uint32_t>(10 * x + y));
  TDIBSurface part;
  part.CopyRect(*source, TRect{-1, 1, 3, 5}, true);
  ASSERT_EQ((std::pair{part.Width(), part.Height()}), (std::pair{4, 4}));
  ASSERT_NE(part.Alpha(), nullptr);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      bool inside = x >= 1 && y < 2;
      EXPECT_EQ(part.GetPixel(x, y), inside ? source->GetPixel(x - 1, y + 1) : 0u) << x << "," << y;
      if (inside) {
        EXPECT_EQ(part.Alpha()->GetPixel(x, y), source->Alpha()->GetPixel(x - 1, y + 1));
      }
    }
  // Cutting a surface out of itself.
  source->Crop(TRect{1, 1, 3, 3});
  EXPECT_EQ((std::pair{source->Width(), source->Alpha()->GetPixel(1, 1)}), (std::pair{2, 22u}));
}

TEST(AlphaBitmap, ColourStatisticsAndConversions) {
  auto s32 = Surface(3, 3, 32), s16 = Surface(4, 1, 16, {0, 0xF800, 0xF800}), s4 = Surface(4, 1, 4, {0, 1, 3});
  EXPECT_EQ((std::pair{s32->CollectColors().size(), s32->CountColors()}), (std::pair{size_t{0}, 1}));
  // Red with its low bits filled: 0xF8 | 7.
  EXPECT_EQ((std::tuple{s16->CountColors(), s16->CollectColors(), s16->FreeIndex()}), (std::tuple{2, TRow{0, 0x0000FF}, -1}));
  EXPECT_EQ(s4->FreeIndex(), 2);
  uint8_t r, g, b;
  s16->PixelToRGB(0x8410, r, g, b, false);
  EXPECT_EQ((std::array{r, g, b}), (std::array<uint8_t, 3>{0x80, 0x80, 0x80}));
  s16->PixelToRGB(0x8410, r, g, b, true);
  EXPECT_EQ((std::array{r, g, b}), (std::array<uint8_t, 3>{0x87, 0x83, 0x87}));
  EXPECT_EQ((std::pair{s16->RGBToPixel(0xFF, 0, 0), s16->ChannelsToPixel(31, 63, 31)}), (std::pair{0xF800u, 0xFFFFu}));
  auto s15 = Surface(1, 1, 15);
  EXPECT_EQ(s15->RGBToPixel(0xFF, 0xFF, 0), 0x7FE0u);
  s15->PixelToChannels(0x7C1F, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array<uint8_t, 3>{31, 0, 31}));
}

TEST(AlphaBitmap, DirectDepthChangesKeepFiveBitChannels) {
  TRow all(256 * 128);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<uint32_t>(i);
  auto s = Surface(256, 128, 15, all);
  s->ChangeBitCount(32);
  s->ChangeBitCount(24);
  s->ChangeBitCount(15);
  EXPECT_EQ(test::PixelsOf(*s), all);
}

TEST(AlphaBitmap, FlipsAndDrawsUseTheAlphaPlane) {
  auto s = Surface(3, 2, 24, {0xABCDEF});
  s->EnsureAlpha();
  s->Alpha()->FillRect(s->GetBounds(), 0);
  s->Alpha()->SetPixel(0, 0, 200);
  s->FlipHorizontal();
  s->FlipVertical();
  EXPECT_EQ((TRow{s->GetPixel(2, 1), s->Alpha()->GetPixel(2, 1), s->Alpha()->GetPixel(0, 0)}), (TRow{0xABCDEF, 200, 0}));
  auto d = Surface(2, 1, 32), white = Surface(2, 1, 32, TRow(2, 0xFFFFFF));
  white->EnsureAlpha();
  test::SetRow(*white->Alpha(), 0, {0, 255});
  d->DrawAlphaMask(0, 0, 255, white->GetBounds(), *white);
  EXPECT_EQ(test::RowOf(*d, 0), (TRow{0, 0xFFFFFF}));
}

TEST(AlphaBitmap, FilesSplitTheAlphaOfA32BitBmpAndRegisteredExtensionsChooseTheirForm) {
  test::TempDir dir;
  auto s = Surface(5, 3, 24), alpha = Surface(5, 3, 8);
  FillPixels(*s, 0xFFFFFF);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) alpha->SetPixel(x, y, static_cast<uint32_t>(x * 50 + y));
  s->SaveToFileEx(dir / "a.bmp", alpha.get());
  TDIBSurface plain, loaded;
  plain.LoadFromFile(dir / "a.bmp");
  EXPECT_EQ(plain.GetBitCount(), 32);
  TDIBSurface::TLoadResult result = loaded.LoadFromFileEx(dir / "a.bmp", true, false);
  EXPECT_EQ(std::tuple(result.HasAlpha, result.TransparentColor, loaded.GetBitCount()), std::tuple(true, -1, 24));
  ASSERT_NE(loaded.Alpha(), nullptr);
  EXPECT_EQ(std::pair(test::PixelsOf(loaded), test::PixelsOf(*loaded.Alpha())), std::pair(test::PixelsOf(*s), test::PixelsOf(*alpha)));
  int loads = 0;
  RegisterSurfaceFileFormat(".TstX", {[&](TDIBSurface& t, const std::string&, bool, bool) {
                                        ++loads;
                                        t.SetSize(2, 2, 8);
                                        return TDIBSurface::TLoadResult{5, false, {1, 2}};
                                      },
                                      nullptr});
  TDIBSurface::TLoadResult r = plain.LoadFromFileEx("/nowhere/picture.tstx", false, false);
  EXPECT_EQ((std::array{loads, r.TransparentColor, plain.Width()}), (std::array{1, 5, 2}));
}

TEST(AlphaBitmap, JpegInAndOut) {
  // Flat 8 x 8 pictures at quality 100 come back within a step or two.
  TDIBSurface s;
  const std::vector<uint8_t> grey = EncodeJpeg(TJpegImage{8, 8, 1, std::vector<uint8_t>(64, 200)}, 100);
  s.LoadJpeg(grey.data(), grey.size());
  EXPECT_EQ((TRow{uint32_t(s.GetBitCount()), s.ImageTable()[250].Red}), (TRow{8, 250}));
  EXPECT_NEAR(static_cast<int>(s.GetPixel(5, 6)), 200, 2);
  const TJpegImage out = s.ToJpegImage();
  EXPECT_EQ(out.Components, 3);
  EXPECT_NEAR(out.Pixels[3 * 4], 200, 2);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < 64; ++i) rgb.insert(rgb.end(), {0x11, 0x22, 0x80});
  const std::vector<uint8_t> colour = EncodeJpeg(TJpegImage{8, 8, 3, rgb}, 100);
  s.LoadJpeg(colour.data(), colour.size());
  const uint32_t p = s.GetPixel(3, 3);  // 0x00RRGGBB: red read from the third byte
  EXPECT_EQ(s.GetBitCount(), 24);
  EXPECT_NEAR(static_cast<int>(p >> 16), 0x11, 3);
  EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 0x22, 3);
  EXPECT_NEAR(static_cast<int>(p & 0xFF), 0x80, 3);
}

}  // namespace
}  // namespace orba

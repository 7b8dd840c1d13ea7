#include "graphics/dib.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <utility>

#include "graphics/graphic_errors.h"
#include "graphics/paint_box.h"
#include "graphics/palette.h"
#include "graphics/picture_fixtures.h"
#include "support/test_support.h"

namespace orba {
namespace {

using TRow = std::vector<uint32_t>;

struct UnpackCase {
  const TDIBChannelLayout* layout;
  uint32_t pixel;
  uint8_t r, g, b;
};

TEST(PixelFormat, UnpackVectors) {
  const UnpackCase cases[] = {
      {&Layout555(), 0x7FFF, 255, 255, 255}, {&Layout565(), 0x8410, 144, 160, 144},
      {&Layout555(), 0x0000, 0, 0, 0},       {&Layout555(), 0x000F, 0, 0, 127},
      {&Layout565(), 0xFFFF, 255, 255, 255}, {&Layout888(), 0x123456, 0x12, 0x34, 0x56},
  };
  for (const auto& c : cases) {
    uint8_t r, g, b;
    UnpackPixel(*c.layout, c.pixel, r, g, b);
    EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{c.r, c.g, c.b})) << std::hex << c.pixel;
  }
  EXPECT_EQ(PackPixel(Layout555(), 255, 255, 255), 0x7FFFu);
  EXPECT_EQ(PackPixel(Layout565(), 0x80, 0x80, 0x80), 0x8410u);
  EXPECT_EQ(PackPixel(Layout888(), 0x12, 0x34, 0x56), 0x123456u);
}

TEST(PixelFormat, LayoutRecords) {
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
  EXPECT_EQ((std::pair{d.RowSize(), d.Size()}), (std::pair{12, 24}));
  d.SetPixel(0, 0, 0x302010);
  EXPECT_EQ(d.GetPixel(0, 0), 0x302010u);
  EXPECT_EQ(test::ToHex(std::vector<uint8_t>(d.PeekRow(0), d.PeekRow(0) + 3)), "10 20 30");
  d.SetSize(3, 2, 24);  // everything equal: pixels kept
  EXPECT_EQ(d.GetPixel(0, 0), 0x302010u);
  d.RequestedLayout = Layout565();
  d.SetSize(3, 2, 16);
  EXPECT_EQ(d.CurrentLayout(), Layout565());
  EXPECT_EQ(d.InfoBlockSize(), 52);
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
}

TEST(Dib, GetRowOutsideRaisesWithTheRow) {
  TDIB d;
  d.SetSize(2, 3, 8);
  for (int32_t y : {-1, 3})
    EXPECT_EQ(test::ErrorOf<EInvalidGraphicOperation>([&] { d.GetRow(y); }), ScanLineRangeText(y));
  EXPECT_EQ(d.GetPixel(-1, 0), 0u);
  d.SetPixel(5, 5, 1);  // ignored
  // Rows are bottom-up: displayed row 0 is the last in the block.
  EXPECT_EQ(d.GetRow(0), d.GetPixelBlock() + 2 * d.RowSize());
}

TEST(Dib, AssignSharesUntilAWrite) {
  auto a = std::make_unique<TDIB>();
  a->SetSize(4, 4, 8);
  a->SetPixel(1, 1, 7);
  TDIB b;
  b.Assign(a.get());
  EXPECT_TRUE(b.SharesImageWith(*a));
  EXPECT_EQ(a->UseCount(), 2);
  b.GetRow(1)[1] = 9;
  EXPECT_FALSE(b.SharesImageWith(*a));
  EXPECT_EQ((TRow{a->GetPixel(1, 1), b.GetPixel(1, 1)}), (TRow{7, 9}));
  TDIB c;
  c.Assign(a.get());
  a.reset();
  EXPECT_EQ(c.GetPixel(1, 1), 7u);  // the image lives on with its last bitmap
  c.Assign(nullptr);
  EXPECT_TRUE(c.Empty());
}

TEST(Dib, CommitTableCopiesASharedImage) {
  TDIB a;
  a.SetSize(2, 2, 8);
  TDIB b;
  b.Assign(&a);
  b.ColorTable[3] = MakeQuad(1, 2, 3);
  b.CommitTable();
  EXPECT_EQ(b.ImageTable()[3], MakeQuad(1, 2, 3));
  EXPECT_EQ(a.ImageTable()[3], MakeQuad(3, 3, 3));
  EXPECT_EQ(std::memcmp(b.InfoBlock().data() + 40 + 12, &b.ImageTable()[3], 4), 0);
}

TEST(Dib, DepthConversions) {
  TDIB d;
  d.SetSize(5, 2, 8);
  for (int x = 0; x < 5; ++x) d.SetPixel(x, 0, static_cast<uint32_t>(x * 50));
  TDIB four;
  four.Assign(&d);
  four.ChangeDepth(4);
  for (int i = 0; i < 16; ++i)
    for (int j = 0; j < i; ++j) EXPECT_NE(four.ImageTable()[i], four.ImageTable()[j]);
  TDIB one;
  one.Assign(&d);
  one.ChangeDepth(1);
  EXPECT_EQ((std::array{one.ImageTable()[0], one.ImageTable()[1]}), (std::array{MakeQuad(0, 0, 0), MakeQuad(255, 255, 255)}));

  TDIB src4;
  src4.ColorTable = GreyTableForDepth(4);
  src4.SetSize(3, 1, 4);
  src4.SetPixel(2, 0, 11);
  src4.ChangeDepth(8);
  EXPECT_EQ(src4.GetPixel(2, 0), 11u);
  EXPECT_EQ(src4.ImageTable()[11], MakeQuad(187, 187, 187));

  TDIB rgb;
  rgb.SetSize(2, 1, 24);
  test::SetRow(rgb, 0, {0x123456, 0xFEDCBA});
  rgb.ChangeDepth(32);
  EXPECT_EQ((TRow{rgb.GetPixel(0, 0) & 0xFFFFFF, rgb.GetPixel(1, 0) & 0xFFFFFF}), (TRow{0x123456, 0xFEDCBA}));
  rgb.RequestedLayout = Layout555();
  rgb.ChangeDepth(16);
  EXPECT_EQ(rgb.GetPixel(0, 0), PackPixel(Layout555(), 0x12, 0x34, 0x56));
}

TEST(Dib, BlurAndGreyscale) {
  TDIB one;
  one.SetSize(1, 1, 24);
  one.SetPixel(0, 0, 0x405060);
  one.Blur(24, 3);
  EXPECT_EQ(one.GetPixel(0, 0), 0x405060u);

  TDIB d;
  d.SetSize(3, 1, 24);
  test::SetRow(d, 0, {0x000000, 0x0000FF, 0x000030});
  TDIB e;
  e.Assign(&d);
  d.Blur(24, -1);
  e.Blur(24, 1);
  // (0 + 255) / 2 at the edge.
  EXPECT_EQ(test::RowOf(d, 0), (TRow{0x7F, (0u + 255 + 0x30) / 3, (255u + 0x30) / 2}));
  EXPECT_EQ(test::RowOf(e, 0), test::RowOf(d, 0));
  TDIB same;
  same.Assign(&e);
  e.Blur(8, 0);
  EXPECT_TRUE(e.SharesImageWith(same));

  TDIB w;
  w.SetSize(1, 1, 24);
  w.SetPixel(0, 0, 0xFFFFFF);
  w.Greyscale(24);
  EXPECT_EQ(w.GetPixel(0, 0), 0xFDFDFDu);
  TDIB g;
  g.SetSize(2, 1, 24);
  // Grey 127 and 128 exactly: red 0 green 0 blue b with trunc(b * 0.2392).
  test::SetRow(g, 0, {0x7F7F7F, 0xFFFFFF});
  g.Greyscale(1);
  EXPECT_EQ(test::RowOf(g, 0), (TRow{0, 1}));
  EXPECT_EQ(g.ImageTable()[1], MakeQuad(255, 255, 255));  // the one-bit grey palette ends in white
}

TEST(Dib, InvertColors) {
  TDIB p;
  p.SetSize(2, 1, 8);
  p.SetPixel(0, 0, 5);
  p.InvertColors();
  EXPECT_EQ(p.GetPixel(0, 0), 5u);  // the table is inverted, not the indexes
  EXPECT_EQ(p.ImageTable()[5], MakeQuad(250, 250, 250));
  TDIB h;
  h.RequestedLayout = Layout555();
  h.SetSize(1, 1, 16);
  h.SetPixel(0, 0, 0x0001);
  h.InvertColors();
  EXPECT_EQ(h.GetPixel(0, 0), 0xFFFEu);
}

TEST(Dib, ProgressReportsStartAndEnd) {
  TDIB d;
  d.SetSize(4, 50, 24);
  std::vector<TProgressStage> stages;
  d.OnProgress = [&](TProgressStage s, int32_t, bool, const TRect&, const std::string& name) {
    stages.push_back(s);
    EXPECT_EQ(name, "Blur");
  };
  d.Blur(24, 1);
  ASSERT_GE(stages.size(), 3u);
  EXPECT_EQ(stages.front(), TProgressStage::Starting);
  EXPECT_EQ(stages.back(), TProgressStage::Ending);
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
  EXPECT_EQ(m.Find(c)->RefCount, 1);
  EXPECT_EQ(m.ItemCount(), 1u);
  TPaletteHandle stranger = 999;
  m.ReturnPalette(stranger);
  EXPECT_EQ(stranger, 999u);
}

TEST(Dib, ImagesWithOneTableShareAPalette) {
  TDIB a, b;
  a.SetSize(1, 1, 8);
  b.SetSize(2, 2, 8);
  EXPECT_EQ(a.GetPalette(), b.GetPalette());
}

struct PaintCase {
  int32_t dw, dh, cw, ch;
  bool auto_stretch, stretch, keep, center;
  int32_t view_w, view_h;
  TRect want;
};

TEST(PaintBox, DrawRectangles) {
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
    TDIB pic;
    pic.SetSize(c.dw, c.dh, 24);
    box.SetDIB(pic);
    box.SetAutoStretch(c.auto_stretch);
    box.SetStretch(c.stretch);
    box.SetKeepAspect(c.keep);
    box.SetCenter(c.center);
    box.SetViewWidth(c.view_w);
    box.SetViewHeight(c.view_h);
    EXPECT_EQ(box.DrawRect(c.cw, c.ch), c.want) << c.dw << "x" << c.dh << " in " << c.cw << "x" << c.ch;
  }
  TDXPaintBox box;
  box.SetViewWidth(-5);
  EXPECT_EQ(box.ViewWidth(), 0);
  EXPECT_EQ(box.Width, 105);
}

TEST(PaintBox, PaintsStretchedIntoTheClient) {
  TDXPaintBox box;
  TDIB pic;
  pic.SetSize(2, 1, 24);
  test::SetRow(pic, 0, {0x0000FF, 0x00FF00});
  box.SetDIB(pic);
  box.SetStretch(true);
  TDIB client;
  client.SetSize(4, 2, 32);
  box.Paint(client);
  EXPECT_EQ(client.GetPixel(1, 1) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(client.GetPixel(2, 0) & 0xFFFFFF, 0x00FF00u);
  TDXPaintBox empty;
  TDIB untouched;
  untouched.SetSize(1, 1, 8);
  empty.Paint(untouched);
  EXPECT_EQ(untouched.GetPixel(0, 0), 0u);
}

}  // namespace
}  // namespace orba

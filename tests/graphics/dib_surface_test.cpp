// The alpha bitmap: its alpha plane through sizes, trims, copies, flips and
// files; colour statistics and conversions; JPEG pictures in and out.
#include "graphics/dib_surface.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <utility>

#include "graphics/draw_test_util.h"
#include "support/test_support.h"

namespace orba {
namespace {

using test::TRow;

void FillPixels(TDIBSurface& s, uint32_t mask) {
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) s.SetPixel(x, y, static_cast<uint32_t>(x * 37 + y * 101) & mask);
}

TEST(AlphaBitmap, SetWidthAndHeightKeepTheLayout) {
  for (int32_t depth : {15, 16, 24}) {
    SCOPED_TRACE(depth);
    TDIBSurface s;
    s.SetSize(4, 3, depth);
    // 15 bits report themselves, stored in 16-bit words.
    EXPECT_EQ((std::pair{s.GetBitCount(), s.BitCount()}), (std::pair{depth, depth == 15 ? 16 : depth}));
    s.EnsureAlpha();
    s.SetWidth(6);
    EXPECT_EQ(s.GetBitCount(), depth);
    s.SetHeight(5);
    EXPECT_EQ((std::array{s.GetBitCount(), s.Width(), s.Height()}), (std::array{depth, 6, 5}));
    EXPECT_EQ(s.CurrentLayout(), depth == 15 ? Layout555() : depth == 16 ? Layout565() : Layout888());
    // The alpha plane follows through the overridden SetSize.
    ASSERT_NE(s.Alpha(), nullptr);
    EXPECT_EQ((std::pair{s.Alpha()->Width(), s.Alpha()->Height()}), (std::pair{6, 5}));
  }
  // A plain bitmap keeps its 5-5-5 layout too.
  TDIB d;
  d.RequestedLayout = Layout555();
  d.SetSize(4, 3, 16);
  d.SetHeight(2);
  d.SetWidth(9);
  EXPECT_EQ((std::pair{d.CurrentLayout(), d.Width()}), (std::pair{Layout555(), 9}));
}

TEST(AlphaBitmap, TheAlphaPlaneFollowsSizesAndGoesWithClearAndAssign) {
  TDIBSurface s, source;
  s.SetSize(4, 3, 32);
  s.EnsureAlpha();
  s.SetSize(7, 5, 24);
  ASSERT_NE(s.Alpha(), nullptr);
  EXPECT_EQ((std::array{s.Alpha()->Width(), s.Alpha()->Height(), s.Alpha()->BitCount()}), (std::array{7, 5, 8}));
  source.SetSize(3, 3, 24);
  FillPixels(source, 0xFFFFFF);
  s.AssignSurface(source);
  EXPECT_EQ(std::tuple(s.Alpha() == nullptr, s.Width(), s.GetPixel(2, 1)), std::tuple(true, 3, source.GetPixel(2, 1)));
  s.EnsureAlpha();
  s.Clear();
  EXPECT_EQ(std::pair(s.Alpha() == nullptr, s.Empty()), std::pair(true, true));
}

TEST(AlphaBitmap, TrimKeepsTheOpaquePartAndItsAlpha) {
  TDIBSurface s;
  s.SetSize(6, 5, 32);
  s.EnsureAlpha();
  s.Alpha()->FillRect(s.GetBounds(), 10);
  s.SetPixel(2, 1, 0x123456);
  s.SetPixel(4, 3, 0x654321);
  s.Alpha()->SetPixel(4, 3, 99);
  EXPECT_EQ(s.TrimToKey(0), (TRect{2, 1, 5, 4}));
  ASSERT_NE(s.Alpha(), nullptr);
  EXPECT_EQ((TRow{uint32_t(s.Width()), s.GetPixel(0, 0), s.GetPixel(2, 2), s.Alpha()->GetPixel(2, 2), s.Alpha()->GetPixel(0, 0)}),
            (TRow{3, 0x123456, 0x654321, 99, 10}));
  // Nothing but the key gives one pixel.
  TDIBSurface key;
  key.SetSize(5, 4, 16);
  key.FillRect(key.GetBounds(), 0x1F);
  EXPECT_EQ(key.OpaqueBounds(0x1F), (TRect{0, 0, 0, 0}));
  EXPECT_EQ(key.TrimToKey(0x1F), (TRect{0, 0, 1, 1}));
  EXPECT_EQ((std::pair{key.Width(), key.Height()}), (std::pair{1, 1}));
}

TEST(AlphaBitmap, CopyRectReachingPastTheSourceKeepsPlacesAndAlpha) {
  TDIBSurface source;
  source.SetSize(4, 3, 16);
  FillPixels(source, 0xFFFF);
  source.EnsureAlpha();
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) source.Alpha()->SetPixel(x, y, static_cast<uint32_t>(10 * x + y));
  TDIBSurface part;
  part.CopyRect(source, TRect{-1, 1, 3, 5}, true);
  ASSERT_EQ((std::pair{part.Width(), part.Height()}), (std::pair{4, 4}));
  ASSERT_NE(part.Alpha(), nullptr);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      bool inside = x >= 1 && y < 2;
      EXPECT_EQ(part.GetPixel(x, y), inside ? source.GetPixel(x - 1, y + 1) : 0u) << x << "," << y;
      if (inside) {
        EXPECT_EQ(part.Alpha()->GetPixel(x, y), source.Alpha()->GetPixel(x - 1, y + 1));
      }
    }
  // Cutting a surface out of itself.
  source.Crop(TRect{1, 1, 3, 3});
  EXPECT_EQ((std::pair{source.Width(), source.Alpha()->GetPixel(1, 1)}), (std::pair{2, 22u}));
}

TEST(AlphaBitmap, ColourStatistics) {
  TDIBSurface s32, s16, s4;
  s32.SetSize(3, 3, 32);
  EXPECT_EQ((std::pair{s32.CollectColors().size(), s32.CountColors()}), (std::pair{size_t{0}, 1}));
  s16.SetSize(4, 1, 16);
  test::SetRow(s16, 0, {0, 0xF800, 0xF800});
  // Red with its low bits filled: 0xF8 | 7.
  EXPECT_EQ((std::tuple{s16.CountColors(), s16.CollectColors(), s16.FreeIndex()}), (std::tuple{2, TRow{0, 0x0000FF}, -1}));
  s4.SetSize(4, 1, 4);
  test::SetRow(s4, 0, {0, 1, 3});
  EXPECT_EQ(s4.FreeIndex(), 2);
}

TEST(AlphaBitmap, PixelAndRgbConversions) {
  TDIBSurface s;
  s.SetSize(1, 1, 16);
  uint8_t r, g, b;
  s.PixelToRGB(0x8410, r, g, b, false);
  EXPECT_EQ((std::array{r, g, b}), (std::array<uint8_t, 3>{0x80, 0x80, 0x80}));
  s.PixelToRGB(0x8410, r, g, b, true);
  EXPECT_EQ((std::array{r, g, b}), (std::array<uint8_t, 3>{0x87, 0x83, 0x87}));
  EXPECT_EQ((std::pair{s.RGBToPixel(0xFF, 0, 0), s.ChannelsToPixel(31, 63, 31)}), (std::pair{0xF800u, 0xFFFFu}));
  s.SetSize(1, 1, 15);
  EXPECT_EQ(s.RGBToPixel(0xFF, 0xFF, 0), 0x7FE0u);
  s.PixelToChannels(0x7C1F, r, g, b);
  EXPECT_EQ((std::array{r, g, b}), (std::array<uint8_t, 3>{31, 0, 31}));
}

TEST(AlphaBitmap, DirectDepthChangesKeepFiveBitChannels) {
  TDIBSurface s;
  s.SetSize(256, 128, 15);
  for (int32_t y = 0; y < 128; ++y)
    for (int32_t x = 0; x < 256; ++x) s.SetPixel(x, y, static_cast<uint32_t>(y * 256 + x));
  s.ChangeBitCount(32);
  s.ChangeBitCount(24);
  s.ChangeBitCount(15);
  for (int32_t y = 0; y < 128; ++y)
    for (int32_t x = 0; x < 256; ++x) ASSERT_EQ(s.GetPixel(x, y), static_cast<uint32_t>(y * 256 + x));
}

TEST(AlphaBitmap, FlipsAndDrawsUseTheAlphaPlane) {
  TDIBSurface s;
  s.SetSize(3, 2, 24);
  s.EnsureAlpha();
  s.Alpha()->FillRect(s.GetBounds(), 0);
  s.SetPixel(0, 0, 0xABCDEF);
  s.Alpha()->SetPixel(0, 0, 200);
  s.FlipHorizontal();
  s.FlipVertical();
  EXPECT_EQ((TRow{s.GetPixel(2, 1), s.Alpha()->GetPixel(2, 1), s.Alpha()->GetPixel(0, 0)}), (TRow{0xABCDEF, 200, 0}));
  TDIBSurface d, white;
  d.SetSize(2, 1, 32);
  white.SetSize(2, 1, 32);
  white.FillRect(white.GetBounds(), 0xFFFFFF);
  white.EnsureAlpha();
  test::SetRow(*white.Alpha(), 0, {0, 255});
  d.DrawAlphaMask(0, 0, 255, white.GetBounds(), white);
  EXPECT_EQ(test::RowOf(d, 0), (TRow{0, 0xFFFFFF}));
}

TEST(AlphaBitmap, SplitAlphaOfA32BitBmp) {
  test::TempDir dir;
  TDIBSurface s, alpha, plain, loaded;
  s.SetSize(5, 3, 24);
  FillPixels(s, 0xFFFFFF);
  alpha.SetSize(5, 3, 8);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) alpha.SetPixel(x, y, static_cast<uint32_t>(x * 50 + y));
  s.SaveToFileEx(dir / "a.bmp", &alpha);
  plain.LoadFromFile(dir / "a.bmp");
  EXPECT_EQ(plain.GetBitCount(), 32);
  TDIBSurface::TLoadResult result = loaded.LoadFromFileEx(dir / "a.bmp", true, false);
  EXPECT_EQ(std::tuple(result.HasAlpha, result.TransparentColor, loaded.GetBitCount()), std::tuple(true, -1, 24));
  ASSERT_NE(loaded.Alpha(), nullptr);
  for (int32_t y = 0; y < 3; ++y) {
    EXPECT_EQ(test::RowOf(loaded, y), test::RowOf(s, y));
    EXPECT_EQ(test::RowOf(*loaded.Alpha(), y), test::RowOf(alpha, y));
  }
}

TEST(AlphaBitmap, RegisteredExtensionsChooseTheirForm) {
  int loads = 0;
  RegisterSurfaceFileFormat(".TstX", {[&](TDIBSurface& s, const std::string&, bool, bool) {
                                        ++loads;
                                        s.SetSize(2, 2, 8);
                                        return TDIBSurface::TLoadResult{5, false, {1, 2}};
                                      },
                                      nullptr});
  TDIBSurface s;
  TDIBSurface::TLoadResult r = s.LoadFromFileEx("/nowhere/picture.tstx", false, false);
  EXPECT_EQ((std::array{loads, r.TransparentColor, s.Width()}), (std::array{1, 5, 2}));
}

TEST(AlphaBitmap, JpegInAndOut) {
  TJpegImage grey{3, 2, 1, {0, 50, 100, 150, 200, 250}};
  TDIBSurface s;
  s.AssignJpeg(grey);
  EXPECT_EQ((TRow{uint32_t(s.GetBitCount()), s.GetPixel(2, 1), s.ImageTable()[250].Red}), (TRow{8, 250, 250}));
  const TJpegImage rgb = s.ToJpegImage();
  EXPECT_EQ((std::pair<int, int>{rgb.Components, rgb.Pixels[3 * 4]}), (std::pair{3, 200}));
  s.AssignJpeg(TJpegImage{1, 1, 3, {0x11, 0x22, 0x33}});
  EXPECT_EQ((std::pair{s.GetBitCount(), s.GetPixel(0, 0)}), (std::pair{24, 0x112233u}));
}

}  // namespace
}  // namespace orba

// The DirectDraw drawing surface on displays of every depth a display may
// run at (32 and 24 bits 8-8-8, 16 bits 5-6-5 and 5-5-5): the depth it
// reports, pixel widths of locks and single pixels, colours found through
// GDI, and draws matching a memory surface of that depth; then the colour
// cache's sixteen slots and its clearing, and how many palette entries
// each palette depth sets.
#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "graphics/dibx.h"
#include "graphics/dx_dibx.h"
#include "graphics/dx_dibx_fixture.h"
#include "platform/direct_draw_memory.h"

namespace orba {
namespace {

struct TFormatCase {
  TDisplayFormat Format;
  int32_t Bits;         // what BitCount reports
  std::ptrdiff_t Pitch;  // of a 5-pixel row, padded to 4 bytes
  int32_t Bytes;         // a pixel's width
  uint32_t Red;          // pure red (0x0000FF as 0x00BBGGRR) through GDI
  uint32_t Grey;         // 0x808080 through GDI
};
// Red: 0xFF0000 at 8-8-8; five high bits at 11 (5-6-5) or 10 (5-5-5).
// Grey 0x80: 0x808080; 5-6-5: 0x10 << 11 | 0x20 << 5 | 0x10 = 0x8410;
// 5-5-5: 0x10 << 10 | 0x10 << 5 | 0x10 = 0x4210.
const TFormatCase kFormats[] = {
    {TDisplayFormat::Rgb32, 32, 20, 4, 0xFF0000, 0x808080},
    {TDisplayFormat::Rgb24, 24, 16, 3, 0xFF0000, 0x808080},
    {TDisplayFormat::Rgb565, 16, 12, 2, 0xF800, 0x8410},
    {TDisplayFormat::Rgb555, 15, 12, 2, 0x7C00, 0x4210},
};

class DxDIBXFormatsTest : public DxDIBXTest {
 protected:
  void UseDisplay(TDisplayFormat format) {
    draw_ = std::make_shared<TMemoryDirectDraw>(format);
    Install(TGenerations::Both);
  }
};

TEST_F(DxDIBXFormatsTest, EachDisplayDepthReadsAndWritesPixelsOfItsWidth) {
  for (const TFormatCase& c : kFormats) {
    SCOPED_TRACE(c.Bits);
    UseDisplay(c.Format);
    TDxDIBX dib;
    dib.SetSize(5, 2, 32);  // no palette depth: the display's format
    EXPECT_EQ(dib.BitCount(), c.Bits);
    EXPECT_EQ(dib.Pitch(), c.Pitch);
    uint8_t* origin = dib.Lock(0, 0);
    uint8_t* at = dib.Lock(3, 1);
    ASSERT_NE(origin, nullptr);
    EXPECT_EQ(at - origin, c.Pitch + 3 * c.Bytes);
    dib.Unlock();
    dib.Unlock();
    // A pixel written keeps only its width's low bytes and leaves its
    // neighbours alone.
    dib.SetPixel(0, 1, 0x5A5A5A5A);
    dib.SetPixel(2, 1, 0x5A5A5A5A);
    dib.SetPixel(1, 1, 0xFFABCDEF);
    const uint32_t mask = c.Bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * c.Bytes)) - 1;
    EXPECT_EQ(dib.GetPixel(1, 1), 0xFFABCDEFu & mask);
    EXPECT_EQ(dib.GetPixel(0, 1), 0x5A5A5A5Au & mask);
    EXPECT_EQ(dib.GetPixel(2, 1), 0x5A5A5A5Au & mask);
    EXPECT_EQ(static_cast<uint32_t>(dib.ColorToPixel(0x0000FF)), c.Red);
    EXPECT_EQ(static_cast<uint32_t>(dib.ColorToPixel(0x808080)), c.Grey);
    EXPECT_EQ(draw_->LastSurface()->LocksHeld(), 0);
  }
}

// A box filled, a picture drawn keyed and blended: the same pixels as on a
// memory surface of the same depth.
TEST_F(DxDIBXFormatsTest, DrawsAtEachDepthMatchAMemorySurfaceOfThatDepth) {
  for (const TFormatCase& c : kFormats) {
    SCOPED_TRACE(c.Bits);
    UseDisplay(c.Format);
    TDIBX source;
    source.SetSize(6, 4, c.Bits);
    const uint32_t mask = c.Bits == 15 ? 0x7FFF : c.Bits == 16 ? 0xFFFF : 0xFFFFFF;
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 6; ++x) source.SetPixel(x, y, static_cast<uint32_t>(x * 0x2B1105 + y * 0x0731A3) & mask);
    source.TransparentColor = static_cast<int32_t>(source.GetPixel(2, 1));
    auto paint = [&](TCustomDIBX& d) {
      d.SetSize(8, 6, c.Bits);
      d.FillRect(TRect{0, 0, 8, 6}, 0x204060 & mask);  // raw: a memory surface keeps colours as given at 24 bits
      d.Draw(1, 1, source, TRect{0, 0, 6, 4}, true, false, false);
      d.DrawAlpha(2, 2, source, TRect{0, 0, 6, 4}, false, true, false, 100);
    };
    TDxDIBX dx;
    TDIBX memory;
    paint(dx);
    paint(memory);
    ASSERT_EQ(dx.BitCount(), memory.BitCount());
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(dx.GetPixel(x, y), memory.GetPixel(x, y)) << x << "," << y;
  }
}

// All sixteen slots answer: colours 1 to 16 fill slots 0 to 15, and each
// is then found without touching the surface, the last slot too.
TEST_F(DxDIBXFormatsTest, EverySlotOfTheColourCacheIsSearched) {
  TDxDIBX dib;
  dib.SetSize(4, 4, 32);
  const auto surface = draw_->LastSurface();
  for (int32_t c = 1; c <= TDxDIBX::kColorCacheSize; ++c) dib.ColorToPixel(c << 8);
  const int32_t locks = surface->LockCount(), dcs = surface->DCCount();
  for (int32_t c = TDxDIBX::kColorCacheSize; c >= 1; --c) {
    SCOPED_TRACE(c);
    EXPECT_EQ(dib.ColorToPixel(c << 8), c << 8);  // green c: 0x00cc00 either way round
    EXPECT_EQ(surface->LockCount(), locks);
    EXPECT_EQ(surface->DCCount(), dcs);
  }
}

// A new size forgets what the cache held: the same colour gives what the
// new surface holds for it. At 8 bits the palette made by SetSize is not
// attached, so GDI finds index 0 for every colour.
TEST_F(DxDIBXFormatsTest, ANewSizeForgetsTheCachedColours) {
  TDxDIBX dib;
  dib.SetSize(4, 4, 32);
  EXPECT_EQ(dib.ColorToPixel(0x0000FF), 0xFF0000);
  dib.SetSize(4, 4, 8);
  EXPECT_EQ(dib.ColorToPixel(0x0000FF), 0);
  // And at another display depth, on a surface of the same size.
  UseDisplay(TDisplayFormat::Rgb565);
  dib.SetSize(4, 4, 32);
  EXPECT_EQ(dib.ColorToPixel(0x0000FF), 0xF800);
}

// SetPaletteEntries sets the entries of the depth: 2 at 1 bit, 16 at 4,
// 256 at 8, all from entry 0.
TEST_F(DxDIBXFormatsTest, PaletteEntriesSetByDepth) {
  std::array<uint8_t, 1024> in{};
  for (size_t i = 0; i < 256; ++i) in[4 * i + 2] = static_cast<uint8_t>(255 - i);  // red
  const std::array<std::pair<int32_t, uint32_t>, 3> depths = {{{1, 2}, {4, 16}, {8, 256}}};
  for (const auto& [bits, count] : depths) {
    SCOPED_TRACE(bits);
    TDxDIBX dib;
    dib.SetSize(8, 2, bits);
    dib.SetPaletteEntries(in.data());
    EXPECT_EQ(draw_->LastPalette()->EntriesSet(), count);
    std::array<PALETTEENTRY, 256> out{};
    ASSERT_EQ(draw_->LastPalette()->GetEntries(0, 0, count, out.data()), DD_OK);
    EXPECT_EQ(out[0].peRed, 255);
    EXPECT_EQ(out[count - 1].peRed, 255 - (count - 1));
  }
}

TEST(MemoryDirectDrawFormats, SurfacesAliveAreCounted) {
  TMemoryDirectDraw draw(TDisplayFormat::Rgb24);
  DDSURFACEDESC desc;
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = 3;
  desc.dwHeight = 3;
  std::shared_ptr<IDirectDrawSurface> a, b;
  ASSERT_EQ(draw.CreateSurface(desc, a), DD_OK);
  ASSERT_EQ(draw.CreateSurface(desc, b), DD_OK);
  EXPECT_EQ(draw.LiveSurfaces(), 2);
  DDSURFACEDESC got;
  got.dwSize = kSurfaceDescSize;
  ASSERT_EQ(a->GetSurfaceDesc(got), DD_OK);
  EXPECT_EQ(got.ddpfPixelFormat.dwRGBBitCount, 24u);
  EXPECT_EQ(got.lPitch, 12);  // 9 bytes padded to 4
  a.reset();
  EXPECT_EQ(draw.LiveSurfaces(), 1);
  desc.dwWidth = 0;  // refused: counted only while it lived
  std::shared_ptr<IDirectDrawSurface> refused;
  EXPECT_NE(draw.CreateSurface(desc, refused), DD_OK);
  EXPECT_EQ(draw.LiveSurfaces(), 1);
}

}  // namespace
}  // namespace orba

// The DirectDraw drawing surface over the memory DirectDraw back end: what
// SetSize asks DirectDraw for, locks and pixels at each depth, colours found
// through the canvas with the 16-slot cache, palettes, wrapped surfaces, the
// failures the back end can be made to give, and the draws of the base
// class giving the same pixels as on a memory surface.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "graphics/dibx.h"
#include "graphics/dx_dibx.h"
#include "graphics/dx_dibx_fixture.h"
#include "graphics/surface_files.h"
#include "platform/direct_draw_memory.h"
#include "support/test_support.h"

namespace orba {
namespace {

TEST_F(DxDIBXTest, SetSizeAsksForPaletteFormatsOnlyAtPaletteDepths) {
  // Pixel-format flags and palette caps by depth: RGB (0x40) with indexed-1
  // (0x800), -4 (0x8) or -8 (0x20); caps 1-bit 0x100, 4-bit 0x1, 8-bit 0x4.
  struct TCase {
    int32_t bits;
    uint32_t desc_flags, pixel_flags, pixel_bits, palette_caps;
    int32_t got_bits;
  };
  const TCase cases[] = {
      {1, 0x1007, 0x840, 1, 0x100, 1},  {4, 0x1007, 0x48, 4, 0x1, 4}, {8, 0x1007, 0x60, 8, 0x4, 8},
      {16, 0x7, 0, 0, 0, 32},           {24, 0x7, 0, 0, 0, 32},        {32, 0x7, 0, 0, 0, 32},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.bits);
    TDxDIBX dib;
    dib.SetSize(5, 3, c.bits);
    const TSurfaceDescFields& asked = draw_->LastSurfaceDesc();
    EXPECT_EQ(asked.dwSize, kSurfaceDescSize);
    EXPECT_EQ(asked.dwFlags, c.desc_flags);
    EXPECT_EQ(asked.dwCaps, 0x840u);
    EXPECT_EQ(asked.dwWidth, 5u);
    EXPECT_EQ(asked.dwHeight, 3u);
    EXPECT_EQ(asked.ddpfPixelFormat.dwFlags, c.pixel_flags);
    EXPECT_EQ(asked.ddpfPixelFormat.dwRGBBitCount, c.pixel_bits);
    EXPECT_EQ(dib.BitCount(), c.got_bits);
    EXPECT_EQ(dib.Palette() != nullptr, c.palette_caps != 0);
    if (c.palette_caps != 0) {
      EXPECT_EQ(draw_->LastPaletteCaps(), c.palette_caps);
      // 256 entries are given; the palette is not attached to the surface.
      EXPECT_EQ(draw_->LastPalette()->EntryCount(), c.bits == 8 ? 256u : 1u << c.bits);
      EXPECT_EQ(draw_->LastSurface()->AttachedPalette(), nullptr);
    }
    EXPECT_EQ(dib.Width(), 5);
    EXPECT_EQ(dib.Height(), 3);
    EXPECT_FALSE(dib.IsEmpty());
  }
}

TEST_F(DxDIBXTest, ThirtyTwoBitsTakeTheDisplayFormat) {
  TDxDIBX dib;
  dib.SetSize(3, 2, 32);
  EXPECT_EQ(dib.RedMask(), 0xFF0000u);
  EXPECT_EQ(dib.GreenMask(), 0x00FF00u);
  EXPECT_EQ(dib.BlueMask(), 0x0000FFu);
  EXPECT_EQ(dib.RedShift(), 16);
  EXPECT_EQ(dib.GreenShift(), 8);
  EXPECT_EQ(dib.BlueShift(), 0);
  EXPECT_EQ(dib.Pitch(), 12);
  // Pure red (0x0000FF as 0x00BBGGRR) through GDI onto 8-8-8.
  EXPECT_EQ(dib.ColorToPixel(0x0000FF), 0xFF0000);
  EXPECT_EQ(dib.ColorToPixel(0x123456), 0x563412);
  EXPECT_EQ(dib.ColorToPixel(-1), -1);
}

TEST_F(DxDIBXTest, FirstGenerationIsPreferredAndSevenServesAlone) {
  TDxDIBX both;
  both.SetSize(2, 2, 32);
  EXPECT_NE(both.Surface(), nullptr);
  EXPECT_EQ(both.Surface7(), nullptr);
  TearDown();
  Install(TGenerations::Seven);
  TDxDIBX seven;
  seven.SetSize(2, 2, 32);
  EXPECT_EQ(seven.Surface(), nullptr);
  ASSERT_NE(seven.Surface7(), nullptr);
  EXPECT_EQ(draw_->LastSurfaceDesc().dwSize, kSurfaceDesc2Size);
  seven.SetPixel(1, 1, 0xABCDEF);
  EXPECT_EQ(seven.GetPixel(1, 1), 0xABCDEFu);
}

TEST_F(DxDIBXTest, LockOffsetsFollowTheDepth) {
  // Row Y starts Y pitches in; X counts X/8 bytes at 1 bit, X/2 at 4, X at 8
  // and four X at 32 (the display format 24 bits also get).
  struct TCase {
    int32_t bits, x, y;
    std::ptrdiff_t pitch, offset;
  };
  const TCase cases[] = {{1, 17, 2, 4, 2 * 4 + 2}, {4, 9, 1, 12, 12 + 4}, {8, 9, 3, 20, 60 + 9}, {32, 5, 1, 80, 80 + 20}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.bits);
    TDxDIBX dib;
    dib.SetSize(20, 4, c.bits);
    EXPECT_EQ(dib.Pitch(), c.pitch);
    uint8_t* origin = dib.Lock(0, 0);
    uint8_t* at = dib.Lock(c.x, c.y);
    ASSERT_NE(origin, nullptr);
    EXPECT_EQ(at - origin, c.offset);
    dib.Unlock();
    dib.Unlock();
    EXPECT_EQ(draw_->LastSurface()->LocksHeld(), 0);
  }
}

TEST_F(DxDIBXTest, OneColourTouchesTheSurfaceOnceAndTheSeventeenthTakesTheFirstSlot) {
  TDxDIBX dib;
  dib.SetSize(4, 4, 32);
  auto surface = draw_->LastSurface();
  dib.SetPixel(0, 0, 0x010203);
  const int32_t locks = surface->LockCount();
  EXPECT_EQ(dib.ColorToPixel(0x0000FF), 0xFF0000);
  const int32_t locks_after_first = surface->LockCount(), dcs = surface->DCCount();
  EXPECT_GT(locks_after_first, locks);
  EXPECT_EQ(dib.ColorToPixel(0x0000FF), 0xFF0000);
  EXPECT_EQ(surface->LockCount(), locks_after_first);
  EXPECT_EQ(surface->DCCount(), dcs);
  // (0, 0) keeps what it held.
  EXPECT_EQ(dib.GetPixel(0, 0), 0x010203u);
  // Colours 1..16 fill slots 1..15 and then slot 0, pushing out 0x0000FF;
  // colour 1 (in slot 1) is still a hit.
  for (int32_t c = 1; c <= 16; ++c) dib.ColorToPixel(c);
  int32_t before = surface->LockCount();
  dib.ColorToPixel(1);
  EXPECT_EQ(surface->LockCount(), before);
  dib.ColorToPixel(0x0000FF);
  EXPECT_GT(surface->LockCount(), before);
  EXPECT_EQ(dib.GetPixel(0, 0), 0x010203u);
  // A new size forgets every cached colour.
  dib.SetSize(4, 4, 32);
  surface = draw_->LastSurface();
  before = surface->LockCount();
  dib.ColorToPixel(1);
  EXPECT_GT(surface->LockCount(), before);
}

TEST_F(DxDIBXTest, PaletteEntriesAtEachDepth) {
  std::array<uint8_t, 1024> in{}, out{};
  for (size_t i = 0; i < 256; ++i) {
    in[4 * i] = static_cast<uint8_t>(i);           // blue
    in[4 * i + 1] = static_cast<uint8_t>(i + 1);   // green
    in[4 * i + 2] = static_cast<uint8_t>(i + 2);   // red
    in[4 * i + 3] = 0x77;                          // reserved, not stored
  }
  TDxDIBX dib;
  dib.SetSize(2, 2, 4);
  dib.SetPaletteEntries(in.data());
  EXPECT_EQ(draw_->LastPalette()->EntriesSet(), 16u);
  out.fill(0xEE);
  dib.GetPaletteEntries(out.data());
  for (size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(out[4 * i], in[4 * i]);
    EXPECT_EQ(out[4 * i + 1], in[4 * i + 1]);
    EXPECT_EQ(out[4 * i + 2], in[4 * i + 2]);
    EXPECT_EQ(out[4 * i + 3], 0xEE);  // the fourth byte is left alone
  }
  // Exactly 16 entries: the seventeenth is untouched.
  EXPECT_EQ(out[64], 0xEE);
  // A range past the 16 entries in use is refused.
  EXPECT_THROW(dib.SetPaletteRange(in.data(), 10, 10), EDirectDrawError);
  // No palette at 32 bits: palette calls do nothing.
  TDxDIBX deep;
  deep.SetSize(2, 2, 32);
  out.fill(0xEE);
  deep.GetPaletteEntries(out.data());
  deep.SetPaletteRange(in.data(), 0, 300);
  EXPECT_EQ(out[0], 0xEE);
}

TEST_F(DxDIBXTest, EightBitColoursMapToTheAttachedPalette) {
  std::array<uint8_t, 1024> table{};
  table[4 * 3 + 2] = 0xFF;  // entry 3: pure red
  TDxDIBX dib;
  dib.SetSize(2, 2, 8);
  dib.SetPaletteEntries(table.data());
  draw_->LastSurface()->SetPalette(std::shared_ptr<IDirectDrawPalette>(draw_->LastPalette()));
  EXPECT_EQ(dib.ColorToPixel(0x0000FF), 3);
}

// A wrapper keeps its own reference: the surface outlives the caller's
// reference, FreeSurface leaves it (and its palette) alone, and the
// wrapper's end lets it go.
TEST_F(DxDIBXTest, WrappedSurfacesLiveAsLongAsTheWrapperAndAreNeverFreedByIt) {
  DDSURFACEDESC desc;
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwWidth = 3;
  desc.dwHeight = 2;
  std::shared_ptr<IDirectDrawSurface> mine;
  ASSERT_EQ(draw_->CreateSurface(desc, mine), DD_OK);
  std::shared_ptr<IDirectDrawPalette> palette;
  const std::array<PALETTEENTRY, 256> entries{};
  ASSERT_EQ(draw_->CreatePalette(DDPCAPS_8BIT, entries.data(), palette), DD_OK);
  mine->SetPalette(palette);
  const std::weak_ptr<IDirectDrawSurface> watched = mine;
  std::unique_ptr<TDxDIBX> dib = TDxDIBX::CreateFromSurface(std::move(mine));
  EXPECT_EQ(draw_->LiveSurfaces(), 1);
  EXPECT_FALSE(watched.expired());
  EXPECT_FALSE(dib->OwnsSurface());
  EXPECT_EQ(dib->Width(), 3);
  EXPECT_EQ(dib->BitCount(), 32);
  dib->FreeSurface();
  ASSERT_FALSE(watched.expired());
  EXPECT_FALSE(dib->IsEmpty());
  EXPECT_EQ(draw_->LastSurface()->AttachedPalette(), palette.get());
  dib->FillRect(TRect{0, 0, 3, 2}, 0x00ABCDEF);
  EXPECT_EQ(dib->GetPixel(2, 1), 0xABCDEFu);
  DDSURFACEDESC locked;
  locked.dwSize = kSurfaceDescSize;
  ASSERT_EQ(watched.lock()->Lock(nullptr, locked, DDLOCK_WAIT), DD_OK);
  EXPECT_EQ(locked.lpSurface[4], 0xEF);  // pixel (1, 0), blue byte
  watched.lock()->Unlock(nullptr);
  dib.reset();
  EXPECT_TRUE(watched.expired());
  EXPECT_EQ(draw_->LiveSurfaces(), 0);

  DDSURFACEDESC2 desc2;
  static_cast<TSurfaceDescFields&>(desc2) = desc;
  desc2.dwSize = kSurfaceDesc2Size;
  std::shared_ptr<IDirectDrawSurface7> mine7;
  ASSERT_EQ(draw_->CreateSurface(desc2, mine7), DD_OK);
  const std::weak_ptr<IDirectDrawSurface7> watched7 = mine7;
  std::unique_ptr<TDxDIBX> dib7 = TDxDIBX::CreateFromSurface7(std::move(mine7));
  dib7->FreeSurface();
  EXPECT_EQ(dib7->Height(), 2);
  EXPECT_FALSE(dib7->IsEmpty());
  dib7->SetPixel(0, 1, 0x123456);
  EXPECT_EQ(dib7->GetPixel(0, 1), 0x123456u);
  EXPECT_FALSE(watched7.expired());
  dib7.reset();
  EXPECT_TRUE(watched7.expired());
}

TEST_F(DxDIBXTest, AnOwnedSurfaceGoesWithFreeSurface) {
  TDxDIBX dib;
  dib.SetSize(3, 3, 8);
  std::weak_ptr<TMemoryDirectDrawSurface> surface = draw_->LastSurface();
  dib.FreeSurface();
  EXPECT_TRUE(surface.expired());
  EXPECT_TRUE(dib.IsEmpty());
  EXPECT_EQ(dib.Palette(), nullptr);
  EXPECT_EQ(dib.Lock(0, 0), nullptr);
}

TEST_F(DxDIBXTest, FailuresOfTheBackEnd) {
  TDxDIBX dib;
  dib.SetSize(4, 4, 32);
  dib.SetPixel(1, 1, 0x445566);
  draw_->Faults().FailLock = true;
  EXPECT_EQ(dib.Lock(0, 0), nullptr);
  EXPECT_EQ(dib.GetPixel(1, 1), 0u);
  dib.SetPixel(1, 1, 0x111111);
  dib.FillRect(TRect{0, 0, 4, 4}, 0x222222);
  draw_->Faults().FailLock = false;
  EXPECT_EQ(dib.GetPixel(1, 1), 0x445566u);
  EXPECT_EQ(draw_->LastSurface()->LocksHeld(), 0);

  std::array<uint8_t, 1024> entries{};
  TDxDIBX indexed;
  indexed.SetSize(2, 2, 8);
  draw_->Faults().FailPaletteSet = true;
  try {
    indexed.SetPaletteRange(entries.data(), 0, 4);
    ADD_FAILURE() << "no exception";
  } catch (const EDirectDrawError& e) {
    EXPECT_EQ(std::string(e.what()), "FPalette.SetEntries Failed");
  }
  indexed.SetPaletteEntries(entries.data());  // the result is not looked at

  draw_->Faults().FailCreateSurface = true;
  try {
    dib.SetSize(8, 8, 32);
    ADD_FAILURE() << "no exception";
  } catch (const EDirectDrawError& e) {
    EXPECT_EQ(std::string(e.what()), "\"CreateSurface\" Failed");
  }
  // The old surface is gone by then.
  EXPECT_TRUE(dib.IsEmpty());
}

TEST_F(DxDIBXTest, WithoutDirectDrawTheSurfaceIsEmptyAndDrawsNothing) {
  TearDown();
  Install(TGenerations::None);
  // A manager without DirectDraw objects runs in system memory, so the
  // choice gives memory bitmaps...
  EXPECT_FALSE(UseDirectDrawSurfaces());
  EXPECT_NE(dynamic_cast<TDIBX*>(NewDrawingSurface().get()), nullptr);
  // ...and told to run accelerated all the same, its surfaces stay empty.
  ScreenManager()->SetSystemMemory(false);
  std::unique_ptr<TCustomDIBX> made = NewDrawingSurface();
  ASSERT_NE(dynamic_cast<TDxDIBX*>(made.get()), nullptr);
  TCustomDIBX& dib = *made;
  dib.SetSize(4, 4, 32);
  EXPECT_TRUE(dib.IsEmpty());
  EXPECT_EQ(dib.Lock(0, 0), nullptr);
  dib.FillRect(TRect{0, 0, 4, 4}, 0x123456);
  EXPECT_EQ(dib.GetPixel(0, 0), 0u);
  EXPECT_EQ(dib.GetDC(), nullptr);
  TDIBX target;
  target.SetSize(4, 4, 32);
  target.Fill(0x010101);
  target.Draw(0, 0, dib, TRect{0, 0, 4, 4}, false, false, false);
  EXPECT_EQ(target.GetPixel(2, 2), 0x010101u);
}

TEST_F(DxDIBXTest, TheRuleChoosesDirectDrawUnlessForcedToSystemMemory) {
  EXPECT_NE(dynamic_cast<TDxDIBX*>(NewDrawingSurface().get()), nullptr);
  ScreenManager()->SetSystemMemory(true);
  EXPECT_NE(dynamic_cast<TDIBX*>(NewDrawingSurface().get()), nullptr);
  SetScreenManager(nullptr);
  EXPECT_NE(dynamic_cast<TDIBX*>(NewDrawingSurface().get()), nullptr);
}

// Picture files go in and out of a DirectDraw surface through its device
// context as they do for a memory surface: a 24-bit BMP written from one,
// read back into either kind at 32 bits, pixel for pixel.
TEST_F(DxDIBXTest, PictureFilesThroughTheDeviceContext) {
  test::TempDir dir;
  TDxDIBX written;
  written.SetSize(5, 3, 32);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) written.SetPixel(x, y, static_cast<uint32_t>(0x102030 * (x + 1) + 0x050301 * y));
  SaveDIBXToFile(written, dir / "out.bmp");
  TDxDIBX read;
  read.SetSize(1, 1, 32);
  TDIBX memory;
  memory.SetSize(1, 1, 32);
  LoadDIBXFromFile(read, dir / "out.bmp");
  LoadDIBXFromFile(memory, dir / "out.bmp");
  ASSERT_EQ((std::pair{read.Width(), read.Height()}), (std::pair{5, 3}));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      EXPECT_EQ(read.GetPixel(x, y), written.GetPixel(x, y)) << x << "," << y;
      EXPECT_EQ(memory.GetPixel(x, y), written.GetPixel(x, y)) << x << "," << y;
    }
  // Nothing stays locked or held.
  EXPECT_EQ(draw_->LastSurface()->LocksHeld(), 0);
  EXPECT_EQ(read.GetDC(), read.GetDC());
  read.ReleaseDC();
}

// The base class's draws land the same on both kinds of surface.
TEST_F(DxDIBXTest, DrawsMatchTheMemorySurface) {
  TDIBX source;
  source.SetSize(7, 5, 32);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) source.SetPixel(x, y, static_cast<uint32_t>(x * 0x2311 + y * 0x170503));
  source.TransparentColor = static_cast<int32_t>(source.GetPixel(3, 2));
  auto paint = [&](TCustomDIBX& d) {
    d.SetSize(9, 8, 32);
    d.Fill(0x102030);
    d.FillRectAlpha(TRect{1, 1, 6, 7}, 0x8090A0, 100);
    d.Draw(1, 2, source, TRect{0, 0, 7, 5}, true, true, false);
    d.DrawAlpha(-2, 3, source, TRect{1, 1, 7, 5}, false, false, true, 90);
    d.DrawAdd(4, 0, source, TRect{0, 0, 5, 5}, true, false, false, 200);
    d.FrameRect(TRect{0, 0, 9, 8}, 1, 0xFFEEDD);
  };
  TDIBX memory;
  TDxDIBX surface;
  paint(memory);
  paint(surface);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 9; ++x) ASSERT_EQ(surface.GetPixel(x, y), memory.GetPixel(x, y)) << x << "," << y;
}

}  // namespace
}  // namespace orba

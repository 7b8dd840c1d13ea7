// The memory DirectDraw back end: which descriptions make a surface and
// which are refused, locks of rectangles, device contexts over the pixels
// with the attached palette, and palettes of each capability.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "platform/direct_draw_memory.h"

namespace orba {
namespace {

DDSURFACEDESC Plain(uint32_t width, uint32_t height) {
  DDSURFACEDESC desc;
  desc.dwSize = kSurfaceDescSize;
  desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  desc.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  desc.dwWidth = width;
  desc.dwHeight = height;
  return desc;
}

// A description and what CreateSurface answers to it.
struct TMadeCase {
  const char* what;
  DDSURFACEDESC desc;
  HRESULT result;
};

void ExpectMade(TMemoryDirectDraw& draw, std::span<const TMadeCase> cases) {
  for (const TMadeCase& c : cases) {
    std::shared_ptr<IDirectDrawSurface> surface;
    EXPECT_EQ(draw.CreateSurface(c.desc, surface), c.result) << c.what;
    EXPECT_EQ(surface != nullptr, c.result == DD_OK) << c.what;
  }
}

TEST(MemoryDirectDraw, DescriptionsMadeAndRefused) {
  DDSURFACEDESC wrong_size = Plain(4, 4);
  wrong_size.dwSize = kSurfaceDesc2Size;
  DDSURFACEDESC no_width = Plain(4, 4);
  no_width.dwFlags = DDSD_CAPS | DDSD_HEIGHT;
  DDSURFACEDESC mismatched = Plain(4, 4);
  mismatched.dwFlags |= DDSD_PIXELFORMAT;
  mismatched.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
  mismatched.ddpfPixelFormat.dwRGBBitCount = 4;
  DDSURFACEDESC direct = Plain(4, 4);
  direct.dwFlags |= DDSD_PIXELFORMAT;
  direct.ddpfPixelFormat.dwFlags = DDPF_RGB;
  direct.ddpfPixelFormat.dwRGBBitCount = 16;
  const TMadeCase cases[] = {
      {"plain", Plain(4, 4), DD_OK},
      {"the 7 description's size", wrong_size, DDERR_INVALIDPARAMS},
      {"no width", no_width, DDERR_INVALIDPARAMS},
      {"zero height", Plain(4, 0), DDERR_INVALIDPARAMS},
      // 8192 x 8192 is the largest; one row more is refused before any
      // memory is taken, as is a width that overflows 32 bits.
      {"too many pixels", Plain(8192, 8193), DDERR_OUTOFMEMORY},
      {"huge width", Plain(0xFFFFFFFFu, 2), DDERR_OUTOFMEMORY},
      {"indexed 8 with 4 bits", mismatched, DDERR_INVALIDPIXELFORMAT},
      {"a direct format asked for", direct, DDERR_INVALIDPIXELFORMAT},
  };
  TMemoryDirectDraw draw;
  ExpectMade(draw, cases);
  draw.Faults().FailCreateSurface = true;
  std::shared_ptr<IDirectDrawSurface> surface;
  EXPECT_TRUE(Failed(draw.CreateSurface(Plain(4, 4), surface)));
}

TEST(MemoryDirectDraw, LocksOfRectangles) {
  TMemoryDirectDraw draw;
  std::shared_ptr<IDirectDrawSurface> surface;
  ASSERT_EQ(draw.CreateSurface(Plain(5, 4), surface), DD_OK);
  DDSURFACEDESC whole, part;
  whole.dwSize = part.dwSize = kSurfaceDescSize;
  ASSERT_EQ(surface->Lock(nullptr, whole, DDLOCK_WAIT), DD_OK);
  EXPECT_EQ(whole.lPitch, 20);
  EXPECT_EQ(whole.ddpfPixelFormat.dwRGBBitCount, 32u);
  RECT r{2, 3, 4, 4};
  ASSERT_EQ(surface->Lock(&r, part, DDLOCK_WAIT), DD_OK);
  // Row 3, pixel 2: 3 x 20 + 2 x 4 bytes in.
  EXPECT_EQ(part.lpSurface - whole.lpSurface, 68);
  EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
  EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
  EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
  for (RECT bad : {RECT{-1, 0, 1, 1}, RECT{0, 0, 6, 1}, RECT{2, 2, 2, 3}, RECT{0, 3, 1, 5}})
    EXPECT_EQ(surface->Lock(&bad, part, DDLOCK_WAIT), DDERR_INVALIDRECT) << bad.left << "," << bad.right;
  DDSURFACEDESC2 wrong;
  wrong.dwSize = kSurfaceDescSize;
  auto seven = std::dynamic_pointer_cast<IDirectDrawSurface7>(surface);
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven->Lock(nullptr, wrong, DDLOCK_WAIT), DDERR_INVALIDPARAMS);
}

TEST(MemoryDirectDraw, DeviceContextsAndPalettes) {
  TMemoryDirectDraw draw;
  DDSURFACEDESC desc = Plain(3, 2);
  desc.dwFlags |= DDSD_PIXELFORMAT;
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED4;
  desc.ddpfPixelFormat.dwRGBBitCount = 4;
  std::shared_ptr<IDirectDrawSurface> surface;
  ASSERT_EQ(draw.CreateSurface(desc, surface), DD_OK);
  std::array<PALETTEENTRY, 256> entries{};
  entries[1] = PALETTEENTRY{10, 20, 30, 0};
  std::shared_ptr<IDirectDrawPalette> palette;
  EXPECT_EQ(draw.CreatePalette(0, entries.data(), palette), DDERR_INVALIDPARAMS);
  ASSERT_EQ(draw.CreatePalette(DDPCAPS_4BIT, entries.data(), palette), DD_OK);
  // 16 entries in use: a 17th is out of range.
  EXPECT_EQ(palette->SetEntries(0, 15, 2, entries.data()), DDERR_INVALIDPARAMS);
  EXPECT_EQ(palette->GetEntries(0, 16, 1, entries.data()), DDERR_INVALIDPARAMS);
  surface->SetPalette(palette);
  HDC dc = nullptr, again = nullptr;
  ASSERT_EQ(surface->GetDC(dc), DD_OK);
  EXPECT_EQ(surface->GetDC(again), DDERR_DCALREADYCREATED);
  EXPECT_EQ((std::array<int32_t, 3>{dc->Width, dc->Height, dc->BitCount}), (std::array<int32_t, 3>{3, 2, 4}));
  // Entry 1 as blue, green, red, reserved.
  EXPECT_EQ((std::array<uint8_t, 4>{dc->Palette[4], dc->Palette[5], dc->Palette[6], dc->Palette[7]}),
            (std::array<uint8_t, 4>{30, 20, 10, 0}));
  EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
  EXPECT_EQ(surface->ReleaseDC(dc), DDERR_NODC);
}

// A surface over the caller's memory: made only in the display's format
// with a pitch holding a whole row, 4-byte aligned; locks and the device
// context then address that memory, rows top first, and nothing is copied.
TEST(MemoryDirectDraw, SurfacesOverClientMemory) {
  std::vector<uint8_t> memory(24 * 3);  // 5 pixels of 4 bytes padded to 24, 3 rows
  const auto client = [&memory](int32_t pitch) {
    DDSURFACEDESC desc = Plain(5, 3);
    desc.dwFlags |= DDSD_LPSURFACE | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.lpSurface = memory.data();
    desc.lPitch = pitch;
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = 32;
    desc.ddpfPixelFormat.dwRBitMask = 0xFF0000;
    desc.ddpfPixelFormat.dwGBitMask = 0x00FF00;
    desc.ddpfPixelFormat.dwBBitMask = 0x0000FF;
    return desc;
  };
  DDSURFACEDESC no_pitch = client(24), no_memory = client(24), no_format = client(24), blue_high = client(24),
                sixteen = client(24), indexed = client(24);
  no_pitch.dwFlags &= ~DDSD_PITCH;
  no_memory.lpSurface = nullptr;
  no_format.dwFlags &= ~DDSD_PIXELFORMAT;
  std::swap(blue_high.ddpfPixelFormat.dwRBitMask, blue_high.ddpfPixelFormat.dwBBitMask);
  sixteen.ddpfPixelFormat.dwRGBBitCount = 16;
  indexed.ddpfPixelFormat.dwFlags |= DDPF_PALETTEINDEXED8;
  const TMadeCase cases[] = {
      {"a whole row", client(20), DD_OK},
      {"padded rows", client(24), DD_OK},
      {"a row short", client(16), DDERR_INVALIDPARAMS},
      {"an odd pitch", client(22), DDERR_INVALIDPARAMS},
      {"a pitch upwards", client(-20), DDERR_INVALIDPARAMS},
      {"no pitch", no_pitch, DDERR_INVALIDPARAMS},
      {"no memory", no_memory, DDERR_INVALIDPARAMS},
      {"no pixel format", no_format, DDERR_INVALIDPARAMS},
      {"blue high", blue_high, DDERR_INVALIDPIXELFORMAT},
      {"16 bits", sixteen, DDERR_INVALIDPIXELFORMAT},
      {"a palette format", indexed, DDERR_INVALIDPIXELFORMAT},
  };
  TMemoryDirectDraw draw;
  ExpectMade(draw, cases);
  std::shared_ptr<IDirectDrawSurface> surface;
  ASSERT_EQ(draw.CreateSurface(client(24), surface), DD_OK);
  DDSURFACEDESC described;
  described.dwSize = kSurfaceDescSize;
  ASSERT_EQ(surface->GetSurfaceDesc(described), DD_OK);
  EXPECT_EQ(described.lPitch, 24);
  EXPECT_EQ(described.ddpfPixelFormat.dwRGBBitCount, 32u);
  DDSURFACEDESC part;
  part.dwSize = kSurfaceDescSize;
  RECT r{1, 2, 3, 3};
  ASSERT_EQ(surface->Lock(&r, part, DDLOCK_WAIT), DD_OK);
  // Row 2, pixel 1 of the caller's memory: 2 x 24 + 1 x 4 bytes in.
  EXPECT_EQ(part.lpSurface, memory.data() + 52);
  part.lpSurface[0] = 0x5A;
  EXPECT_EQ(memory[52], 0x5A);
  EXPECT_EQ(surface->Unlock(&r), DD_OK);
  HDC dc = nullptr;
  ASSERT_EQ(surface->GetDC(dc), DD_OK);
  EXPECT_EQ(dc->Bits, memory.data());
  EXPECT_EQ(dc->Pitch, 24);
  EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
}

}  // namespace
}  // namespace orba

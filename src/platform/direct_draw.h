// The DirectDraw services the drawing surfaces and the screen manager call:
// a DirectDraw object in its two generations (the first and 7), off-screen
// surfaces made from a description, palettes, locks, and device contexts
// over a surface's pixels. Only what the player calls is here. The one back
// end keeps every surface in system memory (direct_draw_memory.h); the
// drawing surface over it is TDxDIBX (graphics/dx_dibx.h).
//
// Results are HRESULT values: DD_OK or a negative error. Interfaces are
// held by shared pointers; "releasing" one is dropping the pointer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace orba {

using HRESULT = int32_t;
inline constexpr HRESULT DD_OK = 0;
inline constexpr HRESULT DDERR_GENERIC = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT DDERR_INVALIDPIXELFORMAT = static_cast<HRESULT>(0x88760091u);
inline constexpr HRESULT DDERR_INVALIDRECT = static_cast<HRESULT>(0x88760096u);
inline constexpr HRESULT DDERR_NOTLOCKED = static_cast<HRESULT>(0x887601E8u);
inline constexpr HRESULT DDERR_DCALREADYCREATED = static_cast<HRESULT>(0x8876026Cu);
inline constexpr HRESULT DDERR_NODC = static_cast<HRESULT>(0x8876024Bu);
inline bool Failed(HRESULT result) { return result < 0; }

// Description flags: which fields of a surface description are valid.
inline constexpr uint32_t DDSD_CAPS = 0x1;
inline constexpr uint32_t DDSD_HEIGHT = 0x2;
inline constexpr uint32_t DDSD_WIDTH = 0x4;
inline constexpr uint32_t DDSD_PITCH = 0x8;
inline constexpr uint32_t DDSD_PIXELFORMAT = 0x1000;
inline constexpr uint32_t DDSD_LPSURFACE = 0x800;
// Surface capabilities.
inline constexpr uint32_t DDSCAPS_OFFSCREENPLAIN = 0x40;
inline constexpr uint32_t DDSCAPS_SYSTEMMEMORY = 0x800;
// Pixel-format flags.
inline constexpr uint32_t DDPF_PALETTEINDEXED4 = 0x8;
inline constexpr uint32_t DDPF_PALETTEINDEXED8 = 0x20;
inline constexpr uint32_t DDPF_RGB = 0x40;
inline constexpr uint32_t DDPF_PALETTEINDEXED1 = 0x800;
// Palette capabilities: entries 2, 16 or 256 in use.
inline constexpr uint32_t DDPCAPS_4BIT = 0x1;
inline constexpr uint32_t DDPCAPS_8BIT = 0x4;
inline constexpr uint32_t DDPCAPS_1BIT = 0x100;
// Lock flags: wait while the surface is busy.
inline constexpr uint32_t DDLOCK_WAIT = 0x1;

// The stored size of each description generation, checked by the calls.
inline constexpr uint32_t kSurfaceDescSize = 108;
inline constexpr uint32_t kSurfaceDesc2Size = 124;
inline constexpr uint32_t kPixelFormatSize = 32;

struct DDPIXELFORMAT {
  uint32_t dwSize = kPixelFormatSize;
  uint32_t dwFlags = 0;
  uint32_t dwFourCC = 0;
  uint32_t dwRGBBitCount = 0;
  uint32_t dwRBitMask = 0, dwGBitMask = 0, dwBBitMask = 0, dwRGBAlphaBitMask = 0;
};

// The fields both description generations share; a lock fills lpSurface,
// and CreateSurface with DDSD_LPSURFACE makes the surface over the memory
// it names (the caller's, kept alive by the caller as long as the surface).
struct TSurfaceDescFields {
  uint32_t dwSize = 0;
  uint32_t dwFlags = 0;
  uint32_t dwHeight = 0;
  uint32_t dwWidth = 0;
  int32_t lPitch = 0;
  uint8_t* lpSurface = nullptr;
  DDPIXELFORMAT ddpfPixelFormat;
  uint32_t dwCaps = 0;
};
struct DDSURFACEDESC : TSurfaceDescFields {
  static constexpr uint32_t kSize = kSurfaceDescSize;
};
struct DDSURFACEDESC2 : TSurfaceDescFields {
  static constexpr uint32_t kSize = kSurfaceDesc2Size;
};

struct PALETTEENTRY {
  uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
};

struct RECT {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// A device context over a surface's pixels: what GDI-style copies write
// to. Rows are Pitch bytes apart from Bits (row 0 at the top); palette
// depths map colours through Palette (blue, green, red, reserved).
struct TDeviceContext {
  uint8_t* Bits = nullptr;
  std::ptrdiff_t Pitch = 0;
  int32_t Width = 0, Height = 0, BitCount = 0;
  uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
  std::array<uint8_t, 1024> Palette{};
};
using HDC = TDeviceContext*;

class IDirectDrawPalette {
 public:
  virtual ~IDirectDrawPalette() = default;
  virtual HRESULT GetEntries(uint32_t flags, uint32_t start, uint32_t count, PALETTEENTRY* entries) = 0;
  virtual HRESULT SetEntries(uint32_t flags, uint32_t start, uint32_t count, const PALETTEENTRY* entries) = 0;
};

// What both surface generations answer alike.
class IDirectDrawSurfaceCommon {
 public:
  virtual ~IDirectDrawSurfaceCommon() = default;
  virtual HRESULT Unlock(RECT* rect) = 0;
  virtual HRESULT GetDC(HDC& dc) = 0;
  virtual HRESULT ReleaseDC(HDC dc) = 0;
  // Attaches a palette (nullptr detaches).
  virtual HRESULT SetPalette(std::shared_ptr<IDirectDrawPalette> palette) = 0;
};

class IDirectDrawSurface : public virtual IDirectDrawSurfaceCommon {
 public:
  // desc.dwSize must be kSurfaceDescSize.
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC& desc) = 0;
  // Locks Rect (nullptr: the whole surface); lpSurface is its top-left pixel.
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC& desc, uint32_t flags) = 0;
};

class IDirectDrawSurface7 : public virtual IDirectDrawSurfaceCommon {
 public:
  // desc.dwSize must be kSurfaceDesc2Size.
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2& desc) = 0;
  virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2& desc, uint32_t flags) = 0;
};

// The description of an off-screen surface in system memory of the given
// size, in the display's format (no pixel format given).
template <class TDesc>
TDesc OffScreenDesc(int32_t width, int32_t height) {
  TDesc desc;
  desc.dwSize = TDesc::kSize;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
  desc.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  desc.dwWidth = static_cast<uint32_t>(width);
  desc.dwHeight = static_cast<uint32_t>(height);
  return desc;
}

class IDirectDraw {
 public:
  virtual ~IDirectDraw() = default;
  virtual HRESULT CreateSurface(const DDSURFACEDESC& desc, std::shared_ptr<IDirectDrawSurface>& surface) = 0;
  // Entries holds 256 entries; Caps says how many the palette uses.
  virtual HRESULT CreatePalette(uint32_t caps, const PALETTEENTRY* entries,
                                std::shared_ptr<IDirectDrawPalette>& palette) = 0;
};

class IDirectDraw7 {
 public:
  virtual ~IDirectDraw7() = default;
  virtual HRESULT CreateSurface(const DDSURFACEDESC2& desc, std::shared_ptr<IDirectDrawSurface7>& surface) = 0;
  virtual HRESULT CreatePalette(uint32_t caps, const PALETTEENTRY* entries,
                                std::shared_ptr<IDirectDrawPalette>& palette) = 0;
};

}  // namespace orba

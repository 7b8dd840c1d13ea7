#include "platform/direct_draw_memory.h"

#include <algorithm>
#include <cstring>

namespace orba {

namespace {

// The largest surface made (8192 x 8192 pixels), as for every picture.
constexpr int64_t kMaxSurfacePixels = int64_t{1} << 26;


// Entries in use by the palette capabilities; 0 for none of the three.
uint32_t PaletteEntryCount(uint32_t caps) {
  if (caps & DDPCAPS_1BIT) return 2;
  if (caps & DDPCAPS_4BIT) return 16;
  if (caps & DDPCAPS_8BIT) return 256;
  return 0;
}

// The palette depth a pixel format asks for; 0 when it asks for none.
uint32_t IndexedBits(const DDPIXELFORMAT& format) {
  if (format.dwFlags & DDPF_PALETTEINDEXED1) return 1;
  if (format.dwFlags & DDPF_PALETTEINDEXED4) return 4;
  if (format.dwFlags & DDPF_PALETTEINDEXED8) return 8;
  return 0;
}

}  // namespace

DDPIXELFORMAT DisplayPixelFormat(TDisplayFormat format) {
  DDPIXELFORMAT f;
  f.dwFlags = DDPF_RGB;
  switch (format) {
    case TDisplayFormat::Rgb32: f.dwRGBBitCount = 32; f.dwRBitMask = 0xFF0000; f.dwGBitMask = 0xFF00; f.dwBBitMask = 0xFF; break;
    case TDisplayFormat::Rgb24: f.dwRGBBitCount = 24; f.dwRBitMask = 0xFF0000; f.dwGBitMask = 0xFF00; f.dwBBitMask = 0xFF; break;
    case TDisplayFormat::Rgb565: f.dwRGBBitCount = 16; f.dwRBitMask = 0xF800; f.dwGBitMask = 0x07E0; f.dwBBitMask = 0x1F; break;
    case TDisplayFormat::Rgb555: f.dwRGBBitCount = 16; f.dwRBitMask = 0x7C00; f.dwGBitMask = 0x03E0; f.dwBBitMask = 0x1F; break;
  }
  return f;
}

// ---- palette ------------------------------------------------------------------

TMemoryDirectDrawPalette::TMemoryDirectDrawPalette(uint32_t caps, const PALETTEENTRY* entries,
                                                   std::shared_ptr<TDirectDrawFaults> faults)
    : count_(PaletteEntryCount(caps)), faults_(std::move(faults)) {
  if (entries != nullptr) std::copy(entries, entries + 256, entries_.begin());
}

HRESULT TMemoryDirectDrawPalette::GetEntries(uint32_t, uint32_t start, uint32_t count, PALETTEENTRY* entries) {
  if (entries == nullptr || start > count_ || count > count_ - start) return DDERR_INVALIDPARAMS;
  std::copy(entries_.begin() + start, entries_.begin() + start + count, entries);
  return DD_OK;
}

HRESULT TMemoryDirectDrawPalette::SetEntries(uint32_t, uint32_t start, uint32_t count, const PALETTEENTRY* entries) {
  if (faults_->FailPaletteSet) return DDERR_GENERIC;
  if (entries == nullptr || start > count_ || count > count_ - start) return DDERR_INVALIDPARAMS;
  std::copy(entries, entries + count, entries_.begin() + start);
  entries_set_ += count;
  return DD_OK;
}

// ---- surface ------------------------------------------------------------------

TMemoryDirectDrawSurface::TMemoryDirectDrawSurface(const TSurfaceDescFields& desc, const DDPIXELFORMAT& display,
                                                   std::shared_ptr<TDirectDrawFaults> faults)
    : faults_(std::move(faults)) {
  ++faults_->LiveSurfaces;
  static_cast<TSurfaceDescFields&>(created_with_) = desc;
  const uint32_t required = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  const int64_t width = desc.dwWidth, height = desc.dwHeight;
  if ((desc.dwFlags & required) != required || width < 1 || height < 1) {
    status_ = DDERR_INVALIDPARAMS;
    return;
  }
  if (width * height > kMaxSurfacePixels) {
    status_ = DDERR_OUTOFMEMORY;
    return;
  }
  if (desc.dwFlags & DDSD_LPSURFACE) {
    status_ = AdoptClientMemory(desc, display);
    return;
  }
  DDPIXELFORMAT format;
  if (desc.dwFlags & DDSD_PIXELFORMAT) {
    const uint32_t bits = IndexedBits(desc.ddpfPixelFormat);
    if (bits == 0 || desc.ddpfPixelFormat.dwRGBBitCount != bits) {
      status_ = DDERR_INVALIDPIXELFORMAT;
      return;
    }
    format.dwFlags = desc.ddpfPixelFormat.dwFlags;
    format.dwRGBBitCount = bits;
  } else {
    format = display;
  }
  const int64_t pitch = (width * format.dwRGBBitCount + 31) / 32 * 4;
  format_.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
  format_.dwWidth = desc.dwWidth;
  format_.dwHeight = desc.dwHeight;
  format_.lPitch = static_cast<int32_t>(pitch);
  format_.ddpfPixelFormat = format;
  format_.dwCaps = desc.dwCaps;
  pixels_.assign(static_cast<size_t>(pitch * height), 0);
  bits_ = pixels_.data();
}

TMemoryDirectDrawSurface::~TMemoryDirectDrawSurface() { --faults_->LiveSurfaces; }

// Client memory: the caller's rows, top first, Pitch bytes apart, in the
// display's format only (what the player hands over is a decoded picture
// kept at the display's depth). Nothing is allocated and nothing copied.
HRESULT TMemoryDirectDrawSurface::AdoptClientMemory(const TSurfaceDescFields& desc, const DDPIXELFORMAT& display) {
  const uint32_t required = DDSD_PITCH | DDSD_PIXELFORMAT;
  if ((desc.dwFlags & required) != required || desc.lpSurface == nullptr) return DDERR_INVALIDPARAMS;
  const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
  if (f.dwFlags != DDPF_RGB || f.dwRGBBitCount != display.dwRGBBitCount || f.dwRBitMask != display.dwRBitMask ||
      f.dwGBitMask != display.dwGBitMask || f.dwBBitMask != display.dwBBitMask)
    return DDERR_INVALIDPIXELFORMAT;
  // Rows may be padded but must hold a whole row and stay 4-byte aligned.
  const int64_t row = int64_t{desc.dwWidth} * (display.dwRGBBitCount / 8);
  if (desc.lPitch < row || desc.lPitch % 4 != 0) return DDERR_INVALIDPARAMS;
  format_.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
  format_.dwWidth = desc.dwWidth;
  format_.dwHeight = desc.dwHeight;
  format_.lPitch = desc.lPitch;
  format_.ddpfPixelFormat = display;
  format_.dwCaps = desc.dwCaps;
  bits_ = desc.lpSurface;
  return DD_OK;
}

HRESULT TMemoryDirectDrawSurface::Describe(TSurfaceDescFields& desc, uint32_t size) const {
  if (desc.dwSize != size) return DDERR_INVALIDPARAMS;
  desc = format_;
  desc.dwSize = size;
  return DD_OK;
}

HRESULT TMemoryDirectDrawSurface::LockRect(RECT* rect, TSurfaceDescFields& desc, uint32_t size) {
  if (desc.dwSize != size) return DDERR_INVALIDPARAMS;
  if (faults_->FailLock) return DDERR_GENERIC;
  const RECT whole{0, 0, static_cast<int32_t>(format_.dwWidth), static_cast<int32_t>(format_.dwHeight)};
  const RECT r = rect != nullptr ? *rect : whole;
  if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > whole.right ||
      r.bottom > whole.bottom)
    return DDERR_INVALIDRECT;
  desc = format_;
  desc.dwSize = size;
  desc.dwFlags |= DDSD_LPSURFACE;
  const int64_t x_bytes = int64_t{r.left} * format_.ddpfPixelFormat.dwRGBBitCount / 8;
  desc.lpSurface = bits_ + int64_t{r.top} * format_.lPitch + x_bytes;
  ++lock_count_;
  ++locks_held_;
  return DD_OK;
}

HRESULT TMemoryDirectDrawSurface::Unlock(RECT*) {
  if (locks_held_ == 0) return DDERR_NOTLOCKED;
  --locks_held_;
  return DD_OK;
}

HRESULT TMemoryDirectDrawSurface::GetDC(HDC& dc) {
  dc = nullptr;
  if (dc_held_) return DDERR_DCALREADYCREATED;
  const DDPIXELFORMAT& f = format_.ddpfPixelFormat;
  dc_ = TDeviceContext{bits_, format_.lPitch, static_cast<int32_t>(format_.dwWidth),
                       static_cast<int32_t>(format_.dwHeight), static_cast<int32_t>(f.dwRGBBitCount),
                       f.dwRBitMask, f.dwGBitMask, f.dwBBitMask, {}};
  // Colours on a palette surface map through the attached palette.
  if (palette_ != nullptr && f.dwRGBBitCount <= 8) {
    std::array<PALETTEENTRY, 256> entries{};
    const uint32_t count = 1u << f.dwRGBBitCount;
    if (!Failed(palette_->GetEntries(0, 0, count, entries.data()))) {
      for (uint32_t i = 0; i < count; ++i) {
        dc_.Palette[4 * i] = entries[i].peBlue;
        dc_.Palette[4 * i + 1] = entries[i].peGreen;
        dc_.Palette[4 * i + 2] = entries[i].peRed;
      }
    }
  }
  dc_held_ = true;
  ++dc_count_;
  dc = &dc_;
  return DD_OK;
}

HRESULT TMemoryDirectDrawSurface::ReleaseDC(HDC dc) {
  if (!dc_held_ || dc != &dc_) return DDERR_NODC;
  dc_held_ = false;
  return DD_OK;
}

HRESULT TMemoryDirectDrawSurface::SetPalette(std::shared_ptr<IDirectDrawPalette> palette) {
  palette_ = std::move(palette);
  return DD_OK;
}

// ---- DirectDraw object ------------------------------------------------------

std::shared_ptr<TMemoryDirectDrawSurface> TMemoryDirectDraw::Make(const TSurfaceDescFields& desc, uint32_t size,
                                                                  HRESULT& result) {
  last_desc_ = desc;
  result = DDERR_INVALIDPARAMS;
  if (desc.dwSize != size) return nullptr;
  result = DDERR_GENERIC;
  if (faults_->FailCreateSurface) return nullptr;
  auto surface = std::make_shared<TMemoryDirectDrawSurface>(desc, display_, faults_);
  result = surface->Status();
  if (Failed(result)) return nullptr;
  last_surface_ = surface;
  return surface;
}

HRESULT TMemoryDirectDraw::CreateSurface(const DDSURFACEDESC& desc, std::shared_ptr<IDirectDrawSurface>& surface) {
  HRESULT result;
  surface = Make(desc, kSurfaceDescSize, result);
  return result;
}

HRESULT TMemoryDirectDraw::CreateSurface(const DDSURFACEDESC2& desc, std::shared_ptr<IDirectDrawSurface7>& surface) {
  HRESULT result;
  surface = Make(desc, kSurfaceDesc2Size, result);
  return result;
}

HRESULT TMemoryDirectDraw::CreatePalette(uint32_t caps, const PALETTEENTRY* entries,
                                         std::shared_ptr<IDirectDrawPalette>& palette) {
  last_palette_caps_ = caps;
  palette = nullptr;
  if (PaletteEntryCount(caps) == 0) return DDERR_INVALIDPARAMS;
  auto made = std::make_shared<TMemoryDirectDrawPalette>(caps, entries, faults_);
  last_palette_ = made;
  palette = std::move(made);
  return DD_OK;
}

}  // namespace orba

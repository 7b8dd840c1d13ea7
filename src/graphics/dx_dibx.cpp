#include "graphics/dx_dibx.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "graphics/dib_surface.h"
#include "graphics/dibx.h"
#include "platform/screen_manager.h"

namespace orba {

namespace {

// The pixel-format flags and palette capabilities of a palette depth; 0
// for the other depths, which take the display's format.
struct TIndexedFormat {
  uint32_t PixelFlags = 0;
  uint32_t PaletteCaps = 0;
};
TIndexedFormat IndexedFormat(int32_t bit_count) {
  switch (bit_count) {
    case 1: return {DDPF_RGB | DDPF_PALETTEINDEXED1, DDPCAPS_1BIT};
    case 4: return {DDPF_RGB | DDPF_PALETTEINDEXED4, DDPCAPS_4BIT};
    case 8: return {DDPF_RGB | DDPF_PALETTEINDEXED8, DDPCAPS_8BIT};
    default: return {};
  }
}

}  // namespace

TDxDIBX::TDxDIBX() : FOwnsSurface(true) { FCacheColors.fill(-1); }

std::unique_ptr<TDxDIBX> TDxDIBX::CreateFromSurface(std::shared_ptr<IDirectDrawSurface> surface) {
  auto dib = std::make_unique<TDxDIBX>();
  dib->FOwnsSurface = false;
  dib->FDesc = DDSURFACEDESC{};
  dib->FDesc.dwSize = DDSURFACEDESC::kSize;
  if (surface != nullptr) surface->GetSurfaceDesc(dib->FDesc);
  dib->FSurface = std::move(surface);
  return dib;
}

std::unique_ptr<TDxDIBX> TDxDIBX::CreateFromSurface7(std::shared_ptr<IDirectDrawSurface7> surface) {
  auto dib = std::make_unique<TDxDIBX>();
  dib->FOwnsSurface = false;
  dib->FDesc2 = DDSURFACEDESC2{};
  dib->FDesc2.dwSize = DDSURFACEDESC2::kSize;
  if (surface != nullptr) surface->GetSurfaceDesc(dib->FDesc2);
  dib->FSurface7 = std::move(surface);
  return dib;
}

TDxDIBX::~TDxDIBX() {
  ReleaseCanvas();
  ReleaseDC();
  if (FOwnsSurface) ReleaseSurfaces();
}

int32_t TDxDIBX::LowestBit(uint32_t mask) { return mask == 0 ? 0 : std::countr_zero(mask); }

bool TDxDIBX::IsEmpty() { return (FSurface == nullptr && FSurface7 == nullptr) || Width() < 1 || Height() < 1; }

int32_t TDxDIBX::BitCount() {
  const DDPIXELFORMAT& f = Desc().ddpfPixelFormat;
  if (f.dwRGBBitCount == 16 && f.dwGBitMask == 0x3E0) return 15;
  return static_cast<int32_t>(f.dwRGBBitCount);
}

IDirectDrawSurfaceCommon* TDxDIBX::AnySurface() const {
  if (FSurface != nullptr) return FSurface.get();
  return FSurface7.get();
}

void TDxDIBX::ReleaseSurfaces() {
  if (FSurface != nullptr) FSurface->SetPalette(nullptr);
  if (FSurface7 != nullptr) FSurface7->SetPalette(nullptr);
  FPalette.reset();
  FSurface.reset();
  FSurface7.reset();
  // Only once no surface points into it.
  FClientPixels = std::vector<uint8_t>();
}

template <class TDraw, class TDesc, class TSurface>
void TDxDIBX::MakeSurface(TDraw& draw, TDesc& stored, std::shared_ptr<TSurface>& surface, int32_t width,
                          int32_t height, int32_t bit_count) {
  if (surface != nullptr) {
    surface->SetPalette(nullptr);
    FPalette.reset();
    surface.reset();
    FClientPixels = std::vector<uint8_t>();
  }
  stored = TDesc{};
  // A size below one pixel is an empty surface, as a memory bitmap of that
  // size is: nothing to make, nothing to fail.
  if (width < 1 || height < 1) return;
  const TIndexedFormat indexed = IndexedFormat(bit_count);
  TDesc desc = OffScreenDesc<TDesc>(width, height);
  if (indexed.PixelFlags != 0) {
    desc.dwFlags |= DDSD_PIXELFORMAT;
    desc.ddpfPixelFormat.dwFlags = indexed.PixelFlags;
    desc.ddpfPixelFormat.dwRGBBitCount = static_cast<uint32_t>(bit_count);
  }
  std::shared_ptr<TSurface> made;
  if (Failed(draw.CreateSurface(desc, made)) || made == nullptr) throw EDirectDrawError(kCreateSurfaceFailedText);
  surface = std::move(made);
  stored.dwSize = TDesc::kSize;
  surface->GetSurfaceDesc(stored);
  if (indexed.PaletteCaps != 0) {
    const std::array<PALETTEENTRY, 256> zero{};
    // A surface without its palette still draws; palette calls then do nothing.
    if (Failed(draw.CreatePalette(indexed.PaletteCaps, zero.data(), FPalette))) FPalette.reset();
  }
}

template <class TDraw, class TDesc, class TSurface>
bool TDxDIBX::MakeClientSurface(TDraw& draw, TDesc& stored, std::shared_ptr<TSurface>& surface,
                                TDIBSurface& source) {
  const TDIBChannelLayout& layout = source.CurrentLayout();
  TDesc desc;
  desc.dwSize = TDesc::kSize;
  desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
  desc.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  desc.dwWidth = static_cast<uint32_t>(source.Width());
  desc.dwHeight = static_cast<uint32_t>(source.Height());
  desc.lPitch = source.RowSize();
  desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
  desc.ddpfPixelFormat.dwRGBBitCount = static_cast<uint32_t>(source.BitCount());
  desc.ddpfPixelFormat.dwRBitMask = static_cast<uint32_t>(layout.RedMask);
  desc.ddpfPixelFormat.dwGBitMask = static_cast<uint32_t>(layout.GreenMask);
  desc.ddpfPixelFormat.dwBBitMask = static_cast<uint32_t>(layout.BlueMask);
  // The block's address, which moving the block out below keeps; the
  // source holds it alone, so this makes no private copy.
  desc.lpSurface = source.GetPixelBlock();
  std::shared_ptr<TSurface> made;
  if (Failed(draw.CreateSurface(desc, made)) || made == nullptr) return false;
  std::vector<uint8_t> block = source.GiveUpPixelBlock();
  if (block.data() != desc.lpSurface) return false;  // held elsewhere after all: nothing given up
  // From here the surface is this object's: the old one goes first (with
  // any device context over it), then the block moves over and its rows are
  // turned top first in place.
  ReleaseCanvas();
  ReleaseDC();
  ReleaseSurfaces();
  FClientPixels = std::move(block);
  const size_t row = static_cast<size_t>(desc.lPitch);
  for (size_t top = 0, bottom = desc.dwHeight - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(FClientPixels.begin() + static_cast<std::ptrdiff_t>(top * row),
                     FClientPixels.begin() + static_cast<std::ptrdiff_t>((top + 1) * row),
                     FClientPixels.begin() + static_cast<std::ptrdiff_t>(bottom * row));
  surface = std::move(made);
  stored = TDesc{};
  stored.dwSize = TDesc::kSize;
  surface->GetSurfaceDesc(stored);
  return true;
}

bool TDxDIBX::TakeOver(TDIBSurface& source) {
  // Only a block the source holds alone can change hands without a copy.
  if (!FOwnsSurface || source.Empty() || source.Compressed() || source.UseCount() != 1) return false;
  TScreenManager* manager = ScreenManager();
  if (manager == nullptr) return false;
  const int32_t width = source.Width(), height = source.Height(), bits = source.GetBitCount();
  bool made = false;
  if (IDirectDraw* draw = manager->DirectDraw()) {
    made = MakeClientSurface(*draw, FDesc, FSurface, source);
  } else if (IDirectDraw7* draw7 = manager->DirectDraw7()) {
    made = MakeClientSurface(*draw7, FDesc2, FSurface7, source);
  }
  if (!made) return false;
  FCacheColors.fill(-1);
  TCustomDIBX::SetSize(width, height, bits);
  return true;
}

void TDxDIBX::SetSize(int32_t width, int32_t height, int32_t bit_count) {
  // A device context over the old pixels must not outlive them.
  ReleaseCanvas();
  ReleaseDC();
  FCacheColors.fill(-1);
  if (TScreenManager* manager = ScreenManager()) {
    if (IDirectDraw* draw = manager->DirectDraw())
      MakeSurface(*draw, FDesc, FSurface, width, height, bit_count);
    else if (IDirectDraw7* draw7 = manager->DirectDraw7())
      MakeSurface(*draw7, FDesc2, FSurface7, width, height, bit_count);
  }
  TCustomDIBX::SetSize(width, height, bit_count);
}

HRESULT TDxDIBX::LockSurface(RECT* rect, TSurfaceDescFields& locked) {
  if (FSurface != nullptr) {
    DDSURFACEDESC desc;
    desc.dwSize = DDSURFACEDESC::kSize;
    const HRESULT result = FSurface->Lock(rect, desc, DDLOCK_WAIT);
    if (!Failed(result)) locked = desc;
    return result;
  }
  if (FSurface7 != nullptr) {
    DDSURFACEDESC2 desc;
    desc.dwSize = DDSURFACEDESC2::kSize;
    const HRESULT result = FSurface7->Lock(rect, desc, DDLOCK_WAIT);
    if (!Failed(result)) locked = desc;
    return result;
  }
  return DDERR_GENERIC;
}

void TDxDIBX::UnlockSurface(RECT* rect) {
  if (IDirectDrawSurfaceCommon* surface = AnySurface()) surface->Unlock(rect);
}

uint8_t* TDxDIBX::Lock(int32_t x, int32_t y) {
  TSurfaceDescFields locked;
  if (Failed(LockSurface(nullptr, locked)) || locked.lpSurface == nullptr) return nullptr;
  const uint32_t bits = locked.ddpfPixelFormat.dwRGBBitCount;
  std::ptrdiff_t offset;
  if (bits == 1) offset = x >> 3;
  else if (bits == 4) offset = x >> 1;
  else offset = static_cast<std::ptrdiff_t>(x) * ((bits + 7) / 8);
  return locked.lpSurface + static_cast<std::ptrdiff_t>(y) * locked.lPitch + offset;
}

void TDxDIBX::Unlock() { UnlockSurface(nullptr); }

TPixelView TDxDIBX::LockView() {
  TSurfaceDescFields locked;
  if (Failed(LockSurface(nullptr, locked)) || locked.lpSurface == nullptr) return {};
  const DDPIXELFORMAT& f = locked.ddpfPixelFormat;
  return TPixelView{locked.lpSurface,
                    locked.lPitch,
                    static_cast<int32_t>(locked.dwWidth),
                    static_cast<int32_t>(locked.dwHeight),
                    BitCount(),
                    f.dwRBitMask,
                    f.dwGBitMask,
                    f.dwBBitMask};
}

uint32_t TDxDIBX::GetPixel(int32_t x, int32_t y) {
  RECT one{x, y, x + 1, y + 1};
  TSurfaceDescFields locked;
  if (Failed(LockSurface(&one, locked))) return 0;
  uint32_t value = 0;
  if (const uint8_t* p = locked.lpSurface) {
    switch (BitCount()) {
      case 8: value = LoadPixelBytes(p, 1); break;
      case 15:
      case 16: value = LoadPixelBytes(p, 2); break;
      case 24: value = LoadPixelBytes(p, 3); break;
      case 32: value = LoadPixelBytes(p, 4); break;
      default: break;
    }
  }
  UnlockSurface(&one);
  return value;
}

void TDxDIBX::SetPixel(int32_t x, int32_t y, uint32_t value) {
  RECT one{x, y, x + 1, y + 1};
  TSurfaceDescFields locked;
  if (Failed(LockSurface(&one, locked))) return;
  if (uint8_t* p = locked.lpSurface) {
    switch (BitCount()) {
      case 8: StorePixelBytes(p, 1, value); break;
      case 15:
      case 16: StorePixelBytes(p, 2, value); break;
      case 24: StorePixelBytes(p, 3, value); break;
      case 32: StorePixelBytes(p, 4, value); break;
      default: break;
    }
  }
  UnlockSurface(&one);
}

HDC TDxDIBX::GetDC() {
  if (FDC == nullptr) {
    IDirectDrawSurfaceCommon* surface = AnySurface();
    HDC dc = nullptr;
    if (surface != nullptr && !Failed(surface->GetDC(dc))) FDC = dc;
  }
  return FDC;
}

void TDxDIBX::ReleaseDC() {
  if (FDC == nullptr) return;
  if (IDirectDrawSurfaceCommon* surface = AnySurface()) surface->ReleaseDC(FDC);
  FDC = nullptr;
}

TCanvas* TDxDIBX::Canvas() {
  if (FCanvas == nullptr) FCanvas = std::make_unique<TCanvas>(GetDC());
  return FCanvas.get();
}

void TDxDIBX::ReleaseCanvas() {
  if (FCanvas == nullptr) return;
  FCanvas->Handle = nullptr;
  FCanvas.reset();
  ReleaseDC();
}

int32_t TDxDIBX::ColorToPixel(int32_t color) {
  if (color < 0) return -1;
  for (int32_t slot = 0; slot < kColorCacheSize; ++slot)
    if (FCacheColors[static_cast<size_t>(slot)] == color) return static_cast<int32_t>(FCachePixels[static_cast<size_t>(slot)]);
  const uint32_t kept = GetPixel(0, 0);
  {
    TDIBSurface one;
    one.SetSize(1, 1, 8);
    one.ColorTable = one.ImageTable();
    one.ColorTable[0] = MakeQuad(static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8),
                                 static_cast<uint8_t>(color >> 16));
    one.CommitTable();
    Canvas()->Draw(0, 0, one);
    ReleaseCanvas();
  }
  const uint32_t pixel = GetPixel(0, 0);
  SetPixel(0, 0, kept);
  FCacheColors[static_cast<size_t>(FNextSlot)] = color;
  FCachePixels[static_cast<size_t>(FNextSlot)] = pixel;
  FNextSlot = (FNextSlot + 1) % kColorCacheSize;
  return static_cast<int32_t>(pixel);
}

void TDxDIBX::FreeSurface() {
  if (!FOwnsSurface) return;
  ReleaseCanvas();
  ReleaseDC();
  ReleaseSurfaces();
}

void TDxDIBX::GetPaletteEntries(uint8_t* entries) {
  if (FPalette == nullptr) return;
  GetPaletteRange(entries, 0, 1 << BitCount());
}

void TDxDIBX::GetPaletteRange(uint8_t* entries, int32_t start, int32_t count) {
  if (FPalette == nullptr || start < 0 || count <= 0) return;
  std::vector<PALETTEENTRY> read(static_cast<size_t>(count));
  if (Failed(FPalette->GetEntries(0, static_cast<uint32_t>(start), static_cast<uint32_t>(count), read.data())))
    return;
  for (int32_t i = 0; i < count; ++i) {
    const PALETTEENTRY& e = read[static_cast<size_t>(i)];
    entries[4 * i] = e.peBlue;
    entries[4 * i + 1] = e.peGreen;
    entries[4 * i + 2] = e.peRed;
  }
}

namespace {

// Entries blue, green, red, reserved as red, green, blue, flags 0.
std::vector<PALETTEENTRY> ToPaletteEntries(const uint8_t* entries, int32_t count) {
  std::vector<PALETTEENTRY> out(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i)
    out[static_cast<size_t>(i)] = PALETTEENTRY{entries[4 * i + 2], entries[4 * i + 1], entries[4 * i], 0};
  return out;
}

}  // namespace

void TDxDIBX::SetPaletteEntries(const uint8_t* entries) {
  if (FPalette == nullptr) return;
  const std::vector<PALETTEENTRY> converted = ToPaletteEntries(entries, 256);
  const int32_t bits = BitCount();
  const uint32_t count = bits == 1 ? 2 : bits == 4 ? 16 : 256;
  // The whole table is offered; what the palette refuses leaves it as it was.
  FPalette->SetEntries(0, 0, count, converted.data());
}

void TDxDIBX::SetPaletteRange(const uint8_t* entries, int32_t start, int32_t count) {
  if (FPalette == nullptr) return;
  if (start < 0 || count < 0) throw EDirectDrawError(kSetEntriesFailedText);
  const std::vector<PALETTEENTRY> converted = ToPaletteEntries(entries, count);
  if (Failed(FPalette->SetEntries(0, static_cast<uint32_t>(start), static_cast<uint32_t>(count), converted.data())))
    throw EDirectDrawError(kSetEntriesFailedText);
}

bool UseDirectDrawSurfaces() {
  const TScreenManager* manager = ScreenManager();
  return manager != nullptr && !manager->SystemMemory();
}

std::unique_ptr<TCustomDIBX> NewDrawingSurface() {
  if (UseDirectDrawSurfaces()) return std::make_unique<TDxDIBX>();
  return std::make_unique<TDIBX>();
}

}  // namespace orba

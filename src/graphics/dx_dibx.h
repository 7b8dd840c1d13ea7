// The drawing surface whose pixels a DirectDraw off-screen surface holds:
// item bitmaps and the screen roots' pictures while the screen runs
// accelerated. Every drawing operation is the base class's, through Lock,
// Unlock, GetDC, ReleaseDC and the format queries, which this class answers
// from the surface and its description. The surface is made through the
// screen manager's DirectDraw object, the first generation when there is
// one, else 7; with neither the surface stays empty and draws do nothing.
//
// A decoded picture at the display's depth is taken over (TakeOver) as a
// surface over its own pixels, as TDIBX takes one over, so that a picture is
// held once in either kind of surface.
//
// A 16-bit surface whose green mask is 0x3E0 reports 15 bits, as TDIBX
// does, so that the draws use 5-5-5 arithmetic on it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/errors.h"
#include "graphics/canvas.h"
#include "graphics/custom_dibx.h"
#include "platform/direct_draw.h"

namespace orba {

// A DirectDraw call the surface needs failed.
class EDirectDrawError : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};

inline constexpr const char* kCreateSurfaceFailedText = "\"CreateSurface\" Failed";
inline constexpr const char* kSetEntriesFailedText = "FPalette.SetEntries Failed";

class TDxDIBX : public TCustomDIBX {
 public:
  // Owns the surfaces it will make; none is made until SetSize.
  TDxDIBX();
  // Wrap a surface the caller holds. The wrapper keeps a reference, so the
  // surface lives as long as the wrapper even when the caller lets it go;
  // as it does not own the surface, FreeSurface leaves it alone (palette
  // and all) and only the wrapper's end drops the reference.
  static std::unique_ptr<TDxDIBX> CreateFromSurface(std::shared_ptr<IDirectDrawSurface> surface);
  static std::unique_ptr<TDxDIBX> CreateFromSurface7(std::shared_ptr<IDirectDrawSurface7> surface);
  ~TDxDIBX() override;

  bool IsEmpty() override;
  int32_t BitCount() override;
  uint32_t RedMask() override { return Desc().ddpfPixelFormat.dwRBitMask; }
  uint32_t GreenMask() override { return Desc().ddpfPixelFormat.dwGBitMask; }
  uint32_t BlueMask() override { return Desc().ddpfPixelFormat.dwBBitMask; }
  std::ptrdiff_t Pitch() override { return Desc().lPitch; }
  // Through a lock of the one pixel: 0 when the lock fails.
  uint32_t GetPixel(int32_t x, int32_t y) override;
  void SetPixel(int32_t x, int32_t y, uint32_t value) override;
  int32_t BlueShift() override { return LowestBit(BlueMask()); }
  int32_t GreenShift() override { return LowestBit(GreenMask()); }
  int32_t RedShift() override { return LowestBit(RedMask()); }
  int32_t Height() override { return static_cast<int32_t>(Desc().dwHeight); }
  int32_t Width() override { return static_cast<int32_t>(Desc().dwWidth); }
  // Raises EDirectDrawError (kCreateSurfaceFailedText) when the surface
  // cannot be made; the old one is gone by then.
  void SetSize(int32_t width, int32_t height, int32_t bit_count) override;
  uint8_t* Lock(int32_t x, int32_t y) override;
  void Unlock() override;
  // The surfaces are in system memory, pixels of this process.
  bool IsMemorySurface() override { return true; }
  HDC GetDC() override;
  void ReleaseDC() override;
  TCanvas* Canvas();
  void ReleaseCanvas();
  // The pixel GDI writes for the colour, found by drawing it at (0, 0)
  // (which keeps its pixel); the last 16 answers are kept.
  int32_t ColorToPixel(int32_t color) override;
  void FreeSurface() override;
  void GetPaletteEntries(uint8_t* entries) override;
  void GetPaletteRange(uint8_t* entries, int32_t start, int32_t count) override;
  void SetPaletteEntries(const uint8_t* entries) override;
  // Raises EDirectDrawError (kSetEntriesFailedText) when the palette
  // refuses the entries.
  void SetPaletteRange(const uint8_t* entries, int32_t start, int32_t count) override;
  // One lock for the whole view.
  TPixelView LockView() override;
  // A surface over Source's own pixel block, made through DirectDraw's
  // client memory (DDSD_LPSURFACE): nothing is copied and this surface
  // keeps the block alive as long as the surface. The rows are turned top
  // first in place, as a DirectDraw surface has them. False when the block
  // is shared or compressed, there is no DirectDraw object, the surface was
  // wrapped, or DirectDraw refuses the format (only the display's is
  // served); then nothing changed.
  bool TakeOver(TDIBSurface& source) override;

  IDirectDrawSurface* Surface() const { return FSurface.get(); }
  IDirectDrawSurface7* Surface7() const { return FSurface7.get(); }
  IDirectDrawPalette* Palette() const { return FPalette.get(); }
  bool OwnsSurface() const { return FOwnsSurface; }

  static constexpr int32_t kColorCacheSize = 16;

 private:
  static int32_t LowestBit(uint32_t mask);
  // The description of whichever surface exists, the first generation's
  // first.
  const TSurfaceDescFields& Desc() const {
    return FSurface != nullptr ? static_cast<const TSurfaceDescFields&>(FDesc) : FDesc2;
  }
  HRESULT LockSurface(RECT* rect, TSurfaceDescFields& locked);
  void UnlockSurface(RECT* rect);
  IDirectDrawSurfaceCommon* AnySurface() const;
  // Detaches the palette from the surfaces and drops palette and surfaces.
  void ReleaseSurfaces();
  template <class TDraw, class TDesc, class TSurface>
  bool MakeClientSurface(TDraw& draw, TDesc& stored, std::shared_ptr<TSurface>& surface, TDIBSurface& source);
  template <class TDraw, class TDesc, class TSurface>
  void MakeSurface(TDraw& draw, TDesc& stored, std::shared_ptr<TSurface>& surface, int32_t width, int32_t height,
                   int32_t bit_count);

  bool FOwnsSurface = false;
  // The pixels of a surface made over client memory (TakeOver); declared
  // before the surfaces so that it outlives them.
  std::vector<uint8_t> FClientPixels;
  std::shared_ptr<IDirectDrawPalette> FPalette;
  std::shared_ptr<IDirectDrawSurface> FSurface;
  std::shared_ptr<IDirectDrawSurface7> FSurface7;
  DDSURFACEDESC FDesc;
  DDSURFACEDESC2 FDesc2;
  HDC FDC = nullptr;
  std::unique_ptr<TCanvas> FCanvas;
  std::array<int32_t, kColorCacheSize> FCacheColors;
  std::array<uint32_t, kColorCacheSize> FCachePixels{};
  int32_t FNextSlot = 0;
};

// Whether new item bitmaps and screen pictures are DirectDraw surfaces: a
// screen manager exists and does not run in system memory.
bool UseDirectDrawSurfaces();
// A new, empty drawing surface of the kind the rule above chooses.
std::unique_ptr<TCustomDIBX> NewDrawingSurface();

}  // namespace orba

// The DirectDraw back end of every program: surfaces in system memory,
// rows top first, padded to 4 bytes. Palette depths (1, 4, 8 bits) are made
// when the description asks for them; every other surface takes the
// display's format: 32 bits 8-8-8 with red high in the player, and for
// tests any of the formats a display may run at (24 bits 8-8-8, 16 bits
// 5-6-5 or 5-5-5). One object answers both generations. A description with
// DDSD_LPSURFACE makes a surface over the caller's memory instead (display
// format only, DDSD_PITCH and DDSD_PIXELFORMAT required), which stays the
// caller's. Tests can make CreateSurface, Lock and a palette's SetEntries
// fail, count the locks and device contexts a surface gave, and count the
// surfaces alive.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/direct_draw.h"

namespace orba {

// Calls made to fail, shared by an object and everything it made, and the
// count of its surfaces alive.
struct TDirectDrawFaults {
  bool FailCreateSurface = false;
  bool FailLock = false;
  bool FailPaletteSet = false;
  int64_t LiveSurfaces = 0;
};

// The formats a display may run at, which surfaces of no palette depth take.
enum class TDisplayFormat { Rgb32, Rgb24, Rgb565, Rgb555 };
// The pixel format of a display format (DDPF_RGB with its depth and masks).
DDPIXELFORMAT DisplayPixelFormat(TDisplayFormat format);

class TMemoryDirectDrawPalette final : public IDirectDrawPalette {
 public:
  TMemoryDirectDrawPalette(uint32_t caps, const PALETTEENTRY* entries, std::shared_ptr<TDirectDrawFaults> faults);
  HRESULT GetEntries(uint32_t flags, uint32_t start, uint32_t count, PALETTEENTRY* entries) override;
  HRESULT SetEntries(uint32_t flags, uint32_t start, uint32_t count, const PALETTEENTRY* entries) override;
  // 2, 16 or 256 by the capabilities.
  uint32_t EntryCount() const { return count_; }
  // How many entries SetEntries has written in all.
  uint32_t EntriesSet() const { return entries_set_; }

 private:
  std::array<PALETTEENTRY, 256> entries_{};
  uint32_t count_ = 256;
  uint32_t entries_set_ = 0;
  std::shared_ptr<TDirectDrawFaults> faults_;
};

class TMemoryDirectDrawSurface final : public IDirectDrawSurface, public IDirectDrawSurface7 {
 public:
  // The format is taken from Desc: a palette depth when it gives one, else
  // the display's. Check with Valid before use.
  TMemoryDirectDrawSurface(const TSurfaceDescFields& desc, const DDPIXELFORMAT& display,
                           std::shared_ptr<TDirectDrawFaults> faults);
  ~TMemoryDirectDrawSurface() override;
  TMemoryDirectDrawSurface(const TMemoryDirectDrawSurface&) = delete;
  TMemoryDirectDrawSurface& operator=(const TMemoryDirectDrawSurface&) = delete;

  HRESULT GetSurfaceDesc(DDSURFACEDESC& desc) override { return Describe(desc, kSurfaceDescSize); }
  HRESULT GetSurfaceDesc(DDSURFACEDESC2& desc) override { return Describe(desc, kSurfaceDesc2Size); }
  HRESULT Lock(RECT* rect, DDSURFACEDESC& desc, uint32_t flags) override {
    return LockRect(rect, desc, kSurfaceDescSize);
  }
  HRESULT Lock(RECT* rect, DDSURFACEDESC2& desc, uint32_t flags) override {
    return LockRect(rect, desc, kSurfaceDesc2Size);
  }
  HRESULT Unlock(RECT* rect) override;
  HRESULT GetDC(HDC& dc) override;
  HRESULT ReleaseDC(HDC dc) override;
  HRESULT SetPalette(std::shared_ptr<IDirectDrawPalette> palette) override;

  // What the description asked for could not be made.
  HRESULT Status() const { return status_; }
  // Locks taken and device contexts handed out so far; locks held now.
  int32_t LockCount() const { return lock_count_; }
  int32_t DCCount() const { return dc_count_; }
  int32_t LocksHeld() const { return locks_held_; }
  const DDSURFACEDESC& CreatedWith() const { return created_with_; }
  IDirectDrawPalette* AttachedPalette() const { return palette_.get(); }

 private:
  HRESULT Describe(TSurfaceDescFields& desc, uint32_t size) const;
  HRESULT LockRect(RECT* rect, TSurfaceDescFields& desc, uint32_t size);
  HRESULT AdoptClientMemory(const TSurfaceDescFields& desc, const DDPIXELFORMAT& display);

  DDSURFACEDESC created_with_;
  TSurfaceDescFields format_;
  std::vector<uint8_t> pixels_;
  // The top row: in pixels_, or the caller's memory for a surface made over
  // it (which the caller keeps alive as long as the surface).
  uint8_t* bits_ = nullptr;
  std::shared_ptr<IDirectDrawPalette> palette_;
  std::shared_ptr<TDirectDrawFaults> faults_;
  TDeviceContext dc_;
  bool dc_held_ = false;
  HRESULT status_ = DD_OK;
  int32_t lock_count_ = 0, dc_count_ = 0, locks_held_ = 0;
};

class TMemoryDirectDraw final : public IDirectDraw, public IDirectDraw7 {
 public:
  explicit TMemoryDirectDraw(TDisplayFormat display = TDisplayFormat::Rgb32)
      : faults_(std::make_shared<TDirectDrawFaults>()), display_(DisplayPixelFormat(display)) {}
  HRESULT CreateSurface(const DDSURFACEDESC& desc, std::shared_ptr<IDirectDrawSurface>& surface) override;
  HRESULT CreateSurface(const DDSURFACEDESC2& desc, std::shared_ptr<IDirectDrawSurface7>& surface) override;
  HRESULT CreatePalette(uint32_t caps, const PALETTEENTRY* entries,
                        std::shared_ptr<IDirectDrawPalette>& palette) override;

  TDirectDrawFaults& Faults() { return *faults_; }
  // The surfaces made by this object and not yet freed.
  int64_t LiveSurfaces() const { return faults_->LiveSurfaces; }
  // The description and palette capabilities of the last calls.
  const TSurfaceDescFields& LastSurfaceDesc() const { return last_desc_; }
  uint32_t LastPaletteCaps() const { return last_palette_caps_; }
  // The surface and palette made last, while they live (tests look into them).
  std::shared_ptr<TMemoryDirectDrawSurface> LastSurface() const { return last_surface_.lock(); }
  std::shared_ptr<TMemoryDirectDrawPalette> LastPalette() const { return last_palette_.lock(); }

 private:
  std::shared_ptr<TMemoryDirectDrawSurface> Make(const TSurfaceDescFields& desc, uint32_t size, HRESULT& result);

  std::shared_ptr<TDirectDrawFaults> faults_;
  DDPIXELFORMAT display_;
  TSurfaceDescFields last_desc_;
  uint32_t last_palette_caps_ = 0;
  std::weak_ptr<TMemoryDirectDrawSurface> last_surface_;
  std::weak_ptr<TMemoryDirectDrawPalette> last_palette_;
};

}  // namespace orba

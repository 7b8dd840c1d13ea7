// The drawing surface whose pixels are a TDIBSurface in ordinary memory:
// the work surface of text pages, items, wipes and the screen roots. Every
// format query, pixel access, palette and size change is answered by the
// bitmap; the drawing algorithms are the base class's.
#pragma once

#include <memory>

#include "graphics/custom_dibx.h"
#include "graphics/dib_surface.h"

namespace orba {

class TDIBX : public TCustomDIBX {
 public:
  // The bitmap exists from the start at 1 x 1, 15 bits per pixel, while
  // Width and Height stay 0 until SetSize.
  TDIBX();

  TDIBSurface& Surface() { return *FSurface; }
  // Shares Source's pixels (no copy) and takes its size and depth; the
  // first write of either side makes its pixels its own. Always true.
  bool TakeOver(TDIBSurface& source) override;

  int32_t BitCount() override { return FSurface->GetBitCount(); }
  // Converts the pixels to the new depth (15 and 16 as 5-5-5 and 5-6-5).
  void SetBitCount(int32_t bits) override;
  uint32_t RedMask() override { return static_cast<uint32_t>(FSurface->CurrentLayout().RedMask); }
  uint32_t GreenMask() override { return static_cast<uint32_t>(FSurface->CurrentLayout().GreenMask); }
  uint32_t BlueMask() override { return static_cast<uint32_t>(FSurface->CurrentLayout().BlueMask); }
  std::ptrdiff_t Pitch() override { return FSurface->RowStep(); }
  uint32_t GetPixel(int32_t x, int32_t y) override { return FSurface->GetPixel(x, y); }
  void SetPixel(int32_t x, int32_t y, uint32_t value) override { FSurface->SetPixel(x, y, value); }
  int32_t BlueShift() override { return 0; }
  int32_t GreenShift() override { return FSurface->CurrentLayout().BlueBits; }
  int32_t RedShift() override {
    return FSurface->CurrentLayout().BlueBits + FSurface->CurrentLayout().GreenBits;
  }
  int32_t StorageBitCount() override { return FSurface->BitCount(); }
  void SetSize(int32_t width, int32_t height, int32_t bit_count) override;
  uint8_t* Lock(int32_t x, int32_t y) override;
  bool IsMemorySurface() override { return true; }
  // The bitmap's pixels and colour table; null while the bitmap is empty.
  HDC GetDC() override;
  int32_t ColorToPixel(int32_t color) override;
  // The whole bitmap, row padding included; with a clip rectangle set only
  // the clip rectangle is filled.
  void Fill(uint32_t pixel) override;
  void Clear() override;
  void GetPaletteEntries(uint8_t* entries) override { GetPaletteRange(entries, 0, 256); }
  void GetPaletteRange(uint8_t* entries, int32_t start, int32_t count) override;
  void SetPaletteEntries(const uint8_t* entries) override { SetPaletteRange(entries, 0, 256); }
  void SetPaletteRange(const uint8_t* entries, int32_t start, int32_t count) override;

  // The view never reaches past the bitmap, whatever Width and Height say;
  // read from the bitmap directly (a subclass changing Lock or the format
  // queries overrides this as well).
  TPixelView LockView() override;
  // The bitmap's own colour table serves palette depths.
  void StretchToView(const TPixelView& target, const uint8_t* target_palette, const TRect& dst_rect,
                     const TRect& src_rect) override {
    FSurface->StretchToView(target, target_palette, dst_rect, src_rect);
  }

 private:
  std::unique_ptr<TDIBSurface> FSurface;
  TDeviceContext FDC;
};

}  // namespace orba

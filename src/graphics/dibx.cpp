#include "graphics/dibx.h"

#include <algorithm>
#include <cstring>

#include "graphics/color_convert.h"

namespace orba {

TDIBX::TDIBX() : FSurface(std::make_unique<TDIBSurface>()) { FSurface->SetSize(1, 1, 15); }

void TDIBX::SetBitCount(int32_t bits) {
  if (BitCount() == bits) return;
  FSurface->ChangeBitCount(bits);
}

void TDIBX::SetSize(int32_t width, int32_t height, int32_t bit_count) {
  FSurface->SetSize(width, height, bit_count);
  TCustomDIBX::SetSize(width, height, bit_count);
}

bool TDIBX::TakeOver(TDIBSurface& source) {
  FSurface->FreeAlpha();
  FSurface->Assign(&source);
  TCustomDIBX::SetSize(source.Width(), source.Height(), FSurface->GetBitCount());
  return true;
}

uint8_t* TDIBX::Lock(int32_t x, int32_t y) {
  if (FSurface->Empty() || y < 0 || y >= FSurface->Height()) return nullptr;
  uint8_t* row = FSurface->GetRow(y);
  int64_t offset;
  switch (FSurface->BitCount()) {
    case 1: offset = x >> 3; break;
    case 4: offset = x >> 1; break;
    case 8: offset = x; break;
    case 16: offset = int64_t{x} * 2; break;
    case 24: offset = int64_t{x} * 3; break;
    default: offset = int64_t{x} * 4; break;
  }
  return row + offset;
}

// What Lock(0, 0) and the format queries give, read from the bitmap at once:
// the small draws lock two or three surfaces each, so the calls count.
TPixelView TDIBX::LockView() {
  TDIBSurface& s = *FSurface;
  if (s.Empty() || s.Height() <= 0) return {};
  uint8_t* bits = s.GetRow(0);
  const TDIBChannelLayout& f = s.CurrentLayout();
  return TPixelView{bits,
                    s.RowStep(),
                    std::min(TCustomDIBX::Width(), s.Width()),
                    std::min(TCustomDIBX::Height(), s.Height()),
                    s.GetBitCount(),
                    static_cast<uint32_t>(f.RedMask),
                    static_cast<uint32_t>(f.GreenMask),
                    static_cast<uint32_t>(f.BlueMask)};
}

HDC TDIBX::GetDC() {
  const TPixelView v = LockView();
  if (v.Bits == nullptr) return nullptr;
  FDC = TDeviceContext{v.Bits, v.Pitch, v.Width, v.Height, v.BitCount, v.RedMask, v.GreenMask, v.BlueMask, {}};
  std::memcpy(FDC.Palette.data(), FSurface->ImageTable().data(), FDC.Palette.size());
  return &FDC;
}

int32_t TDIBX::ColorToPixel(int32_t color) { return orba::ColorToPixel(color, BitCount()); }

// Up to 16 bits the whole bitmap is written, row padding included, and the
// clip rectangle is not looked at: callers fill their own private surfaces
// (masks, text planes, new frames) to start them over. At 24 and 32 bits the
// fill is an ordinary FillRect over the bounds, which keeps to the clip.
void TDIBX::Fill(uint32_t pixel) {
  const int32_t bits = BitCount();
  if (FSurface->Empty()) return;
  if (bits == 24 || bits == 32) {
    FillRect(GetBoundsRect(), pixel);
    return;
  }
  uint8_t* block = FSurface->GetPixelBlock();
  const size_t size = static_cast<size_t>(FSurface->RowSize()) * static_cast<size_t>(FSurface->Height());
  switch (bits) {
    case 1: std::memset(block, pixel != 0 ? 0xFF : 0, size); break;
    case 4: std::memset(block, static_cast<int>((pixel | (pixel << 4)) & 0xFF), size); break;
    case 8: std::memset(block, static_cast<int>(pixel & 0xFF), size); break;
    case 15:
    case 16:
      for (size_t i = 0; i + 1 < size; i += 2) {
        block[i] = static_cast<uint8_t>(pixel);
        block[i + 1] = static_cast<uint8_t>(pixel >> 8);
      }
      break;
    default: break;
  }
}

void TDIBX::Clear() {
  TCustomDIBX::Clear();
  FSurface->SetWidth(8);
  FSurface->SetHeight(8);
}

void TDIBX::GetPaletteRange(uint8_t* entries, int32_t start, int32_t count) {
  const TColorTable& table = FSurface->ImageTable();
  for (int32_t i = 0; i < count && start + i < 256; ++i) {
    if (start + i < 0) continue;
    std::memcpy(entries + 4 * i, &table[static_cast<size_t>(start + i)], 4);
  }
}

void TDIBX::SetPaletteRange(const uint8_t* entries, int32_t start, int32_t count) {
  FSurface->ColorTable = FSurface->ImageTable();
  for (int32_t i = 0; i < count && start + i < 256; ++i) {
    if (start + i < 0) continue;
    std::memcpy(&FSurface->ColorTable[static_cast<size_t>(start + i)], entries + 4 * i, 4);
  }
  FSurface->CommitTable();
}

}  // namespace orba

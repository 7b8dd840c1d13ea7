#include "graphics/canvas.h"

#include "graphics/color_convert.h"

namespace orba {

TPixelView DCView(HDC dc) {
  if (dc == nullptr) return {};
  // A 16-bit context whose green takes five bits is 5-5-5: its masks say
  // how colours are written, as they do for a bitmap section.
  const int32_t bits = dc->BitCount == 16 && dc->GreenMask == 0x3E0 ? 15 : dc->BitCount;
  return TPixelView{dc->Bits, dc->Pitch, dc->Width, dc->Height, bits, dc->RedMask, dc->GreenMask, dc->BlueMask};
}

void BitBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t src_x,
            int32_t src_y) {
  if (dest == nullptr || source == nullptr) return;
  ConvertCopy(DCView(dest), dest->Palette.data(), x, y, DCView(source), source->Palette.data(),
              TRect{src_x, src_y, src_x + width, src_y + height});
}

bool StretchBlt(HDC dest, int32_t x, int32_t y, int32_t width, int32_t height, HDC source, int32_t src_x,
                int32_t src_y, int32_t src_width, int32_t src_height) {
  if (dest == nullptr || source == nullptr) return false;
  ConvertStretch(DCView(dest), dest->Palette.data(), TRect{x, y, x + width, y + height}, DCView(source),
                 source->Palette.data(), TRect{src_x, src_y, src_x + src_width, src_y + src_height});
  return true;
}

void TCanvas::Draw(int32_t x, int32_t y, TDIBSurface& bitmap) {
  if (Handle == nullptr || bitmap.Empty()) return;
  ConvertCopy(DCView(Handle), Handle->Palette.data(), x, y, bitmap.ReadView(),
              reinterpret_cast<const uint8_t*>(bitmap.ImageTable().data()), bitmap.GetBounds());
}

}  // namespace orba

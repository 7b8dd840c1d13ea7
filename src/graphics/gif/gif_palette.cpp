// Palettes of GIF colour tables, frames and pictures, made over the shared
// palette handles of graphics/palette.h. A frame or picture keeps the
// palette it made (its cached palette) and hands it back when its colours
// change or it is freed.
#include <algorithm>

#include "graphics/dib.h"
#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_quantize.h"
#include "graphics/gif/gif_render.h"
#include "graphics/palette.h"

namespace orba {

namespace {

TPaletteHandle ShareRgb(const uint8_t* rgb, int32_t count, uint8_t flags) {
  if (count <= 0) return 0;
  std::vector<TRGBQuad> quads(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) quads[static_cast<size_t>(i)] = {rgb[i * 3 + 2], rgb[i * 3 + 1], rgb[i * 3], flags};
  return SharedPaletteManager().SharePalette(quads.data(), count);
}

// The 216-colour cube; its entries carry no flags.
TPaletteHandle CubePaletteHandle() {
  const TGIFPalette cube = CubePalette216();
  return ShareRgb(cube.data(), static_cast<int32_t>(cube.size() / 3), 0);
}

}  // namespace

// ---- Colour tables ----

void TGIFColorMap::LoadQuadTable(const TRGBQuad* quads, int32_t count) {
  count = std::clamp(count, 0, 256);
  std::vector<uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(count) * 3);
  for (int32_t i = 0; i < count; ++i) rgb.insert(rgb.end(), {quads[i].Red, quads[i].Green, quads[i].Blue});
  SetEntries(rgb.data(), count);
}

void TGIFColorMap::LoadPaletteHandle(TPaletteHandle palette) {
  const TPaletteItem* item = palette != 0 ? SharedPaletteManager().Find(palette) : nullptr;
  if (item == nullptr) {
    LoadQuadTable(nullptr, 0);
    return;
  }
  LoadQuadTable(item->Table.data(), std::min(item->EntryCount, 256));
}

void TGIFColorMap::LoadDIBColorTable(const TDIB& bitmap) {
  const int32_t bits = bitmap.BitCount();
  const int32_t count = bits >= 1 && bits <= 8 ? 1 << bits : 0;
  LoadQuadTable(bitmap.ImageTable().data(), count);
}

TPaletteHandle TGIFColorMap::MakePaletteHandle() const { return ShareRgb(Data(), Count(), kPaletteNoCollapse); }

// ---- Frames ----

void TGIFSubImage::DropPalette() { SharedPaletteManager().ReturnPalette(palette_); }

TPaletteHandle TGIFSubImage::GetPalette() {
  // The rendered frame holds red, green and blue: it has no palette of its
  // own to offer first.
  if (palette_ != 0) return palette_;
  if (CubeRendering(*image_)) {
    palette_ = CubePaletteHandle();
    return palette_;
  }
  if (ColorMap.Count() == 0) return image_->GetPalette();
  palette_ = ColorMap.MakePaletteHandle();
  return palette_;
}

// ---- The picture ----

void TGIFImage::FreePalette() { SharedPaletteManager().ReturnPalette(palette_); }

TPaletteHandle TGIFImage::GetPalette() {
  // The composed bitmap holds red, green and blue: no palette of its own.
  if (palette_ != 0) return palette_;
  if (in_palette_) throw GIFException(gif_text::kNoColorTable);
  in_palette_ = true;
  struct TBusy {
    bool& flag;
    ~TBusy() { flag = false; }
  } busy{in_palette_};
  if (CubeRendering(*this))
    palette_ = CubePaletteHandle();
  else if (GlobalColorMap.Count() > 0)
    palette_ = GlobalColorMap.MakePaletteHandle();
  else if (!Frames.empty())
    return Frames.front()->GetPalette();
  return palette_;
}

void TGIFImage::SetPalette(TPaletteHandle palette) {
  if (palette == palette_) return;
  FreePalette();
  palette_ = palette;
  // The composed bitmap has no palette, so any palette differs from it.
  if (palette != 0) bitmap_.reset();
}

}  // namespace orba

#include "graphics/picture_rgba.h"

#include <cstring>

#include "graphics/graphic_errors.h"
#include "graphics/png_codec.h"

namespace orba {

TRgbaPicture DibToRgba(TDIB& image, TDIB* alpha_plane, int32_t key) {
  TRgbaPicture out;
  // A run-length picture of width or height 0 holds codes but no pixel.
  if (image.Empty() || image.Width() == 0 || image.Height() == 0) return out;
  out.Width = image.Width();
  out.Height = image.Height();
  out.Pixels.resize(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height) * 4);
  const bool use_alpha = alpha_plane != nullptr && !alpha_plane->Empty() && alpha_plane->Width() == out.Width &&
                         alpha_plane->Height() == out.Height && alpha_plane->BitCount() == 8;
  std::vector<uint8_t> rgb(static_cast<size_t>(out.Width) * 3);
  for (int32_t y = 0; y < out.Height; ++y) {
    image.ReadRowRGB(y, rgb.data());
    const uint8_t* arow = use_alpha ? alpha_plane->PeekRow(y) : nullptr;
    uint8_t* dst = &out.Pixels[static_cast<size_t>(y) * static_cast<size_t>(out.Width) * 4];
    for (int32_t x = 0; x < out.Width; ++x, dst += 4) {
      const uint8_t* c = &rgb[static_cast<size_t>(x) * 3];
      std::memcpy(dst, c, 3);
      dst[3] = arow ? static_cast<uint8_t>(255 - arow[x]) : 255;
      if (key == -1) continue;
      if (key & 0x1000000) {
        if (image.BitCount() <= 8 && image.GetPixel(x, y) == static_cast<uint32_t>(key & 0xFF)) dst[3] = 0;
      } else if (c[0] == (key & 0xFF) && c[1] == ((key >> 8) & 0xFF) && c[2] == ((key >> 16) & 0xFF)) {
        dst[3] = 0;
      }
    }
  }
  return out;
}

TRgbaPicture DecodePictureRgba(TKsBigStream& stream, TDIB* bitmap) {
  const int64_t start = stream.GetPosition();
  uint8_t magic[2] = {};
  stream.Read(magic, 2);
  stream.SetPosition(start);
  if (magic[0] == 'B' && magic[1] == 'M') {
    TDIB dib;
    dib.LoadFromStream(stream);
    if (bitmap != nullptr) bitmap->Assign(&dib);
    return DibToRgba(dib, nullptr, -1);
  }
  TZelPNG png;
  png.LoadFromStream(stream);
  if (bitmap != nullptr) bitmap->Assign(&png.Image);
  return DibToRgba(png.Image, png.AlphaLoaded ? &png.Alpha() : nullptr, png.TransparentColor);
}

void SaveRgbaAsPng(const TRgbaPicture& picture, TKsBigStream& stream) {
  TZelPNG png;
  png.Image.RequestedLayout = Layout888();
  png.Image.SetSize(picture.Width, picture.Height, 24);
  png.Alpha().RequestedLayout = Layout888();
  png.Alpha().ColorTable = GreyRamp();
  png.Alpha().SetSize(picture.Width, picture.Height, 8);
  for (int32_t y = 0; y < picture.Height; ++y) {
    uint8_t* row = png.Image.GetRow(y);
    uint8_t* arow = png.Alpha().GetRow(y);
    const uint8_t* src = &picture.Pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.Width) * 4];
    for (int32_t x = 0; x < picture.Width; ++x, src += 4) {
      row[3 * x] = src[2];
      row[3 * x + 1] = src[1];
      row[3 * x + 2] = src[0];
      arow[x] = static_cast<uint8_t>(255 - src[3]);
    }
  }
  png.AlphaLoaded = true;
  png.RowFilterChoice = 0;
  png.SaveToStream(stream);
}

}  // namespace orba

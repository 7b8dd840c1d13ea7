#include "shell/screenshot.h"

#include <cstddef>

#include "core/files/atomic_file.h"
#include "graphics/graphic_errors.h"
#include "graphics/pixel_format.h"
#include "graphics/png_codec.h"
#include "platform/text_convert.h"

namespace orba {

void SavePixelsAsPng(const uint32_t* pixels, int32_t width, int32_t height, int32_t stride, TKsBigStream& stream) {
  if (pixels == nullptr || width <= 0 || height <= 0 || stride < width) {
    throw EInvalidGraphicOperation("PNG: the picture has no pixels");
  }
  TZelPNG png;
  png.Image.RequestedLayout = Layout888();
  png.Image.SetSize(width, height, 24);
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* src = pixels + static_cast<ptrdiff_t>(y) * stride;
    uint8_t* row = png.Image.GetRow(y);  // blue, green, red
    for (int32_t x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(src[x]);
      row[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(src[x] >> 16);
    }
  }
  // The same picture gives the same file: no time stamp.
  png.StampCurrentTime = false;
  png.SaveToStream(stream);
}

void WriteScreenshot(const TFrameView& picture, const std::string& path) {
  if (picture.Pixels == nullptr) throw EInvalidGraphicOperation("no window to take a picture of");
  TKsMemoryStream png;
  SavePixelsAsPng(picture.Pixels, picture.Width, picture.Height, picture.Stride, png);
  // Replaced whole, so that a link planted under the name (a screenshot
  // kept in a game's folder) is replaced rather than written through.
  if (ReplaceFileWhole(path, png.Bytes().data(), png.Bytes().size()) != TReplaceResult::Replaced)
    throw EWriteError(Utf8ToSjis(path) + ": cannot be written");
}

}  // namespace orba

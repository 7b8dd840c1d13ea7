#include "graphics/icon_preview.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/system/trace.h"
#include "graphics/dib_surface.h"
#include "graphics/icon_file.h"

namespace orba {

namespace {

constexpr int32_t kPreviewSize = 100;
constexpr uint32_t kWhite = 0xFFFFFF;

}  // namespace

void SetUpIconPreviewBox(TDXPaintBox& box) {
  box.Left = 180;
  box.Top = 16;
  box.Width = box.Height = kPreviewSize;
  box.SetAutoStretch(true);
  box.SetCenter(true);
}

TChoicePicture IconPreviewPicture(TKsBigStream& stream, int64_t base, int32_t index) {
  TChoicePicture picture;
  picture.Width = picture.Height = kPreviewSize;
  picture.Rgb.assign(static_cast<size_t>(kPreviewSize) * kPreviewSize * 3, 0xFF);
  try {
    TDIB client;
    client.SetSize(kPreviewSize, kPreviewSize, 24);
    for (int32_t y = 0; y < kPreviewSize; ++y) std::fill_n(client.GetRow(y), client.RowSize(), 0xFF);
    // The image with its alpha plane, at 24 bits, drawn over white.
    TDIBSurface image;
    TPoint hotspot;
    bool has_alpha = false;
    int64_t key = -1;
    stream.SetPosition(base);
    DecodeIconEntry(image, stream, index, hotspot, has_alpha, true, key);
    TDIBSurface alpha;
    if (image.Alpha() != nullptr) alpha.AssignSurface(*image.Alpha());
    image.ChangeBitCount(24);
    if (!alpha.Empty()) image.AssignAlpha(alpha);
    TDIBSurface over;
    over.SetSize(image.Width(), image.Height(), 24);
    over.FillRect(over.GetBounds(), kWhite);
    over.DrawAlphaMask(0, 0, 255, image.GetBounds(), image);
    TDXPaintBox box;
    SetUpIconPreviewBox(box);
    box.SetDIB(over);
    box.Paint(client);
    std::vector<uint8_t> rgb(picture.Rgb.size());
    for (int32_t y = 0; y < kPreviewSize; ++y) client.ReadRowRGB(y, &rgb[static_cast<size_t>(y) * kPreviewSize * 3]);
    picture.Rgb = std::move(rgb);
  } catch (...) {
    // Whatever a hostile entry makes fail (our read errors, a failed
    // allocation, a library's exception) shows no picture and leaves the
    // chooser open: the read of the chosen entry reports the damage.
    TraceCaught("icon chooser picture");
  }
  return picture;
}

}  // namespace orba

// The GIF picture on the clipboard: the file itself under the registered
// format "GIF Image", and its first frame as a bitmap beside it for
// programs that take only bitmaps. Pasting reads either form.
#include <algorithm>
#include <vector>

#include "graphics/dib.h"
#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_render.h"
#include "graphics/global_memory_stream.h"

namespace orba {

namespace {

// The name of the GIF format on the clipboard (also the file type's
// description).
constexpr const char* kGifFormatName = "GIF Image";

}  // namespace

TClipFormat TGIFImage::ClipboardFormat() { return Clipboard().RegisterFormat(kGifFormatName); }

void TGIFImage::LoadFromClipboardFormat(TClipFormat format, TDataBlock data, TPaletteHandle palette) {
  const TClipFormat gif_format = ClipboardFormat();
  const bool known = format != 0 && (format == gif_format || format == kClipFormatDib);
  if (known && data == 0) data = Clipboard().GetData(format);
  if (!known || data == 0) throw GIFException(gif_text::kUnsupportedClipboard);
  if (format == kClipFormatDib) {
    TDIB bitmap;
    bitmap.LoadFromClipboardFormat(format, data, palette);
    AssignBitmap(bitmap);
    return;
  }
  // The block is copied, so that the clipboard's block is unlocked while
  // the picture is read.
  std::vector<uint8_t> bytes;
  {
    TGlobalMemoryStream block(data);
    if (!block.Locked()) throw GIFException(gif_text::kUnsupportedClipboard);
    bytes.resize(static_cast<size_t>(block.GetSize()));
    block.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  TKsMemoryStream stream(std::move(bytes));
  LoadFromStream(stream);
}

void TGIFImage::SaveToClipboardFormat(TClipFormat& format, TDataBlock& data, TPaletteHandle& palette) {
  if (Empty()) return;
  TDIB first;
  ComposeFirstFrame(*this, first);
  TClipFormat bitmap_format = 0;
  TDataBlock bitmap_data = 0;
  TPaletteHandle bitmap_palette = 0;
  first.SaveToClipboardFormat(bitmap_format, bitmap_data, bitmap_palette);

  TClipboard& clipboard = Clipboard();
  TDataBlock block = 0;
  try {
    TKsMemoryStream stream;
    SaveToStream(stream);
    block = CopyToNewBlock(stream.Memory(), stream.Bytes().size(), clipboard);
  } catch (...) {  // rethrown: the bitmap's block is freed first, as nobody gets it
    clipboard.FreeBlock(bitmap_data);
    throw;
  }
  if (block == 0 || clipboard.SetData(ClipboardFormat(), block) == 0) {
    // Neither block reaches anyone: both are freed before the failure.
    if (block != 0) clipboard.FreeBlock(block);
    clipboard.FreeBlock(bitmap_data);
    throw GIFException(gif_text::kClipboardStoreFailed);
  }
  format = bitmap_format;
  data = bitmap_data;
  palette = bitmap_palette;
}

void TGIFImage::AssignBitmap(TDIB& bitmap) {
  Clear();
  if (bitmap.Empty() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
  // The logical screen is the bitmap's, so the frame fits it.
  ScreenWidth = static_cast<uint16_t>(std::min<int32_t>(bitmap.Width(), 0xFFFF));
  ScreenHeight = static_cast<uint16_t>(std::min<int32_t>(bitmap.Height(), 0xFFFF));
  auto frame = std::make_unique<TGIFSubImage>(*this);
  frame->AssignBitmap(bitmap, nullptr);
  Add(std::move(frame));
}

}  // namespace orba

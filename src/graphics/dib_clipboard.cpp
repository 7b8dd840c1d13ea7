// The clipboard form of a TDIB: the BMP data without its file header in a
// data block, under the device-independent bitmap format.
#include <cstring>

#include "graphics/dib.h"
#include "graphics/global_memory_stream.h"
#include "graphics/graphic_errors.h"

namespace orba {

TDataBlock CopyToNewBlock(const void* bytes, size_t size, TClipboard& clipboard) {
  const TDataBlock block = clipboard.AllocBlock(size);
  if (block == 0) return 0;
  {
    const TBlockLock lock(clipboard, block);
    if (lock.Bytes() != nullptr) {
      if (size > 0) std::memcpy(lock.Bytes(), bytes, size);
      return block;
    }
  }
  clipboard.FreeBlock(block);
  return 0;
}

void TDIB::SaveToClipboardFormat(TClipFormat& format, TDataBlock& data, TPaletteHandle& palette) {
  format = kClipFormatDib;
  palette = 0;
  TKsMemoryStream stream;
  WriteData(stream);
  const TDataBlock block = CopyToNewBlock(stream.Memory(), stream.Bytes().size());
  if (block == 0) throw EOutOfMemory(kOutOfMemoryText);
  data = block;
}

void TDIB::LoadFromClipboardFormat(TClipFormat /*format*/, TDataBlock data, TPaletteHandle /*palette*/) {
  TGlobalMemoryStream stream(data);
  // A handle that is no block would read as nothing and leave the bitmap
  // as it was, as though it had been pasted.
  if (!stream.Locked()) throw EInvalidGraphic(kInvalidDibText);
  ReadData(stream);
}

}  // namespace orba

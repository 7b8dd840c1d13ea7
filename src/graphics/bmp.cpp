#include "graphics/bmp.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"
#include "core/streams/byte_cursor.h"
#include "core/streams/byte_order.h"
#include "core/streams/stream_encoding.h"
#include "graphics/dib.h"
#include "graphics/graphic_errors.h"

namespace orba {

namespace {

// Walks the run-length codes shared by both depths; Put(x, y, value) stores
// one pixel, Nibbles tells whether a value byte holds two pixels.
template <bool Nibbles, typename Put>
void WalkRle(const uint8_t* data, size_t size, int32_t width, int32_t height, Put put) {
  size_t i = 0;
  int64_t x = 0, y = 0;
  auto store = [&](uint8_t v) {
    if (x >= 0 && x < width && y >= 0 && y < height) put(static_cast<int32_t>(x), static_cast<int32_t>(y), v);
    ++x;
  };
  while (i + 1 < size && y < height) {
    const uint8_t first = data[i], second = data[i + 1];
    i += 2;
    if (first > 0) {
      for (int n = 0; n < first && x < width; ++n) {
        if constexpr (Nibbles) store((n & 1) ? second & 0x0F : second >> 4);
        else store(second);
      }
      continue;
    }
    if (second == 0) {
      x = 0;
      ++y;
    } else if (second == 1) {
      return;
    } else if (second == 2) {
      if (i + 1 >= size) return;
      x += data[i];
      y += data[i + 1];
      i += 2;
    } else {
      const size_t bytes = Nibbles ? (second + 1u) / 2 : second;
      const size_t avail = std::min(bytes, size - i);
      for (int n = 0; n < second; ++n) {
        const size_t b = Nibbles ? static_cast<size_t>(n / 2) : static_cast<size_t>(n);
        if (b >= avail) break;
        if constexpr (Nibbles) store((n & 1) ? data[i + b] & 0x0F : data[i + b] >> 4);
        else store(data[i + b]);
      }
      i += bytes;
      if (i & 1) ++i;  // codes start at even offsets
    }
  }
}

// Raises the read error of the stream unless `count` bytes are left.
void NeedBytes(TKsBigStream& s, int64_t count) { CheckStoredCount(s, count, 1); }

}  // namespace

void ExpandRle8(const uint8_t* data, size_t size, uint8_t* pixels, int32_t width, int32_t height, int32_t row_size) {
  WalkRle<false>(data, size, width, height,
                 [&](int32_t x, int32_t y, uint8_t v) { pixels[int64_t{y} * row_size + x] = v; });
}

void ExpandRle4(const uint8_t* data, size_t size, uint8_t* pixels, int32_t width, int32_t height, int32_t row_size) {
  WalkRle<true>(data, size, width, height, [&](int32_t x, int32_t y, uint8_t v) {
    uint8_t& b = pixels[int64_t{y} * row_size + x / 2];
    b = static_cast<uint8_t>((x & 1) ? (b & 0xF0) | (v & 0x0F) : (b & 0x0F) | (v << 4));
  });
}

// Reads the bitmap-info header, masks, colour table and pixels. `pixels_at`
// is the stream position the file header names for the pixels (-1: none):
// a gap between the table and the pixels is skipped.
static std::shared_ptr<TDIBSharedImage> ReadImageAt(TKsBigStream& stream, bool in_memory, int64_t pixels_at) {
  uint8_t size_bytes[4];
  const int64_t got = stream.Read(size_bytes, 4);
  if (got == 0) {
    auto img = std::make_shared<TDIBSharedImage>();
    img->InMemory = in_memory;
    return img;
  }
  if (got != 4) throw EInvalidGraphic(kInvalidDibText);
  const uint32_t header_size = ReadLE32(size_bytes);
  uint8_t h[36] = {};
  int64_t width, height;
  int32_t bit_count;
  uint32_t compression = 0, image_size = 0;
  int64_t colors;
  const bool core = header_size == 12;
  if (core) {
    stream.ReadBuffer(h, 8);
    TByteCursor c({h, 8});
    width = c.U16LE();
    height = c.U16LE();
    c.Skip(2);  // planes
    bit_count = c.U16LE();
    colors = bit_count <= 8 ? (int64_t{1} << bit_count) : 0;
  } else if (header_size == 40) {
    stream.ReadBuffer(h, 36);
    TByteCursor c(h);
    width = c.I32LE();
    height = c.I32LE();
    c.Skip(2);  // planes
    bit_count = c.U16LE();
    compression = c.U32LE();
    image_size = c.U32LE();
    c.Skip(8);  // resolution
    colors = c.U32LE();
    if (colors == 0 && bit_count <= 8) colors = int64_t{1} << bit_count;
  } else {
    throw EInvalidGraphic(kInvalidDibText);
  }
  if (compression > 3) throw EInvalidGraphic(kInvalidDibText);
  TDIBChannelLayout layout = bit_count == 16 ? Layout555() : Layout888();
  if (compression == 3) {
    uint8_t m[12];
    stream.ReadBuffer(m, 12);
    TByteCursor c(m);
    const uint32_t red = c.U32LE(), green = c.U32LE(), blue = c.U32LE();
    layout = BuildChannelLayoutFromMasks(red, green, blue);
  }
  const bool top_down = height < 0;
  if (top_down) height = -height;
  // Sizes are checked before anything is allocated.
  if (width < 0 || width > INT32_MAX || height > INT32_MAX || width * height > kMaxImagePixels)
    throw EInvalidGraphic(kInvalidDibText);

  const int entry_size = core ? 3 : 4;
  NeedBytes(stream, colors * entry_size);
  TColorTable table{};
  const int64_t read_colors = std::min<int64_t>(colors, 256);
  uint8_t raw[256 * 4];
  stream.ReadBuffer(raw, read_colors * entry_size);
  for (int64_t i = 0; i < read_colors; ++i)
    table[static_cast<size_t>(i)] = TRGBQuad{raw[i * entry_size], raw[i * entry_size + 1], raw[i * entry_size + 2],
                                             core ? uint8_t{0} : raw[i * entry_size + 3]};
  // A table longer than 256 entries: the rest is not used.
  if (colors > 256) stream.Seek((colors - 256) * entry_size, SeekOrigin::Current);

  // The picture is allocated only once the bytes there can make it: every
  // row of a plain file, or run-length codes enough for its size.
  const bool rle = compression == 1 || compression == 2;
  TDIBSharedImage::CheckNewImage(width, height, bit_count, layout);
  if (rle && bit_count != 4 && bit_count != 8) throw EInvalidGraphic(kInvalidDibText);
  if (pixels_at > stream.GetPosition() && pixels_at <= stream.GetSize()) stream.SetPosition(pixels_at);
  if (rle) {
    // Files that leave the size field 0 hold the codes up to their end.
    if (image_size == 0) image_size = static_cast<uint32_t>(std::min<int64_t>(stream.Remaining(), kMaxImageBytes));
    NeedBytes(stream, image_size);
    if (!PlausiblePicture(width * height, image_size, kMaxPixelsPerRleByte)) throw EInvalidGraphic(kInvalidDibText);
  } else {
    NeedBytes(stream, DibRowSize(width, bit_count) * height);
  }
  auto img = TDIBSharedImage::Allocate(static_cast<int32_t>(width), static_cast<int32_t>(height), bit_count, layout,
                                       table, in_memory, rle);
  if (rle) {
    img->Bits.resize(image_size);
    stream.ReadBuffer(img->Bits.data(), image_size);
    img->SetStoredImageSize(static_cast<int32_t>(image_size));
    return img;
  }
  if (img->Size == 0) return img;  // width or height 0: no rows to read
  if (!top_down) {
    stream.ReadBuffer(img->PixelBlock(), img->Size);
  } else {
    for (int32_t y = 0; y < img->Height; ++y) stream.ReadBuffer(img->TopRow() - int64_t{y} * img->RowSize, img->RowSize);
  }
  return img;
}

std::shared_ptr<TDIBSharedImage> TDIBSharedImage::ReadImage(TKsBigStream& stream, bool in_memory) {
  return ReadImageAt(stream, in_memory, -1);
}

void TDIB::ReadData(TKsBigStream& stream) { ReplaceImage(TDIBSharedImage::ReadImage(stream, image_->InMemory)); }

void TDIB::LoadFromStream(TKsBigStream& stream) {
  const int64_t start = stream.GetPosition();
  uint8_t fh[14];
  const int64_t got = stream.Read(fh, 14);
  if (got == 0) return;
  if (got != 14 || fh[0] != 'B' || fh[1] != 'M') throw EInvalidGraphic(kInvalidDibText);
  const int64_t offset = ReadLE32(fh + 10);
  ReplaceImage(ReadImageAt(stream, image_->InMemory, offset > 14 ? start + offset : -1));
}

void TDIB::WriteData(TKsBigStream& stream) {
  if (Empty()) return;
  stream.WriteBuffer(image_->InfoBlock.data(), image_->InfoBlockSize);
  stream.WriteBuffer(image_->Bits.data(), image_->Size);
}

void TDIB::SaveToStream(TKsBigStream& stream) {
  if (Empty()) return;
  uint8_t fh[14] = {'B', 'M'};
  const uint32_t offset = static_cast<uint32_t>(image_->InfoBlockSize) + 14;
  WriteLE32(fh + 2, static_cast<uint32_t>(image_->Size) + offset);
  WriteLE32(fh + 10, offset);
  stream.WriteBuffer(fh, 14);
  WriteData(stream);
}

void TDIB::LoadFromFile(const std::string& path) {
  TKsMemoryStream s;
  s.LoadFromFile(path);
  LoadFromStream(s);
}

void TDIB::SaveToFile(const std::string& path) {
  TKsMemoryStream s;
  SaveToStream(s);
  s.SaveToFile(path);
}

}  // namespace orba

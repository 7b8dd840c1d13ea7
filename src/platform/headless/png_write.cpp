#include "platform/headless/png_write.h"

#include <zlib.h>

#include <cstdio>
#include <memory>

namespace orba {
namespace {

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
  PutU32(out, static_cast<uint32_t>(data.size()));
  const size_t type_at = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, out.data() + type_at, static_cast<uInt>(4 + data.size()));
  PutU32(out, static_cast<uint32_t>(crc));
}

}  // namespace

std::vector<uint8_t> EncodePngRgb(const uint32_t* pixels, int32_t width, int32_t height,
                                  int32_t stride) {
  if (width <= 0 || height <= 0 || stride < width || pixels == nullptr)
    throw EPngWriteError("PNG: picture has no pixels");
  // Each row: filter byte 0, then R, G, B.
  const size_t row_bytes = 1 + size_t{3} * static_cast<size_t>(width);
  std::vector<uint8_t> raw(row_bytes * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* src = pixels + static_cast<ptrdiff_t>(y) * stride;
    uint8_t* dst = raw.data() + static_cast<size_t>(y) * row_bytes;
    *dst++ = 0;
    for (int32_t x = 0; x < width; ++x) {
      *dst++ = static_cast<uint8_t>(src[x] >> 16);
      *dst++ = static_cast<uint8_t>(src[x] >> 8);
      *dst++ = static_cast<uint8_t>(src[x]);
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK)
    throw EPngWriteError("PNG: zlib failed");
  packed.resize(packed_size);

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> header;
  PutU32(header, static_cast<uint32_t>(width));
  PutU32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter set, no interlace
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", packed);
  PutChunk(out, "IEND", {});
  return out;
}

void WritePngRgb(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height,
                 int32_t stride) {
  const std::vector<uint8_t> png = EncodePngRgb(pixels, width, height, stride);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) throw EPngWriteError("cannot create " + path);
  if (std::fwrite(png.data(), 1, png.size(), file.get()) != png.size())
    throw EPngWriteError("cannot write " + path);
  if (std::fclose(file.release()) != 0) throw EPngWriteError("cannot write " + path);
}

}  // namespace orba

// Pictures the tests make as files: PNG pictures of any size written a row
// at a time (so that an 8192 x 8192 picture never sits in memory), and
// progressive JPEG pictures through libjpeg.
#pragma once

#include <jpeglib.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace orba::test {

inline void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

inline void PutPngChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutBE32(out, static_cast<uint32_t>(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBE32(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// A PNG's signature and header chunk: Width x Height, Depth bits a sample
// of colour type ColourType, not interlaced.
inline std::vector<uint8_t> PngHead(uint32_t width, uint32_t height, int depth, int colour_type) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> ihdr;
  PutBE32(ihdr, width);
  PutBE32(ihdr, height);
  ihdr.insert(ihdr.end(), {static_cast<uint8_t>(depth), static_cast<uint8_t>(colour_type), 0, 0, 0});
  PutPngChunk(out, "IHDR", ihdr);
  return out;
}

// A PNG of Width x Height, colour type ColourType at Depth bits a sample,
// not interlaced; Row fills the samples of row y (filter byte excluded).
// Palette pictures get a grey palette of 1 << Depth entries.
inline std::vector<uint8_t> MakePng(uint32_t width, uint32_t height, int depth, int colour_type,
                                    const std::function<void(uint32_t y, std::vector<uint8_t>& row)>& row_fill) {
  const int channels = colour_type == 2 ? 3 : colour_type == 6 ? 4 : colour_type == 4 ? 2 : 1;
  const size_t row_bytes = (size_t{width} * static_cast<size_t>(channels * depth) + 7) / 8;
  std::vector<uint8_t> out = PngHead(width, height, depth, colour_type);
  if (colour_type == 3) {
    std::vector<uint8_t> plte;
    for (int i = 0; i < (1 << depth); ++i)
      for (int c = 0; c < 3; ++c) plte.push_back(static_cast<uint8_t>(i * 255 / ((1 << depth) - 1)));
    PutPngChunk(out, "PLTE", plte);
  }
  z_stream z{};
  deflateInit(&z, 9);
  std::vector<uint8_t> row(row_bytes + 1), packed(1 << 16), idat;
  for (uint32_t y = 0; y <= height; ++y) {
    const bool last = y == height;
    if (!last) {
      std::vector<uint8_t> samples(row_bytes);
      row_fill(y, samples);
      row[0] = 0;
      std::copy(samples.begin(), samples.end(), row.begin() + 1);
    }
    z.next_in = last ? nullptr : row.data();
    z.avail_in = last ? 0 : static_cast<uInt>(row.size());
    int rc;
    do {
      z.next_out = packed.data();
      z.avail_out = static_cast<uInt>(packed.size());
      rc = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      idat.insert(idat.end(), packed.data(), packed.data() + (packed.size() - z.avail_out));
    } while (z.avail_out == 0 || (last && rc != Z_STREAM_END));
  }
  deflateEnd(&z);
  PutPngChunk(out, "IDAT", idat);
  PutPngChunk(out, "IEND", {});
  return out;
}

// A progressive JPEG of Width x Height (4:2:0 colour), each pixel's colour
// given by Pixel as red, green, blue.
inline std::vector<uint8_t> MakeProgressiveJpeg(int width, int height,
                                                const std::function<void(int x, int y, uint8_t* rgb)>& pixel) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 80, TRUE);
  jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < width; ++x) pixel(x, static_cast<int>(info.next_scanline), &row[static_cast<size_t>(x) * 3]);
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&info, &p, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// Sets the height and width a JPEG's frame header (SOF0 to SOF2) names.
inline void SetJpegSize(std::vector<uint8_t>& jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] != 0xFF || jpeg[i + 1] < 0xC0 || jpeg[i + 1] > 0xC2) continue;
    jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
    jpeg[i + 6] = static_cast<uint8_t>(height);
    jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
    jpeg[i + 8] = static_cast<uint8_t>(width);
    return;
  }
}

}  // namespace orba::test

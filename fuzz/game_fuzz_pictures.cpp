#include "game_fuzz_pictures.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "graphics/jpeg_codec.h"
#include "support/picture_makers.h"

namespace orba::fuzz {

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("game sandbox: cannot write " + path.string());
}

void PutLE32(std::vector<uint8_t>& out, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int s = 0; s < 32; s += 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void PutFourCc(std::vector<uint8_t>& out, const char* code) { out.insert(out.end(), code, code + 4); }

// A RIFF chunk: its code, its size and its bytes, padded to an even size.
void PutChunk(std::vector<uint8_t>& out, const char* code, const std::vector<uint8_t>& bytes) {
  PutFourCc(out, code);
  PutLE32(out, static_cast<int32_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
  if (bytes.size() % 2 != 0) out.push_back(0);
}

std::vector<uint8_t> List(const char* type, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> list;
  PutFourCc(list, type);
  list.insert(list.end(), bytes.begin(), bytes.end());
  return list;
}

// An AVI of one Motion JPEG stream at 10 frames a second whose headers say
// Width x Height, holding Frames as they are.
std::vector<uint8_t> MotionJpegAvi(int32_t width, int32_t height, const std::vector<std::vector<uint8_t>>& frames) {
  const auto count = static_cast<int32_t>(frames.size());
  std::vector<uint8_t> avih, strh, strf, movi, idx1;
  // Microseconds a frame, bytes a second, padding, flags (an index), frames,
  // initial frames, streams, buffer size, width, height, four reserved.
  for (const int32_t v : {100000, 0, 0, 0x10, count, 0, 1, 0, width, height, 0, 0, 0, 0}) PutLE32(avih, v);
  PutFourCc(strh, "vids");
  PutFourCc(strh, "MJPG");
  // Flags, priority and language, initial frames, scale, rate, start,
  // length, buffer size, quality, sample size, then the frame rectangle.
  for (const int32_t v : {0, 0, 0, 1, 10, 0, count, 0, -1, 0, 0, (height << 16) | width}) PutLE32(strh, v);
  for (const int32_t v : {40, width, height, 1 | (24 << 16)}) PutLE32(strf, v);
  PutFourCc(strf, "MJPG");
  for (const int32_t v : {width * height * 3, 0, 0, 0, 0}) PutLE32(strf, v);
  for (const std::vector<uint8_t>& frame : frames) {
    // The index counts from the "movi" code of the list.
    PutFourCc(idx1, "00dc");
    PutLE32(idx1, 0x10);
    PutLE32(idx1, static_cast<int32_t>(movi.size() + 4));
    PutLE32(idx1, static_cast<int32_t>(frame.size()));
    PutChunk(movi, "00dc", frame);
  }
  std::vector<uint8_t> strl, hdrl, body;
  PutChunk(strl, "strh", strh);
  PutChunk(strl, "strf", strf);
  PutChunk(hdrl, "avih", avih);
  PutChunk(hdrl, "LIST", List("strl", strl));
  PutChunk(body, "LIST", List("hdrl", hdrl));
  PutChunk(body, "LIST", List("movi", movi));
  PutChunk(body, "idx1", idx1);
  std::vector<uint8_t> avi;
  PutChunk(avi, "RIFF", List("AVI ", body));
  return avi;
}

}  // namespace

void PlantLargePngs(const fs::path& game) {
  // Made once per process: deflating 200 MB of rows takes a while.
  const auto zeros = [](uint32_t, std::vector<uint8_t>&) {};
  static const std::vector<uint8_t> huge = test::MakePng(8192, 8192, 8, 2, zeros);
  static const std::vector<uint8_t> bits = test::MakePng(8192, 8192, 1, 0, zeros);
  Write(game / "wide.brx", huge);
  Write(game / "bits.brx", bits);
  std::vector<uint8_t> over = test::PngHead(8192, 6554, 8, 6);
  test::PutPngChunk(over, "IDAT", std::vector<uint8_t>(8192, 0x78));
  test::PutPngChunk(over, "IEND", {});
  Write(game / "over.brx", over);
  // The IDAT's 4 MB lie in a hole of the file.
  std::vector<uint8_t> sparse = test::PngHead(8192, 8192, 8, 6);
  test::PutBE32(sparse, 4u << 20);
  sparse.insert(sparse.end(), {'I', 'D', 'A', 'T'});
  Write(game / "sparse.brx", sparse);
  if (::truncate((game / "sparse.brx").c_str(), static_cast<off_t>(sparse.size() + (4u << 20) + 12)) != 0)
    throw std::runtime_error("game sandbox: cannot make a sparse picture");
}

void PlantLargeJpegAndBrix(const fs::path& game) {
  // SOI; SOF2 (progressive): 8 bits, 8192 x 8192, three components (luma
  // 2 x 2, chroma 1 x 1, table 0); SOS of the three for the first DC scan;
  // then data. The header alone is read before the picture is refused.
  std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xC2, 0x00, 0x11, 0x08, 0x20, 0x00, 0x20, 0x00, 0x03,
                               0x01, 0x22, 0x00, 0x02, 0x11, 0x00, 0x03, 0x11, 0x00, 0xFF, 0xDA, 0x00,
                               0x0C, 0x03, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00};
  jpeg.resize(jpeg.size() + (64u << 10), 0x00);
  jpeg.insert(jpeg.end(), {0xFF, 0xD9});
  Write(game / "progressive.brx", jpeg);
  // "Brix106", a header record of 40 bytes (version 106, one frame, zlib),
  // then the frame: no name, no key, delay 100, a byte, a number, three
  // layers of 8192 x 8192 at 24 bits, and room for the layer records.
  std::vector<uint8_t> brix = {'B', 'r', 'i', 'x', '1', '0', '6'};
  PutLE32(brix, 40);
  std::vector<uint8_t> header(40);
  header[0] = 106;
  header[16] = 1;
  brix.insert(brix.end(), header.begin(), header.end());
  for (const int32_t v : {0, -1, 100}) PutLE32(brix, v);
  brix.push_back(0);
  for (const int32_t v : {0, 3, 8192, 8192, 24}) PutLE32(brix, v);
  brix.resize(brix.size() + 256, 0);
  Write(game / "layers.brx", brix);
}

void PlantOutgrowingMovie(const fs::path& game) {
  TJpegImage grey;
  grey.Width = 64;
  grey.Height = 48;
  grey.Pixels.assign(64 * 48 * 3, 0x80);
  const std::vector<uint8_t> small = EncodeJpeg(grey, 75);
  // The same frame with its start-of-frame marker naming 8000 x 4000: four
  // times the pixels a movie may have, within what libavcodec itself takes.
  std::vector<uint8_t> large = small;
  for (size_t i = 0; i + 8 < large.size(); ++i) {
    if (large[i] != 0xFF || large[i + 1] != 0xC0) continue;
    large[i + 5] = 4000 >> 8, large[i + 6] = 4000 & 0xFF;
    large[i + 7] = 8000 >> 8, large[i + 8] = 8000 & 0xFF;
    break;
  }
  Write(game / "grow.avi", MotionJpegAvi(64, 48, {small, large, large, large, small}));
}

void PlantHugeCursors(const fs::path& game) {
  constexpr int32_t kSide = 8192;
  constexpr uint32_t kInfoHeader = 40, kRunLength8 = 1, kEntries = 256;
  // Each row: runs of at most 255 pixels of index 1, then an end of line;
  // an end of picture after the last row.
  std::vector<uint8_t> row;
  for (int32_t left = kSide; left > 0; left -= 255) row.insert(row.end(), {static_cast<uint8_t>(std::min(255, left)), 1});
  row.insert(row.end(), {0, 0});
  std::vector<uint8_t> data;
  for (int32_t y = 0; y < kSide; ++y) data.insert(data.end(), row.begin(), row.end());
  data.insert(data.end(), {0, 1});
  const auto at_bits = static_cast<int32_t>(14 + kInfoHeader + 4 * kEntries);
  std::vector<uint8_t> bmp = {'B', 'M'};
  PutLE32(bmp, at_bits + static_cast<int32_t>(data.size()));
  PutLE32(bmp, 0);
  PutLE32(bmp, at_bits);
  for (const int32_t v : {static_cast<int32_t>(kInfoHeader), kSide, kSide}) PutLE32(bmp, v);
  bmp.insert(bmp.end(), {1, 0, 8, 0});  // planes, bits
  for (const int32_t v : {static_cast<int32_t>(kRunLength8), static_cast<int32_t>(data.size()), 2835, 2835,
                          static_cast<int32_t>(kEntries), 0})
    PutLE32(bmp, v);
  for (uint32_t i = 0; i < kEntries; ++i) PutLE32(bmp, i == 0 ? 0 : 0xFFFFFF);
  bmp.insert(bmp.end(), data.begin(), data.end());
  Write(game / "big.cur", bmp);
  Write(game / "big.bmp", bmp);
}

}  // namespace orba::fuzz

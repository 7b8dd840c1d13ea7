#include "game_fuzz_pictures.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

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

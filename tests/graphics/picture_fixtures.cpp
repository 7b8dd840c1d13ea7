#include "graphics/picture_fixtures.h"

#include <sys/resource.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "core/errors.h"

#include "support/test_support.h"

namespace orba::test {

std::vector<FixtureEntry> ReadFixtureIndex(const std::string& dir) {
  std::vector<FixtureEntry> out;
  std::ifstream in(dir + "/index.txt");
  FixtureEntry e;
  while (in >> e.name >> e.kind >> e.width >> e.height) out.push_back(e);
  return out;
}

TRgbaPicture ReadReferenceRgba(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  TRgbaPicture p;
  if (bytes.size() < 8) return p;
  p.Width = static_cast<int32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (bytes[3] << 24));
  p.Height = static_cast<int32_t>(bytes[4] | (bytes[5] << 8) | (bytes[6] << 16) | (bytes[7] << 24));
  p.Pixels.assign(bytes.begin() + 8, bytes.end());
  return p;
}

TRgbaPicture DecodeFile(const std::string& path) {
  TKsMemoryStream s(ReadFileBytes(path));
  return DecodePictureRgba(s);
}

std::string ComparePictures(const TRgbaPicture& ours, const TRgbaPicture& ref) {
  if (ours.Width != ref.Width || ours.Height != ref.Height)
    return "size " + std::to_string(ours.Width) + "x" + std::to_string(ours.Height) + " instead of " +
           std::to_string(ref.Width) + "x" + std::to_string(ref.Height);
  if (ours.Pixels.size() != ref.Pixels.size()) return "pixel byte count differs";
  for (size_t i = 0; i < ref.Pixels.size(); i += 4) {
    for (size_t k = 0; k < 4; ++k) {
      if (ours.Pixels[i + k] == ref.Pixels[i + k]) continue;
      char buf[160];
      const size_t px = i / 4;
      std::snprintf(buf, sizeof buf, "pixel (%zu, %zu): ours %d %d %d %d, reference %d %d %d %d",
                    px % static_cast<size_t>(ref.Width), px / static_cast<size_t>(ref.Width), ours.Pixels[i],
                    ours.Pixels[i + 1], ours.Pixels[i + 2], ours.Pixels[i + 3], ref.Pixels[i], ref.Pixels[i + 1],
                    ref.Pixels[i + 2], ref.Pixels[i + 3]);
      return buf;
    }
  }
  return "";
}

void ExpectEveryCutSafe(const std::vector<uint8_t>& bytes, const FixtureEntry& e) {
  for (size_t n = 0; n < bytes.size(); ++n) {
    TKsSpanStream s(bytes.data(), static_cast<int64_t>(n));
    try {
      const TRgbaPicture p = DecodePictureRgba(s);
      ASSERT_TRUE(e.kind == "corrupt" || (p.Width <= e.width && p.Height <= e.height)) << e.name << " cut at " << n;
    } catch (const EOrbaError&) {
    }
  }
}

void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more) { to.insert(to.end(), more.begin(), more.end()); }

std::vector<uint8_t> PngChunk(const char* type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> c;
  c.reserve(12 + data.size());
  const auto n = static_cast<uint32_t>(data.size());
  for (int s = 24; s >= 0; s -= 8) c.push_back(static_cast<uint8_t>(n >> s));
  for (int k = 0; k < 4; ++k) c.push_back(static_cast<uint8_t>(type[k]));
  Append(c, data);
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
  crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  for (int s = 24; s >= 0; s -= 8) c.push_back(static_cast<uint8_t>(crc >> s));
  return c;
}

std::vector<uint8_t> PngSignature() { return {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}; }

std::vector<uint8_t> Ihdr(uint32_t w, uint32_t h, uint8_t depth, uint8_t color, uint8_t interlace) {
  std::vector<uint8_t> d;
  for (uint32_t v : {w, h})
    for (int s = 24; s >= 0; s -= 8) d.push_back(static_cast<uint8_t>(v >> s));
  d.insert(d.end(), {depth, color, 0, 0, interlace});
  return PngChunk("IHDR", d);
}

std::vector<uint8_t> Idat(const std::vector<uint8_t>& rows) {
  uLongf n = compressBound(static_cast<uLong>(rows.size()));
  std::vector<uint8_t> z(n);
  compress(z.data(), &n, rows.data(), static_cast<uLong>(rows.size()));
  z.resize(n);
  return PngChunk("IDAT", z);
}

TRgbaPicture PillowDecode(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  WriteFileBytes(dir + "/" + name, bytes);
  EXPECT_EQ(RunPython("fixtures/png_reference.py", {dir + "/" + name, dir + "/pillow.rgba"}).exit_code, 0) << name;
  return ReadReferenceRgba(dir + "/pillow.rgba");
}

void LoadDamagedCopies(const std::vector<uint8_t>& good, uint32_t seed, int changes, size_t span, int cut_every,
                       const std::function<void(const std::vector<uint8_t>& bytes, int round)>& load) {
  std::mt19937 random(seed);
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> bad = good;
    for (int k = 0; k < changes; ++k) bad[random() % std::min(span, bad.size())] = static_cast<uint8_t>(random());
    if (round % cut_every == 0) bad.resize(random() % bad.size());
    try {
      load(bad, round);
    } catch (const EOrbaError&) {
    }
  }
}

long PeakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace orba::test

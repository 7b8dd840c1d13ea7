// Helpers of the picture tests: fixture indexes written by the Python
// writers, reference RGBA files, and small PNG chunk builders.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/picture_rgba.h"

namespace orba::test {

struct FixtureEntry {
  std::string name, kind;
  int32_t width = 0, height = 0;
};

// Lines "NAME KIND WIDTH HEIGHT" of DIR/index.txt.
std::vector<FixtureEntry> ReadFixtureIndex(const std::string& dir);
// NAME.rgba: 8-byte width and height, then RGBA.
TRgbaPicture ReadReferenceRgba(const std::string& path);
// Decodes a file with our readers.
TRgbaPicture DecodeFile(const std::string& path);
// The first differing pixel as text, or "" when equal.
std::string ComparePictures(const TRgbaPicture& ours, const TRgbaPicture& reference);

// Every cut of `bytes` ends in an error or a picture no larger than the whole
// file's. A corrupt file cut before its fault may give a picture; its entry
// names no size.
void ExpectEveryCutSafe(const std::vector<uint8_t>& bytes, const FixtureEntry& e);

// A PNG chunk with its CRC.
std::vector<uint8_t> PngChunk(const char* type, const std::vector<uint8_t>& data);
std::vector<uint8_t> PngSignature();
std::vector<uint8_t> Ihdr(uint32_t w, uint32_t h, uint8_t depth, uint8_t color, uint8_t interlace = 0);
// zlib-compressed IDAT of the given filtered rows.
std::vector<uint8_t> Idat(const std::vector<uint8_t>& filtered_rows);
void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more);

// Pillow's RGBA of the picture file BYTES, written to DIR/NAME first.
TRgbaPicture PillowDecode(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes);

// Hands 400 damaged copies of GOOD to LOAD: `changes` random bytes among
// the first `span` replaced, and every `cut_every`-th copy also cut short.
// LOAD may raise EOrbaError, and nothing else.
void LoadDamagedCopies(const std::vector<uint8_t>& good, uint32_t seed, int changes, size_t span, int cut_every,
                       const std::function<void(const std::vector<uint8_t>& bytes, int round)>& load);

// Row y of any surface or bitmap, as pixel values.
template <class TSurface>
std::vector<uint32_t> RowOf(TSurface& s, int32_t y) {
  std::vector<uint32_t> out;
  for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

// A w x h bitmap of `bits` (TDIB, TDIBSurface) holding `pixels` row by row.
template <class TBitmap>
std::unique_ptr<TBitmap> MakeBitmap(int32_t w, int32_t h, int32_t bits, const std::vector<uint32_t>& pixels = {}) {
  auto b = std::make_unique<TBitmap>();
  b->SetSize(w, h, bits);
  for (size_t i = 0; i < pixels.size(); ++i) b->SetPixel(static_cast<int32_t>(i) % w, static_cast<int32_t>(i) / w, pixels[i]);
  return b;
}

// Every pixel value of any surface or bitmap, row by row.
template <class TSurface>
std::vector<uint32_t> PixelsOf(TSurface& s) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

// Sets row y from x = 0 on to the given pixel values.
template <class TSurface>
void SetRow(TSurface& s, int32_t y, const std::vector<uint32_t>& pixels) {
  for (size_t x = 0; x < pixels.size(); ++x) s.SetPixel(static_cast<int32_t>(x), y, pixels[x]);
}

// The message of the E that `f` raises, or "no error".
template <class E, class F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const E& e) {
    return e.what();
  }
  return "no error";
}

// Peak resident memory of this process in KiB.
long PeakRssKiB();

}  // namespace orba::test

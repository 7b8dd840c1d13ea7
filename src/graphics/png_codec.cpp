#include "graphics/png_codec.h"

#include <zlib.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/byte_cursor.h"
#include "core/streams/compression.h"
#include "core/streams/scratch_block.h"
#include "graphics/palette.h"

namespace orba {

namespace {

const char* const kNotPng = "PNG LoadStream: Not PNG Format";
const char* const kTwoIhdr = "Read Header(PNG): appear two IHDR";
const char* const kColorType = "Read Header(PNG): Error ColorType";
const char* const kCompression = "Read Header(PNG): not support Compression";
const char* const kFilter = "Read Header(PNG): not supprt Filter";
const char* const kInterlace = "Read Header(PNG): not interlace type";
const char* const kGreyDepth = "Read Header(PNG): Error Bitdepth";
const char* const kAlphaDepth = "Read Header(PNG): not Use AlphaChannel";
const char* const kDepth = "Read Header(PNG): Error BitDepth";
const char* const kZlib = "PNG LoadStream: Error ZLIB";
const char* const kReadError = "Read Image (PNG): Read Error";
const char* const kWriteError = "Write Image (PNG): Write Error";
const char* const kChunkSize = "Write PNG Param: Err IDAT Size(min:256  max:100000)";

constexpr size_t kSignatureSize = 8;
const uint8_t kSignature[kSignatureSize] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// A Mac file header of 128 bytes may stand before the signature; its bytes 0
// and 74 are zero.
constexpr size_t kMacHeaderSize = 128;
constexpr size_t kMacHeaderZeroAt = 74;

// A chunk: a 4-byte length and a 4-byte type, the data, a 4-byte CRC.
constexpr size_t kChunkHeadSize = 8;
constexpr size_t kChunkCrcSize = 4;
// A length with the top bit set marks a damaged file.
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFF;
// IHDR: width, height, depth, colour type, compression, filter method,
// interlace method.
constexpr size_t kIhdrSize = 13;
// Sides are signed 32-bit numbers.
constexpr uint32_t kMaxSide = 0x7FFFFFFF;
// The most pixels a picture may have, kMaxImagePixels, named as the square
// an author knows it by.
constexpr int64_t kMaxSquareSide = 8192;
static_assert(kMaxSquareSide * kMaxSquareSide == kMaxImagePixels, "the pixel limit is the square of its side");
constexpr size_t kTimeSize = 7;
constexpr size_t kChrmSize = 32;
constexpr size_t kGifgSize = 4;

// A picture past the pixel limit names its size and the limit: its header
// may be sound, and "Read Error" would send the author looking for damage.
std::string TooLargeText(uint32_t width, uint32_t height) {
  return "Read Image (PNG): " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than " +
         std::to_string(kMaxSquareSide) + " x " + std::to_string(kMaxSquareSide);
}

// Colour types of the header.
constexpr int kGrey = 0;
constexpr int kRgb = 2;
constexpr int kPalette = 3;
constexpr int kGreyAlpha = 4;
constexpr int kRgbAlpha = 6;

// Row filters.
constexpr int kFilterNone = 0;
constexpr int kFilterSub = 1;
constexpr int kFilterUp = 2;
constexpr int kFilterAverage = 3;
constexpr int kFilterPaeth = 4;

// A colour with this bit set names a palette index in its low byte.
constexpr int32_t kPaletteIndexFlag = 0x1000000;
// The transparent colour while a palette's alpha values wait for the image.
constexpr int32_t kPaletteAlphaPending = 0x1FFFFFF;

// gAMA stores the gamma times 100000.
constexpr long double kGammaScale = 100000.0L;
// pHYs units: per metre, and per inch (ours; written as per metre).
constexpr uint8_t kUnitMetre = 1;
constexpr uint8_t kUnitInch = 2;
// Sizes of the IDAT chunks a save writes.
constexpr int32_t kMinDataChunk = 256;
constexpr int32_t kMaxDataChunk = 100000;
// Compressed bytes handed to zlib at a time.
constexpr size_t kInflatePiece = 32768;
// Filtered images up to this size are inflated in one call; larger ones, row
// by row, so that a large picture is not held twice (its filtered rows are
// as large as the picture itself).
constexpr size_t kMaxWholeImageData = size_t{32} << 20;
// The filtered image and the joined IDAT data of a whole-buffer decode.
thread_local TKeptBlock t_filtered_scratch;
thread_local TKeptBlock t_joined_scratch;
// Weights (of 256) of red, green and blue in a picture saved as grey.
constexpr uint32_t kGreyOfRed = 77, kGreyOfGreen = 150, kGreyOfBlue = 29;

const char kSoftware[] = "ZelPNG ver 3.4";
const uint8_t kPrivateChunk[] = {'Z', 'e', 'l', '3', 0, 0, 0, 0};

// Adam7: start column, start row, column step, row step.
constexpr int kAdam7Passes = 7;
const int kAdam7[kAdam7Passes][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// The pixels one pass visits: every pixel, or those of one Adam7 pass.
struct TPass {
  int X0 = 0, Y0 = 0, DX = 1, DY = 1;
  bool Empty(int32_t width, int32_t height) const { return X0 >= width || Y0 >= height; }
  int32_t Width(int32_t width) const { return (width - X0 + DX - 1) / DX; }
};

TPass PassOf(bool interlaced, int pass) {
  if (!interlaced) return {};
  return {kAdam7[pass][0], kAdam7[pass][1], kAdam7[pass][2], kAdam7[pass][3]};
}

int PassCount(bool interlaced) { return interlaced ? kAdam7Passes : 1; }

// Bytes of a row of Count pixels of PixelBits bits.
size_t RowBytes(int32_t count, int pixel_bits) {
  return (static_cast<size_t>(count) * static_cast<size_t>(pixel_bits) + 7) / 8;
}

inline uint32_t BE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
inline void PutBE32(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x >> 24));
  v.push_back(static_cast<uint8_t>(x >> 16));
  v.push_back(static_cast<uint8_t>(x >> 8));
  v.push_back(static_cast<uint8_t>(x));
}
inline void PutBE16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x >> 8));
  v.push_back(static_cast<uint8_t>(x));
}
inline bool IsType(const uint8_t* t, const char* name) { return std::memcmp(t, name, 4) == 0; }

inline int PaethPredict(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  return (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
}

#ifdef __SSE2__
// Sub, Average and Paeth of 3- and 4-byte pixels, a pixel at a time in
// 16-bit lanes: each pixel needs the one decoded before it, so the lanes
// hold the channels of one pixel. Same results as PaethPredict byte by byte.

// A pixel's bytes in 16-bit lanes; kBytes may be more than a pixel where the
// bytes after it may be read (their lanes are never stored).
template <size_t kBytes>
__m128i LoadPixel(const uint8_t* p) {
  uint32_t v = 0;
  std::memcpy(&v, p, kBytes);
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}

template <size_t kBpp>
void StorePixel(uint8_t* p, __m128i v) {
  const uint32_t packed = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
  std::memcpy(p, &packed, kBpp);
}

inline __m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

inline __m128i Select16(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// One pixel of a row; a and c carry the pixel before it (decoded) and the
// one above that.
template <size_t kBpp, int kFilter, size_t kBytes>
inline void UnfilterPixel(uint8_t* cur, const uint8_t* prev, __m128i& a, __m128i& c) {
  const __m128i x = LoadPixel<kBytes>(cur);
  __m128i pred;
  if constexpr (kFilter == kFilterSub) {
    pred = a;
  } else if constexpr (kFilter == kFilterAverage) {
    pred = _mm_srli_epi16(_mm_add_epi16(a, LoadPixel<kBytes>(prev)), 1);
  } else {
    const __m128i b = LoadPixel<kBytes>(prev);
    const __m128i p = _mm_sub_epi16(b, c), q = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(p), pb = Abs16(q), pc = Abs16(_mm_add_epi16(p, q));
    const __m128i least = _mm_min_epi16(pc, _mm_min_epi16(pa, pb));
    pred = Select16(_mm_cmpeq_epi16(pa, least), a, Select16(_mm_cmpeq_epi16(pb, least), b, c));
    c = b;
  }
  a = _mm_and_si128(_mm_add_epi16(x, pred), _mm_set1_epi16(0xFF));
  StorePixel<kBpp>(cur, a);
}

// The filter of one row of whole 3- or 4-byte pixels. Every pixel of a
// 3-byte row but the last is read as four bytes: the fourth belongs to the
// next pixel (still filtered at that time) and is never stored.
template <size_t kBpp, int kFilter>
void UnfilterPixels(uint8_t* cur, const uint8_t* prev, size_t n) {
  __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 4 <= n; i += kBpp) UnfilterPixel<kBpp, kFilter, 4>(cur + i, prev + i, a, c);
  for (; i + kBpp <= n; i += kBpp) UnfilterPixel<kBpp, kFilter, kBpp>(cur + i, prev + i, a, c);
}

template <size_t kBpp>
void UnfilterPixels(uint8_t filter, uint8_t* cur, const uint8_t* prev, size_t n) {
  if (filter == kFilterSub) UnfilterPixels<kBpp, kFilterSub>(cur, prev, n);
  else if (filter == kFilterAverage) UnfilterPixels<kBpp, kFilterAverage>(cur, prev, n);
  else UnfilterPixels<kBpp, kFilterPaeth>(cur, prev, n);
}
#endif

// Undoes one row's filter in place; `prev` is the previous unfiltered row
// of the same pass (all zero for the first).
bool Unfilter(uint8_t filter, uint8_t* cur, const uint8_t* prev, size_t n, size_t bpp) {
#ifdef __SSE2__
  if ((filter == kFilterSub || filter == kFilterAverage || filter == kFilterPaeth) && (bpp == 3 || bpp == 4)) {
    if (bpp == 3) UnfilterPixels<3>(filter, cur, prev, n);
    else UnfilterPixels<4>(filter, cur, prev, n);
    return true;
  }
#endif
  switch (filter) {
    case kFilterNone: return true;
    case kFilterSub:
      for (size_t i = bpp; i < n; ++i) cur[i] = static_cast<uint8_t>(cur[i] + cur[i - bpp]);
      return true;
    case kFilterUp:
      for (size_t i = 0; i < n; ++i) cur[i] = static_cast<uint8_t>(cur[i] + prev[i]);
      return true;
    case kFilterAverage: {
      const size_t head = std::min(bpp, n);
      for (size_t i = 0; i < head; ++i) cur[i] = static_cast<uint8_t>(cur[i] + (prev[i] >> 1));
      for (size_t i = bpp; i < n; ++i) cur[i] = static_cast<uint8_t>(cur[i] + ((cur[i - bpp] + prev[i]) >> 1));
      return true;
    }
    case kFilterPaeth: {
      const size_t head = std::min(bpp, n);
      for (size_t i = 0; i < head; ++i) cur[i] = static_cast<uint8_t>(cur[i] + prev[i]);
      for (size_t i = bpp; i < n; ++i)
        cur[i] = static_cast<uint8_t>(cur[i] + PaethPredict(cur[i - bpp], prev[i], prev[i - bpp]));
      return true;
    }
    default: return false;
  }
}

// ---------------------------------------------------------------------------
// Reading

// The rows of the picture and of its alpha plane (no alpha rows: nullptr).
struct TPlanes {
  uint8_t* Top = nullptr;
  int64_t Step = 0;
  uint8_t* AlphaTop = nullptr;
  int64_t AlphaStep = 0;
  uint8_t* Row(int32_t y) const { return Top + Step * y; }
  uint8_t* AlphaRow(int32_t y) const { return AlphaTop != nullptr ? AlphaTop + AlphaStep * y : nullptr; }
};

// The decoding state of one load.
class TPngReader {
 public:
  TPngReader(TZelPNG& png, const uint8_t* data, size_t size)
      : png_(png), data_(data), size_(size), alpha_flip_(png.OpacityAlpha ? 0 : 255) {}
  TPngReader(const TPngReader&) = delete;
  TPngReader& operator=(const TPngReader&) = delete;
  ~TPngReader() { Finish(); }
  void Run();

 private:
  void ReadHeader(const uint8_t* p, size_t n);
  void ReadPalette(const uint8_t* p, size_t n);
  void ReadTransparency(const uint8_t* p, size_t n);
  void ReadBackground(const uint8_t* p, size_t n);
  // The chunks that only describe the picture; unknown ones are skipped.
  void ReadAncillary(const uint8_t* type, const uint8_t* p, size_t n, uint32_t len);
  void ReadComment(const uint8_t* p, size_t n);
  // A stored 16-bit sample field as 8 bits: its high byte at depth 16, its
  // low byte (the sample itself) below.
  uint32_t Sample8(TByteCursor& c) const {
    const uint32_t v = c.U16BE();
    return depth_ > 8 ? v >> 8 : v & 0xFF;
  }

  void DecodeImage(size_t chunk_pos);
  bool ResolvePaletteAlpha();
  TPlanes PrepareImage(bool use_alpha);
  void StartInflate(size_t chunk_pos);
  size_t FilteredSize() const;
  bool DecodeWhole(size_t chunk_pos, const TPlanes& planes);
  // Unfilters and converts the rows that NextRow hands out (each its filter
  // byte and samples, or nullptr when the data ended early).
  template <typename NextRow>
  void DecodeRows(const TPlanes& planes, NextRow next_row);
  void DecodeStreamedRows(const TPlanes& planes);
  void StoreInterlaced(const TPass& pass, int32_t count, const uint8_t* pixels, const uint8_t* alpha, uint8_t* row,
                       uint8_t* alpha_row) const;
  void ApplyPaletteAlpha(const TPlanes& planes) const;
  bool FetchIdat();
  bool InflateRow(uint8_t* out, size_t n);
  // One row of file samples as picture pixels (blue, green, red at 24 bits;
  // 2-bit samples as nibbles) and alpha, inverted unless OpacityAlpha.
  void ConvertRow(const uint8_t* raw, int32_t count, uint8_t* out, uint8_t* alpha);
  void ConvertRgbRow(const uint8_t* raw, size_t n, uint8_t* out, uint8_t* alpha) const;
  void Finish();

  TZelPNG& png_;
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = kSignatureSize;
  // Alpha samples are stored xor this: 255 inverts them, 0 keeps them.
  uint8_t alpha_flip_;

  // Header.
  bool has_ihdr_ = false, has_idat_ = false, has_plte_ = false, has_private_ = false, image_done_ = false;
  bool ended_early_ = false;
  int32_t width_ = 0, height_ = 0;
  int depth_ = 0, color_ = 0;  // kGrey, kRgb or kPalette
  bool alpha_ = false, grey_ = false;
  int interlace_ = 0;
  int src_bpp_ = 0;  // bits per pixel of the file
  int target_bits_ = 0;
  TColorTable palette_{};
  int palette_count_ = 0;
  std::array<uint8_t, 256> trns_{};
  int32_t transparent_ = -1;

  // Image data.
  z_stream z_{};
  bool z_open_ = false;
  size_t idat_left_ = 0;    // bytes of the current IDAT not yet given to zlib
  size_t idat_end_ = 0;     // offset just past the current IDAT's data
  uint16_t two_bit_[256]{};  // one byte of 2-bit samples as two bytes of nibbles
};

void TPngReader::ReadHeader(const uint8_t* p, size_t n) {
  if (has_ihdr_) throw EZelPNG(kTwoIhdr);
  if (n < kIhdrSize) throw EZelPNG(kReadError);
  TByteCursor c({p, n});
  const uint32_t w = c.U32BE(), h = c.U32BE();
  depth_ = c.U8();
  int type = c.U8() % 8;
  const uint8_t compression = c.U8(), filter = c.U8(), interlace = c.U8();
  if (type == 1 || type == 5 || type == 7) throw EZelPNG(kColorType);
  if (compression >= 2) throw EZelPNG(kCompression);
  if (filter >= 2) throw EZelPNG(kFilter);
  if (interlace >= 2) throw EZelPNG(kInterlace);
  interlace_ = interlace;
  alpha_ = type == kGreyAlpha || type == kRgbAlpha;
  if (type == kGreyAlpha) type = kGrey;
  if (type == kRgbAlpha) type = kRgb;
  grey_ = type == kGrey;
  color_ = type;
  // Sizes are checked before anything is allocated.
  if (w == 0 || h == 0) throw EZelPNG(kReadError);
  if (w > kMaxSide || h > kMaxSide || uint64_t{w} * h > uint64_t(kMaxImagePixels)) throw EZelPNG(TooLargeText(w, h));
  width_ = static_cast<int32_t>(w);
  height_ = static_cast<int32_t>(h);
  switch (color_) {
    case kGrey:
      if (alpha_) {
        if (depth_ < 8) throw EZelPNG(kAlphaDepth);
        if (depth_ != 8 && depth_ != 16) throw EZelPNG(kGreyDepth);
        target_bits_ = 8;
      } else {
        if (depth_ != 1 && depth_ != 2 && depth_ != 4 && depth_ != 8 && depth_ != 16) throw EZelPNG(kGreyDepth);
        target_bits_ = depth_ == 1 ? 1 : depth_ <= 4 ? 4 : 8;
      }
      src_bpp_ = depth_ * (alpha_ ? 2 : 1);
      break;
    case kRgb:
      if (depth_ != 8 && depth_ != 16) throw EZelPNG(kDepth);
      target_bits_ = png_.RgbBitCount == 32 ? 32 : 24;
      src_bpp_ = depth_ * (alpha_ ? 4 : 3);
      break;
    default:
      if (depth_ != 1 && depth_ != 2 && depth_ != 4 && depth_ != 8) throw EZelPNG(kDepth);
      target_bits_ = depth_ == 1 ? 1 : depth_ <= 4 ? 4 : 8;
      src_bpp_ = depth_;
  }
  png_.BitDepth = color_ == kRgb ? depth_ * 3 : depth_;
  png_.Grey = grey_;
  png_.Interlace = static_cast<uint8_t>(interlace_);
  has_ihdr_ = true;
}

void TPngReader::ReadPalette(const uint8_t* p, size_t n) {
  if (has_plte_ || has_idat_ || color_ != kPalette) return;
  palette_count_ = static_cast<int>(std::min<size_t>(n / 3, 256));
  for (int i = 0; i < palette_count_; ++i)
    palette_[static_cast<size_t>(i)] = MakeQuad(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
  has_plte_ = true;
}

void TPngReader::ReadTransparency(const uint8_t* p, size_t n) {
  if (has_idat_ || alpha_) return;
  TByteCursor c({p, n});
  if (color_ == kGrey && n >= 2) {
    // A 16-bit sample keeps its high byte; a lower depth its low bits.
    uint32_t g = depth_ > 8 ? c.U16BE() >> 8 : c.U16BE();
    // A sample of a low depth stands for its grey on the ramp.
    if (depth_ < 8) g = static_cast<uint32_t>((g & ((1u << depth_) - 1)) * 255 / ((1u << depth_) - 1));
    g &= 0xFF;
    transparent_ = static_cast<int32_t>(g | (g << 8) | (g << 16));
  } else if (color_ == kRgb && n >= 6) {
    const uint32_t r = Sample8(c), g = Sample8(c), b = Sample8(c);
    transparent_ = static_cast<int32_t>(r | (g << 8) | (b << 16));
  } else if (color_ == kPalette) {
    const size_t count = std::min<size_t>(n, static_cast<size_t>(palette_count_));
    std::memcpy(trns_.data(), p, count);
    transparent_ = kPaletteAlphaPending;
  }
}

void TPngReader::ReadBackground(const uint8_t* p, size_t n) {
  TByteCursor c({p, n});
  if (color_ == kGrey && n >= 2) {
    const uint32_t g = Sample8(c);
    png_.BkgdColor = static_cast<int32_t>(g | (g << 8) | (g << 16));
  } else if (color_ == kRgb && n >= 6) {
    const uint32_t r = Sample8(c), g = Sample8(c), b = Sample8(c);
    png_.BkgdColor = static_cast<int32_t>(r | (g << 8) | (b << 16));
  } else if (color_ == kPalette && n >= 1) {
    png_.BkgdColor = kPaletteIndexFlag | c.U8();
  }
}

void TPngReader::ReadAncillary(const uint8_t* type, const uint8_t* p, size_t n, uint32_t len) {
  const bool before_data = !has_plte_ && !has_idat_;
  TByteCursor c({p, n});
  if (IsType(type, "gAMA")) {
    if (before_data && n >= 4) png_.Gamma = c.U32BE() / kGammaScale;
  } else if (IsType(type, "sBIT")) {
    if (before_data && color_ != kGrey && n >= 3) {
      int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
      if (alpha_ && n >= 4) v |= static_cast<int32_t>(static_cast<uint32_t>(p[3]) << 24);
      png_.SbitBytes = v;
    }
  } else if (IsType(type, "pHYs")) {
    if (!has_idat_ && n >= 9) {
      png_.PhysX = c.I32BE();
      png_.PhysY = c.I32BE();
      png_.PhysUnit = c.U8();
    }
  } else if (IsType(type, "tIME")) {
    if (len == kTimeSize && n == kTimeSize) {
      png_.Time.Year = static_cast<int16_t>(c.U16BE());
      png_.Time.Month = c.U8();
      png_.Time.Day = c.U8();
      png_.Time.Hour = c.U8();
      png_.Time.Minute = c.U8();
      png_.Time.Second = c.U8();
    }
  } else if (IsType(type, "cHRM")) {
    if (len == kChrmSize && n == kChrmSize && before_data)
      for (int i = 0; i < 8; ++i) png_.ChrmValues[i] = c.I32BE();
  } else if (IsType(type, "gIFg")) {
    if (len == kGifgSize && n == kGifgSize && before_data) std::memcpy(png_.GifgBytes, p, kGifgSize);
  } else if (IsType(type, "tEXt")) {
    ReadComment(p, n);
  } else if (IsType(type, "ksNG")) {
    if (!has_idat_ && !has_private_ && n >= 4 && std::memcmp(p, kPrivateChunk, 4) == 0) has_private_ = true;
  }
}

void TPngReader::ReadComment(const uint8_t* p, size_t n) {
  const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(p, 0, n));
  if (zero != nullptr && zero - p == 7 && std::memcmp(p, "Comment", 7) == 0) {
    // Each comment ends with CR LF, so that the next one starts on a line of its own.
    png_.Comment.append(reinterpret_cast<const char*>(zero + 1), static_cast<size_t>(p + n - zero - 1));
    png_.Comment += "\r\n";
  }
}

bool TPngReader::FetchIdat() {
  // Moves to the next chunk, which must be an IDAT. False when the data ends.
  size_t p = idat_end_ + kChunkCrcSize;
  if (p + kChunkHeadSize > size_) return false;
  const uint32_t len = BE32(data_ + p);
  if (len > kMaxChunkLength) throw EZelPNG(kReadError);
  if (!IsType(data_ + p + 4, "IDAT")) throw EZelPNG(kReadError);
  const size_t start = p + kChunkHeadSize;
  const size_t avail = std::min<size_t>(len, size_ - start);
  z_.next_in = const_cast<Bytef*>(data_ + start);
  idat_left_ = avail;
  idat_end_ = start + len;
  pos_ = idat_end_ + kChunkCrcSize;
  if (avail < len) idat_end_ = size_;  // ends early; nothing follows
  return true;
}

bool TPngReader::InflateRow(uint8_t* out, size_t n) {
  z_.next_out = out;
  z_.avail_out = static_cast<uInt>(n);
  while (z_.avail_out > 0) {
    if (z_.avail_in == 0) {
      if (idat_left_ == 0) {
        if (idat_end_ >= size_ || !FetchIdat()) {
          ended_early_ = true;
          return false;
        }
      }
      const size_t piece = std::min<size_t>(idat_left_, kInflatePiece);
      z_.avail_in = static_cast<uInt>(piece);
      idat_left_ -= piece;
    }
    const int rc = inflate(&z_, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) {
      if (z_.avail_out > 0) throw EZelPNG(kReadError);
      break;
    }
    if (rc == Z_BUF_ERROR && z_.avail_in == 0) continue;
    if (rc != Z_OK) throw EZelPNG(kReadError);
  }
  return true;
}

void TPngReader::ConvertRgbRow(const uint8_t* raw, size_t n, uint8_t* out, uint8_t* alpha) const {
  if (depth_ == 8 && !alpha_) {
    for (size_t i = 0; i < n; ++i, raw += 3, out += 3) {
      out[0] = raw[2];
      out[1] = raw[1];
      out[2] = raw[0];
    }
  } else if (depth_ == 8) {
    // A pixel at a time as one word: R G B A swapped and shifted is B G R 0,
    // stored as four bytes whose last the next pixel overwrites (the last
    // pixel goes byte by byte).
    const uint8_t flip = alpha_flip_;
    size_t i = 0;
    for (; std::endian::native == std::endian::little && i + 1 < n; ++i, raw += 4, out += 3) {
      uint32_t rgba;
      std::memcpy(&rgba, raw, 4);
      const uint32_t bgr = __builtin_bswap32(rgba) >> 8;
      std::memcpy(out, &bgr, 4);
      alpha[i] = static_cast<uint8_t>((rgba >> 24) ^ flip);
    }
    for (; i < n; ++i, raw += 4, out += 3) {
      out[0] = raw[2];
      out[1] = raw[1];
      out[2] = raw[0];
      alpha[i] = static_cast<uint8_t>(raw[3] ^ flip);
    }
  } else {
    const size_t step = alpha_ ? 8 : 6;
    for (size_t i = 0; i < n; ++i, raw += step, out += 3) {
      out[0] = raw[4];
      out[1] = raw[2];
      out[2] = raw[0];
      if (alpha_) alpha[i] = static_cast<uint8_t>(raw[6] ^ alpha_flip_);
    }
  }
}

void TPngReader::ConvertRow(const uint8_t* raw, int32_t count, uint8_t* out, uint8_t* alpha) {
  const size_t n = static_cast<size_t>(count);
  if (color_ == kRgb) {
    ConvertRgbRow(raw, n, out, alpha);
    return;
  }
  if (alpha_) {  // grey + alpha
    const size_t step = depth_ == 8 ? 2 : 4;
    for (size_t i = 0; i < n; ++i, raw += step) {
      out[i] = raw[0];
      alpha[i] = static_cast<uint8_t>(raw[step / 2] ^ alpha_flip_);
    }
    return;
  }
  switch (depth_) {
    case 1: std::memcpy(out, raw, (n + 7) / 8); return;
    case 4: std::memcpy(out, raw, (n + 1) / 2); return;
    case 8: std::memcpy(out, raw, n); return;
    case 16:
      for (size_t i = 0; i < n; ++i) out[i] = raw[2 * i];
      return;
    default: {  // 2 bits: each byte of four samples becomes two bytes of nibbles
      const size_t bytes = (n + 3) / 4;
      for (size_t i = 0; i < bytes; ++i) {
        const uint16_t v = two_bit_[raw[i]];
        out[2 * i] = static_cast<uint8_t>(v >> 8);
        if (2 * i + 1 < (n + 1) / 2) out[2 * i + 1] = static_cast<uint8_t>(v);
      }
    }
  }
}

// Spreads Count pixels of three bytes at the row's start to four bytes each
// (the fourth zero), from the last pixel back so that none is overwritten
// before it is moved.
void WidenRow(uint8_t* row, int32_t count) {
  for (size_t i = static_cast<size_t>(count); i-- > 0;) {
    uint8_t* to = row + 4 * i;
    const uint8_t* from = row + 3 * i;
    const uint8_t b = from[0], g = from[1], r = from[2];
    to[0] = b;
    to[1] = g;
    to[2] = r;
    to[3] = 0;
  }
}

// Per-index alpha: a single fully transparent index keys the picture;
// anything else needs an alpha plane (answers true).
bool TPngReader::ResolvePaletteAlpha() {
  if (color_ != kPalette || transparent_ != kPaletteAlphaPending) return false;
  int zeros = 0, partial = 0, zero_index = 0;
  for (int i = 0; i < 256; ++i) {
    if (trns_[static_cast<size_t>(i)] == 0) {
      ++zeros;
      zero_index = i;
    } else if (trns_[static_cast<size_t>(i)] != 255) {
      ++partial;
    }
  }
  if (zeros == 1 && partial == 0) {
    transparent_ = kPaletteIndexFlag | zero_index;
    return false;
  }
  transparent_ = -1;
  return true;
}

// The picture and, with UseAlpha, its alpha plane, sized and cleared.
TPlanes TPngReader::PrepareImage(bool use_alpha) {
  TDIB& image = png_.Image;
  image.Clear();
  image.RequestedLayout = Layout888();
  if (color_ == kPalette) image.ColorTable = palette_;
  else if (color_ == kGrey) image.ColorTable = GreyTableForDepth(depth_ > 8 ? 8 : depth_);
  image.SetSize(width_, height_, target_bits_);
  TDIB& alpha = png_.Alpha();
  if (use_alpha) {
    alpha.Clear();
    alpha.RequestedLayout = Layout888();
    alpha.ColorTable = GreyRamp();
    alpha.SetSize(width_, height_, 8);
    // Pixels the data never reaches stay opaque: in plain alpha the plane
    // starts at 255 (interlaced pictures) or is filled where the rows end.
    if (alpha_flip_ == 0 && interlace_ && !alpha.Empty())
      for (int32_t y = 0; y < height_; ++y) std::memset(alpha.GetRow(y), 255, static_cast<size_t>(width_));
  }
  TPlanes planes;
  planes.Top = image.GetTopRow();
  planes.Step = image.RowStep();
  if (use_alpha) {
    planes.AlphaTop = alpha.GetTopRow();
    planes.AlphaStep = alpha.RowStep();
  }
  return planes;
}

// Opens zlib on the IDAT chunk at ChunkPos.
void TPngReader::StartInflate(size_t chunk_pos) {
  if (inflateInit(&z_) != Z_OK) throw EZelPNG(kZlib);
  z_open_ = true;
  const uint32_t len = BE32(data_ + chunk_pos);
  const size_t start = chunk_pos + kChunkHeadSize;
  idat_left_ = std::min<size_t>(len, size_ - start);
  idat_end_ = idat_left_ < len ? size_ : start + len;
  pos_ = start + len + kChunkCrcSize;
  z_.next_in = const_cast<Bytef*>(data_ + start);
  z_.avail_in = 0;
}

void TPngReader::DecodeImage(size_t chunk_pos) {
  has_idat_ = true;
  for (int v = 0; v < 256; ++v) {
    uint16_t r = 0;
    for (int k = 0; k < 4; ++k) r = static_cast<uint16_t>(r | (((v >> (6 - 2 * k)) & 3) << (12 - 4 * k)));
    two_bit_[v] = r;
  }
  // The rows are packed: the data from the first IDAT on must be able to
  // hold them before the picture is allocated.
  if (!PlausiblePicture(int64_t{width_} * height_, static_cast<int64_t>(size_ - chunk_pos), kMaxPixelsPerPackedByte))
    throw EZelPNG(kReadError);
  const bool index_alpha = ResolvePaletteAlpha();
  const bool use_alpha = alpha_ || index_alpha;
  if (png_.OnPictureSize) png_.OnPictureSize(width_, height_, target_bits_, use_alpha);
  const TPlanes planes = PrepareImage(use_alpha);
  if (!DecodeWhole(chunk_pos, planes)) {
    StartInflate(chunk_pos);
    DecodeStreamedRows(planes);
  }
  if (index_alpha) ApplyPaletteAlpha(planes);
  png_.AlphaLoaded = use_alpha;
  image_done_ = true;
}

// The bytes of the filtered image: each row of each pass with its filter
// byte.
size_t TPngReader::FilteredSize() const {
  size_t total = 0;
  for (int p = 0; p < PassCount(interlace_ != 0); ++p) {
    const TPass pass = PassOf(interlace_ != 0, p);
    if (pass.Empty(width_, height_)) continue;
    const size_t rows = static_cast<size_t>((height_ - pass.Y0 + pass.DY - 1) / pass.DY);
    total += rows * (RowBytes(pass.Width(width_), src_bpp_) + 1);
  }
  return total;
}

// The fast path of a sound picture: the IDAT chunks from ChunkPos on are
// joined and inflated in one call into the filtered image, whose size the
// header gives. It is taken only when every chunk of the run is whole and
// the zlib stream ends, checksum matching, exactly at the image's last
// byte; anything else (data cut short, a bad checksum, damage, too much or
// too little data) answers false before a pixel is written, and the
// row-by-row inflate decodes what it can and fails where it must.
bool TPngReader::DecodeWhole(size_t chunk_pos, const TPlanes& planes) {
  const size_t total = FilteredSize();
  if (total == 0 || total > kMaxWholeImageData) return false;
  // The run of IDAT chunks; one chunk is read in place.
  size_t packed_size = 0, p = chunk_pos, chunks = 0;
  for (; p + kChunkHeadSize <= size_ && IsType(data_ + p + 4, "IDAT"); ++chunks) {
    const uint32_t len = BE32(data_ + p);
    if (len > kMaxChunkLength) break;  // left to the chunk loop, which refuses it
    const size_t start = p + kChunkHeadSize;
    if (len > size_ - start) return false;
    packed_size += len;
    p = start + len + kChunkCrcSize;
  }
  TScratchBlock joined(t_joined_scratch);
  const uint8_t* packed = data_ + chunk_pos + kChunkHeadSize;
  if (chunks > 1) {
    uint8_t* to = joined.Get(packed_size);
    for (size_t q = chunk_pos, i = 0; i < chunks; ++i) {
      const uint32_t len = BE32(data_ + q);
      std::memcpy(to, data_ + q + kChunkHeadSize, len);
      to += len;
      q += kChunkHeadSize + len + kChunkCrcSize;
    }
    packed = joined.Data();
  }
  TScratchBlock scratch(t_filtered_scratch);
  uint8_t* filtered = scratch.Get(total);
  const TWholeInflate got = InflateWhole(packed, packed_size, filtered, total);
  if (got.Result != EWholeInflate::kDone || got.Size != total) return false;
  // The chunk loop goes on after the run; the IDATs in it are used.
  pos_ = p;
  size_t next = 0;
  DecodeRows(planes, [&](size_t n) {
    uint8_t* row = filtered + next;
    next += n;
    return row;
  });
  return true;
}

// Inflates the rows one at a time through zlib, until the image or the data
// ends.
void TPngReader::DecodeStreamedRows(const TPlanes& planes) {
  const size_t full_bytes = RowBytes(width_, src_bpp_);
  std::vector<uint8_t> rows[2] = {std::vector<uint8_t>(full_bytes + 1), std::vector<uint8_t>(full_bytes + 1)};
  int turn = 0;
  DecodeRows(planes, [&](size_t n) -> uint8_t* {
    // Two rows in turn: the one handed out before is still the previous row.
    turn ^= 1;
    return InflateRow(rows[turn].data(), n) ? rows[turn].data() : nullptr;
  });
}

// Unfilters and converts the rows of every pass, until the image or the data
// ends.
template <typename NextRow>
void TPngReader::DecodeRows(const TPlanes& planes, NextRow next_row) {
  const size_t bpp = static_cast<size_t>(std::max(1, src_bpp_ / 8));
  const size_t full_bytes = RowBytes(width_, src_bpp_);
  // The row above the first of each pass: zero, filter byte included.
  const std::vector<uint8_t> zero_row(full_bytes + 1);
  std::vector<uint8_t> pass_out, pass_alpha;
  if (interlace_) {
    pass_out.resize(static_cast<size_t>(width_) * 4 + 8);
    pass_alpha.resize(static_cast<size_t>(width_) + 8);
  }
  for (int p = 0; p < PassCount(interlace_ != 0); ++p) {
    const TPass pass = PassOf(interlace_ != 0, p);
    if (pass.Empty(width_, height_)) continue;
    const int32_t pw = pass.Width(width_);
    const size_t row_bytes = RowBytes(pw, src_bpp_);
    const uint8_t* prev = zero_row.data();
    for (int32_t y = pass.Y0; y < height_; y += pass.DY) {
      uint8_t* cur = next_row(row_bytes + 1);
      if (cur == nullptr) {
        if (alpha_flip_ == 0 && !interlace_ && planes.AlphaTop != nullptr)
          for (; y < height_; ++y) std::memset(planes.AlphaRow(y), 255, static_cast<size_t>(width_));
        return;
      }
      if (!Unfilter(cur[0], cur + 1, prev + 1, row_bytes, bpp)) throw EZelPNG(kReadError);
      uint8_t* row = planes.Row(y);
      uint8_t* arow = planes.AlphaRow(y);
      if (!interlace_) {
        ConvertRow(cur + 1, pw, row, alpha_ ? arow : nullptr);
        if (target_bits_ == 32) WidenRow(row, pw);
      } else {
        ConvertRow(cur + 1, pw, pass_out.data(), pass_alpha.data());
        StoreInterlaced(pass, pw, pass_out.data(), pass_alpha.data(), row, arow);
      }
      prev = cur;
    }
  }
}

// Places the Count converted pixels of a pass row at their columns.
void TPngReader::StoreInterlaced(const TPass& pass, int32_t count, const uint8_t* pixels, const uint8_t* alpha,
                                 uint8_t* row, uint8_t* alpha_row) const {
  for (int32_t i = 0; i < count; ++i) {
    const int32_t x = pass.X0 + i * pass.DX;
    switch (target_bits_) {
      case 1: {
        const uint8_t bit = static_cast<uint8_t>((pixels[static_cast<size_t>(i >> 3)] >> (7 - (i & 7))) & 1);
        row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(0x80 >> (x & 7))) | (bit << (7 - (x & 7))));
        break;
      }
      case 4: {
        const uint8_t b = pixels[static_cast<size_t>(i >> 1)];
        const uint8_t v = (i & 1) ? b & 0x0F : b >> 4;
        row[x >> 1] = static_cast<uint8_t>((x & 1) ? (row[x >> 1] & 0xF0) | v : (row[x >> 1] & 0x0F) | (v << 4));
        break;
      }
      case 8: row[x] = pixels[static_cast<size_t>(i)]; break;
      // The fourth byte of a 32-bit pixel stays the zero it was made with.
      case 32: std::memcpy(row + 4 * x, &pixels[static_cast<size_t>(i) * 3], 3); break;
      default: std::memcpy(row + 3 * x, &pixels[static_cast<size_t>(i) * 3], 3);
    }
    if (alpha_) alpha_row[x] = alpha[static_cast<size_t>(i)];
  }
}

// The alpha plane of a palette picture from the alpha of each index.
void TPngReader::ApplyPaletteAlpha(const TPlanes& planes) const {
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = planes.Row(y);
    uint8_t* arow = planes.AlphaRow(y);
    for (int32_t x = 0; x < width_; ++x) {
      uint32_t idx;
      if (target_bits_ == 8) idx = row[x];
      else if (target_bits_ == 4) idx = (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
      else idx = (row[x >> 3] >> (7 - (x & 7))) & 1;
      arow[x] = static_cast<uint8_t>(trns_[idx] ^ alpha_flip_);
    }
  }
}

void TPngReader::Run() {
  for (auto& a : trns_) a = 255;
  while (pos_ + kChunkHeadSize <= size_) {
    const uint32_t len = BE32(data_ + pos_);
    if (len > kMaxChunkLength) throw EZelPNG(kReadError);
    const uint8_t* type = data_ + pos_ + 4;
    const size_t start = pos_ + kChunkHeadSize;
    const size_t n = std::min<size_t>(len, size_ - start);
    const uint8_t* p = data_ + start;
    if (n < len) ended_early_ = true;
    const size_t next = n < len ? size_ : start + len + kChunkCrcSize;
    if (IsType(type, "IEND")) break;
    if (IsType(type, "IHDR")) {
      ReadHeader(p, n);
    } else if (!has_ihdr_) {
      // Nothing but the header may come first; other chunks are skipped.
    } else if (IsType(type, "IDAT")) {
      if (!image_done_) {
        DecodeImage(pos_);
        if (ended_early_) break;
        continue;  // DecodeImage moved pos_ past the IDATs it used
      }
    } else if (IsType(type, "PLTE")) {
      ReadPalette(p, n);
    } else if (IsType(type, "tRNS")) {
      ReadTransparency(p, n);
    } else if (IsType(type, "bKGD")) {
      ReadBackground(p, n);
    } else {
      ReadAncillary(type, p, n, len);
    }
    pos_ = next;
  }
  if (!has_ihdr_ || !has_idat_) throw EZelPNG(kReadError);  // no picture at all
  if (!ended_early_ && !alpha_ && transparent_ != -1 && transparent_ != kPaletteAlphaPending)
    png_.SetKeyColor(transparent_);
}

void TPngReader::Finish() {
  if (z_open_) inflateEnd(&z_);
  z_open_ = false;
}

// ---------------------------------------------------------------------------
// Writing

class TChunkWriter {
 public:
  explicit TChunkWriter(TKsBigStream& s) : s_(s) {}
  void Put(const char* type, const std::vector<uint8_t>& data) { Put(type, data.data(), data.size()); }
  void Put(const char* type, const uint8_t* data, size_t n) {
    std::vector<uint8_t> head;
    PutBE32(head, static_cast<uint32_t>(n));
    head.insert(head.end(), type, type + 4);
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type), 4);
    if (n > 0) crc = crc32(crc, data, static_cast<uInt>(n));
    s_.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
    s_.WriteBuffer(data, static_cast<int64_t>(n));
    std::vector<uint8_t> tail;
    PutBE32(tail, static_cast<uint32_t>(crc));
    s_.WriteBuffer(tail.data(), static_cast<int64_t>(kChunkCrcSize));
  }

 private:
  TKsBigStream& s_;
};

// Compresses the filtered rows into IDAT chunks of a fixed size (the last
// one shorter).
class TIdatWriter {
 public:
  TIdatWriter(TChunkWriter& out, int level, size_t chunk_size) : out_(out), buffer_(chunk_size) {
    if (deflateInit(&z_, level) != Z_OK) throw EZelPNG(kWriteError);
    z_.next_out = buffer_.data();
    z_.avail_out = static_cast<uInt>(buffer_.size());
  }
  ~TIdatWriter() { deflateEnd(&z_); }
  TIdatWriter(const TIdatWriter&) = delete;
  TIdatWriter& operator=(const TIdatWriter&) = delete;

  void Feed(const uint8_t* p, size_t n) { Deflate(p, n, Z_NO_FLUSH); }
  void Finish() {
    Deflate(nullptr, 0, Z_FINISH);
    if (z_.avail_out < buffer_.size()) out_.Put("IDAT", buffer_.data(), buffer_.size() - z_.avail_out);
  }

 private:
  void Deflate(const uint8_t* p, size_t n, int flush) {
    z_.next_in = const_cast<Bytef*>(p);
    z_.avail_in = static_cast<uInt>(n);
    for (;;) {
      const int rc = deflate(&z_, flush);
      if (rc == Z_STREAM_ERROR) throw EZelPNG(kWriteError);
      if (z_.avail_out == 0) {
        out_.Put("IDAT", buffer_.data(), buffer_.size());
        z_.next_out = buffer_.data();
        z_.avail_out = static_cast<uInt>(buffer_.size());
        continue;
      }
      if (flush == Z_FINISH ? rc == Z_STREAM_END : z_.avail_in == 0) break;
    }
  }

  TChunkWriter& out_;
  z_stream z_{};
  std::vector<uint8_t> buffer_;
};

// Score of a filtered row for the adaptive choice; higher is better. Sets
// `regular` for rows that are taken at once.
double ScoreRow(const uint8_t* row, size_t n, bool deep, bool& regular) {
  uint32_t counts[256] = {};
  for (size_t i = 0; i < n; ++i) ++counts[row[i]];
  uint32_t d = 0, c1 = 0, c2 = 0, c3 = 0;
  for (uint32_t c : counts) {
    if (c == 0) continue;
    ++d;
    if (c > c1) {
      c3 = c2;
      c2 = c1;
      c1 = c;
    } else if (c > c2) {
      c3 = c2;
      c2 = c;
    } else if (c > c3) {
      c3 = c;
    }
  }
  regular = d < 9 || c1 * 10 >= n * 9;
  if (n == 0 || d == 0) return 0;
  const double dn = static_cast<double>(n);
  if (deep) return dn / 1.5 / d * 1000 + (c1 + c2 + c3) / dn * 1000;
  return dn / 1.5 / d * 1500 + (c1 + c2) / dn * 1000;
}

void FilterRow(int filter, const uint8_t* raw, const uint8_t* prev, size_t n, size_t bpp, uint8_t* out) {
  for (size_t i = 0; i < n; ++i) {
    const int a = i >= bpp ? raw[i - bpp] : 0, b = prev[i], c = i >= bpp ? prev[i - bpp] : 0;
    int pred = 0;
    switch (filter) {
      case kFilterSub: pred = a; break;
      case kFilterUp: pred = b; break;
      case kFilterAverage: pred = (a + b) >> 1; break;
      case kFilterPaeth: pred = PaethPredict(a, b, c); break;
      default: break;
    }
    out[i] = static_cast<uint8_t>(raw[i] - pred);
  }
}

// Filters the N bytes of Raw into Line (the filter byte first) as the row
// filter choice says: 0 picks each row's filter by its score, 2 to 5 use
// filter choice - 1 on every row, any other value no filter. Best is room
// for the best row so far.
void ChooseFilter(int choice, const uint8_t* raw, const uint8_t* prev, size_t n, size_t bpp, bool deep,
                  std::vector<uint8_t>& line, std::vector<uint8_t>& best) {
  if (choice == 1 || choice >= 6) {
    line[0] = kFilterNone;
    std::memcpy(line.data() + 1, raw, n);
    return;
  }
  if (choice >= 2) {
    line[0] = static_cast<uint8_t>(choice - 1);
    FilterRow(choice - 1, raw, prev, n, bpp, line.data() + 1);
    return;
  }
  double best_score = -1;
  for (int f = kFilterNone; f <= kFilterPaeth; ++f) {
    line[0] = static_cast<uint8_t>(f);
    FilterRow(f, raw, prev, n, bpp, line.data() + 1);
    bool regular = false;
    const double score = ScoreRow(line.data() + 1, n, deep, regular);
    if (regular) {
      std::memcpy(best.data(), line.data(), n + 1);
      break;
    }
    if (score > best_score) {
      best_score = score;
      std::memcpy(best.data(), line.data(), n + 1);
    }
  }
  std::memcpy(line.data(), best.data(), n + 1);
}

// The pixels of Full (a whole row of PixelBits-bit pixels) that Pass
// visits, packed into Out.
void ExtractPassRow(const TPass& pass, int32_t count, const uint8_t* full, int pixel_bits, std::vector<uint8_t>& out) {
  std::fill(out.begin(), out.end(), 0);
  const size_t bpp = static_cast<size_t>(std::max(1, pixel_bits / 8));
  for (int32_t i = 0; i < count; ++i) {
    const size_t x = static_cast<size_t>(pass.X0 + i * pass.DX);
    if (pixel_bits >= 8) {
      std::memcpy(&out[static_cast<size_t>(i) * bpp], full + x * bpp, bpp);
    } else {
      const size_t pb = static_cast<size_t>(pixel_bits);
      const unsigned mask = (1u << pb) - 1;
      const unsigned v = (full[x * pb / 8] >> (8 - pb - (x * pb) % 8)) & mask;
      out[static_cast<size_t>(i) * pb / 8] |= static_cast<uint8_t>(v << (8 - pb - (static_cast<size_t>(i) * pb) % 8));
    }
  }
}

TPngTime CurrentUtcTime() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  gmtime_r(&now, &t);
  return TPngTime{static_cast<int16_t>(t.tm_year + 1900), static_cast<uint8_t>(t.tm_mon + 1),
                  static_cast<uint8_t>(t.tm_mday), static_cast<uint8_t>(t.tm_hour),
                  static_cast<uint8_t>(t.tm_min), static_cast<uint8_t>(t.tm_sec)};
}

bool IsValidTime(const TPngTime& t) {
  return t.Year > 0 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31 && t.Hour < 24 && t.Minute < 60 &&
         t.Second < 61;
}

// A colour as three 16-bit samples: red, green, blue.
void PutRgb16(std::vector<uint8_t>& c, int32_t color) {
  PutBE16(c, color & 0xFF);
  PutBE16(c, (color >> 8) & 0xFF);
  PutBE16(c, (color >> 16) & 0xFF);
}

// The encoding state of one save: the file's colour type and depth follow
// from the picture, its alpha plane and the grey flag.
class TPngWriter {
 public:
  TPngWriter(TZelPNG& png, TDIB& alpha, TKsBigStream& stream, int32_t data_chunk_size);
  void Run();

 private:
  void WriteHeader();
  void WriteTime();
  void WriteTexts();
  void WriteGamma();
  void WriteChromaticity();
  void WriteSignificantBits();
  void WritePalette();
  void WriteBackground();
  void WriteTransparency();
  void WritePhysicalSize();
  // The image rows in PNG form, top row first.
  std::vector<std::vector<uint8_t>> BuildRows();
  void WriteImageData(const std::vector<std::vector<uint8_t>>& rows);
  uint32_t GreyLevel(int32_t color) const;
  uint32_t PaletteIndex(int32_t color) const;

  TZelPNG& png_;
  TDIB& image_;
  TDIB& alpha_;
  TKsBigStream& stream_;
  TChunkWriter out_;
  int32_t data_chunk_size_;
  int32_t width_ = 0, height_ = 0;
  int32_t bits_ = 0;  // of the picture; 15 for a 5-5-5 picture
  bool use_alpha_ = false;
  int color_type_ = kGrey;
  int depth_ = 8;
  bool with_alpha_ = false;
  int pixel_bits_ = 8;
  int entries_ = 0;  // of the palette
};

TPngWriter::TPngWriter(TZelPNG& png, TDIB& alpha, TKsBigStream& stream, int32_t data_chunk_size)
    : png_(png), image_(png.Image), alpha_(alpha), stream_(stream), out_(stream), data_chunk_size_(data_chunk_size) {
  if (image_.Empty()) throw EZelPNG(kWriteError);
  width_ = image_.Width();
  height_ = image_.Height();
  bits_ = image_.BitCount();
  if (bits_ == 16) bits_ = image_.CurrentLayout().GreenMask == 0x3E0 ? 15 : 16;
  use_alpha_ = png_.AlphaLoaded && !alpha_.Empty() && alpha_.Width() == width_ && alpha_.Height() == height_ &&
               alpha_.BitCount() == 8;
  if (png_.Grey) {
    depth_ = bits_ <= 8 ? bits_ : 8;
    color_type_ = use_alpha_ && depth_ == 8 ? kGreyAlpha : kGrey;
  } else if (bits_ <= 8) {
    depth_ = bits_;
    color_type_ = kPalette;
  } else {
    depth_ = 8;
    color_type_ = use_alpha_ ? kRgbAlpha : kRgb;
  }
  with_alpha_ = color_type_ == kGreyAlpha || color_type_ == kRgbAlpha;
  const int channels = color_type_ == kGrey || color_type_ == kPalette ? 1
                       : color_type_ == kGreyAlpha                     ? 2
                       : color_type_ == kRgb                           ? 3
                                                                       : 4;
  pixel_bits_ = channels * depth_;
  entries_ = color_type_ == kPalette ? 1 << depth_ : 0;
}

void TPngWriter::Run() {
  stream_.WriteBuffer(kSignature, kSignatureSize);
  WriteHeader();
  WriteTime();
  WriteTexts();
  out_.Put("ksNG", kPrivateChunk, sizeof kPrivateChunk);
  if (png_.GifgBytes[0] || png_.GifgBytes[1] || png_.GifgBytes[2]) out_.Put("gIFg", png_.GifgBytes, kGifgSize);
  WriteGamma();
  WriteChromaticity();
  WriteSignificantBits();
  WritePalette();
  WriteBackground();
  WriteTransparency();
  WritePhysicalSize();
  WriteImageData(BuildRows());
  out_.Put("IEND", nullptr, 0);
}

void TPngWriter::WriteHeader() {
  std::vector<uint8_t> c;
  PutBE32(c, static_cast<uint32_t>(width_));
  PutBE32(c, static_cast<uint32_t>(height_));
  c.push_back(static_cast<uint8_t>(depth_));
  c.push_back(static_cast<uint8_t>(color_type_));
  c.push_back(0);  // deflate
  c.push_back(0);  // adaptive filters
  c.push_back(png_.Interlace ? 1 : 0);
  out_.Put("IHDR", c);
}

void TPngWriter::WriteTime() {
  const TPngTime t = png_.StampCurrentTime ? CurrentUtcTime() : png_.Time;
  if (!IsValidTime(t)) return;
  std::vector<uint8_t> c;
  PutBE16(c, static_cast<uint16_t>(t.Year));
  c.insert(c.end(), {t.Month, t.Day, t.Hour, t.Minute, t.Second});
  out_.Put("tIME", c);
}

void TPngWriter::WriteTexts() {
  auto text = [&](const std::string& key, const std::string& value) {
    std::vector<uint8_t> c(key.begin(), key.end());
    c.push_back(0);
    c.insert(c.end(), value.begin(), value.end());
    out_.Put("tEXt", c);
  };
  if (!png_.Comment.empty()) text("Comment", png_.Comment);
  text("Software", kSoftware);
}

void TPngWriter::WriteGamma() {
  const long double gamma = png_.Gamma * kGammaScale;
  if (!(gamma >= 1 && gamma < 4294967295.0L)) return;
  std::vector<uint8_t> c;
  PutBE32(c, static_cast<uint32_t>(gamma));
  out_.Put("gAMA", c);
}

void TPngWriter::WriteChromaticity() {
  if (png_.ChrmValues[0] == 0 || png_.ChrmValues[1] <= 0) return;
  std::vector<uint8_t> c;
  for (int32_t v : png_.ChrmValues) PutBE32(c, static_cast<uint32_t>(v));
  out_.Put("cHRM", c);
}

void TPngWriter::WriteSignificantBits() {
  if (color_type_ == kGrey || color_type_ == kGreyAlpha) return;
  const bool five_bit = bits_ == 15 || bits_ == 16;
  const int32_t sbit = png_.SbitBytes;
  std::vector<uint8_t> c;
  if (five_bit)
    c = {5, static_cast<uint8_t>(bits_ == 15 ? 5 : 6), 5};
  else if (sbit != 0)
    c = {static_cast<uint8_t>(sbit), static_cast<uint8_t>(sbit >> 8), static_cast<uint8_t>(sbit >> 16)};
  if (c.empty()) return;
  if (with_alpha_) c.push_back(five_bit ? 8 : static_cast<uint8_t>(static_cast<uint32_t>(sbit) >> 24));
  if (color_type_ == kPalette && c.size() > 3) c.resize(3);
  out_.Put("sBIT", c);
}

void TPngWriter::WritePalette() {
  if (color_type_ != kPalette) return;
  const TColorTable& table = image_.ImageTable();
  std::vector<uint8_t> c;
  for (int i = 0; i < entries_; ++i) c.insert(c.end(), {table[i].Red, table[i].Green, table[i].Blue});
  out_.Put("PLTE", c);
}

uint32_t TPngWriter::GreyLevel(int32_t color) const {
  if (color & kPaletteIndexFlag) return color & 0xFF;
  const uint32_t g = color & 0xFF;  // red channel of a grey
  return depth_ < 8 ? g >> (8 - depth_) : g;
}

uint32_t TPngWriter::PaletteIndex(int32_t color) const {
  if (color & kPaletteIndexFlag) return color & 0xFF;
  return static_cast<uint32_t>(ClosestEntry(image_.ImageTable().data(), static_cast<uint32_t>(color), entries_));
}

void TPngWriter::WriteBackground() {
  const int32_t color = png_.BkgdColor;
  if (color == -1) return;
  std::vector<uint8_t> c;
  if (color_type_ == kGrey || color_type_ == kGreyAlpha) PutBE16(c, GreyLevel(color));
  else if (color_type_ == kPalette) c.push_back(static_cast<uint8_t>(PaletteIndex(color)));
  else PutRgb16(c, color);
  out_.Put("bKGD", c);
}

void TPngWriter::WriteTransparency() {
  const int32_t color = png_.KeyColor;
  if (color == -1 || with_alpha_) return;
  std::vector<uint8_t> c;
  if (color_type_ == kGrey) {
    PutBE16(c, GreyLevel(color));
  } else if (color_type_ == kPalette) {
    // Every index up to the key opaque, the key transparent.
    c.assign(PaletteIndex(color), 255);
    c.push_back(0);
  } else {
    PutRgb16(c, color);
  }
  out_.Put("tRNS", c);
}

void TPngWriter::WritePhysicalSize() {
  if (png_.PhysX < 1 || png_.PhysY < 1) return;
  uint32_t px = static_cast<uint32_t>(png_.PhysX), py = static_cast<uint32_t>(png_.PhysY);
  uint8_t unit = png_.PhysUnit;
  if (unit == kUnitInch) {
    px = static_cast<uint32_t>(std::trunc(png_.PhysX * 100.0L / 254.0L * 100.0L));
    py = static_cast<uint32_t>(std::trunc(png_.PhysY * 100.0L / 254.0L * 100.0L));
    unit = kUnitMetre;
  }
  std::vector<uint8_t> c;
  PutBE32(c, px);
  PutBE32(c, py);
  c.push_back(unit);
  out_.Put("pHYs", c);
}

std::vector<std::vector<uint8_t>> TPngWriter::BuildRows() {
  const size_t raw_bytes = RowBytes(width_, pixel_bits_);
  std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(height_), std::vector<uint8_t>(raw_bytes, 0));
  std::vector<uint8_t> rgb(static_cast<size_t>(width_) * 3);
  for (int32_t y = 0; y < height_; ++y) {
    uint8_t* raw = rows[static_cast<size_t>(y)].data();
    const uint8_t* arow = use_alpha_ ? alpha_.PeekRow(y) : nullptr;
    if (bits_ <= 8 && (color_type_ == kPalette || color_type_ == kGrey)) {
      std::memcpy(raw, image_.PeekRow(y), raw_bytes);
      continue;
    }
    image_.ReadRowRGB(y, rgb.data());
    for (int32_t x = 0; x < width_; ++x) {
      const uint8_t* p = &rgb[static_cast<size_t>(x) * 3];
      const auto a = static_cast<uint8_t>(arow ? 255 - arow[x] : 255);
      const auto grey = static_cast<uint8_t>((p[0] * kGreyOfRed + p[1] * kGreyOfGreen + p[2] * kGreyOfBlue) >> 8);
      switch (color_type_) {
        case kGrey: raw[x] = grey; break;
        case kGreyAlpha: raw[2 * x] = grey, raw[2 * x + 1] = a; break;
        case kRgb: std::memcpy(raw + 3 * x, p, 3); break;
        default: std::memcpy(raw + 4 * x, p, 3), raw[4 * x + 3] = a;
      }
    }
  }
  return rows;
}

void TPngWriter::WriteImageData(const std::vector<std::vector<uint8_t>>& rows) {
  const int level = png_.DeflateLevel < -1 || png_.DeflateLevel > 9 ? Z_DEFAULT_COMPRESSION : png_.DeflateLevel;
  TIdatWriter idat(out_, level, static_cast<size_t>(data_chunk_size_));
  const size_t raw_bytes = RowBytes(width_, pixel_bits_);
  const size_t bpp = static_cast<size_t>(std::max(1, pixel_bits_ / 8));
  const bool deep = pixel_bits_ >= 8;
  const bool interlaced = png_.Interlace != 0;
  std::vector<uint8_t> pass_raw(raw_bytes), prev(raw_bytes), line(raw_bytes + 1), best(raw_bytes + 1);
  for (int p = 0; p < PassCount(interlaced); ++p) {
    const TPass pass = PassOf(interlaced, p);
    if (pass.Empty(width_, height_)) continue;
    const int32_t pw = pass.Width(width_);
    const size_t n = RowBytes(pw, pixel_bits_);
    std::fill(prev.begin(), prev.end(), 0);
    for (int32_t y = pass.Y0; y < height_; y += pass.DY) {
      const uint8_t* raw = rows[static_cast<size_t>(y)].data();
      if (interlaced) {
        ExtractPassRow(pass, pw, raw, pixel_bits_, pass_raw);
        raw = pass_raw.data();
      }
      ChooseFilter(png_.RowFilterChoice, raw, prev.data(), n, bpp, deep, line, best);
      idat.Feed(line.data(), n + 1);
      std::memcpy(prev.data(), raw, n);
    }
  }
  idat.Finish();
}

}  // namespace

// ---------------------------------------------------------------------------

TZelPNG::TZelPNG() : Time(CurrentUtcTime()), alpha_(&own_alpha_) {}

void TZelPNG::Assign(const TZelPNG& source) {
  if (&source == this) return;
  Image.Assign(&source.Image);
  Alpha().Assign(source.alpha_);
  AlphaLoaded = source.AlphaLoaded;
  OpacityAlpha = source.OpacityAlpha;
  DeflateLevel = source.DeflateLevel;
  RowFilterChoice = source.RowFilterChoice;
  Interlace = source.Interlace;
  Grey = source.Grey;
  Comment = source.Comment;
  BkgdColor = source.BkgdColor;
  KeyColor = source.KeyColor;
  TransparentColor = source.TransparentColor;
  Gamma = source.Gamma;
  SbitBytes = source.SbitBytes;
  PhysUnit = source.PhysUnit;
  PhysX = source.PhysX;
  PhysY = source.PhysY;
  StampCurrentTime = source.StampCurrentTime;
  Time = source.Time;
  std::copy(std::begin(source.ChrmValues), std::end(source.ChrmValues), ChrmValues);
  std::copy(std::begin(source.GifgBytes), std::end(source.GifgBytes), GifgBytes);
  SkipMacHeader = source.SkipMacHeader;
  BitDepth = source.BitDepth;
  data_chunk_size_ = source.data_chunk_size_;
}

void TZelPNG::SetWidth(int32_t width) {
  Image.SetWidth(width);
  if (!Alpha().Empty() || AlphaLoaded) Alpha().SetSize(Image.Width(), std::max(Image.Height(), 1), 8);
}

void TZelPNG::SetHeight(int32_t height) {
  Image.SetHeight(height);
  if (!Alpha().Empty() || AlphaLoaded) Alpha().SetSize(std::max(Image.Width(), 1), Image.Height(), 8);
}

void TZelPNG::UseAlphaTarget(TDIB* bitmap) { alpha_ = bitmap != nullptr ? bitmap : &own_alpha_; }

void TZelPNG::SetKeyColor(int32_t color) {
  KeyColor = color;
  TransparentColor = color;
}

void TZelPNG::SetDataChunkSize(int32_t size) {
  if (size < kMinDataChunk || size > kMaxDataChunk) throw EZelPNG(kChunkSize);
  data_chunk_size_ = size;
}

void TZelPNG::LoadFromStream(TKsBigStream& stream) {
  std::vector<uint8_t> bytes(static_cast<size_t>(stream.Remaining()));
  stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  const uint8_t* data = bytes.data();
  size_t size = bytes.size();
  if (SkipMacHeader && size > kMacHeaderSize && data[0] == 0 && data[kMacHeaderZeroAt] == 0) {
    data += kMacHeaderSize;
    size -= kMacHeaderSize;
  }
  if (size < kSignatureSize || std::memcmp(data, kSignature, kSignatureSize) != 0) throw EZelPNG(kNotPng);
  BkgdColor = -1;
  KeyColor = -1;
  TransparentColor = -1;
  AlphaLoaded = false;
  Time = TPngTime{};
  std::fill(std::begin(ChrmValues), std::end(ChrmValues), 0);
  std::fill(std::begin(GifgBytes), std::end(GifgBytes), 0);
  TPngReader reader(*this, data, size);
  reader.Run();
}

void TZelPNG::SaveToStream(TKsBigStream& stream) { TPngWriter(*this, *alpha_, stream, data_chunk_size_).Run(); }

}  // namespace orba

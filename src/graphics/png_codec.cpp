#include "graphics/png_codec.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

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

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Adam7: start column, start row, column step, row step.
const int kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

inline uint32_t BE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
inline uint32_t BE16(const uint8_t* p) { return (p[0] << 8) | p[1]; }
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

// Undoes one row's filter in place; `prev` is the previous unfiltered row
// of the same pass (all zero for the first).
bool Unfilter(uint8_t filter, uint8_t* cur, const uint8_t* prev, size_t n, size_t bpp) {
  switch (filter) {
    case 0: return true;
    case 1:
      for (size_t i = bpp; i < n; ++i) cur[i] = static_cast<uint8_t>(cur[i] + cur[i - bpp]);
      return true;
    case 2:
      for (size_t i = 0; i < n; ++i) cur[i] = static_cast<uint8_t>(cur[i] + prev[i]);
      return true;
    case 3: {
      const size_t head = std::min(bpp, n);
      for (size_t i = 0; i < head; ++i) cur[i] = static_cast<uint8_t>(cur[i] + (prev[i] >> 1));
      for (size_t i = bpp; i < n; ++i) cur[i] = static_cast<uint8_t>(cur[i] + ((cur[i - bpp] + prev[i]) >> 1));
      return true;
    }
    case 4: {
      const size_t head = std::min(bpp, n);
      for (size_t i = 0; i < head; ++i) cur[i] = static_cast<uint8_t>(cur[i] + prev[i]);
      if (bpp == 4) {
        // Four channels side by side; each depends only on its own history.
        for (size_t i = 4; i + 3 < n; i += 4)
          for (size_t k = 0; k < 4; ++k)
            cur[i + k] = static_cast<uint8_t>(cur[i + k] + PaethPredict(cur[i + k - 4], prev[i + k], prev[i + k - 4]));
        return true;
      }
      if (bpp == 3) {
        for (size_t i = 3; i + 2 < n; i += 3)
          for (size_t k = 0; k < 3; ++k)
            cur[i + k] = static_cast<uint8_t>(cur[i + k] + PaethPredict(cur[i + k - 3], prev[i + k], prev[i + k - 3]));
        return true;
      }
      for (size_t i = bpp; i < n; ++i)
        cur[i] = static_cast<uint8_t>(cur[i] + PaethPredict(cur[i - bpp], prev[i], prev[i - bpp]));
      return true;
    }
    default: return false;
  }
}

// The decoding state of one load.
class TPngReader {
 public:
  TPngReader(TZelPNG& png, const uint8_t* data, size_t size) : png_(png), data_(data), size_(size) {}
  TPngReader(const TPngReader&) = delete;
  TPngReader& operator=(const TPngReader&) = delete;
  ~TPngReader() { Finish(); }
  void Run();

 private:
  void ReadHeader(const uint8_t* p, size_t n);
  void DecodeImage(size_t chunk_pos);
  bool FetchIdat();
  bool InflateRow(uint8_t* out, size_t n);
  void ConvertRow(const uint8_t* raw, int32_t count, uint8_t* out, uint8_t* alpha);
  void Finish();

  TZelPNG& png_;
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 8;

  // Header.
  bool has_ihdr_ = false, has_idat_ = false, has_plte_ = false, has_private_ = false, image_done_ = false;
  bool ended_early_ = false;
  int32_t width_ = 0, height_ = 0;
  int depth_ = 0, color_ = 0;  // colour 0 grey, 2 RGB, 3 palette
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
  if (n < 13) throw EZelPNG(kReadError);
  const uint32_t w = BE32(p), h = BE32(p + 4);
  depth_ = p[8];
  int type = p[9] % 8;
  if (type == 1 || type == 5 || type == 7) throw EZelPNG(kColorType);
  if (p[10] >= 2) throw EZelPNG(kCompression);
  if (p[11] >= 2) throw EZelPNG(kFilter);
  if (p[12] >= 2) throw EZelPNG(kInterlace);
  interlace_ = p[12];
  alpha_ = type == 4 || type == 6;
  if (type == 4) type = 0;
  if (type == 6) type = 2;
  grey_ = type == 0;
  color_ = type;
  // Sizes are checked before anything is allocated.
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF || uint64_t{w} * h > uint64_t(kMaxImagePixels))
    throw EZelPNG(kReadError);
  width_ = static_cast<int32_t>(w);
  height_ = static_cast<int32_t>(h);
  switch (color_) {
    case 0:
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
    case 2:
      if (depth_ != 8 && depth_ != 16) throw EZelPNG(kDepth);
      target_bits_ = 24;
      src_bpp_ = depth_ * (alpha_ ? 4 : 3);
      break;
    default:
      if (depth_ != 1 && depth_ != 2 && depth_ != 4 && depth_ != 8) throw EZelPNG(kDepth);
      target_bits_ = depth_ == 1 ? 1 : depth_ <= 4 ? 4 : 8;
      src_bpp_ = depth_;
  }
  png_.BitDepth = color_ == 2 ? depth_ * 3 : depth_;
  png_.Grey = grey_;
  png_.Interlace = static_cast<uint8_t>(interlace_);
  has_ihdr_ = true;
}

bool TPngReader::FetchIdat() {
  // Moves to the next chunk, which must be an IDAT. False when the data ends.
  size_t p = idat_end_ + 4;  // skip the CRC
  if (p + 8 > size_) return false;
  const uint32_t len = BE32(data_ + p);
  if (len >= 0x80000000u) throw EZelPNG(kReadError);
  if (!IsType(data_ + p + 4, "IDAT")) throw EZelPNG(kReadError);
  const size_t start = p + 8;
  const size_t avail = std::min<size_t>(len, size_ - start);
  z_.next_in = const_cast<Bytef*>(data_ + start);
  idat_left_ = avail;
  idat_end_ = start + len;
  pos_ = idat_end_ + 4;
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
      const size_t piece = std::min<size_t>(idat_left_, 32768);
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

void TPngReader::ConvertRow(const uint8_t* raw, int32_t count, uint8_t* out, uint8_t* alpha) {
  const size_t n = static_cast<size_t>(count);
  if (color_ == 2) {
    if (depth_ == 8 && !alpha_) {
      for (size_t i = 0; i < n; ++i, raw += 3, out += 3) {
        out[0] = raw[2];
        out[1] = raw[1];
        out[2] = raw[0];
      }
    } else if (depth_ == 8) {
      for (size_t i = 0; i < n; ++i, raw += 4, out += 3) {
        out[0] = raw[2];
        out[1] = raw[1];
        out[2] = raw[0];
        alpha[i] = static_cast<uint8_t>(255 - raw[3]);
      }
    } else {
      const size_t step = alpha_ ? 8 : 6;
      for (size_t i = 0; i < n; ++i, raw += step, out += 3) {
        out[0] = raw[4];
        out[1] = raw[2];
        out[2] = raw[0];
        if (alpha_) alpha[i] = static_cast<uint8_t>(255 - raw[6]);
      }
    }
    return;
  }
  if (alpha_) {  // grey + alpha
    const size_t step = depth_ == 8 ? 2 : 4;
    for (size_t i = 0; i < n; ++i, raw += step) {
      out[i] = raw[0];
      alpha[i] = static_cast<uint8_t>(255 - raw[step / 2]);
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
  // The picture and its alpha plane.
  TDIB& image = png_.Image;
  image.Clear();
  image.RequestedLayout = Layout888();
  if (color_ == 3) image.ColorTable = palette_;
  else if (color_ == 0) image.ColorTable = GreyTableForDepth(depth_ > 8 ? 8 : depth_);
  image.SetSize(width_, height_, target_bits_);
  // Per-index alpha: a single fully transparent index keys the picture;
  // anything else needs an alpha plane.
  bool index_alpha = false;
  if (color_ == 3 && transparent_ == 0x1FFFFFF) {
    int zeros = 0, partial = 0, zero_index = 0;
    for (int i = 0; i < 256; ++i) {
      if (trns_[static_cast<size_t>(i)] == 0) {
        ++zeros;
        zero_index = i;
      } else if (trns_[static_cast<size_t>(i)] != 255) {
        ++partial;
      }
    }
    if (zeros == 1 && partial == 0) transparent_ = 0x1000000 | zero_index;
    else {
      transparent_ = -1;
      index_alpha = true;
    }
  }
  TDIB& alpha = png_.Alpha();
  const bool use_alpha = alpha_ || index_alpha;
  if (use_alpha) {
    alpha.Clear();
    alpha.RequestedLayout = Layout888();
    alpha.ColorTable = GreyRamp();
    alpha.SetSize(width_, height_, 8);
  }

  if (inflateInit(&z_) != Z_OK) throw EZelPNG(kZlib);
  z_open_ = true;
  const uint32_t len = BE32(data_ + chunk_pos);
  const size_t start = chunk_pos + 8;
  idat_left_ = std::min<size_t>(len, size_ - start);
  idat_end_ = idat_left_ < len ? size_ : start + len;
  pos_ = start + len + 4;
  z_.next_in = const_cast<Bytef*>(data_ + start);
  z_.avail_in = 0;

  uint8_t* top = image.GetTopRow();
  const int64_t step = image.RowStep();
  uint8_t* alpha_top = use_alpha ? alpha.GetTopRow() : nullptr;
  const int64_t alpha_step = use_alpha ? alpha.RowStep() : 0;
  const size_t bpp = static_cast<size_t>(std::max(1, src_bpp_ / 8));
  const size_t full_bytes = (static_cast<size_t>(width_) * static_cast<size_t>(src_bpp_) + 7) / 8;
  // Both rows keep the filter byte at 0 and the samples from 1 on.
  std::vector<uint8_t> cur(full_bytes + 1 + 4), prev(full_bytes + 1 + 4);
  std::vector<uint8_t> pass_out, pass_alpha;
  if (interlace_) {
    pass_out.resize(static_cast<size_t>(width_) * 3 + 8);
    pass_alpha.resize(static_cast<size_t>(width_) + 8);
  }
  const int passes = interlace_ ? 7 : 1;
  bool stopped = false;
  for (int pass = 0; pass < passes && !stopped; ++pass) {
    int x0 = 0, y0 = 0, dx = 1, dy = 1;
    if (interlace_) {
      x0 = kAdam7[pass][0];
      y0 = kAdam7[pass][1];
      dx = kAdam7[pass][2];
      dy = kAdam7[pass][3];
    }
    if (x0 >= width_ || y0 >= height_) continue;
    const int32_t pw = (width_ - x0 + dx - 1) / dx;
    const size_t row_bytes = (static_cast<size_t>(pw) * static_cast<size_t>(src_bpp_) + 7) / 8;
    std::fill(prev.begin(), prev.end(), 0);
    for (int32_t y = y0; y < height_; y += dy) {
      if (!InflateRow(cur.data(), row_bytes + 1)) {
        stopped = true;
        break;
      }
      if (!Unfilter(cur[0], cur.data() + 1, prev.data() + 1, row_bytes, bpp)) throw EZelPNG(kReadError);
      uint8_t* row = top + step * y;
      uint8_t* arow = use_alpha ? alpha_top + alpha_step * y : nullptr;
      if (!interlace_) {
        ConvertRow(cur.data() + 1, pw, row, alpha_ ? arow : nullptr);
      } else {
        ConvertRow(cur.data() + 1, pw, pass_out.data(), pass_alpha.data());
        for (int32_t i = 0; i < pw; ++i) {
          const int32_t x = x0 + i * dx;
          switch (target_bits_) {
            case 1: {
              const uint8_t bit = static_cast<uint8_t>((pass_out[static_cast<size_t>(i >> 3)] >> (7 - (i & 7))) & 1);
              row[x >> 3] = static_cast<uint8_t>((row[x >> 3] & ~(0x80 >> (x & 7))) | (bit << (7 - (x & 7))));
              break;
            }
            case 4: {
              const uint8_t b = pass_out[static_cast<size_t>(i >> 1)];
              const uint8_t v = (i & 1) ? b & 0x0F : b >> 4;
              row[x >> 1] = static_cast<uint8_t>((x & 1) ? (row[x >> 1] & 0xF0) | v : (row[x >> 1] & 0x0F) | (v << 4));
              break;
            }
            case 8: row[x] = pass_out[static_cast<size_t>(i)]; break;
            default: std::memcpy(row + 3 * x, &pass_out[static_cast<size_t>(i) * 3], 3);
          }
          if (alpha_) arow[x] = pass_alpha[static_cast<size_t>(i)];
        }
      }
      std::swap(cur, prev);
    }
  }
  if (index_alpha) {
    for (int32_t y = 0; y < height_; ++y) {
      const uint8_t* row = top + step * y;
      uint8_t* arow = alpha_top + alpha_step * y;
      for (int32_t x = 0; x < width_; ++x) {
        uint32_t idx;
        if (target_bits_ == 8) idx = row[x];
        else if (target_bits_ == 4) idx = (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
        else idx = (row[x >> 3] >> (7 - (x & 7))) & 1;
        arow[x] = static_cast<uint8_t>(255 - trns_[idx]);
      }
    }
  }
  png_.AlphaLoaded = use_alpha;
  image_done_ = true;
}

void TPngReader::Run() {
  for (auto& a : trns_) a = 255;
  while (pos_ + 8 <= size_) {
    const uint32_t len = BE32(data_ + pos_);
    if (len >= 0x80000000u) throw EZelPNG(kReadError);
    const uint8_t* type = data_ + pos_ + 4;
    const size_t start = pos_ + 8;
    const size_t n = std::min<size_t>(len, size_ - start);
    const uint8_t* p = data_ + start;
    if (n < len) ended_early_ = true;
    const size_t next = n < len ? size_ : start + len + 4;
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
      if (!has_plte_ && !has_idat_ && color_ == 3) {
        palette_count_ = static_cast<int>(std::min<size_t>(n / 3, 256));
        for (int i = 0; i < palette_count_; ++i) palette_[static_cast<size_t>(i)] = MakeQuad(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
        has_plte_ = true;
      }
    } else if (IsType(type, "tRNS")) {
      if (!has_idat_ && !alpha_) {
        if (color_ == 0 && n >= 2) {
          uint32_t g = depth_ > 8 ? p[0] : BE16(p);
          // A sample of a low depth stands for its grey on the ramp.
          if (depth_ < 8) g = static_cast<uint32_t>((g & ((1u << depth_) - 1)) * 255 / ((1u << depth_) - 1));
          g &= 0xFF;
          transparent_ = static_cast<int32_t>(g | (g << 8) | (g << 16));
        } else if (color_ == 2 && n >= 6) {
          const uint32_t r = depth_ > 8 ? p[0] : BE16(p) & 0xFF, g = depth_ > 8 ? p[2] : BE16(p + 2) & 0xFF,
                         b = depth_ > 8 ? p[4] : BE16(p + 4) & 0xFF;
          transparent_ = static_cast<int32_t>(r | (g << 8) | (b << 16));
        } else if (color_ == 3) {
          const size_t count = std::min<size_t>(n, static_cast<size_t>(palette_count_));
          std::memcpy(trns_.data(), p, count);
          transparent_ = 0x1FFFFFF;
        }
      }
    } else if (IsType(type, "bKGD")) {
      if (color_ == 0 && n >= 2) {
        uint32_t g = depth_ > 8 ? p[0] : BE16(p) & 0xFF;
        png_.BkgdColor = static_cast<int32_t>(g | (g << 8) | (g << 16));
      } else if (color_ == 2 && n >= 6) {
        const uint32_t r = depth_ > 8 ? p[0] : p[1], g = depth_ > 8 ? p[2] : p[3], b = depth_ > 8 ? p[4] : p[5];
        png_.BkgdColor = static_cast<int32_t>(r | (g << 8) | (b << 16));
      } else if (color_ == 3 && n >= 1) {
        png_.BkgdColor = 0x1000000 | p[0];
      }
    } else if (IsType(type, "gAMA")) {
      if (!has_plte_ && !has_idat_ && n >= 4) png_.Gamma = BE32(p) / 100000.0L;
    } else if (IsType(type, "sBIT")) {
      if (!has_plte_ && !has_idat_ && color_ != 0 && n >= 3) {
        int32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
        if (alpha_ && n >= 4) v |= static_cast<int32_t>(static_cast<uint32_t>(p[3]) << 24);
        png_.SbitBytes = v;
      }
    } else if (IsType(type, "pHYs")) {
      if (!has_idat_ && n >= 9) {
        png_.PhysX = static_cast<int32_t>(BE32(p));
        png_.PhysY = static_cast<int32_t>(BE32(p + 4));
        png_.PhysUnit = p[8];
      }
    } else if (IsType(type, "tIME")) {
      if (len == 7 && n == 7) {
        png_.Time.Year = static_cast<int16_t>(BE16(p));
        png_.Time.Month = p[2];
        png_.Time.Day = p[3];
        png_.Time.Hour = p[4];
        png_.Time.Minute = p[5];
        png_.Time.Second = p[6];
      }
    } else if (IsType(type, "cHRM")) {
      if (len == 32 && n == 32 && !has_plte_ && !has_idat_)
        for (int i = 0; i < 8; ++i) png_.ChrmValues[i] = static_cast<int32_t>(BE32(p + 4 * i));
    } else if (IsType(type, "gIFg")) {
      if (len == 4 && n == 4 && !has_plte_ && !has_idat_) std::memcpy(png_.GifgBytes, p, 4);
    } else if (IsType(type, "tEXt")) {
      const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(p, 0, n));
      if (zero != nullptr && zero - p == 7 && std::memcmp(p, "Comment", 7) == 0) {
        // Each comment ends with CR LF, so that the next one starts on a line of its own.
        png_.Comment.append(reinterpret_cast<const char*>(zero + 1), static_cast<size_t>(p + n - zero - 1));
        png_.Comment += "\r\n";
      }
    } else if (IsType(type, "ksNG")) {
      if (!has_idat_ && !has_private_ && n >= 4 && std::memcmp(p, "Zel3", 4) == 0) has_private_ = true;
    }
    pos_ = next;
  }
  if (!has_ihdr_ || !has_idat_) throw EZelPNG(kReadError);  // no picture at all
  if (!ended_early_ && !alpha_ && transparent_ != -1 && transparent_ != 0x1FFFFFF) png_.SetKeyColor(transparent_);
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
    s_.WriteBuffer(tail.data(), 4);
  }

 private:
  TKsBigStream& s_;
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
      case 1: pred = a; break;
      case 2: pred = b; break;
      case 3: pred = (a + b) >> 1; break;
      case 4: pred = PaethPredict(a, b, c); break;
      default: break;
    }
    out[i] = static_cast<uint8_t>(raw[i] - pred);
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

}  // namespace

// ---------------------------------------------------------------------------

TZelPNG::TZelPNG() : Time(CurrentUtcTime()), alpha_(&own_alpha_) {}

void TZelPNG::Assign(const TZelPNG& source) {
  if (&source == this) return;
  Image.Assign(&source.Image);
  Alpha().Assign(source.alpha_);
  AlphaLoaded = source.AlphaLoaded;
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
  if (size < 256 || size > 100000) throw EZelPNG(kChunkSize);
  data_chunk_size_ = size;
}

void TZelPNG::LoadFromStream(TKsBigStream& stream) {
  std::vector<uint8_t> bytes(static_cast<size_t>(stream.Remaining()));
  stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  const uint8_t* data = bytes.data();
  size_t size = bytes.size();
  if (SkipMacHeader && size > 128 && data[0] == 0 && data[74] == 0) {
    data += 128;
    size -= 128;
  }
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) throw EZelPNG(kNotPng);
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

void TZelPNG::SaveToStream(TKsBigStream& stream) {
  TDIB& image = Image;
  if (image.Empty()) throw EZelPNG(kWriteError);
  const int32_t w = image.Width(), h = image.Height();
  int32_t bits = image.BitCount();
  if (bits == 16) bits = image.CurrentLayout().GreenMask == 0x3E0 ? 15 : 16;
  TDIB& alpha = *alpha_;
  const bool use_alpha =
      AlphaLoaded && !alpha.Empty() && alpha.Width() == w && alpha.Height() == h && alpha.BitCount() == 8;

  int color_type, depth;
  if (Grey) {
    depth = bits <= 8 ? bits : 8;
    color_type = use_alpha && depth == 8 ? 4 : 0;
  } else if (bits <= 8) {
    depth = bits;
    color_type = 3;
  } else {
    depth = 8;
    color_type = use_alpha ? 6 : 2;
  }
  const bool with_alpha = color_type == 4 || color_type == 6;
  const int channels = color_type == 0 || color_type == 3 ? 1 : color_type == 4 ? 2 : color_type == 2 ? 3 : 4;
  const int pixel_bits = channels * depth;

  TChunkWriter out(stream);
  stream.WriteBuffer(kSignature, 8);
  std::vector<uint8_t> c;
  PutBE32(c, static_cast<uint32_t>(w));
  PutBE32(c, static_cast<uint32_t>(h));
  c.push_back(static_cast<uint8_t>(depth));
  c.push_back(static_cast<uint8_t>(color_type));
  c.push_back(0);
  c.push_back(0);
  c.push_back(Interlace ? 1 : 0);
  out.Put("IHDR", c);

  const TPngTime t = StampCurrentTime ? CurrentUtcTime() : Time;
  if (t.Year > 0 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31 && t.Hour < 24 && t.Minute < 60 &&
      t.Second < 61) {
    c.clear();
    PutBE16(c, static_cast<uint16_t>(t.Year));
    c.insert(c.end(), {t.Month, t.Day, t.Hour, t.Minute, t.Second});
    out.Put("tIME", c);
  }
  auto text = [&](const std::string& key, const std::string& value) {
    c.assign(key.begin(), key.end());
    c.push_back(0);
    c.insert(c.end(), value.begin(), value.end());
    out.Put("tEXt", c);
  };
  if (!Comment.empty()) text("Comment", Comment);
  text("Software", "ZelPNG ver 3.4");
  c = {'Z', 'e', 'l', '3', 0, 0, 0, 0};
  out.Put("ksNG", c);
  if (GifgBytes[0] || GifgBytes[1] || GifgBytes[2]) out.Put("gIFg", GifgBytes, 4);
  const long double gamma = Gamma * 100000.0L;
  if (gamma >= 1 && gamma < 4294967295.0L) {
    c.clear();
    PutBE32(c, static_cast<uint32_t>(gamma));
    out.Put("gAMA", c);
  }
  if (ChrmValues[0] != 0 && ChrmValues[1] > 0) {
    c.clear();
    for (int32_t v : ChrmValues) PutBE32(c, static_cast<uint32_t>(v));
    out.Put("cHRM", c);
  }
  if (color_type != 0 && color_type != 4) {
    c.clear();
    if (bits == 15 || bits == 16) c = {5, static_cast<uint8_t>(bits == 15 ? 5 : 6), 5};
    else if (SbitBytes != 0)
      c = {static_cast<uint8_t>(SbitBytes), static_cast<uint8_t>(SbitBytes >> 8), static_cast<uint8_t>(SbitBytes >> 16)};
    if (!c.empty()) {
      if (with_alpha) c.push_back(bits == 15 || bits == 16 ? 8 : static_cast<uint8_t>(static_cast<uint32_t>(SbitBytes) >> 24));
      if (color_type == 3 && c.size() > 3) c.resize(3);
      out.Put("sBIT", c);
    }
  }
  const TColorTable& table = image.ImageTable();
  const int entries = color_type == 3 ? 1 << depth : 0;
  if (color_type == 3) {
    c.clear();
    for (int i = 0; i < entries; ++i) c.insert(c.end(), {table[i].Red, table[i].Green, table[i].Blue});
    out.Put("PLTE", c);
  }
  auto grey_level = [&](int32_t color) -> uint32_t {
    if (color & 0x1000000) return color & 0xFF;
    const uint32_t g = color & 0xFF;  // red channel of a grey
    return depth < 8 ? g >> (8 - depth) : g;
  };
  auto palette_index = [&](int32_t color) -> uint32_t {
    if (color & 0x1000000) return color & 0xFF;
    return static_cast<uint32_t>(ClosestEntry(table.data(), static_cast<uint32_t>(color), entries));
  };
  if (BkgdColor != -1) {
    c.clear();
    if (color_type == 0 || color_type == 4) PutBE16(c, grey_level(BkgdColor));
    else if (color_type == 3) c.push_back(static_cast<uint8_t>(palette_index(BkgdColor)));
    else {
      PutBE16(c, BkgdColor & 0xFF);
      PutBE16(c, (BkgdColor >> 8) & 0xFF);
      PutBE16(c, (BkgdColor >> 16) & 0xFF);
    }
    out.Put("bKGD", c);
  }
  if (KeyColor != -1 && !with_alpha) {
    c.clear();
    if (color_type == 0) PutBE16(c, grey_level(KeyColor));
    else if (color_type == 3) {
      const uint32_t idx = palette_index(KeyColor);
      c.assign(idx, 255);
      c.push_back(0);
    } else {
      PutBE16(c, KeyColor & 0xFF);
      PutBE16(c, (KeyColor >> 8) & 0xFF);
      PutBE16(c, (KeyColor >> 16) & 0xFF);
    }
    out.Put("tRNS", c);
  }
  if (PhysX >= 1 && PhysY >= 1) {
    c.clear();
    uint32_t px = static_cast<uint32_t>(PhysX), py = static_cast<uint32_t>(PhysY);
    uint8_t unit = PhysUnit;
    if (unit == 2) {
      px = static_cast<uint32_t>(std::trunc(PhysX * 100.0L / 254.0L * 100.0L));
      py = static_cast<uint32_t>(std::trunc(PhysY * 100.0L / 254.0L * 100.0L));
      unit = 1;
    }
    PutBE32(c, px);
    PutBE32(c, py);
    c.push_back(unit);
    out.Put("pHYs", c);
  }

  // Image rows in PNG order, top row first.
  const size_t raw_bytes = (static_cast<size_t>(w) * static_cast<size_t>(pixel_bits) + 7) / 8;
  std::vector<std::vector<uint8_t>> rows(static_cast<size_t>(h), std::vector<uint8_t>(raw_bytes, 0));
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * 3);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* raw = rows[static_cast<size_t>(y)].data();
    const uint8_t* arow = use_alpha ? alpha.PeekRow(y) : nullptr;
    if (bits <= 8 && (color_type == 3 || color_type == 0)) {
      std::memcpy(raw, image.PeekRow(y), raw_bytes);
      continue;
    }
    image.ReadRowRGB(y, rgb.data());
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t* p = &rgb[static_cast<size_t>(x) * 3];
      const auto a = static_cast<uint8_t>(arow ? 255 - arow[x] : 255);
      const auto grey = static_cast<uint8_t>((p[0] * 77 + p[1] * 150 + p[2] * 29) >> 8);
      switch (color_type) {
        case 0: raw[x] = grey; break;
        case 4: raw[2 * x] = grey, raw[2 * x + 1] = a; break;
        case 2: std::memcpy(raw + 3 * x, p, 3); break;
        default: std::memcpy(raw + 4 * x, p, 3), raw[4 * x + 3] = a;
      }
    }
  }

  z_stream z{};
  const int level = DeflateLevel < -1 || DeflateLevel > 9 ? Z_DEFAULT_COMPRESSION : DeflateLevel;
  if (deflateInit(&z, level) != Z_OK) throw EZelPNG(kWriteError);
  std::unique_ptr<z_stream, int (*)(z_streamp)> guard(&z, deflateEnd);
  std::vector<uint8_t> zbuf(static_cast<size_t>(data_chunk_size_));
  z.next_out = zbuf.data();
  z.avail_out = static_cast<uInt>(zbuf.size());
  auto feed = [&](const uint8_t* p, size_t n, int flush) {
    z.next_in = const_cast<Bytef*>(p);
    z.avail_in = static_cast<uInt>(n);
    for (;;) {
      const int rc = deflate(&z, flush);
      if (rc == Z_STREAM_ERROR) throw EZelPNG(kWriteError);
      if (z.avail_out == 0) {
        out.Put("IDAT", zbuf.data(), zbuf.size());
        z.next_out = zbuf.data();
        z.avail_out = static_cast<uInt>(zbuf.size());
        continue;
      }
      if (flush == Z_FINISH ? rc == Z_STREAM_END : z.avail_in == 0) break;
    }
  };
  const size_t bpp = static_cast<size_t>(std::max(1, pixel_bits / 8));
  const bool deep = pixel_bits >= 8;
  std::vector<uint8_t> pass_raw(raw_bytes), prev(raw_bytes), line(raw_bytes + 1), best(raw_bytes + 1);
  const int passes = Interlace ? 7 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    int x0 = 0, y0 = 0, dx = 1, dy = 1;
    if (Interlace) {
      x0 = kAdam7[pass][0];
      y0 = kAdam7[pass][1];
      dx = kAdam7[pass][2];
      dy = kAdam7[pass][3];
    }
    if (x0 >= w || y0 >= h) continue;
    const int32_t pw = (w - x0 + dx - 1) / dx;
    const size_t n = (static_cast<size_t>(pw) * static_cast<size_t>(pixel_bits) + 7) / 8;
    std::fill(prev.begin(), prev.end(), 0);
    for (int32_t y = y0; y < h; y += dy) {
      const uint8_t* full = rows[static_cast<size_t>(y)].data();
      const uint8_t* raw = full;
      if (Interlace) {
        std::fill(pass_raw.begin(), pass_raw.end(), 0);
        for (int32_t i = 0; i < pw; ++i) {
          const size_t x = static_cast<size_t>(x0 + i * dx);
          if (pixel_bits >= 8) {
            std::memcpy(&pass_raw[static_cast<size_t>(i) * bpp], full + x * bpp, bpp);
          } else {
            const size_t pb = static_cast<size_t>(pixel_bits);
            const unsigned mask = (1u << pb) - 1;
            const unsigned v = (full[x * pb / 8] >> (8 - pb - (x * pb) % 8)) & mask;
            pass_raw[static_cast<size_t>(i) * pb / 8] |=
                static_cast<uint8_t>(v << (8 - pb - (static_cast<size_t>(i) * pb) % 8));
          }
        }
        raw = pass_raw.data();
      }
      int choice = RowFilterChoice;
      if (choice == 1 || choice >= 6) {
        line[0] = 0;
        std::memcpy(line.data() + 1, raw, n);
      } else if (choice >= 2) {
        line[0] = static_cast<uint8_t>(choice - 1);
        FilterRow(choice - 1, raw, prev.data(), n, bpp, line.data() + 1);
      } else {
        double best_score = -1;
        for (int f = 0; f <= 4; ++f) {
          line[0] = static_cast<uint8_t>(f);
          FilterRow(f, raw, prev.data(), n, bpp, line.data() + 1);
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
      feed(line.data(), n + 1, Z_NO_FLUSH);
      std::memcpy(prev.data(), raw, n);
    }
  }
  feed(nullptr, 0, Z_FINISH);
  if (z.avail_out < zbuf.size()) out.Put("IDAT", zbuf.data(), zbuf.size() - z.avail_out);
  out.Put("IEND", nullptr, 0);
}

}  // namespace orba

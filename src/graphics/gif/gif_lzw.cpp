#include "graphics/gif/gif_lzw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/system/trace.h"
#include "graphics/gif/gif_image.h"

namespace orba {

namespace {

constexpr int kTableSize = 4096;

// Skips data sub-blocks up to and including the 0 size byte (or the end of
// the stream).
void SkipSubBlocks(TKsBigStream& s) {
  uint8_t size = 0;
  while (s.Read(&size, 1) == 1 && size != 0) s.Seek(size, SeekOrigin::Current);
}

// Codes of a given width, least significant bit first, from data
// sub-blocks.
class TCodeReader {
 public:
  TCodeReader(TKsBigStream& s, TGIFImage& image) : s_(s), image_(image) {}

  // The next code; -1 when the data ends.
  int Next(int width) {
    while (bits_ < width) {
      if (pos_ == len_) {
        if (end_) {
          if (bits_ == 0) image_.ReportWarning(gif_text::kUnderRun);
          return -1;
        }
        uint8_t size = 0;
        if (s_.Read(&size, 1) != 1) return -1;
        if (size == 0) {
          end_ = true;
          continue;
        }
        const int64_t got = s_.Read(block_, size);
        if (got < size) image_.ReportWarning(gif_text::kPrematureEnd);
        len_ = static_cast<int>(got);
        pos_ = 0;
        if (got <= 0) return -1;
        continue;
      }
      acc_ |= static_cast<uint32_t>(block_[pos_++]) << bits_;
      bits_ += 8;
    }
    const int code = static_cast<int>(acc_ & ((1u << width) - 1));
    acc_ >>= width;
    bits_ -= width;
    return code;
  }

  // Drops the rest of the data up to the 0 terminator.
  void SkipRest() {
    if (end_) return;
    end_ = true;
    pos_ = len_;
    SkipSubBlocks(s_);
  }

 private:
  TKsBigStream& s_;
  TGIFImage& image_;
  uint8_t block_[255] = {};
  int len_ = 0, pos_ = 0;
  uint32_t acc_ = 0;
  int bits_ = 0;
  bool end_ = false;
};

// The string table and the stack of one frame's decode.
struct TDecoderTables {
  std::array<uint16_t, kTableSize> prefix;
  std::array<uint8_t, kTableSize> suffix;
  std::array<uint8_t, kTableSize + 1> stack;
};

}  // namespace

void ReadPixelData(TGIFSubImage& frame, TKsBigStream& s) {
  TGIFImage& image = frame.Image();
  const int32_t width = frame.Width(), height = frame.Height();
  const int32_t fill = frame.Transparent ? std::max(frame.TransparentIndex(), 0) : 0;
  std::fill(frame.Data.begin(), frame.Data.end(), static_cast<uint8_t>(fill));

  uint8_t min_size = 0;
  if (s.Read(&min_size, 1) != 1) return;
  // A clear code above the table's 4096 entries cannot be decoded.
  if (min_size > 11) {
    image.ReportWarning(gif_text::kInvalidData);
    SkipSubBlocks(s);
    return;
  }
  const int clear = 1 << min_size, end_code = clear + 1;
  int code_width = min_size + 1, limit = clear * 2, next = clear + 2;
  int first = 0, previous = 0;
  bool start = true;
  auto tables = std::make_unique<TDecoderTables>();
  auto& prefix = tables->prefix;
  auto& suffix = tables->suffix;
  auto& stack = tables->stack;
  for (int i = 0; i < kTableSize; ++i) {
    prefix[static_cast<size_t>(i)] = 0;
    suffix[static_cast<size_t>(i)] = static_cast<uint8_t>(i < clear ? i : 0);
  }
  TCodeReader reader(s, image);

  // The rows in the order they are stored.
  std::vector<int32_t> rows;
  rows.reserve(static_cast<size_t>(height));
  if (frame.Interlaced()) {
    static constexpr int kPass[4][2] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
    for (const auto& p : kPass)
      for (int32_t r = p[0]; r < height; r += p[1]) rows.push_back(r);
  } else {
    for (int32_t r = 0; r < height; ++r) rows.push_back(r);
  }

  size_t row_index = 0;
  int32_t x = 0;
  uint8_t* out = height > 0 ? frame.Data.data() + static_cast<size_t>(rows[0]) * width : nullptr;
  // Decodes the next string onto the stack; its length, or 0 when the
  // frame's data ends.
  auto next_string = [&]() -> int {
    int code = start ? clear : reader.Next(code_width);
    start = false;
    if (code < 0) return 0;
    if (code == clear) {
      code_width = min_size + 1;
      limit = clear * 2;
      next = clear + 2;
      do code = reader.Next(code_width);
      while (code == clear);
      if (code < 0) return 0;
      if (code == end_code) {
        reader.SkipRest();
        return 0;
      }
      if (code > end_code) {
        image.ReportWarning(gif_text::kInvalidData);
        reader.SkipRest();
        return 0;
      }
      first = previous = code;
      stack[0] = static_cast<uint8_t>(code);
      return 1;
    }
    if (code == end_code) {
      reader.SkipRest();
      return 0;
    }
    // A code beyond the next free entry names nothing the encoder made.
    if (code > next) {
      image.ReportWarning(gif_text::kInvalidData);
      reader.SkipRest();
      return 0;
    }
    const int received = code;
    int n = 0;
    if (code == next) {
      stack[static_cast<size_t>(n++)] = static_cast<uint8_t>(first);
      code = previous;
    }
    while (code >= clear) {
      if (n >= kTableSize) throw GIFException(gif_text::kCircular);
      stack[static_cast<size_t>(n++)] = suffix[static_cast<size_t>(code)];
      code = prefix[static_cast<size_t>(code)];
    }
    first = suffix[static_cast<size_t>(code)];
    stack[static_cast<size_t>(n++)] = static_cast<uint8_t>(first);
    if (next < kTableSize) {
      prefix[static_cast<size_t>(next)] = static_cast<uint16_t>(previous);
      suffix[static_cast<size_t>(next)] = static_cast<uint8_t>(first);
      ++next;
      if (next >= limit && limit < kTableSize) {
        limit *= 2;
        ++code_width;
      }
    }
    previous = received;
    return n;
  };

  while (row_index < rows.size()) {
    int n = next_string();
    if (n == 0) break;
    // The stack holds the string last pixel first.
    while (n > 0 && row_index < rows.size()) {
      const int take = std::min(n, width - x);
      for (int i = 0; i < take; ++i) out[x + i] = stack[static_cast<size_t>(n - 1 - i)];
      x += take;
      n -= take;
      if (x == width) {
        x = 0;
        if (++row_index < rows.size()) out = frame.Data.data() + static_cast<size_t>(rows[row_index]) * width;
      }
    }
  }
  reader.SkipRest();
}

// ---- Encoding ----

TGIFWriter::~TGIFWriter() {
  if (!flushed_ && fill_ > 1) {
    try {
      Flush();
    } catch (...) {  // traced: a destructor must not throw
      TraceCaught("GIF writer: the last codes were not written");
    }
  }
}

void TGIFWriter::Emit() {
  buffer_[0] = static_cast<uint8_t>(fill_ - 1);
  target_.WriteBuffer(buffer_, fill_);
  fill_ = 1;
}

void TGIFWriter::Write(const void* buffer, int32_t count) {
  const auto* p = static_cast<const uint8_t*>(buffer);
  for (int32_t i = 0; i < count; ++i) PutByte(p[i]);
}

void TGIFWriter::Flush() {
  if (fill_ > 1) Emit();
  flushed_ = true;
}

namespace {

// The walk over the pixels, the bit packer and the code widths shared by
// both coders.
class TGIFEncoder {
 public:
  TGIFEncoder(TKsBigStream& s, int32_t bits, int32_t colors, const uint8_t* data, bool interlaced, int32_t height,
              int32_t width)
      : writer_(s), colors_(colors), width_(width), height_(height), interlaced_(interlaced), data_(data) {
    init_width_ = bits + 1;
    code_width_ = init_width_;
    largest_ = static_cast<uint16_t>((1 << code_width_) - 1);
    clear_code_ = static_cast<uint16_t>(1 << (init_width_ - 1));
    end_code_ = static_cast<uint16_t>(clear_code_ + 1);
    first_free_ = static_cast<uint16_t>(clear_code_ + 2);
    countdown_ = interlaced ? width : int64_t{width} * height;
    pixel_ = data;
  }
  virtual ~TGIFEncoder() = default;

  void Run() {
    if (data_ != nullptr && width_ >= 1 && height_ >= 1) EncodePixels();
    PutCode(end_code_);
    if (bits_ > 0) writer_.PutByte(static_cast<uint8_t>(acc_));
    bits_ = 0;
    writer_.Flush();
  }

 protected:
  virtual void EncodePixels() = 0;
  virtual void PutCode(int code) { Output(code); }
  virtual void EmitClear() {
    clear_flag_ = true;
    PutCode(clear_code_);
  }

  void Output(int code) {
    acc_ = (acc_ & ((1u << bits_) - 1)) | (static_cast<uint32_t>(code) << bits_);
    bits_ += code_width_;
    while (bits_ >= 8) {
      writer_.PutByte(static_cast<uint8_t>(acc_));
      acc_ >>= 8;
      bits_ -= 8;
    }
  }

  // The current pixel, checked against the table.
  int Pixel() const {
    const int v = *pixel_;
    if (v >= colors_) throw GIFException(gif_text::kColorNotInTable);
    return v;
  }
  // Moves to the next pixel; false at the end.
  bool Step() {
    if (--countdown_ > 0) {
      ++pixel_;
      return true;
    }
    if (!interlaced_) return false;
    countdown_ = width_;
    static constexpr int kStep[4] = {8, 8, 4, 2};
    static constexpr int kStart[4] = {0, 4, 2, 1};
    row_ += kStep[pass_];
    while (row_ >= height_ && pass_ < 3) {
      ++pass_;
      row_ = kStart[pass_];
    }
    if (row_ >= height_) return false;
    pixel_ = data_ + static_cast<size_t>(row_) * width_;
    return true;
  }

  TGIFWriter writer_;
  int32_t colors_, width_, height_;
  bool interlaced_;
  const uint8_t* data_;
  uint32_t acc_ = 0;
  int bits_ = 0;
  bool clear_flag_ = false;
  int code_width_, init_width_;
  uint16_t largest_, clear_code_, end_code_, first_free_;
  const uint8_t* pixel_;
  int64_t countdown_;
  int32_t row_ = 0, pass_ = 0;
};

// 8009 slots (a prime); a slot holds key << 12 | code, 0xFFFFFFFF empty.
class THashTable {
 public:
  static constexpr int kSize = 8009;
  THashTable() { Clear(); }
  void Clear() { std::memset(slots_.data(), 0xFF, sizeof(slots_)); }
  void Insert(uint32_t key, int code) {
    int h = Hash(key);
    const int d = h == 0 ? 1 : kSize - h;
    while ((slots_[static_cast<size_t>(h)] & 0xFFFFF000u) != 0xFFFFF000u) h = Probe(h, d);
    slots_[static_cast<size_t>(h)] = (key << 12) | static_cast<uint32_t>(code);
  }
  int Lookup(uint32_t key) const {
    int h = Hash(key);
    const int d = h == 0 ? 1 : kSize - h;
    for (;;) {
      const uint32_t slot = slots_[static_cast<size_t>(h)];
      if ((slot & 0xFFFFF000u) == 0xFFFFF000u) return -1;
      if ((slot >> 12) == key) return static_cast<int>(slot & 0xFFF);
      h = Probe(h, d);
    }
  }

 private:
  static int Hash(uint32_t key) { return static_cast<int>(((key >> 4) ^ key) % kSize); }
  static int Probe(int h, int d) {
    h -= d;
    return h < 0 ? h + kSize : h;
  }
  std::array<uint32_t, kSize> slots_;
};

class TLZWEncoder : public TGIFEncoder {
 public:
  using TGIFEncoder::TGIFEncoder;

 protected:
  void EmitClear() override {
    table_->Clear();
    next_code_ = first_free_;
    TGIFEncoder::EmitClear();
  }
  void PutCode(int code) override {
    Output(code);
    if (next_code_ > largest_ || clear_flag_) {
      if (clear_flag_) {
        code_width_ = init_width_;
        largest_ = static_cast<uint16_t>((1 << code_width_) - 1);
        clear_flag_ = false;
      } else {
        ++code_width_;
        largest_ = static_cast<uint16_t>(code_width_ == 12 ? 4096 : (1 << code_width_) - 1);
      }
    }
  }
  void EncodePixels() override {
    table_ = std::make_unique<THashTable>();
    EmitClear();
    int prefix = Pixel();
    while (Step()) {
      const int v = Pixel();
      const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(v);
      const int found = table_->Lookup(key);
      if (found >= 0) {
        prefix = found;
        continue;
      }
      PutCode(prefix);
      prefix = v;
      if (next_code_ >= 4095) {
        EmitClear();
      } else {
        table_->Insert(key, next_code_);
        ++next_code_;
      }
    }
    PutCode(prefix);
  }

 private:
  std::unique_ptr<THashTable> table_;
  uint16_t next_code_ = 0;
};

// Emits single pixels and runs of one value whose codes the decoder's
// table is known to hold, clearing before the table fills.
class TRLEEncoder : public TGIFEncoder {
 public:
  TRLEEncoder(TKsBigStream& s, int32_t bits, int32_t colors, const uint8_t* data, bool interlaced, int32_t height,
              int32_t width)
      : TGIFEncoder(s, bits, colors, data, interlaced, height, width) {
    init_width_step_ = clear_code_ - 1;
    init_clear_point_ = bits > 3 ? clear_code_ - 2 : 9;
    budget_ = 4095 - first_free_;
  }

 protected:
  void EmitClear() override {
    width_step_ = init_width_step_;
    clear_point_ = init_clear_point_;
    since_clear_ = 0;
    longest_ = 0;
    TGIFEncoder::EmitClear();
    code_width_ = init_width_;
  }
  void EncodePixels() override {
    EmitClear();
    int count = 0;
    run_value_ = -1;
    do {
      const int v = Pixel();
      if (count >= 1 && v != run_value_) FlushRun(count);
      if (v != run_value_) {
        run_value_ = v;
        count = 1;
      } else {
        ++count;
      }
    } while (Step());
    FlushRun(count);
  }

 private:
  void PutCounted(int code) {
    clear_flag_ = false;
    PutCode(code);
    ++since_clear_;
    if (since_clear_ == width_step_) {
      ++code_width_;
      width_step_ += 1 << (code_width_ - 1);
    }
    if (since_clear_ >= clear_point_) EmitClear();
  }
  // Codes needed for a run of n when runs up to m are known.
  static int64_t Cost(int64_t n, int64_t m) {
    const int64_t r = m * (m + 1) / 2;
    int64_t cost = m * (n / r);
    const int64_t rest = n % r;
    if (rest > 0) {
      // The smallest k with k(k+1) >= 2 rest.
      int64_t k = static_cast<int64_t>(std::sqrt(static_cast<double>(2 * rest)));
      while (k > 0 && (k - 1) * k >= 2 * rest) --k;
      while (k * (k + 1) < 2 * rest) ++k;
      cost += k;
    }
    return cost;
  }
  void RestoreClearPoint() {
    clear_point_ = init_clear_point_;
    if (since_clear_ >= clear_point_) EmitClear();
  }
  void FlushFromClear(int64_t n) {
    clear_point_ = budget_;
    known_value_ = run_value_;
    int64_t k = 1;
    while (n > 0) {
      if (k == 1) {
        longest_ = 1;
        PutCounted(run_value_);
        n -= 1;
      } else if (n >= k) {
        longest_ = static_cast<int>(k);
        PutCounted(first_free_ + static_cast<int>(k) - 2);
        n -= k;
      } else {
        ++longest_;
        PutCounted(n == 1 ? run_value_ : first_free_ + static_cast<int>(n) - 2);
        n = 0;
      }
      k = since_clear_ == 0 ? 1 : k + 1;
    }
    RestoreClearPoint();
  }
  void FlushRun(int64_t n) {
    if (n == 1) {
      PutCounted(run_value_);
    } else if (clear_flag_) {
      FlushFromClear(n);
    } else if (longest_ < 2 || known_value_ != run_value_) {
      if (n > Cost(n, budget_) + 1) {
        EmitClear();
        FlushFromClear(n);
      } else {
        for (int64_t i = 0; i < n; ++i) PutCounted(run_value_);
      }
    } else {
      FlushWithTable(n);
    }
  }
  void FlushWithTable(int64_t n) {
    int64_t repeats = n / longest_, rest = n % longest_, rest_codes = rest > 0 ? 1 : 0;
    if (since_clear_ + repeats + rest_codes > budget_) {
      repeats = budget_ - since_clear_;
      rest = n - repeats * longest_;
      rest_codes = Cost(rest, budget_) + 1;
    }
    if (Cost(n, budget_) + 1 < repeats + rest_codes) {
      EmitClear();
      FlushFromClear(n);
      return;
    }
    clear_point_ = budget_;
    for (int64_t i = 0; i < repeats; ++i) PutCounted(first_free_ + longest_ - 2);
    if (rest > 0) {
      if (clear_flag_) {
        FlushFromClear(rest);
        return;
      }
      PutCounted(rest == 1 ? run_value_ : first_free_ + static_cast<int>(rest) - 2);
    }
    RestoreClearPoint();
  }

  int budget_ = 0, init_width_step_ = 0, init_clear_point_ = 0;
  int run_value_ = -1, longest_ = 0, known_value_ = -1;
  int since_clear_ = 0, clear_point_ = 0, width_step_ = 0;
};

}  // namespace

void EncodeGifData(TKsBigStream& s, int32_t bits_per_pixel, int32_t colors, const uint8_t* data, bool interlaced,
                   int32_t height, int32_t width, TGIFCompression method) {
  const int32_t bits = std::max(bits_per_pixel, 2);
  const uint8_t size = static_cast<uint8_t>(bits);
  s.WriteBuffer(&size, 1);
  std::unique_ptr<TGIFEncoder> encoder;
  if (method == TGIFCompression::RunLength)
    encoder = std::make_unique<TRLEEncoder>(s, bits, colors, data, interlaced, height, width);
  else
    encoder = std::make_unique<TLZWEncoder>(s, bits, colors, data, interlaced, height, width);
  encoder->Run();
  const uint8_t zero = 0;
  s.WriteBuffer(&zero, 1);
}

}  // namespace orba

#include "media/wave_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orba {

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

[[noreturn]] void Bad(const std::string& why) { throw EMediaError("not a playable WAVE file: " + why); }

// Frames read from the file at once.
constexpr size_t kReadFrames = 4096;

class TWaveDecoder : public TDecoder {
 public:
  TWaveDecoder(std::unique_ptr<TKsBigStream> file, const TWaveFormat& format)
      : file_(std::move(file)), format_(format), sample_bytes_(static_cast<size_t>(format.Bits / 8)),
        frame_bytes_(static_cast<size_t>(format.Channels) * sample_bytes_),
        frames_(format.DataSize / static_cast<int64_t>(frame_bytes_)), bytes_(kReadFrames * frame_bytes_) {
    file_->SetPosition(format_.DataOffset);
  }
  int32_t Rate() const override { return format_.Rate; }
  int32_t Channels() const override { return format_.Channels; }
  int64_t Frames() const override { return frames_; }
  void Seek(int64_t frame) override {
    pos_ = std::clamp<int64_t>(frame, 0, frames_);
    file_->SetPosition(format_.DataOffset + pos_ * static_cast<int64_t>(frame_bytes_));
    cut_ = false;
  }
  size_t Read(float* out, size_t frames) override {
    size_t made = 0;
    while (made < frames && pos_ < frames_ && !cut_) {
      const size_t n = std::min({frames - made, static_cast<size_t>(frames_ - pos_), kReadFrames});
      const int64_t got = file_->Read(bytes_.data(), static_cast<int64_t>(n * frame_bytes_));
      const size_t whole = static_cast<size_t>(std::max<int64_t>(got, 0)) / frame_bytes_;
      // A file that shrank while it plays ends where its bytes end.
      cut_ = whole < n;
      const size_t samples = whole * static_cast<size_t>(format_.Channels);
      float* to = out + made * static_cast<size_t>(format_.Channels);
      for (size_t i = 0; i < samples; ++i) to[i] = Sample(bytes_.data() + i * sample_bytes_);
      made += whole;
      pos_ += static_cast<int64_t>(whole);
    }
    return made;
  }

 private:
  float Sample(const uint8_t* p) const {
    switch (format_.Bits) {
      case 8: return (static_cast<float>(p[0]) - 128.0f) / 128.0f;
      case 16: return static_cast<float>(static_cast<int16_t>(U16(p))) / 32768.0f;
      case 24: return static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16) |
                                                          static_cast<uint32_t>(p[2]) << 24) >> 8) / 8388608.0f;
      default:
        if (format_.Tag == 3) {
          float f;
          const uint32_t bits = U32(p);
          std::memcpy(&f, &bits, 4);
          return std::isfinite(f) ? std::clamp(f, -1.0f, 1.0f) : 0.0f;
        }
        return static_cast<float>(static_cast<double>(static_cast<int32_t>(U32(p))) / 2147483648.0);
    }
  }
  std::unique_ptr<TKsBigStream> file_;
  TWaveFormat format_;
  size_t sample_bytes_;
  size_t frame_bytes_;
  int64_t frames_;
  int64_t pos_ = 0;
  bool cut_ = false;
  std::vector<uint8_t> bytes_;  // the file bytes of one read
};

}  // namespace

TWaveFormat ReadWaveFormat(TKsBigStream& file) {
  const int64_t size = file.GetSize();
  uint8_t head[12];
  file.SetPosition(0);
  if (size < 12 || file.Read(head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    Bad("no RIFF WAVE header");
  if (U32(head + 4) > size - 8) Bad("the RIFF size exceeds the file");
  const int64_t end = 8 + static_cast<int64_t>(U32(head + 4));
  TWaveFormat format;
  bool have_format = false;
  for (int64_t at = 12; at < end;) {
    uint8_t chunk_head[8];
    file.SetPosition(at);
    if (end - at < 8 || file.Read(chunk_head, 8) != 8) Bad("a chunk header is cut off");
    const uint32_t chunk = U32(chunk_head + 4);
    if (chunk > end - at - 8) Bad("a chunk size exceeds the file");
    if (std::memcmp(chunk_head, "fmt ", 4) == 0) {
      if (chunk < 16) Bad("the format chunk is too short");
      uint8_t body[40];
      const int64_t want = std::min<int64_t>(chunk, sizeof body);
      if (file.Read(body, want) != want) Bad("the format chunk is cut off");
      format.Tag = U16(body);
      format.Channels = U16(body + 2);
      format.Rate = static_cast<int32_t>(std::min<uint32_t>(U32(body + 4), 0x7FFFFFFF));
      format.Bits = U16(body + 14);
      if (format.Tag == 0xFFFE) {
        if (chunk < 40) Bad("the extensible format chunk is too short");
        format.Tag = U16(body + 24);
      }
      have_format = true;
    } else if (std::memcmp(chunk_head, "data", 4) == 0) {
      if (!have_format) Bad("the sample data comes before the format");
      format.DataOffset = at + 8;
      format.DataSize = chunk;
      break;
    }
    at += 8 + static_cast<int64_t>(chunk) + (chunk & 1);
  }
  if (!have_format) Bad("no format chunk");
  if (format.DataOffset == 0) Bad("no sample data");
  if (format.Tag != 1 && format.Tag != 3)
    throw EWaveCoding("a WAVE file of coding " + std::to_string(format.Tag) + ", not PCM");
  if (format.Channels < 1 || format.Channels > 2) Bad(std::to_string(format.Channels) + " channels");
  if (format.Rate < 1000 || format.Rate > 384000) Bad("a rate of " + std::to_string(format.Rate) + " Hz");
  const bool bits_ok = format.Tag == 3 ? format.Bits == 32 : (format.Bits == 8 || format.Bits == 16 ||
                                                              format.Bits == 24 || format.Bits == 32);
  if (!bits_ok) Bad(std::to_string(format.Bits) + " bits a sample");
  return format;
}

std::unique_ptr<TDecoder> MakeWaveDecoder(std::unique_ptr<TKsBigStream> file) {
  const TWaveFormat format = ReadWaveFormat(*file);
  return std::make_unique<TWaveDecoder>(std::move(file), format);
}

std::unique_ptr<TDecoder> MakeWaveDecoder(std::vector<uint8_t> file) {
  return MakeWaveDecoder(std::make_unique<TKsMemoryStream>(std::move(file)));
}

}  // namespace orba

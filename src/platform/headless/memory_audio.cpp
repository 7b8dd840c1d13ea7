#include "platform/headless/memory_audio.h"

#include <algorithm>
#include <cstdio>

namespace orba {

void TMemoryAudio::Pump(uint32_t game_ms) {
  const uint64_t due = static_cast<uint64_t>(game_ms) * kAudioRate / 1000;
  if (due > rendered_) RenderFrames(due - rendered_);
}

void TMemoryAudio::RenderFrames(uint64_t frames) {
  while (frames > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(frames, kBufferFrames));
    std::fill(buffer_.begin(), buffer_.end(), int16_t{0});
    if (source_ != nullptr) source_->Render(buffer_.data(), n);
    if (keep_) mix_.insert(mix_.end(), buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(n * kAudioChannels));
    rendered_ += n;
    frames -= n;
  }
}

bool TMemoryAudio::WriteWav(const std::string& path) const {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const uint64_t data = static_cast<uint64_t>(mix_.size()) * 2;
  std::vector<uint8_t> h;
  auto u32 = [&h](uint64_t v) { for (int i = 0; i < 4; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i))); };
  auto u16 = [&h](uint32_t v) { h.push_back(static_cast<uint8_t>(v)); h.push_back(static_cast<uint8_t>(v >> 8)); };
  auto tag = [&h](const char* t) { h.insert(h.end(), t, t + 4); };
  tag("RIFF"); u32(36 + data); tag("WAVE"); tag("fmt "); u32(16); u16(1); u16(kAudioChannels);
  u32(kAudioRate); u32(kAudioRate * kAudioChannels * 2); u16(kAudioChannels * 2); u16(16); tag("data"); u32(data);
  bool ok = std::fwrite(h.data(), 1, h.size(), f) == h.size();
  for (int16_t s : mix_) {
    const uint8_t b[2] = {static_cast<uint8_t>(s), static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8)};
    ok = ok && std::fwrite(b, 1, 2, f) == 2;
  }
  return std::fclose(f) == 0 && ok;
}

}  // namespace orba

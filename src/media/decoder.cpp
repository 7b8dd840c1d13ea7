#include "media/decoder.h"

#include <algorithm>
#include <cstdio>

namespace orba {

size_t TSilentDecoder::Read(float* out, size_t frames) {
  const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(frames), frames_ - pos_));
  std::fill(out, out + n * 2, 0.0f);
  pos_ += static_cast<int64_t>(n);
  return n;
}

void TSilentDecoder::Seek(int64_t frame) { pos_ = std::clamp<int64_t>(frame, 0, frames_); }

int64_t SeekAsC(TKsBigStream& file, int64_t offset, int whence) {
  const int64_t size = file.GetSize();
  const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.GetPosition() : size;
  const int64_t to = SaturatingAdd(base, offset);
  if (to < 0 || to > size) return -1;
  file.SetPosition(to);
  return to;
}

std::vector<uint8_t> ReadWholeFile(std::unique_ptr<TKsBigStream> file) {
  if (auto* memory = dynamic_cast<TKsMemoryStream*>(file.get())) return memory->TakeBytes();
  file->SetPosition(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(file->GetSize()));
  file->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return bytes;
}

}  // namespace orba

#include "core/streams/crc32.h"

#include <libdeflate.h>

#include <algorithm>
#include <vector>

namespace orba {

uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t n) { return libdeflate_crc32(crc, data, n); }

uint32_t StreamCrc32(TKsBigStream& s) {
  constexpr int64_t kPiece = 1 << 20;
  s.SetPosition(0);
  std::vector<uint8_t> buffer(static_cast<size_t>(std::clamp<int64_t>(s.GetSize(), 1, kPiece)));
  uint32_t crc = 0;
  for (;;) {
    const int64_t got = s.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (got <= 0) break;
    crc = UpdateCrc32(crc, buffer.data(), static_cast<size_t>(got));
  }
  return crc;
}

int64_t TCrc32Stream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  crc_ = UpdateCrc32(crc_, buffer, static_cast<size_t>(count));
  size_ += count;
  return count;
}

}  // namespace orba

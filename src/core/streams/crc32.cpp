#include "core/streams/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace orba {

uint32_t StreamCrc32(TKsBigStream& s) {
  constexpr int64_t kPiece = 1 << 20;
  s.SetPosition(0);
  std::vector<uint8_t> buffer(static_cast<size_t>(std::clamp<int64_t>(s.GetSize(), 1, kPiece)));
  uLong crc = crc32(0L, Z_NULL, 0);
  for (;;) {
    const int64_t got = s.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (got <= 0) break;
    crc = crc32(crc, buffer.data(), static_cast<uInt>(got));
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace orba

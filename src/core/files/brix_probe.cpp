#include "core/files/brix_probe.h"

#include <cstdint>
#include <cstring>

#include "core/files/brix_versions.h"

namespace orba {

bool IsBrixStreamUncompressed(TKsBigStream& stream) {
  constexpr int kHeaderRecord = 40;
  constexpr int kCompressionOffset = 22;
  char magic[7];
  if (stream.Read(magic, 7) != 7 || std::memcmp(magic, "Brix", 4) != 0) return false;
  int version = 0;
  for (int i = 4; i < 7; ++i) {
    if (magic[i] < '0' || magic[i] > '9') return false;
    version = version * 10 + (magic[i] - '0');
  }
  if (version < kBrixHeaderRecordVersion) return false;
  uint8_t size_bytes[4];
  if (stream.Read(size_bytes, 4) != 4) return false;
  const int32_t header_size = static_cast<int32_t>(static_cast<uint32_t>(size_bytes[0]) | static_cast<uint32_t>(size_bytes[1]) << 8 |
                                                   static_cast<uint32_t>(size_bytes[2]) << 16 | static_cast<uint32_t>(size_bytes[3]) << 24);
  // The record is 40 bytes whatever size the file claims; bytes it does not
  // cover read as 0.
  uint8_t header[kHeaderRecord] = {};
  const int32_t want = header_size < 0 ? 0 : (header_size > kHeaderRecord ? kHeaderRecord : header_size);
  const int64_t got = stream.Read(header, want);
  if (got < kCompressionOffset + 1) return false;
  return header[kCompressionOffset] == 1;
}

}  // namespace orba

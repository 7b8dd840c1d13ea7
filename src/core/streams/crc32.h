// The CRC-32 that package entries carry (ISO 3309 / ITU-T V.42: reflected,
// polynomial 0xEDB88320, initial value and final exclusive-or 0xFFFFFFFF).
#pragma once

#include <cstdint>

#include "core/streams/big_stream.h"

namespace orba {

// Over the whole stream from position 0, read in 1 MiB pieces; the stream is
// left at its end.
uint32_t StreamCrc32(TKsBigStream& s);

// Continues `crc` (0 to start) over N bytes.
uint32_t UpdateCrc32(uint32_t crc, const void* data, size_t n);

// A write-only stream that keeps the CRC-32 and the count of the bytes
// written to it: checks an entry's content as it is unpacked, without
// holding it.
class TCrc32Stream : public TKsBigStream {
 public:
  uint32_t Crc() const { return crc_; }
  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return size_; }
  void SetPosition(int64_t) override {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override;

 private:
  uint32_t crc_ = 0;
  int64_t size_ = 0;
};

}  // namespace orba

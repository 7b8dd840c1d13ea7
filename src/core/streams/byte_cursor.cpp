#include "core/streams/byte_cursor.h"

#include <string>

#include "core/errors.h"

namespace orba {

const uint8_t* TByteCursor::Need(size_t n) const {
  if (n > Remaining())
    throw EReadError("bytes end at " + std::to_string(bytes_.size()) + ": " + std::to_string(n) + " asked at " +
                     std::to_string(at_));
  return bytes_.data() + at_;
}

std::span<const uint8_t> TByteCursor::Take(size_t n) {
  const uint8_t* p = Need(n);
  at_ += n;
  return {p, n};
}

uint8_t TByteCursor::U8() { return Take(1)[0]; }

uint16_t TByteCursor::U16LE() {
  const auto b = Take(2);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint32_t TByteCursor::U32LE() {
  const auto b = Take(4);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 | static_cast<uint32_t>(b[2]) << 16 |
         static_cast<uint32_t>(b[3]) << 24;
}

uint64_t TByteCursor::U64LE() {
  Need(8);
  const uint64_t low = U32LE();
  return low | static_cast<uint64_t>(U32LE()) << 32;
}

uint16_t TByteCursor::U16BE() {
  const auto b = Take(2);
  return static_cast<uint16_t>(b[0] << 8 | b[1]);
}

uint32_t TByteCursor::U32BE() {
  const auto b = Take(4);
  return static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 | static_cast<uint32_t>(b[2]) << 8 |
         static_cast<uint32_t>(b[3]);
}

void TByteCursor::CheckCount(int64_t count, int64_t element_size) const {
  const auto left = static_cast<int64_t>(Remaining());
  if (count < 0 || (element_size > 0 && count > left / element_size))
    throw EReadError("stored count " + std::to_string(count) + " past the " + std::to_string(left) + " bytes left");
}

}  // namespace orba

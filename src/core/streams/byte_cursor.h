// A checked reading position over bytes already in memory: the records a
// reader took whole (a package directory, a PNG chunk) are walked with it
// instead of raw pointers. Integers come little- or big-endian; a read past
// the end raises EReadError and moves nothing, and a stored count is
// checked against the bytes left before anything is sized by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace orba {

class TByteCursor {
 public:
  explicit TByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Position() const { return at_; }
  size_t Remaining() const { return bytes_.size() - at_; }
  bool AtEnd() const { return at_ == bytes_.size(); }

  uint8_t U8();
  uint16_t U16LE();
  uint32_t U32LE();
  uint64_t U64LE();
  uint16_t U16BE();
  uint32_t U32BE();
  int32_t I32LE() { return static_cast<int32_t>(U32LE()); }
  int32_t I32BE() { return static_cast<int32_t>(U32BE()); }
  // The next N bytes, and the position past them.
  std::span<const uint8_t> Take(size_t n);
  void Skip(size_t n) { Take(n); }
  // Raises EReadError unless Count elements of ElementSize bytes fit in the
  // bytes left (Count negative never fits).
  void CheckCount(int64_t count, int64_t element_size) const;

 private:
  // The next N bytes without moving; raises when fewer are left.
  const uint8_t* Need(size_t n) const;

  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

}  // namespace orba

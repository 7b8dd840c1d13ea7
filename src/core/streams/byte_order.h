// Little-endian integers inside byte buffers: the headers of the picture
// files (BMP, ICO, TGA) and the records read whole into memory.
#pragma once

#include <cstdint>

namespace orba {

inline uint32_t ReadLE16(const uint8_t* p) { return p[0] | (p[1] << 8); }
inline uint32_t ReadLE32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void WriteLE16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLE32(uint8_t* p, uint32_t v) {
  WriteLE16(p, v);
  WriteLE16(p + 2, v >> 16);
}

}  // namespace orba

// A small PNG writer for screenshots of the headless player: 8-bit RGB,
// one zlib stream, no filters.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace orba {

class EPngWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Pixels are 0x00RRGGBB, rows top to bottom, Stride pixels apart.
std::vector<uint8_t> EncodePngRgb(const uint32_t* pixels, int32_t width, int32_t height,
                                  int32_t stride);
// Writes the encoded picture to a file (a path of the host system).
void WritePngRgb(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height,
                 int32_t stride);

}  // namespace orba

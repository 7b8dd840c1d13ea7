// JPEG (JFIF) decoding and encoding through libjpeg, to and from a plain
// buffer of top-down rows without padding: three bytes red, green, blue per
// pixel, or one grey byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/errors.h"

namespace orba {

// A JPEG image that libjpeg rejected; the message is libjpeg's own text.
class EJpegError : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};

struct TJpegImage {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Components = 3;  // 3: red, green, blue; 1: grey
  std::vector<uint8_t> Pixels;
};

// Decodes a whole JPEG image held in memory. Grey images stay grey; colour
// images (YCbCr, RGB, and CMYK as Adobe programs store it) come out as RGB.
// Raises EJpegError for data that is not a readable JPEG.
TJpegImage DecodeJpeg(const uint8_t* data, size_t size);

// Encodes baseline JFIF at `quality` (clamped to 1..100), as libjpeg's
// defaults do for that quality. Raises EJpegError on bad dimensions.
std::vector<uint8_t> EncodeJpeg(const TJpegImage& image, int32_t quality);

}  // namespace orba

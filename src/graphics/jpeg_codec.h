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

// Where DecodeJpegRows puts the rows: Plan is told the size, the components
// and the bytes libjpeg itself will hold for the whole picture (the
// coefficients of a progressive or multi-scan picture) before anything of
// the picture's size is allocated; Start is then called once with the size
// and the bytes per pixel (1: grey; 3: colour, in the order asked for; 4:
// colour as blue, green, red and a fourth byte), Row then answers the place
// of each row. A sink may throw from Plan and Start only.
class TJpegRowSink {
 public:
  virtual ~TJpegRowSink() = default;
  virtual void Plan(int32_t width, int32_t height, int32_t components, int64_t work_bytes) {
    (void)width, (void)height, (void)components, (void)work_bytes;
  }
  virtual void Start(int32_t width, int32_t height, int32_t components) = 0;
  virtual uint8_t* Row(int32_t y) = 0;
};

// How DecodeJpegRows lays out colour pixels.
enum class EJpegColourOrder { kRgb, kBgr, kBgrx };

// As DecodeJpeg, straight into the sink's rows; colour as blue, green, red
// when `bgr` is set, with a fourth byte a pixel (of no set value) for kBgrx.
// The rows are partly written when it raises.
void DecodeJpegRows(const uint8_t* data, size_t size, EJpegColourOrder order, TJpegRowSink& sink);
inline void DecodeJpegRows(const uint8_t* data, size_t size, bool bgr, TJpegRowSink& sink) {
  DecodeJpegRows(data, size, bgr ? EJpegColourOrder::kBgr : EJpegColourOrder::kRgb, sink);
}

// Encodes baseline JFIF at `quality` (clamped to 1..100), as libjpeg's
// defaults do for that quality. Raises EJpegError on bad dimensions.
std::vector<uint8_t> EncodeJpeg(const TJpegImage& image, int32_t quality);

}  // namespace orba

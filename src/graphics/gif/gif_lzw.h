// The GIF image data: a minimum code size byte, variable-length LZW codes
// (least significant bit first) in data sub-blocks, a 0 terminator.
// Decoding into a frame's pixel buffer; encoding with true LZW or with a
// run-length coder that emits a valid code stream without string matching.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/streams/big_stream.h"

namespace orba {

class TGIFSubImage;

// Fills the frame's pixel buffer (already sized) from the stream. A damaged
// stream leaves the rest at the fill value (the transparent index or 0).
void ReadPixelData(TGIFSubImage& frame, TKsBigStream& s);

enum class TGIFCompression : uint8_t { Lzw = 0, RunLength = 1 };

// Writes the minimum code size, the codes in sub-blocks and the 0 byte.
// A pixel at or above `colors` fails with "Color not in color table".
void EncodeGifData(TKsBigStream& s, int32_t bits_per_pixel, int32_t colors, const uint8_t* data, bool interlaced,
                   int32_t height, int32_t width, TGIFCompression method);

// The data sub-block writer: bytes are gathered into blocks of 255 with
// their size byte in front; Flush writes a last partial block.
class TGIFWriter {
 public:
  explicit TGIFWriter(TKsBigStream& target) : target_(target) {}
  ~TGIFWriter();
  void Write(const void* buffer, int32_t count);
  void PutByte(uint8_t b) {
    buffer_[fill_++] = b;
    if (fill_ == 256) Emit();
  }
  void Flush();

 private:
  void Emit();
  TKsBigStream& target_;
  uint8_t buffer_[256] = {};
  int32_t fill_ = 1;
  bool flushed_ = false;
};

}  // namespace orba

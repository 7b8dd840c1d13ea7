// The RIFF "WAVE" reader: PCM of 8, 16, 24 or 32 bits and 32-bit float, one
// or two channels, including the extensible header of those. Strict: every
// chunk size is checked against the bytes present, and a file that ends
// early, lies about its sizes or holds another coding raises EMediaError.
#pragma once

#include <cstdint>
#include <vector>

#include "media/decoder.h"

namespace orba {

// A WAVE file of another coding than PCM or float.
class EWaveCoding : public EMediaError {
 public:
  using EMediaError::EMediaError;
};

struct TWaveFormat {
  uint16_t Tag = 0;  // 1 PCM, 3 float
  int32_t Channels = 0;
  int32_t Rate = 0;
  int32_t Bits = 0;
  size_t DataOffset = 0;  // of the sample bytes in the file
  size_t DataSize = 0;
};

// The format and sample bytes of a WAVE file (the bytes themselves).
TWaveFormat ReadWaveFormat(const uint8_t* data, size_t size);

// Reads the samples of a WAVE file kept in memory.
std::unique_ptr<TDecoder> MakeWaveDecoder(std::vector<uint8_t> file);

}  // namespace orba

// The RIFF "WAVE" reader: PCM of 8, 16, 24 or 32 bits and 32-bit float, one
// or two channels, including the extensible header of those. Strict: every
// chunk size is checked against the bytes present, and a file that ends
// early, lies about its sizes or holds another coding raises EMediaError.
// The samples are read from the file's stream as they play, a chunk at a
// time, so a long sound takes no more memory than a short one.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/streams/big_stream.h"
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
  int64_t DataOffset = 0;  // of the sample bytes in the file
  int64_t DataSize = 0;
};

// The format and the place of the sample bytes of the WAVE file in File,
// read from its position 0 (the stream's position is left anywhere).
TWaveFormat ReadWaveFormat(TKsBigStream& file);

// Reads the samples of the WAVE file in File as they are asked for.
std::unique_ptr<TDecoder> MakeWaveDecoder(std::unique_ptr<TKsBigStream> file);
// The same for a file kept in memory.
std::unique_ptr<TDecoder> MakeWaveDecoder(std::vector<uint8_t> file);

}  // namespace orba

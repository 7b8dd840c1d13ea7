// Files of the codecs our own readers do not decode (Windows Media audio,
// compressed WAVE codings) through libavformat and libavcodec, converted by
// libswresample to stereo floats at the output's rate.
#pragma once

#include <vector>

#include "media/decoder.h"

namespace orba {

// Raises EMediaError when no audio stream of the bytes can be decoded.
std::unique_ptr<TDecoder> MakeAvDecoder(std::vector<uint8_t> file);

}  // namespace orba

// Files of the codecs our own readers do not decode (Windows Media audio,
// compressed WAVE codings) through libavformat and libavcodec, converted by
// libswresample to stereo floats at the output's rate.
#pragma once

#include <memory>
#include <vector>

#include "media/decoder.h"

namespace orba {

// Raises EMediaError when no audio stream of File can be decoded; File is
// read as the sound plays, through TAvInput.
std::unique_ptr<TDecoder> MakeAvDecoder(std::unique_ptr<TKsBigStream> file);
// The same for a file kept in memory.
std::unique_ptr<TDecoder> MakeAvDecoder(std::vector<uint8_t> file);

}  // namespace orba

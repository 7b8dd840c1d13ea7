// Ogg Vorbis files through libvorbisfile, read from memory.
#pragma once

#include <vector>

#include "media/decoder.h"

namespace orba {

// Raises EMediaError when the bytes are no playable Ogg Vorbis stream.
std::unique_ptr<TDecoder> MakeOggDecoder(std::vector<uint8_t> file);

}  // namespace orba

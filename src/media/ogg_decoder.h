// Ogg Vorbis files through libvorbisfile, which reads the file's stream as
// the sound plays.
#pragma once

#include <memory>
#include <vector>

#include "media/decoder.h"

namespace orba {

// Raises EMediaError when File holds no playable Ogg Vorbis stream.
std::unique_ptr<TDecoder> MakeOggDecoder(std::unique_ptr<TKsBigStream> file);
// The same for a file kept in memory.
std::unique_ptr<TDecoder> MakeOggDecoder(std::vector<uint8_t> file);

}  // namespace orba

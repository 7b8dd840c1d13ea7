// The CRC-32 that package entries carry (ISO 3309 / ITU-T V.42: reflected,
// polynomial 0xEDB88320, initial value and final exclusive-or 0xFFFFFFFF).
#pragma once

#include <cstdint>

#include "core/streams/big_stream.h"

namespace orba {

// Over the whole stream from position 0, read in 1 MiB pieces; the stream is
// left at its end.
uint32_t StreamCrc32(TKsBigStream& s);

}  // namespace orba

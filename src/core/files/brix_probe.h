// The package writer's look into a Brix image: whether its layers are stored
// without compression (then packing the file pays; otherwise its planes are
// already packed and it is stored as is).
#pragma once

#include "core/streams/big_stream.h"

namespace orba {

// Reads the 7-byte magic from the stream's position; for "Brix" with a
// version of 103 or later it reads the int32 header size and at most the
// 40-byte header record, and answers whether its compression byte (offset 22)
// is 1. Anything else (no magic, an older version, a short stream) answers
// false. The stream is left after what was read.
bool IsBrixStreamUncompressed(TKsBigStream& stream);

}  // namespace orba

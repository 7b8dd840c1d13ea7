// In-place zlib packing and unpacking of memory streams (package entries and
// image layers).
#pragma once

#include <cstdint>

#include "core/streams/big_stream.h"

namespace orba {

// Replaces the whole content by its zlib form (header and Adler-32 checksum
// included) at the fastest level; the stream is left at its end.
void CompressStream(TKsMemoryStream& s);

// The largest output DecompressStream accepts unless told otherwise.
constexpr int64_t kMaxDecompressedSize = int64_t{1} << 30;  // 1 GiB

// Replaces the whole content by its inflated form and moves to position 0.
// Bytes after the end of the zlib stream are ignored. Raises
// EZDecompressionError, leaving the stream unchanged, when the data is
// damaged, ends before the zlib stream does, or would inflate to more than
// max_size bytes.
// The output grows in place: unpacking never holds more than max_size
// bytes at once, even while the output moves to a larger block.
void DecompressStream(TKsMemoryStream& s, int64_t max_size = kMaxDecompressedSize);

// Unpacks the zlib stream in the next `count` bytes of Source, writing the
// unpacked bytes to Dest piece by piece (so nothing of the entry's size is
// held in memory); returns their count. Raises as DecompressStream, and the
// errors of Dest; what was written before stays written.
int64_t DecompressToStream(TKsBigStream& source, int64_t count, TKsBigStream& dest,
                           int64_t max_size = kMaxDecompressedSize);

}  // namespace orba

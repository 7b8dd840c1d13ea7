// In-place zlib packing and unpacking of memory streams (package entries and
// image layers), and the whole-buffer inflate that PNG image data and
// package entries take when their unpacked data fits a known room.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/errors.h"
#include "core/streams/big_stream.h"

namespace orba {

// Replaces the whole content by its zlib form (header and Adler-32 checksum
// included) at the fastest level; the stream is left at its end.
void CompressStream(TKsMemoryStream& s);

// The largest output DecompressStream accepts unless told otherwise.
constexpr int64_t kMaxDecompressedSize = int64_t{1} << 30;  // 1 GiB

// Packed data that would unpack to more than the bound given (a kind of
// EZDecompressionError, so that callers that take any fault alike still
// do), for callers that refuse a large file otherwise than a damaged one.
class EZUnpackedTooLarge : public EZDecompressionError {
 public:
  using EZDecompressionError::EZDecompressionError;
};

// Replaces the whole content by its inflated form and moves to position 0.
// Bytes after the end of the zlib stream are ignored. Raises
// EZDecompressionError, leaving the stream unchanged, when the data is
// damaged, ends before the zlib stream does, or (EZUnpackedTooLarge) would
// inflate to more than max_size bytes.
// Data that unpack to at most 64 MiB are inflated in one call into a block
// the thread keeps, then copied out; larger ones are inflated twice, first
// only counted, then into a block of their size: unpacking never holds more
// than the unpacked data (and the input) at once, and data refused as too
// large cost no output at all.
void DecompressStream(TKsMemoryStream& s, int64_t max_size = kMaxDecompressedSize);

// What a whole-buffer inflate gave.
enum class EWholeInflate {
  kDone,          // the zlib stream ended and its Adler-32 matched
  kNeedsMoreRoom, // the stream is sound so far but unpacks to more than the room
  kFailed,        // damaged, cut short or a wrong checksum: zlib's streaming
                  // inflate tells which, and what came before the fault
};
struct TWholeInflate {
  EWholeInflate Result = EWholeInflate::kFailed;
  size_t Size = 0;  // bytes written to Out (kDone only)
};

// Inflates the zlib stream at the start of In into Out (at most `room`
// bytes) in one call, several times faster than zlib's streaming inflate.
// Bytes after the end of the stream are ignored. Raises nothing: callers
// that must name a fault, or keep what came before it, run the streaming
// inflate again when the result is not kDone.
TWholeInflate InflateWhole(const uint8_t* in, size_t in_size, uint8_t* out, size_t room);

// How DecompressToStream takes a small entry.
enum class TInflateOrder {
  kWholeWhenSmall,  // a small one inflated in one call: the fastest
  kFirstBytesFirst, // piece by piece from its start: its first bytes come first, for
                    // a reader that waits for them while the rest unpacks
};

// Unpacks the zlib stream in the next `count` bytes of Source, writing the
// unpacked bytes to Dest piece by piece (so nothing of the entry's size is
// held in memory); returns their count. Raises as DecompressStream, and the
// errors of Dest; what was written before stays written.
int64_t DecompressToStream(TKsBigStream& source, int64_t count, TKsBigStream& dest,
                           int64_t max_size = kMaxDecompressedSize,
                           TInflateOrder order = TInflateOrder::kWholeWhenSmall);

}  // namespace orba

// A read-only stream over the bytes of a clipboard data block, locked while
// the stream lives; the block itself stays its owner's.
#pragma once

#include "core/streams/big_stream.h"
#include "platform/clipboard.h"

namespace orba {

namespace detail {
// Locks the block before the stream base is made over its bytes.
struct TLockedBlock {
  TLockedBlock(TClipboard& clipboard, TDataBlock block)
      : Lock(clipboard, block), Size(Lock.Bytes() != nullptr ? static_cast<int64_t>(clipboard.BlockSize(block)) : 0) {}
  TBlockLock Lock;
  int64_t Size;
};
}  // namespace detail

class TGlobalMemoryStream : private detail::TLockedBlock, public TKsSpanStream {
 public:
  explicit TGlobalMemoryStream(TDataBlock block, TClipboard& clipboard = Clipboard())
      : detail::TLockedBlock(clipboard, block), TKsSpanStream(Lock.Bytes(), Size) {}
  // False when the block could not be locked (the stream is then empty).
  bool Locked() const { return Lock.Bytes() != nullptr; }
};

// A new block holding `size` bytes from `bytes`, or 0 when no block can be
// had or filled.
TDataBlock CopyToNewBlock(const void* bytes, size_t size, TClipboard& clipboard = Clipboard());

}  // namespace orba

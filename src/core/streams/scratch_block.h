// A block of memory a thread keeps from one use to the next, for the
// whole-buffer inflates of pictures and package entries: a fresh block of
// many megabytes costs a page fault every 4 KiB on every use, more than
// inflating into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace orba {

// Blocks up to this size are kept between uses; larger ones are given back
// when their user ends.
constexpr size_t kKeptScratchBlock = size_t{64} << 20;

// The block a thread keeps for one purpose (a thread_local of its user).
// Its bytes are not cleared, so the pages of a room larger than what was
// written to it are never touched.
struct TKeptBlock {
  std::unique_ptr<uint8_t[]> Bytes;
  size_t Size = 0;
};

// Lends a kept block for one use.
class TScratchBlock {
 public:
  explicit TScratchBlock(TKeptBlock& kept) : kept_(kept) {}
  TScratchBlock(const TScratchBlock&) = delete;
  TScratchBlock& operator=(const TScratchBlock&) = delete;
  ~TScratchBlock() {
    if (kept_.Size > kKeptScratchBlock) kept_ = TKeptBlock{};
  }
  // At least n bytes; their content is left from earlier uses.
  uint8_t* Get(size_t n) {
    if (kept_.Size < n) {
      kept_ = TKeptBlock{};  // the old block goes before the new one comes
      kept_.Bytes.reset(new uint8_t[n]);
      kept_.Size = n;
    }
    return kept_.Bytes.get();
  }
  const uint8_t* Data() const { return kept_.Bytes.get(); }
  // Frees the block now, for work that needs its memory more than the next
  // use needs the block.
  void Release() { kept_ = TKeptBlock{}; }

 private:
  TKeptBlock& kept_;
};

}  // namespace orba

// A block of memory a thread keeps from one use to the next, for the
// whole-buffer inflates of pictures and package entries: a fresh block of
// many megabytes costs a page fault every 4 KiB on every use, more than
// inflating into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orba {

// Blocks up to this size are kept between uses; larger ones are given back
// when their user ends.
constexpr size_t kKeptScratchBlock = size_t{64} << 20;

// Lends the block `kept` (one thread_local vector per purpose) for one use.
class TScratchBlock {
 public:
  explicit TScratchBlock(std::vector<uint8_t>& kept) : kept_(kept) {}
  TScratchBlock(const TScratchBlock&) = delete;
  TScratchBlock& operator=(const TScratchBlock&) = delete;
  ~TScratchBlock() {
    if (kept_.size() > kKeptScratchBlock) std::vector<uint8_t>().swap(kept_);
  }
  // At least n bytes; their content is left from earlier uses.
  uint8_t* Get(size_t n) {
    if (kept_.size() < n) {
      std::vector<uint8_t>().swap(kept_);  // the old block goes before the new one comes
      kept_.resize(n);
    }
    return kept_.data();
  }

 private:
  std::vector<uint8_t>& kept_;
};

}  // namespace orba

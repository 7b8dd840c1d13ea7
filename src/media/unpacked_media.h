// A packed sound or movie entry unpacked once into an unnamed temporary
// file, in which its decoders seek as they would in the package. A zlib
// stream cannot seek and a long sound or movie is too large to hold in
// memory; the file has no name (O_TMPFILE, else a file unlinked at once in
// the temporary folder), so the system removes it when the last reader
// closes it or the player ends, however it ends.
//
// What such files may take on disk is bounded twice: one entry by
// kMaxUnpackedMediaBytes (a long movie of a real game is a few hundred
// megabytes), all held at once by kMaxUnpackedMediaTotal (a few long
// sounds and a movie playing together).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/streams/big_stream.h"

namespace orba {

inline constexpr int64_t kMaxUnpackedMediaBytes = int64_t{2} << 30;  // 2 GiB an entry
inline constexpr int64_t kMaxUnpackedMediaTotal = int64_t{8} << 30;  // 8 GiB in all

class TUnpackedMedia {
 public:
  // Makes the empty file in $TMPDIR (else /tmp); raises EFOpenError with the
  // system's reason when none can be made.
  static std::shared_ptr<TUnpackedMedia> Create();
  ~TUnpackedMedia();
  TUnpackedMedia(const TUnpackedMedia&) = delete;
  TUnpackedMedia& operator=(const TUnpackedMedia&) = delete;

  // The bytes all files alive now hold, and what a new one may still take.
  static int64_t TotalHeld() { return total_held_.load(); }
  static int64_t Room();

  // A stream that appends to the file from its position 0 (the file layer
  // unpacks the entry into it); a write that fails (a full disk) raises
  // EWriteError. Writing ends before the first reader is made.
  std::unique_ptr<TKsBigStream> NewWriter();
  // A read-only stream over the whole file with a position of its own;
  // readers may read from different threads at once.
  static std::unique_ptr<TKsBigStream> NewReader(std::shared_ptr<TUnpackedMedia> file);

  int64_t Size() const { return size_; }

 private:
  class TWriter;
  class TReader;
  explicit TUnpackedMedia(int fd) : fd_(fd) {}
  void Grow(int64_t end);

  static std::atomic<int64_t> total_held_;
  int fd_;
  int64_t size_ = 0;
};

}  // namespace orba

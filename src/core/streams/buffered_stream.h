// A read buffer in front of a big stream, for the many short reads of a
// package directory: the source is read in blocks of BufferSize bytes instead
// of one call per name.
#pragma once

#include <cstdint>
#include <vector>

#include "core/streams/big_stream.h"

namespace orba {

// Reads through to Source, which it does not own and which must outlive it.
// While it lives, Source stands after the last block read; its position as a
// stream is that of the next byte handed out. Destruction moves Source back
// over the bytes buffered but not handed out, so that Source then stands just
// after the last byte read. It writes nothing.
class TKsBuffBigStream : public TKsBigStream {
 public:
  static constexpr int32_t kBufferSize = 102400;

  explicit TKsBuffBigStream(TKsBigStream& source, int32_t buffer_size = kBufferSize);
  ~TKsBuffBigStream() override;

  int64_t GetSize() override { return source_.GetSize(); }
  int64_t GetPosition() override;
  // Drops the buffer and moves Source there.
  void SetPosition(int64_t position) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Read(void* buffer, int64_t count) override;

 private:
  int64_t Unread() const { return static_cast<int64_t>(buffer_.size() - next_); }

  TKsBigStream& source_;
  int32_t buffer_size_;
  std::vector<uint8_t> buffer_;
  size_t next_ = 0;  // the first byte of buffer_ not handed out
};

}  // namespace orba

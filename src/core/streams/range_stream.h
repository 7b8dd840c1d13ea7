// Read-only windows over a big stream: a packaged media file handed to its
// decoder as a stream of its own bytes only. The decoder may read from its
// own thread, so each window holds its own lock during every read, seek and
// position query. Each window owns its source (its own file handle or
// resource stream), so two windows never share a position.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/streams/big_stream.h"
#include "core/streams/resource_stream.h"

namespace orba {

// Positions run from 0 to RangeSize; position p is RangeOffset + p in the
// source. The window is clamped to the bytes the source holds. Nothing is
// ever written. A seek and a following read from two threads at once are two
// operations, not one.
class TRangeStream : public TKsBigStream {
 public:
  TRangeStream(std::unique_ptr<TKsBigStream> source, int64_t offset, int64_t size);

  int64_t GetSize() override { return range_size_; }
  int64_t GetPosition() override;
  // Clamped into [0, RangeSize].
  void SetPosition(int64_t position) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Read(void* buffer, int64_t count) override;
  // One step under the lock; the target is clamped into the window.
  int64_t Seek(int64_t offset, SeekOrigin origin) override;

  int64_t RangeOffset() const { return range_offset_; }
  int64_t RangeSize() const { return range_size_; }

 private:
  std::unique_ptr<TKsBigStream> source_;
  int64_t range_offset_;
  int64_t range_size_;
  std::mutex lock_;
};

// A window over a file opened anew for reading with writers denied.
class TFileRangeStream : public TRangeStream {
 public:
  // Size bytes from Offset; a size of 0 is an empty window.
  TFileRangeStream(const std::string& file_name, int64_t offset, int64_t size);
  // The whole file.
  explicit TFileRangeStream(const std::string& file_name);
};

// A window over a resource of a module.
class TResourceRangeStream : public TRangeStream {
 public:
  TResourceRangeStream(std::shared_ptr<TResourceProvider> module, const std::string& resource_name,
                       const std::string& resource_type, int64_t offset, int64_t size);
};

}  // namespace orba

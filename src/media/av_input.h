// One of the game's files opened by libavformat through the file's own
// stream (a custom I/O context), never by a name: the sound and video
// decoders read movies and Windows Media sounds through it. A game file is
// untrusted, so only containers that hold their whole content are read; a
// playlist, a concatenation list, a picture-name pattern or any other kind
// that names further files or addresses is refused after the probe, and
// every attempt of a demuxer to open another file or a network address
// fails.
#pragma once

#include <memory>

#include "core/streams/big_stream.h"

struct AVFormatContext;
struct AVIOContext;

namespace orba {

class TAvInput {
 public:
  // Probes File's content and opens it; raises EMediaError when it is no
  // media file libavformat reads or one of a kind that is not played.
  explicit TAvInput(std::unique_ptr<TKsBigStream> file);
  ~TAvInput();
  TAvInput(const TAvInput&) = delete;
  TAvInput& operator=(const TAvInput&) = delete;

  AVFormatContext* Format() const { return format_; }

 private:
  static int ReadPacket(void* self, uint8_t* buf, int size);
  static int64_t SeekPacket(void* self, int64_t offset, int whence);
  void Close();

  std::unique_ptr<TKsBigStream> file_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
};

}  // namespace orba

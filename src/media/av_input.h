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
  // A streamed packed file is read in order, without the index or size a
  // seek needs: before the first seek it is opened again whole (waiting
  // for the unpacking's end), and its streams found
  // again. True when the format context was replaced (Format() changed);
  // false when there was nothing to do or the file could not be opened
  // again (it is then still read in order).
  bool ReopenWhole();

 private:
  static int ReadPacket(void* self, uint8_t* buf, int size);
  static int64_t SeekPacket(void* self, int64_t offset, int whence);
  void Open();
  void Close();
  static void Free(AVIOContext*& io, AVFormatContext*& format);

  std::unique_ptr<TKsBigStream> file_;
  AVIOContext* io_ = nullptr;
  AVFormatContext* format_ = nullptr;
  bool partial_ = false;  // a streamed packed file opened in order, without seeks
};

}  // namespace orba

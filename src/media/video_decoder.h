// The pictures of a video file: libavformat (through TAvInput, over the
// file's stream) and libavcodec decode its video stream and libswscale
// converts each frame to 32-bit pixels (bytes blue, green, red, 0: the
// layout of our 32-bit surfaces). A worker thread decodes
// a few frames ahead of the frame shown; the window thread asks for the
// frame of a position and gets the latest one that has begun by then.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/streams/big_stream.h"

struct AVFrame;

namespace orba {

// One decoded picture: Width x Height pixels, rows top to bottom.
struct TVideoFrame {
  int64_t Time = 0;  // ms from the start of the file
  std::vector<uint32_t> Pixels;
};

class TVideoDecoder {
 public:
  // Opens File and decodes its first frame; raises EMediaError when the file
  // is none that TAvInput reads or has no video stream that can be decoded.
  // The worker reads File from then on.
  explicit TVideoDecoder(std::unique_ptr<TKsBigStream> file);
  // Stops and joins the worker.
  ~TVideoDecoder();
  TVideoDecoder(const TVideoDecoder&) = delete;
  TVideoDecoder& operator=(const TVideoDecoder&) = delete;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Length of the video stream in ms.
  int64_t Length() const { return length_; }
  // The frame shown at Ms: the frames decoded ahead are taken up to it,
  // waiting for the worker until the frame after Ms (or the end) is known; a
  // position before the frame shown or far beyond those decoded makes the
  // worker seek there first. True when the current frame changed.
  bool Advance(int64_t ms);
  const TVideoFrame& Current() const { return current_; }

  // Decodes and converts every frame of the file on the calling thread (the
  // benchmark): the number of frames.
  static int64_t DecodeAll(std::unique_ptr<TKsBigStream> file);
  // The bytes that the pictures of all open movies are counted at: each
  // movie's converted frames and its codec's pictures at the size decoded.
  static int64_t PictureBytesHeld();

 private:
  struct TAv;
  // Opens the file without starting the worker.
  TVideoDecoder(std::unique_ptr<TKsBigStream> file, bool start_worker);
  void Run();
  // The next frame of the stream, converted into Out when Convert is set;
  // false at the end.
  bool DecodeNext(TVideoFrame& out, bool convert);
  void SeekStream(int64_t ms);
  // Counts this movie's pictures (TPictureBudget) with its codec's frames of
  // DecodedWidth x DecodedHeight in DecodedFormat (an AVPixelFormat) in
  // place of what it counted before; false, nothing changed, when one
  // movie's or all movies' pictures would pass MaxPictureBytes.
  bool ChargePictures(int32_t decoded_width, int32_t decoded_height, int32_t decoded_format);
  // Whether a decoded frame may be converted: its size within the limits and
  // its pictures counted (traced once when refused).
  bool FrameAllowed(const AVFrame& frame);
  void RequestSeek(int64_t ms);

  std::unique_ptr<TAv> av_;
  int32_t width_ = 0, height_ = 0;
  int64_t length_ = 0;
  int64_t frame_ms_ = 40;
  // The decoded frames' size and format the pictures are counted at, and
  // the bytes counted, given back when the decoder goes (or its opening
  // fails).
  int32_t decoded_width_ = 0, decoded_height_ = 0, decoded_format_ = -1;
  struct TCharge {
    int64_t Bytes = 0;
    ~TCharge();
  };
  TCharge charged_;
  TVideoFrame current_;
  // The position of the seek that brought the current frame (the opening
  // counts as one to 0); -1 when it came in playing order.
  int64_t current_seek_ = 0;

  // Shared with the worker.
  std::mutex mutex_;
  std::condition_variable wake_;   // the worker's
  std::condition_variable ready_;  // a frame or the end is there
  std::deque<TVideoFrame> ahead_;
  bool stop_ = false;
  bool at_end_ = false;
  bool seek_pending_ = false;
  int64_t seek_to_ = 0;
  // Raised by every seek; frames of an older generation are dropped, and the
  // first frame of a new one replaces the current frame whatever its time.
  uint64_t generation_ = 0;
  uint64_t shown_generation_ = 0;
  std::thread worker_;
};

}  // namespace orba

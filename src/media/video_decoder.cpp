#include "media/video_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "core/system/trace.h"
#include "graphics/picture_budget.h"
#include "media/av_input.h"
#include "media/decoder.h"

namespace orba {

namespace {

// Frames decoded ahead of the one shown.
constexpr size_t kFramesAhead = 4;
// A picture larger than this is refused before anything is allocated
// (4K UHD fits): the size the stream declares, and every frame decoded,
// whatever size the codec finds in its data.
constexpr int32_t kMaxVideoSide = 8192;
constexpr int64_t kMaxVideoPixels = int64_t{1} << 23;
// The converted frames a movie holds at once: the one shown, those decoded
// ahead and the one the worker converts.
constexpr int32_t kFramesHeld = static_cast<int32_t>(kFramesAhead) + 2;
// The codec's own pictures, counted at the decoded frame's size: the frame
// it hands over and those it keeps to predict from.
constexpr int64_t kCodecFrames = 3;

// What the pictures of all movies open at once hold together, in bytes.
std::atomic<int64_t> g_movie_picture_bytes{0};

bool FrameSizeAllowed(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxVideoSide && height <= kMaxVideoSide &&
         width * height <= kMaxVideoPixels;
}
// The worker seeks instead of decoding on when the position runs this far
// beyond the frames it has.
constexpr int64_t kCatchUpMs = 1000;

}  // namespace

struct TVideoDecoder::TAv {
  explicit TAv(std::unique_ptr<TKsBigStream> file) : Input(std::move(file)), Format(Input.Format()) {}

  TAvInput Input;
  AVFormatContext* Format;
  AVCodecContext* Codec = nullptr;
  SwsContext* Scale = nullptr;
  AVPacket* Packet = nullptr;
  AVFrame* Frame = nullptr;
  int Stream = -1;
  AVRational TimeBase{1, 1000};
  int64_t StartTime = 0;  // in TimeBase
  bool Flushed = false;

  ~TAv() {
    sws_freeContext(Scale);
    av_frame_free(&Frame);
    av_packet_free(&Packet);
    avcodec_free_context(&Codec);
  }
};

TVideoDecoder::TVideoDecoder(std::unique_ptr<TKsBigStream> file) : TVideoDecoder(std::move(file), true) {}

TVideoDecoder::TVideoDecoder(std::unique_ptr<TKsBigStream> file, bool start_worker)
    : av_(std::make_unique<TAv>(std::move(file))) {
  TAv& av = *av_;
  if (avformat_find_stream_info(av.Format, nullptr) < 0) throw EMediaError("no stream information");
  const AVCodec* codec = nullptr;
  av.Stream = av_find_best_stream(av.Format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  if (av.Stream < 0 || codec == nullptr) throw EMediaError("no video stream that can be decoded");
  AVStream* stream = av.Format->streams[av.Stream];
  av.TimeBase = stream->time_base;
  if (av.TimeBase.num <= 0 || av.TimeBase.den <= 0) av.TimeBase = AVRational{1, AV_TIME_BASE};
  av.StartTime = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  width_ = stream->codecpar->width;
  height_ = stream->codecpar->height;
  if (!FrameSizeAllowed(width_, height_))
    throw EMediaError("a video picture of " + std::to_string(width_) + " x " + std::to_string(height_) + " pixels");
  // The pictures are counted as the declared size gives them before the
  // codec makes any.
  if (!ChargePictures(width_, height_, stream->codecpar->format))
    throw EMediaLimit("the pictures of a video of " + std::to_string(width_) + " x " + std::to_string(height_) +
                      " pixels would pass what the movies open may hold");
  decoded_width_ = width_;
  decoded_height_ = height_;
  decoded_format_ = stream->codecpar->format;
  av.Codec = avcodec_alloc_context3(codec);
  if (av.Codec == nullptr || avcodec_parameters_to_context(av.Codec, stream->codecpar) < 0)
    throw EMediaError("the video codec does not open");
  av.Codec->thread_count = 1;
  // The codec refuses to make a picture of more pixels than that, whatever
  // size a frame's own data give.
  av.Codec->max_pixels = kMaxVideoPixels;
  if (avcodec_open2(av.Codec, codec, nullptr) < 0) throw EMediaError("the video codec does not open");
  const AVRational rate = av_guess_frame_rate(av.Format, stream, nullptr);
  if (rate.num > 0 && rate.den > 0) frame_ms_ = std::clamp<int64_t>(av_rescale(1000, rate.den, rate.num), 1, 1000);
  if (stream->duration > 0)
    length_ = av_rescale_q(stream->duration, av.TimeBase, AVRational{1, 1000});
  else if (av.Format->duration > 0)
    length_ = av_rescale(av.Format->duration, 1000, AV_TIME_BASE);
  else if (stream->nb_frames > 0)
    length_ = stream->nb_frames * frame_ms_;
  if (length_ <= 0 || length_ > INT32_MAX) throw EMediaError("a video stream of unknown length");
  av.Packet = av_packet_alloc();
  av.Frame = av_frame_alloc();
  if (av.Packet == nullptr || av.Frame == nullptr) throw EMediaLimit("out of memory");
  // A file whose first picture cannot be decoded is refused here.
  if (!DecodeNext(current_, true)) throw EMediaError("no picture can be decoded");
  if (start_worker) worker_ = std::thread([this] { Run(); });
}

TVideoDecoder::~TVideoDecoder() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

TVideoDecoder::TCharge::~TCharge() { g_movie_picture_bytes -= Bytes; }

int64_t TVideoDecoder::PictureBytesHeld() { return g_movie_picture_bytes.load(); }

bool TVideoDecoder::ChargePictures(int32_t decoded_width, int32_t decoded_height, int32_t decoded_format) {
  int64_t bytes = 0;
  try {
    TPictureBudget budget(32);
    for (int32_t i = 0; i < kFramesHeld; ++i) budget.ChargeKept(width_, height_, 32);
    // An unknown format is counted as 32-bit pixels, the widest common one.
    const int frame = av_image_get_buffer_size(static_cast<AVPixelFormat>(decoded_format), decoded_width,
                                               decoded_height, 1);
    const int64_t frame_bytes = frame > 0 ? frame : SurfaceBytes(decoded_width, decoded_height, 32);
    budget.ChargeWork(frame_bytes < 0 ? -1 : frame_bytes * kCodecFrames);
    bytes = budget.Total();
  } catch (const EPictureTooLarge&) {
    return false;
  }
  // All movies together stay within what one picture may hold.
  int64_t total = g_movie_picture_bytes.load();
  do {
    if (total - charged_.Bytes + bytes > MaxPictureBytes()) return false;
  } while (!g_movie_picture_bytes.compare_exchange_weak(total, total - charged_.Bytes + bytes));
  charged_.Bytes = bytes;
  return true;
}

bool TVideoDecoder::FrameAllowed(const AVFrame& frame) {
  if (frame.width == decoded_width_ && frame.height == decoded_height_ && frame.format == decoded_format_) return true;
  const bool allowed = FrameSizeAllowed(frame.width, frame.height) && ChargePictures(frame.width, frame.height, frame.format);
  if (!allowed) {
    TraceOnce("movie frame refused: a picture of " + std::to_string(frame.width) + " x " +
              std::to_string(frame.height) + " pixels in a video of " + std::to_string(width_) + " x " +
              std::to_string(height_));
    return false;
  }
  decoded_width_ = frame.width;
  decoded_height_ = frame.height;
  decoded_format_ = frame.format;
  return true;
}

bool TVideoDecoder::DecodeNext(TVideoFrame& out, bool convert) {
  TAv& av = *av_;
  for (;;) {
    const int got = avcodec_receive_frame(av.Codec, av.Frame);
    if (got == 0) {
      const int64_t pts = av.Frame->best_effort_timestamp;
      out.Time = pts == AV_NOPTS_VALUE ? out.Time + frame_ms_
                                       : av_rescale_q(pts - av.StartTime, av.TimeBase, AVRational{1, 1000});
      // A frame larger than the limit, or than what all movies may hold,
      // is dropped before it is converted; the picture shown stays.
      if (!FrameAllowed(*av.Frame)) {
        av_frame_unref(av.Frame);
        continue;
      }
      if (convert) {
        av.Scale = sws_getCachedContext(av.Scale, av.Frame->width, av.Frame->height,
                                        static_cast<AVPixelFormat>(av.Frame->format), width_, height_,
                                        AV_PIX_FMT_BGR0, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (av.Scale == nullptr || av.Frame->width < 1 || av.Frame->height < 1) {
          av_frame_unref(av.Frame);
          continue;
        }
        out.Pixels.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
        uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(out.Pixels.data()), nullptr, nullptr, nullptr};
        const int strides[4] = {width_ * 4, 0, 0, 0};
        sws_scale(av.Scale, av.Frame->data, av.Frame->linesize, 0, av.Frame->height, planes, strides);
      }
      av_frame_unref(av.Frame);
      return true;
    }
    if (got == AVERROR_EOF || av.Flushed) return false;
    if (got != AVERROR(EAGAIN)) return false;
    const int read = av_read_frame(av.Format, av.Packet);
    if (read < 0) {
      av.Flushed = true;
      avcodec_send_packet(av.Codec, nullptr);
      continue;
    }
    // A packet the decoder refuses is skipped; the next key frame goes on.
    if (av.Packet->stream_index == av.Stream) avcodec_send_packet(av.Codec, av.Packet);
    av_packet_unref(av.Packet);
  }
}

void TVideoDecoder::SeekStream(int64_t ms) {
  TAv& av = *av_;
  const int64_t ts = av.StartTime + av_rescale_q(ms, AVRational{1, 1000}, av.TimeBase);
  if (av.Input.ReopenWhole()) av.Format = av.Input.Format();
  if (av_seek_frame(av.Format, av.Stream, ts, AVSEEK_FLAG_BACKWARD) < 0)
    av_seek_frame(av.Format, av.Stream, av.StartTime, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY);
  avcodec_flush_buffers(av.Codec);
  av.Flushed = false;
}

void TVideoDecoder::Run() {
  for (;;) {
    int64_t seek = -1;
    uint64_t generation = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stop_ || seek_pending_ || (!at_end_ && ahead_.size() < kFramesAhead); });
      if (stop_) return;
      if (seek_pending_) {
        seek = seek_to_;
        seek_pending_ = false;
      }
      generation = generation_;
    }
    TVideoFrame frame;
    bool got = false;
    if (seek >= 0) {
      SeekStream(seek);
      // Decoding runs from the key frame before the position; the frame
      // showing at the position is the first one kept.
      frame.Time = seek;
      while ((got = DecodeNext(frame, true)) && frame.Time + frame_ms_ <= seek) {
      }
    } else {
      got = DecodeNext(frame, true);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_) continue;
    if (got)
      ahead_.push_back(std::move(frame));
    else
      at_end_ = true;
    ready_.notify_all();
  }
}

void TVideoDecoder::RequestSeek(int64_t ms) {
  seek_pending_ = true;
  seek_to_ = std::max<int64_t>(ms, 0);
  ++generation_;
  ahead_.clear();
  at_end_ = false;
}

bool TVideoDecoder::Advance(int64_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (shown_generation_ == generation_) {
    const bool far_ahead = ms > current_.Time + kCatchUpMs && (ahead_.empty() || ahead_.back().Time + kCatchUpMs < ms);
    // A frame that a seek to no later than Ms brought stays: the stream has
    // nothing before it.
    const bool behind = ms + frame_ms_ <= current_.Time && (current_seek_ < 0 || ms < current_seek_);
    if (behind || (far_ahead && !at_end_)) RequestSeek(ms);
  }
  // The picture of the position is waited for, so that what is shown
  // depends on the position only, not on how fast the worker was.
  bool changed = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    if (shown_generation_ != generation_) {
      // After a seek the first frame there replaces the one shown; a seek
      // beyond the last frame keeps it.
      if (!ahead_.empty()) {
        current_ = std::move(ahead_.front());
        ahead_.pop_front();
        current_seek_ = seek_to_;
        changed = true;
        shown_generation_ = generation_;
      } else if (at_end_) {
        shown_generation_ = generation_;
      }
    }
    if (shown_generation_ == generation_) {
      while (!ahead_.empty() && ahead_.front().Time <= ms) {
        current_ = std::move(ahead_.front());
        ahead_.pop_front();
        current_seek_ = -1;
        changed = true;
      }
      if (!ahead_.empty() || at_end_) break;
    }
    wake_.notify_all();
    if (ready_.wait_until(lock, deadline) == std::cv_status::timeout) break;
  }
  lock.unlock();
  wake_.notify_all();
  return changed;
}

int64_t TVideoDecoder::DecodeAll(std::unique_ptr<TKsBigStream> file) {
  TVideoDecoder decoder(std::move(file), false);
  int64_t frames = 1;
  TVideoFrame frame;
  while (decoder.DecodeNext(frame, true)) ++frames;
  return frames;
}

}  // namespace orba

#include "media/av_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <string>

#include "media/av_input.h"
#include "platform/audio.h"

namespace orba {

namespace {

class TAvDecoder : public TDecoder {
 public:
  explicit TAvDecoder(std::unique_ptr<TKsBigStream> file)
      : input_(std::make_unique<TAvInput>(std::move(file))), format_(input_->Format()) {
    try {
      FindAudio();
    } catch (...) {  // cleaned up, then rethrown
      Close();
      throw;
    }
  }
  ~TAvDecoder() override { Close(); }
  int32_t Rate() const override { return kAudioRate; }
  int32_t Channels() const override { return 2; }
  int64_t Frames() const override { return frames_; }

  void Seek(int64_t frame) override {
    frame = std::clamp<int64_t>(frame, 0, frames_);
    const int64_t ts = frame * AV_TIME_BASE / kAudioRate;
    if (input_->ReopenWhole()) format_ = input_->Format();
    if (av_seek_frame(format_, -1, ts, AVSEEK_FLAG_BACKWARD) < 0) av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(codec_);
    swr_init(swr_);
    pending_.clear();
    ended_ = false;
    flushed_ = false;
    target_ = frame;
    pos_ = frame;
    find_start_ = true;
  }

  size_t Read(float* out, size_t frames) override {
    frames = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(frames), frames_ - pos_));
    while (pending_.size() < frames * 2 && !ended_) DecodeMore();
    const size_t n = std::min(frames, pending_.size() / 2);
    std::copy(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(n * 2), out);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(n * 2));
    pos_ += static_cast<int64_t>(n);
    return n;
  }

 private:
  void FindAudio() {
    if (avformat_find_stream_info(format_, nullptr) < 0) throw EMediaError("no stream information");
    const AVCodec* codec = nullptr;
    stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream_ < 0 || codec == nullptr) throw EMediaError("no audio stream that can be decoded");
    AVStream* stream = format_->streams[stream_];
    codec_ = avcodec_alloc_context3(codec);
    if (codec_ == nullptr || avcodec_parameters_to_context(codec_, stream->codecpar) < 0 ||
        avcodec_open2(codec_, codec, nullptr) < 0)
      throw EMediaError("the audio codec does not open");
    if (codec_->sample_rate < 1000 || codec_->sample_rate > 384000 || codec_->ch_layout.nb_channels < 1)
      throw EMediaError("an audio stream of no rate or no channels");
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_FLT, kAudioRate, &codec_->ch_layout, codec_->sample_fmt,
                            codec_->sample_rate, 0, nullptr) < 0 || swr_init(swr_) < 0)
      throw EMediaError("the audio cannot be converted");
    int64_t micros = format_->duration;
    if (stream->duration > 0) micros = av_rescale_q(stream->duration, stream->time_base, AVRational{1, AV_TIME_BASE});
    if (micros <= 0) throw EMediaError("an audio stream of unknown length");
    frames_ = micros * kAudioRate / AV_TIME_BASE;
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (packet_ == nullptr || frame_ == nullptr) throw EMediaLimit("out of memory");
  }

  void Close() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    swr_free(&swr_);
    avcodec_free_context(&codec_);
  }

  // Decodes one packet (or flushes at the end) into Pending.
  void DecodeMore() {
    if (!flushed_) {
      const int r = av_read_frame(format_, packet_);
      if (r < 0) {
        flushed_ = true;
        avcodec_send_packet(codec_, nullptr);
      } else {
        if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);
        av_packet_unref(packet_);
      }
    }
    while (avcodec_receive_frame(codec_, frame_) == 0) {
      Convert(frame_);
      av_frame_unref(frame_);
    }
    if (flushed_) {
      Convert(nullptr);
      ended_ = true;
    }
  }

  void Convert(const AVFrame* frame) {
    if (frame != nullptr && find_start_) {
      // After a seek the first frame may begin before the target.
      find_start_ = false;
      const AVStream* stream = format_->streams[stream_];
      const int64_t pts = frame->best_effort_timestamp;
      skip_ = pts == AV_NOPTS_VALUE ? 0
                                     : target_ - av_rescale_q(pts, stream->time_base, AVRational{1, kAudioRate});
    }
    const int in = frame != nullptr ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(swr_, in);
    if (room <= 0) return;
    const size_t at = pending_.size();
    pending_.resize(at + static_cast<size_t>(room) * 2);
    auto* dest = reinterpret_cast<uint8_t*>(pending_.data() + at);
    const int made = swr_convert(swr_, &dest, room, frame != nullptr ? const_cast<const uint8_t**>(frame->extended_data) : nullptr, in);
    pending_.resize(at + static_cast<size_t>(std::max(made, 0)) * 2);
    if (skip_ > 0) {
      const size_t drop = std::min(static_cast<size_t>(skip_), (pending_.size() - at) / 2);
      pending_.erase(pending_.begin() + static_cast<ptrdiff_t>(at), pending_.begin() + static_cast<ptrdiff_t>(at + drop * 2));
      skip_ -= static_cast<int64_t>(drop);
    }
  }

  std::unique_ptr<TAvInput> input_;
  AVFormatContext* format_;
  AVCodecContext* codec_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  int stream_ = -1;
  int64_t frames_ = 0, pos_ = 0, target_ = 0, skip_ = 0;
  bool ended_ = false, flushed_ = false, find_start_ = false;
  std::vector<float> pending_;
};

}  // namespace

std::unique_ptr<TDecoder> MakeAvDecoder(std::unique_ptr<TKsBigStream> file) {
  return std::make_unique<TAvDecoder>(std::move(file));
}

std::unique_ptr<TDecoder> MakeAvDecoder(std::vector<uint8_t> file) {
  return MakeAvDecoder(std::make_unique<TKsMemoryStream>(std::move(file)));
}

}  // namespace orba

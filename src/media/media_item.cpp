#include "media/media_item.h"

#include <algorithm>
#include <cmath>

#include "media/mixer.h"

namespace orba {

namespace {
constexpr size_t kRingFrames = 32768;   // about 0.74 s decoded ahead
constexpr size_t kChunkFrames = 2048;   // decoded at once
}  // namespace

TDMediaItem::TDMediaItem(TMixer& mixer, TMediaManager* owner, std::unique_ptr<TDecoder> decoder)
    : mixer_(mixer), owner_(owner), decoder_(std::move(decoder)), ring_(kRingFrames * 2),
      source_((kChunkFrames + 2) * 2), chunk_(kChunkFrames * 2) {
  segments_.push_back(TSegment{0, 0});
  Fill();
  mixer_.Add(this);
}

TDMediaItem::~TDMediaItem() { mixer_.Remove(this); }

float TDMediaItem::GainOf(int64_t millibels) {
  if (millibels <= kSilentLevel) return 0.0f;
  return static_cast<float>(std::pow(10.0, static_cast<double>(std::min<int64_t>(millibels, 0)) / 2000.0));
}

void TDMediaItem::UpdateGains() {
  const int64_t v = muted_ ? kSilentLevel : volume_;
  gain_left_.store(GainOf(v - std::max(balance_, 0)));
  gain_right_.store(GainOf(v + std::min(balance_, 0)));
}

void TDMediaItem::SetVolume(int32_t volume) {
  volume_ = std::clamp(volume, kSilentLevel, kFullLevel);
  UpdateGains();
}

void TDMediaItem::SetBalance(int32_t balance) {
  balance_ = std::clamp(balance, kSilentLevel, kBalanceRightOnly);
  UpdateGains();
}

void TDMediaItem::SetMuted(bool muted) {
  muted_ = muted;
  UpdateGains();
}

void TDMediaItem::SetRepeat(bool repeat) {
  repeat_ = repeat;
  if (!repeat) {
    // Loops decoded ahead are dropped: the sound ends with the pass it plays.
    TAudioLock lock(mixer_.Output());
    const uint64_t read = read_total_.load();
    for (size_t i = 1; i < segments_.size(); ++i) {
      if (segments_[i].Total <= read) continue;
      write_total_.store(segments_[i].Total);
      end_total_.store(segments_[i].Total);
      segments_.resize(i);
      break;
    }
    return;
  }
  // A sound whose decoder ended but whose buffer still plays goes on looping.
  if (end_total_.load() != UINT64_MAX && !ran_out_.load()) {
    end_total_.store(UINT64_MAX);
    source_end_ = true;
    Fill();
  }
}

void TDMediaItem::SetRepeatPos(int32_t ms) { repeat_pos_ = std::max(ms, 0); }

int64_t TDMediaItem::OutFrames(int64_t source_frames) const {
  return source_frames * kAudioRate / std::max(decoder_->Rate(), 1);
}

int32_t TDMediaItem::GetLength() const {
  return static_cast<int32_t>(std::min<int64_t>(decoder_->Frames() * 1000 / std::max(decoder_->Rate(), 1), INT32_MAX));
}

int32_t TDMediaItem::GetPosition() const {
  const uint64_t read = read_total_.load();
  const TSegment* at = &segments_.front();
  for (const TSegment& s : segments_)
    if (s.Total <= read) at = &s;
  const int64_t frame = at->Start + static_cast<int64_t>(read - at->Total);
  return static_cast<int32_t>(std::min<int64_t>((frame * 1000 + kAudioRate / 2) / kAudioRate, GetLength()));
}

void TDMediaItem::ResetBuffer(int64_t source_frame) {
  decoder_->Seek(source_frame);
  write_total_.store(0);
  read_total_.store(0);
  end_total_.store(UINT64_MAX);
  ran_out_.store(false);
  segments_.assign(1, TSegment{0, OutFrames(source_frame)});
  source_frames_ = 0;
  phase_ = 0;
  source_end_ = false;
}

void TDMediaItem::SetPosition(int32_t ms) {
  const int64_t frame = std::clamp<int64_t>(static_cast<int64_t>(std::max(ms, 0)) * decoder_->Rate() / 1000, 0,
                                            decoder_->Frames());
  {
    TAudioLock lock(mixer_.Output());
    ResetBuffer(frame);
  }
  Fill();
}

void TDMediaItem::Play() {
  if (ran_out_.load()) SetPosition(0);
  paused_.store(false);
  playing_.store(true);
}

void TDMediaItem::Pause() { paused_.store(true); }

bool TDMediaItem::Resample(float* out, size_t frames, size_t& made) {
  const double step = static_cast<double>(decoder_->Rate()) / kAudioRate;
  const int32_t channels = decoder_->Channels();
  made = 0;
  while (made < frames) {
    size_t i = static_cast<size_t>(phase_);
    if (i + 1 >= source_frames_ && !source_end_) {
      // Keep the frames still needed, then decode more behind them.
      const size_t keep = i < source_frames_ ? source_frames_ - i : 0;
      std::copy(source_.begin() + static_cast<ptrdiff_t>((source_frames_ - keep) * 2),
                source_.begin() + static_cast<ptrdiff_t>(source_frames_ * 2), source_.begin());
      phase_ -= static_cast<double>(source_frames_ - keep);
      source_frames_ = keep;
      const size_t got = decoder_->Read(chunk_.data(), kChunkFrames);
      if (got == 0) source_end_ = true;
      for (size_t k = 0; k < got; ++k) {
        const float l = chunk_[k * static_cast<size_t>(channels)];
        const float r = channels > 1 ? chunk_[k * 2 + 1] : l;
        source_[(source_frames_ + k) * 2] = l;
        source_[(source_frames_ + k) * 2 + 1] = r;
      }
      source_frames_ += got;
      continue;
    }
    if (i >= source_frames_) return false;
    const float f = static_cast<float>(phase_ - static_cast<double>(i));
    const size_t j = i + 1 < source_frames_ ? i + 1 : i;
    out[made * 2] = source_[i * 2] + (source_[j * 2] - source_[i * 2]) * f;
    out[made * 2 + 1] = source_[i * 2 + 1] + (source_[j * 2 + 1] - source_[i * 2 + 1]) * f;
    ++made;
    phase_ += step;
  }
  return true;
}

void TDMediaItem::Fill() {
  const uint64_t read = read_total_.load();
  while (segments_.size() > 1 && segments_[1].Total <= read) segments_.pop_front();
  bool looped_empty = false;
  while (end_total_.load() == UINT64_MAX) {
    const uint64_t write = write_total_.load();
    const size_t space = kRingFrames - static_cast<size_t>(write - read_total_.load());
    if (space == 0) break;
    const size_t at = static_cast<size_t>(write % kRingFrames);
    size_t made = 0;
    const bool more = Resample(&ring_[at * 2], std::min(space, kRingFrames - at), made);
    write_total_.store(write + made);
    if (more) continue;
    if (!repeat_ || (looped_empty && made == 0)) {
      end_total_.store(write + made);
      break;
    }
    // Repeat: the decoder goes back to the repeat position; the buffer runs on.
    looped_empty = made == 0;
    const int64_t frame = std::clamp<int64_t>(static_cast<int64_t>(repeat_pos_) * decoder_->Rate() / 1000, 0,
                                              decoder_->Frames());
    decoder_->Seek(frame);
    source_frames_ = 0;
    phase_ = 0;
    source_end_ = false;
    segments_.push_back(TSegment{write + made, OutFrames(frame)});
  }
}

void TDMediaItem::MixInto(float* mix, size_t frames) {
  if (!playing_.load(std::memory_order_relaxed) || paused_.load(std::memory_order_relaxed)) return;
  const uint64_t read = read_total_.load();
  const uint64_t write = write_total_.load();
  const size_t n = static_cast<size_t>(std::min<uint64_t>(frames, write - read));
  const float gl = gain_left_.load(std::memory_order_relaxed), gr = gain_right_.load(std::memory_order_relaxed);
  for (size_t k = 0; k < n; ++k) {
    const size_t at = static_cast<size_t>((read + k) % kRingFrames);
    mix[k * 2] += ring_[at * 2] * gl;
    mix[k * 2 + 1] += ring_[at * 2 + 1] * gr;
  }
  read_total_.store(read + n);
  if (read + n >= end_total_.load()) {
    playing_.store(false);
    ran_out_.store(true);
    end_.store(true);
  }
}

}  // namespace orba

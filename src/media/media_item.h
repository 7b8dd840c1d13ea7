// A playable sound: one decoder, its volume, balance, repeat and end mark,
// and the buffer the tick fills ahead of the mixer. The item's owner (its
// manager) lives on the window thread; the mixer reads the buffer on the
// output's thread without allocating or reading files.
//
// Volumes are hundredths of a decibel (gain 10^(v/2000)), -10000 silent, 0
// full; the balance attenuates the other channel the same way. Positions and
// lengths are milliseconds.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "media/decoder.h"

namespace orba {

// The volume and balance levels: silent (and one channel silent), and the
// balance's other end.
inline constexpr int32_t kSilentLevel = -10000;
inline constexpr int32_t kFullLevel = 0;
inline constexpr int32_t kBalanceRightOnly = 10000;

class TMixer;
class TMediaManager;

class TDMediaItem {
 public:
  TDMediaItem(TMixer& mixer, TMediaManager* owner, std::unique_ptr<TDecoder> decoder);
  virtual ~TDMediaItem();
  TDMediaItem(const TDMediaItem&) = delete;
  TDMediaItem& operator=(const TDMediaItem&) = delete;

  TMediaManager* Owner() const { return owner_; }
  virtual bool IsMidi() const { return false; }

  void SetRepeat(bool repeat);
  void SetRepeatPos(int32_t ms);
  void SetBalance(int32_t balance);
  int32_t GetVolume() const { return volume_; }
  void SetVolume(int32_t volume);
  int32_t GetPosition() const;
  void SetPosition(int32_t ms);
  int32_t GetLength() const;
  // The end mark: set when the sound ran out without repeat, kept until
  // cleared.
  bool IsEnd() const { return end_.load(); }
  void SetEnd(bool end) { end_.store(end); }
  bool IsPlaying() const { return playing_.load() && !paused_.load(); }
  bool IsPaused() const { return paused_.load(); }
  // Plays from the position; a sound that ran out starts again at 0.
  void Play();
  void Pause();
  // The manager's sound switch.
  void SetMuted(bool muted);

  // The tick: decodes ahead until the buffer is full.
  void Fill();
  // The output's thread: adds Frames frames of this sound to Mix.
  void MixInto(float* mix, size_t frames);

  static float GainOf(int64_t millibels);

 protected:
  TMixer& Mixer() const { return mixer_; }

 private:
  void UpdateGains();
  // Converts decoded frames at the decoder's rate to stereo at the output's
  // rate; false at the decoder's end.
  bool Resample(float* out, size_t frames, size_t& made);
  void ResetBuffer(int64_t source_frame);
  int64_t OutFrames(int64_t source_frames) const;

  TMixer& mixer_;
  TMediaManager* owner_;
  std::unique_ptr<TDecoder> decoder_;
  int32_t volume_ = 0, balance_ = 0;
  bool muted_ = false;
  bool repeat_ = false;
  int32_t repeat_pos_ = 0;

  // The buffer: written by Fill, read by MixInto.
  std::vector<float> ring_;
  std::atomic<uint64_t> write_total_{0}, read_total_{0};
  std::atomic<uint64_t> end_total_{UINT64_MAX};
  std::atomic<bool> playing_{false}, paused_{false}, end_{false}, ran_out_{false};
  std::atomic<float> gain_left_{1.0f}, gain_right_{1.0f};

  // Where each stretch of the buffer begins in the sound (output frames).
  struct TSegment {
    uint64_t Total;
    int64_t Start;
  };
  std::deque<TSegment> segments_;
  // The resampler's source frames (stereo) and its phase among them.
  std::vector<float> source_, chunk_;
  size_t source_frames_ = 0;
  double phase_ = 0;
  bool source_end_ = false;
};

}  // namespace orba

// The sound output: one stream of 16-bit stereo frames at 44.1 kHz that the
// output pulls from its source. The SDL back end pulls from its own audio
// thread; the headless one pulls when the tick pumps it, so that a run with
// the fake clock hears exactly the game time that passed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orba {

constexpr int32_t kAudioRate = 44100;
constexpr int32_t kAudioChannels = 2;

// What the output pulls: Frames frames of interleaved left/right samples.
// Called on the output's thread: no allocation, no file input, no locks
// other than the output's own.
class TAudioSource {
 public:
  virtual ~TAudioSource() = default;
  virtual void Render(int16_t* out, size_t frames) = 0;
};

class TAudioOutput {
 public:
  virtual ~TAudioOutput() = default;
  // Starts pulling from Source (nullptr stops).
  virtual void Start(TAudioSource* source) = 0;
  // Holds off the pulls while the caller changes what the source reads.
  virtual void Lock() = 0;
  virtual void Unlock() = 0;
  // Called once a tick, before the script runs, with the game clock (ms).
  // An output that the tick drives renders up to that time here; the others
  // ignore it.
  virtual void Pump(uint32_t game_ms) {}
  // Frames of one pull: the longest gap a late refill can leave.
  virtual size_t BufferFrames() const = 0;
  virtual std::string DeviceName() const = 0;
};

// The installed output; nullptr when none (nothing is heard and items keep
// no time).
std::shared_ptr<TAudioOutput> AudioOutput();
std::shared_ptr<TAudioOutput> SetAudioOutput(std::shared_ptr<TAudioOutput> output);

class TAudioLock {
 public:
  explicit TAudioLock(TAudioOutput* output) : output_(output) {
    if (output_ != nullptr) output_->Lock();
  }
  ~TAudioLock() {
    if (output_ != nullptr) output_->Unlock();
  }
  TAudioLock(const TAudioLock&) = delete;
  TAudioLock& operator=(const TAudioLock&) = delete;

 private:
  TAudioOutput* output_;
};

}  // namespace orba

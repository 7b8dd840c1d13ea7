// The sound output over SDL2 audio: 16-bit stereo at 44.1 kHz pulled by
// SDL's audio thread. Where no sound device opens, SDL's dummy driver takes
// its place, so items still keep time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/audio.h"

namespace orba {

class TSdlAudio : public TAudioOutput {
 public:
  // Opens the device; throws std::runtime_error when not even the dummy
  // driver opens.
  TSdlAudio();
  ~TSdlAudio() override;
  TSdlAudio(const TSdlAudio&) = delete;
  TSdlAudio& operator=(const TSdlAudio&) = delete;

  void Start(TAudioSource* source) override;
  void Lock() override;
  void Unlock() override;
  size_t BufferFrames() const override { return buffer_frames_; }
  std::string DeviceName() const override { return driver_; }

 private:
  static void Callback(void* self, uint8_t* stream, int len);
  uint32_t device_ = 0;
  size_t buffer_frames_ = 0;
  std::string driver_;
  TAudioSource* source_ = nullptr;
};

}  // namespace orba

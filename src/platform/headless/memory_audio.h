// The sound output of runs without a window: each tick's pump renders the
// frames of the game time up to the pump's clock, in pulls of at most
// BufferFrames frames, so that frame F of the mix is game time F / 44.1 ms.
// Deterministic; keeps the mix when asked, for a WAV file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio.h"

namespace orba {

class TMemoryAudio : public TAudioOutput {
 public:
  static constexpr size_t kBufferFrames = 1024;

  void Start(TAudioSource* source) override { source_ = source; }
  void Lock() override {}
  void Unlock() override {}
  void Pump(uint32_t game_ms) override;
  size_t BufferFrames() const override { return kBufferFrames; }
  std::string DeviceName() const override { return "headless"; }

  // Renders Frames frames at once (tests).
  void RenderFrames(uint64_t frames);
  // Keeps every rendered frame from now on.
  void KeepMix(bool keep) { keep_ = keep; }
  const std::vector<int16_t>& Mix() const { return mix_; }
  // The kept mix as a 16-bit stereo WAV file; false when it cannot be written.
  bool WriteWav(const std::string& path) const;

 private:
  TAudioSource* source_ = nullptr;
  uint64_t rendered_ = 0;
  bool keep_ = false;
  std::vector<int16_t> mix_;
  std::vector<int16_t> buffer_ = std::vector<int16_t>(kBufferFrames * kAudioChannels);
};

}  // namespace orba

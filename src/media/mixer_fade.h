// Volume ramps of one media item over a duration of game time: the fade-in
// starts the item at silence and moves it to the target; the fade-out moves
// it from its volume to silence, and its owner stops the item after the
// last step. A MIDI item ramps over the whole range, any other over the
// upper half (the lower half is as good as silent).
#pragma once

#include <cstdint>
#include <memory>

namespace orba {

class TDMediaItem;

// The mixer level (hundredths of a decibel) of an item volume 0 .. 1000:
// volume x 5 - 5000, silent below 1, at most 0.
int32_t VolumeToMixerLevel(int32_t volume);

class TOrbaMixer {
 public:
  TOrbaMixer(TDMediaItem* item, int32_t target_volume, uint32_t duration)
      : Item(item), TargetVolume(target_volume), Duration(duration) {}
  virtual ~TOrbaMixer() = default;
  // One tick; true when the ramp is done.
  virtual bool Step() { return false; }

  uint32_t StartTick = 0;
  int32_t StartVolume = 0;
  bool Started = false;
  TDMediaItem* Item;
  int32_t TargetVolume;
  uint32_t Duration;

 protected:
  // The volume T ms into the ramp.
  int32_t VolumeAt(uint32_t t) const;
  void Begin(bool fade_in);
};

class TOrbaMixerFadein : public TOrbaMixer {
 public:
  using TOrbaMixer::TOrbaMixer;
  bool Step() override;
};

// Plays Item again from its start: with a Delay above 0 paused and silent,
// under the fade-in towards Level that this answers; else at once at Level
// (nullptr).
std::unique_ptr<TOrbaMixer> PlayFromStart(TDMediaItem& item, int32_t level, int32_t delay);

class TOrbaMixerFadeout : public TOrbaMixer {
 public:
  using TOrbaMixer::TOrbaMixer;
  bool Step() override;
};

}  // namespace orba

#include "media/mixer_fade.h"

#include "core/game_clock.h"
#include "media/media_item.h"

namespace orba {

int32_t VolumeToMixerLevel(int32_t volume) {
  const int64_t v = static_cast<int64_t>(volume) * 5 - 5000;
  return v < -4999 ? kSilentLevel : v < 1 ? static_cast<int32_t>(v) : 0;
}

void TOrbaMixer::Begin(bool fade_in) {
  if (fade_in) {
    Item->SetVolume(kSilentLevel);
    Item->Play();
    StartVolume = kSilentLevel;
  } else {
    StartVolume = Item->GetVolume();
    TargetVolume = kSilentLevel;
  }
  StartTick = GameClock;
  Started = true;
}

int32_t TOrbaMixer::VolumeAt(uint32_t t) const {
  if (t >= Duration) return TargetVolume;
  int64_t d = static_cast<int64_t>(TargetVolume) - StartVolume;
  if (!Item->IsMidi()) d /= 2;
  const int64_t moved = static_cast<int64_t>(t) * d / static_cast<int64_t>(Duration);
  const int64_t v = StartVolume > TargetVolume ? StartVolume + moved : TargetVolume - d + moved;
  return static_cast<int32_t>(v);
}

bool TOrbaMixerFadein::Step() {
  if (!Started) {
    Begin(true);
    return false;
  }
  const uint32_t t = GameClock - StartTick;
  const bool done = t >= Duration;
  Item->SetVolume(done ? TargetVolume : VolumeAt(t));
  return done;
}

bool TOrbaMixerFadeout::Step() {
  if (!Started) {
    Begin(false);
    return false;
  }
  const uint32_t t = GameClock - StartTick;
  const bool done = t >= Duration;
  if (!done) Item->SetVolume(VolumeAt(t));
  return done;
}

std::unique_ptr<TOrbaMixer> PlayFromStart(TDMediaItem& item, int32_t level, int32_t delay) {
  if (delay > 0) {
    item.Pause();
    item.SetVolume(kSilentLevel);
    item.SetPosition(0);
    return std::make_unique<TOrbaMixerFadein>(&item, level, static_cast<uint32_t>(delay));
  }
  item.SetVolume(level);
  item.SetPosition(0);
  if (!item.IsPlaying()) item.Play();
  return nullptr;
}

}  // namespace orba

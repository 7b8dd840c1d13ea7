// The sound item: a non-visual item that plays one sound, MIDI or CD audio
// file through the media manager its extension picks, fades it in and out,
// raises OnPlayEnd at its end (or scraps itself with AutoScrap) and gives
// the media item back when it stops.
#pragma once

#include <memory>

#include "items/orba_object.h"

namespace orba {

class TDMediaItem;
class TOrbaMixer;

// The sound's state property, as scripts set it and the slot stores it.
enum TSoundState : uint8_t { SS_PLAYING = 0, SS_FADING_IN = 1, SS_STOPPED = 2, SS_FADING_OUT = 3 };

class TOrbaSound final : public TOrbaComponent {
 public:
  explicit TOrbaSound(TOrbaBaseList* manager);
  ~TOrbaSound() override;

  uint8_t GetCompoType() const override { return CT_SOUND; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  bool GetRepeat() const override { return Repeat; }
  void SetRepeat(bool v) override;
  int32_t GetRepeatPos() const override { return RepeatPos; }
  void SetRepeatPos(int32_t v) override;
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override;
  void SetAniPaused(bool v) override;
  int32_t GetVolume() const override { return Volume; }
  void SetVolume(int32_t v) override;
  int32_t GetBalance() const override { return Balance; }
  void SetBalance(int32_t v) override;
  int32_t GetDelay() const override { return Delay; }
  void SetDelay(int32_t v) override { Delay = v; }
  int32_t GetIndex() const override;
  void SetIndex(int32_t v) override;
  int32_t GetCount() const override;
  bool GetPlaying() const override;
  bool GetAutoScrap() const override { return AutoScrap; }
  void SetAutoScrap(bool v) override { AutoScrap = v; }
  bool GetRewindOnLoad() const override { return RewindOnLoad; }
  void SetRewindOnLoad(bool v) override { RewindOnLoad = v; }
  bool GetMuteOnLoad() const override { return MuteOnLoad; }
  void SetMuteOnLoad(bool v) override { MuteOnLoad = v; }
  std::string GetOnPlayEnd() const override { return OnPlayEnd; }
  void SetOnPlayEnd(std::string v) override { OnPlayEnd = std::move(v); }

  uint8_t GetState() const override { return State; }
  void SetState(uint8_t state) override;
  void Play() override;
  bool Idle() override;
  // A scrapped sound falls silent and gives its media item back at once.
  void ReleaseScrapped() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

  // The mixer level of the volume for the current item.
  int32_t MixerLevel() const;
  TDMediaItem* Item() const { return item_; }

  std::string Source;
  uint8_t State = SS_STOPPED;  // a TSoundState
  bool Repeat = false;
  int32_t RepeatPos = 0;
  bool Paused = false;
  int32_t Volume = 1000;
  int32_t Balance = 0;
  int32_t Delay = 0;
  int32_t StartPos = 0;
  bool AutoScrap = false;
  std::string OnPlayEnd;
  bool Held = false;
  bool Ended = false;
  bool RewindOnLoad = true;
  bool MuteOnLoad = false;

 private:
  void OpenItem();
  void ReleaseItem();
  void ApplyPause();
  void FadeIn();
  // Fades the item out over the fade time; its end frees the object.
  void FadeOut();
  TDMediaItem* item_ = nullptr;
  std::unique_ptr<TOrbaMixer> fader_;
};

// Registers the sound item's creator with the object manager.
void RegisterSoundItem();

}  // namespace orba

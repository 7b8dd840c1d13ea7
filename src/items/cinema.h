// The cinema item: plays a film inside a rectangle of the screen. The film
// places and animates its own objects on a private object manager (the
// stage); the item steps the film at 60 frames per second, copies the
// changed parts of the stage into its rectangle and raises OnPlayEnd at the
// end. A film without back pages and without a background colour plays on
// the main stage instead, hosted by the item.
#pragma once

#include <memory>

#include "items/film_manager.h"
#include "items/orba_object.h"

namespace orba {

class TOrbaCinema final : public TOrbaControl {
 public:
  explicit TOrbaCinema(TOrbaBaseList* manager);
  ~TOrbaCinema() override;

  std::unique_ptr<TOrbaBaseList> Stage;
  std::unique_ptr<TFilmManager> Film;
  std::string Source, OnPlayEnd, OnIdle;
  int32_t Elapsed = 0;
  bool Repeat = false, Paused = false, AutoScrap = false, Ended = false;
  int32_t Countdown = 2;
  int32_t Volume = 0;
  bool RewindOnLoad = false, MuteOnLoad = false;
  int32_t FramesPerSecond = 60;

  uint8_t GetCompoType() const override { return CT_CINEMA; }
  std::string GetSource() const override { return Source; }
  std::string GetOnPlayEnd() const override { return OnPlayEnd; }
  std::string GetOnIdle() const override { return OnIdle; }
  bool GetRepeat() const override { return Repeat; }
  bool GetPaused() const override { return Paused; }
  bool GetAutoScrap() const override { return AutoScrap; }
  int32_t GetVolume() const override { return Volume; }
  bool GetRewindOnLoad() const override { return RewindOnLoad; }
  bool GetMuteOnLoad() const override { return MuteOnLoad; }
  int32_t GetCount() const override;
  int32_t GetIndex() const override;
  bool GetPlaying() const override;
  void SetSource(std::string v) override;
  void SetOnPlayEnd(std::string v) override { OnPlayEnd = std::move(v); }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  void SetRepeat(bool v) override;
  void SetPaused(bool v) override;
  void SetAniPaused(bool v) override;
  void SetAutoScrap(bool v) override { AutoScrap = v; }
  void SetVolume(int32_t v) override;
  void SetRewindOnLoad(bool v) override { RewindOnLoad = v; }
  void SetMuteOnLoad(bool v) override { MuteOnLoad = v; }
  void SetIndex(int32_t v) override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;

  // The control's hit test, without the children whose name begins with
  // byte 0x01.
  TOrbaObject* HitTest(TPoint p, uint32_t mask) override;
  bool Idle() override;
  void Draw() override;
  void FreeSurface() override;
  void RestoreSurface() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  void UpdateFilmPause();
  // The stage takes the item's size.
  void SizeStage();
  // True while the film plays on the private stage (not hosted on the main one).
  bool OnStage() const;
};

void RegisterCinemaItem();

}  // namespace orba

// The movie item: plays a video file through a video media item, either as
// an overlay (the presenter draws the picture into the item's rectangle,
// clipped by its parent and the screen) or by frame copy (each new picture
// is copied into the frame bitmap, which the item then draws with every
// image-item rule: zoom, alpha, flips, rotation). The movie keeps a zoom of
// its own, which a Width or Height set on it leaves as it is. Playback
// states, fades and the sound properties are the sound item's.
#pragma once

#include <memory>

#include "items/image_item.h"

namespace orba {

class TVideoItem;
class TOrbaMixer;

class TOrbaVideo final : public TOrbaCustomImage {
 public:
  explicit TOrbaVideo(TOrbaBaseList* manager);
  ~TOrbaVideo() override;

  uint8_t GetCompoType() const override { return CT_VIDEO; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  bool GetRepeat() const override { return Repeat; }
  void SetRepeat(bool v) override;
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
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  bool GetOverlay() const override { return Overlay; }
  void SetOverlay(bool v) override;
  int32_t GetZoomX() const override { return MovieZoomX; }
  int32_t GetZoomY() const override { return MovieZoomY; }
  void SetZoomX(int32_t v) override;
  void SetZoomY(int32_t v) override;

  uint8_t GetState() const override { return State; }
  void SetState(uint8_t state) override;
  void Play() override;
  bool Idle() override;
  void Draw() override;
  void FreeSurface() override;
  void RestoreSurface() override;
  // A scrapped movie gives its media items back at once, then its bitmaps.
  void ReleaseScrapped() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

  // The mixer level of the volume.
  int32_t MixerLevel() const;
  TVideoItem* Item() const { return item_; }

  // The movie's own zoom (256 = 1:1, at least 1): it sizes the item, the
  // frame copy and the overlay. A Width or Height set on the movie changes
  // only the size the frame-copy picture is drawn at (the image item's zoom
  // becomes 0, an explicit size); the movie's zoom stays.
  int32_t MovieZoomX = 256, MovieZoomY = 256;
  std::string Source;
  uint8_t State = 2;  // 0 playing, 1 fading in, 2 stopped, 3 fading out
  bool Repeat = false;
  bool Paused = false;
  int32_t Volume = 1000;
  int32_t Balance = 0;
  int32_t Delay = 0;
  int32_t StartPos = 0;
  bool AutoScrap = false;
  std::string OnPlayEnd, OnIdle;
  uint32_t LastCheck = 0;
  bool RewindOnLoad = true;
  bool MuteOnLoad = false;
  bool Overlay = true;

 private:
  bool PlayAllowed() const { return !Paused && !GetAniPaused(); }
  void ApplyPause();
  // Plays the item on from its position (from the start after its end);
  // played again, it no longer carries the end mark of its last run.
  void PlayItem();
  void FadeIn();
  // The frame bitmap of the source's size, shown in place of the item's own.
  void MakeFrameBitmap();
  void DropFrameBitmap();
  // Gives Item back to the video manager.
  static void GiveBack(TVideoItem* item);
  // Ends the fade and gives the playing and the fading item back.
  void GiveBackItems();
  // The item's width (height) by the movie's zoom; 0 without a media item.
  void UpdateVideoWidth();
  void UpdateVideoHeight();
  // After a zoom change: the overlay follows it, or the new size is drawn.
  void ZoomChanged();
  void PositionOverlay();

  TVideoItem* item_ = nullptr;
  // The item a fade-out runs on; given back when the fade ends.
  TVideoItem* fading_ = nullptr;
  std::unique_ptr<TCustomDIBX> frame_;
  std::unique_ptr<TOrbaMixer> fader_;
};

// Registers the movie item's creator with the object manager.
void RegisterVideoItem();

}  // namespace orba

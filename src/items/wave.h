// The wave item: a container whose children reach the screen bent by a
// moving horizontal sine wave (a heat haze). The children draw into a wave
// surface standing in front of the screen's bitmap, which shifts each row
// sideways by the row's offset; each tick the wave's phase moves by the
// time passed, one cycle of 256 steps every Delay milliseconds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "graphics/wave_surface.h"
#include "items/orba_object.h"

namespace orba {

class TOrbaWave : public TOrbaControl {
 public:
  explicit TOrbaWave(TOrbaBaseList* manager) : TOrbaControl(manager) {}

  // Rows of an item beyond this many are not drawn (a script's height does
  // not size the offset table unchecked).
  static constexpr int32_t kMaxRows = 1 << 16;

  TDIBXWave Wave;
  int32_t Amp = 10;
  int32_t WaveLen = 200;
  int32_t Phase = 0;
  int32_t Accumulator = 0;
  int32_t Delay = 2000;
  std::string OnIdle;
  bool Paused = false;

  uint8_t GetCompoType() const override { return CT_WAVE; }
  int32_t GetAmp() const override { return Amp; }
  void SetAmp(int32_t v) override { Amp = v; }
  int32_t GetWaveLen() const override { return WaveLen; }
  void SetWaveLen(int32_t v) override { WaveLen = std::max(v, 1); }
  int32_t GetDelay() const override { return Delay; }
  void SetDelay(int32_t v) override { Delay = std::max(v, 1); }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override { Paused = v; }
  bool GetPlaying() const override { return !Paused && !GetAniPaused(); }
  // PR_PAUSED is only stored: the wave moves on until PR_ANIPAUSED is set.
  bool IdlesWhilePaused() const override { return true; }

  // The wave surface while Amp is not 0, else the screen's.
  TCustomDIBX* GetSurface() const override;
  void SetLeft(int32_t v) override;
  void SetTop(int32_t v) override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  // Whatever the children dirty reaches the screen Amp wider on each side.
  void InflateDirtyRect(TRect& rect) const override;
  void Draw() override;
  bool Idle() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 protected:
  void InflateOwnRect(TRect& rect) const override;

 private:
  // The wave surface in front of the screen's bitmap at the item's place.
  void Attach();
  void SizeWave();
};

}  // namespace orba

// The timer item: a non-visual item that raises its OnNotify event every
// Delay milliseconds of game time, never more than one waiting at a time.
#pragma once

#include "items/orba_object.h"

namespace orba {

class TOrbaTimer final : public TOrbaComponent {
 public:
  explicit TOrbaTimer(TOrbaBaseList* manager) : TOrbaComponent(manager) {}
  void Create() override;

  std::string OnNotify;
  int32_t Delay = 0;  // negative: never
  bool Paused = false;
  bool AutoScrap = false;
  uint32_t LastTick = 0;
  bool Fired = false;

  uint8_t GetCompoType() const override { return CT_TIMER; }
  std::string GetOnNotify() const override { return OnNotify; }
  int32_t GetDelay() const override { return Delay; }
  bool GetPaused() const override { return Paused; }
  bool GetAutoScrap() const override { return AutoScrap; }
  void SetOnNotify(std::string v) override;
  void SetDelay(int32_t v) override;
  void SetPaused(bool v) override;
  void SetAutoScrap(bool v) override { AutoScrap = v; }

  // Drops the waiting events and starts counting from now.
  void Restart();
  bool Idle() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
};

}  // namespace orba

// The property motion item: moves one numeric property of a named object
// from its current value to an end value over a duration, with a linear, a
// slow-start or a slow-end easing, and removes itself when done. Values go
// through the property dispatch, so any property of any item can move.
#pragma once

#include "items/orba_object.h"

namespace orba {

class TOrbaPropMotion final : public TOrbaComponent {
 public:
  using TOrbaComponent::TOrbaComponent;

  long double EndValue = 0.0L;
  int32_t Duration = 0;
  std::string TargetName;
  TObjectHandle Target;  // resolved on the first update
  uint8_t PropId = 255;  // none
  uint8_t Mode = MT_NORMAL;
  int32_t Elapsed = 0;
  long double StartValue = 0.0L;
  bool Paused = false;

  uint8_t GetCompoType() const override { return CT_PROPMOTION; }
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override { Paused = v; }
  bool GetPlaying() const override { return !Paused; }

  // The value at Elapsed milliseconds, between StartValue and EndValue.
  long double ValueAt(int32_t elapsed) const;
  bool Idle() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
};

}  // namespace orba

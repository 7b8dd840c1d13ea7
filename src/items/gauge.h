// The gauge: a bar cut from a two-cell picture whose filled length shows
// Value within Min..Max. A rise grows the bar at a fixed speed (the whole
// range in Delay milliseconds); a fall shows the lost amount at once as a
// trailing segment in the second cell, holds it for Duration milliseconds
// and then shrinks it at the same speed. It takes no mouse input of its own.
#pragma once

#include <cstdint>
#include <string>

#include "items/orba_object.h"
#include "items/slider_parts.h"

namespace orba {

class TOrbaGauge : public TOrbaControl {
 public:
  explicit TOrbaGauge(TOrbaBaseList* manager) : TOrbaControl(manager) {}

  enum TPhase : int32_t { kIdle = 0, kTrailing = 100, kRising = 200 };

  std::string Source;
  int32_t Min = 0, Max = 0, Value = 0, Alpha = 0;
  bool Paused = false;
  uint8_t Orientation = OT_HORIZONTAL;
  int32_t Delay = 0, Duration = 0;
  TPartPicture Image;
  int32_t BarW = 0, BarH = 0;
  int32_t Shown = 0;  // the value the main bar shows
  int32_t Trail = 0;  // the amount the trailing segment shows
  int32_t AnimPhase = kIdle;
  long double AnimValue = 0;  // Trail while trailing, Shown while rising
  int32_t HoldLeft = 0;
  bool Reverse = false;
  std::string OnIdle;
  int32_t BarSize = 0;

  int64_t Range() const { return int64_t{Max} - Min; }
  int32_t ClampedValue() const { return static_cast<int32_t>(ClampToRange(Value, Min, Max)); }
  // Length in pixels of Amount of the range along a bar of Length pixels.
  int32_t PixelLength(int64_t amount, int64_t length) const;

  uint8_t GetCompoType() const override { return CT_GAUGE; }
  bool GetPlaying() const override { return AnimPhase != kIdle; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  int32_t GetMin() const override { return Min; }
  void SetMin(int32_t v) override { SetBound(Min, v); }
  int32_t GetMax() const override { return Max; }
  void SetMax(int32_t v) override { SetBound(Max, v); }
  int32_t GetValue() const override { return ClampedValue(); }
  void SetValue(int32_t v) override;
  int32_t GetAlpha() const override { return Alpha; }
  void SetAlpha(int32_t v) override;
  bool GetReverse() const override { return Reverse; }
  void SetReverse(bool v) override;
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override { Paused = v; }
  uint8_t GetOrientation() const override { return Orientation; }
  void SetOrientation(uint8_t v) override;
  int32_t GetBarSize() const override { return BarSize; }
  void SetBarSize(int32_t v) override;
  int32_t GetDelay() const override { return Delay; }
  void SetDelay(int32_t v) override { Delay = v; }
  int32_t GetDuration() const override { return Duration; }
  void SetDuration(int32_t v) override { Duration = v; }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }

  void Draw() override;
  bool Idle() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  void SetBound(int32_t& field, int32_t v);
  // The bar's size from the picture and the override; the item takes it.
  void SizeBar();
  void Finish();
};

}  // namespace orba

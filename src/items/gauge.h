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

class TOrbaGauge : public TOrbaRangeControl {
 public:
  explicit TOrbaGauge(TOrbaBaseList* manager) : TOrbaRangeControl(manager) {}

  enum TPhase : int32_t { kIdle = 0, kTrailing = 100, kRising = 200 };

  std::string Source;
  int32_t Delay = 0, Duration = 0;
  TPartPicture Image;
  int32_t BarW = 0, BarH = 0;
  int32_t Shown = 0;  // the value the main bar shows
  int32_t Trail = 0;  // the amount the trailing segment shows
  int32_t AnimPhase = kIdle;
  long double AnimValue = 0;  // Trail while trailing, Shown while rising
  int32_t HoldLeft = 0;
  bool Reverse = false;

  // Length in pixels of Amount of the range along a bar of Length pixels.
  int32_t PixelLength(int64_t amount, int64_t length) const;

  uint8_t GetCompoType() const override { return CT_GAUGE; }
  bool GetPlaying() const override { return AnimPhase != kIdle; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  void SetMin(int32_t v) override { SetBound(Min, v); }
  void SetMax(int32_t v) override { SetBound(Max, v); }
  void SetValue(int32_t v) override;
  bool GetReverse() const override { return Reverse; }
  void SetReverse(bool v) override;
  void SetOrientation(uint8_t v) override;
  void SetBarSize(int32_t v) override;
  int32_t GetDelay() const override { return Delay; }
  void SetDelay(int32_t v) override { Delay = v; }
  int32_t GetDuration() const override { return Duration; }
  void SetDuration(int32_t v) override { Duration = v; }

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

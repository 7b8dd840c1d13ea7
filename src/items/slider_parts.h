// What the slider, the scroll bar and the gauge share: a picture of the
// cache held under its own owner token, the range arithmetic done in 64 bits
// and saturated, and their registration with the component factory.
#pragma once

#include <cstdint>
#include <string>

#include "core/containers/rect_utils.h"
#include "items/brix_cache.h"
#include "items/orba_object.h"

namespace orba {

class TCustomDIBX;

// One picture of the cache held by one part of an item; the holder's address
// is the owner token, so two parts showing the same file count as two owners.
class TPartPicture {
 public:
  TPartPicture() = default;
  TPartPicture(const TPartPicture&) = delete;
  TPartPicture& operator=(const TPartPicture&) = delete;
  ~TPartPicture() { Release(); }

  TBrixItem* Entry = nullptr;

  // Gives the held entry back and, for a non-empty name, takes the file's
  // entry (no variant). A picture that cannot be decoded raises as the
  // cache does and leaves nothing held.
  void Change(const std::string& file_name);
  void Release();
  TBrixItemFrame* Frame() const { return Entry != nullptr ? Entry->GetFrame(0) : nullptr; }
  int32_t Width() const { return Entry != nullptr ? Entry->Width : 0; }
  int32_t Height() const { return Entry != nullptr ? Entry->Height : 0; }
  // Whether the pointer at (X, Y) of the picture is on it: true without a
  // mask, else a mask value of 128 or more (outside the picture: false).
  bool Holds(int32_t x, int32_t y) const;
  // Src of the picture at (X, Y) with Alpha (1 .. 511; others draw nothing).
  void Draw(TCustomDIBX& dest, int32_t x, int32_t y, const TRect& src, int32_t alpha) const;
  // Dest filled with Src repeated from (OffsetX, OffsetY) within the tile.
  void DrawTiled(TCustomDIBX& dest, const TRect& dest_rect, const TRect& src, int32_t offset_x, int32_t offset_y,
                 bool flip_h, bool flip_v, int32_t alpha) const;
};

// V rounded to the nearest integer, halves to even, saturated to int32 (not
// a number reads 0).
int32_t RoundToInt32(long double v);
// V truncated toward zero, saturated to int32 (not a number reads 0).
int32_t TruncToInt32(long double v);
// A + B + ..., in 64 bits, saturated to int32.
int32_t SumInt32(std::initializer_list<int64_t> parts);

// The value a range control reports: Min below Min, else Max above Max (so
// with Max < Min every value from Min up reads as Max), else V.
int64_t ClampToRange(int64_t v, int32_t min, int32_t max);
// What the slider, the scroll bar and the gauge hold alike: the range and
// value, the drawing strength, the orientation and the bar length override.
// Each kind answers the setters its own way.
class TOrbaRangeControl : public TOrbaControl {
 public:
  using TOrbaControl::TOrbaControl;

  int32_t Min = 0, Max = 0, Value = 0, Alpha = 0;
  bool Paused = false;
  uint8_t Orientation = OT_HORIZONTAL;
  std::string OnIdle;
  int32_t BarSize = 0;

  int64_t Range() const { return int64_t{Max} - Min; }
  int32_t ClampedValue() const { return static_cast<int32_t>(ClampToRange(Value, Min, Max)); }
  bool Upright() const { return Orientation == OT_VERTICAL; }

  int32_t GetMin() const override { return Min; }
  int32_t GetMax() const override { return Max; }
  int32_t GetValue() const override { return ClampedValue(); }
  int32_t GetAlpha() const override { return Alpha; }
  void SetAlpha(int32_t v) override;
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override { Paused = v; }
  uint8_t GetOrientation() const override { return Orientation; }
  int32_t GetBarSize() const override { return BarSize; }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
};

// Lets the component factory create sliders (CT_SLIDER), scroll bars
// (CT_SCROLLBAR), gauges (CT_GAUGE) and image-font labels (CT_CGLABEL).
void RegisterSliderItems();

}  // namespace orba

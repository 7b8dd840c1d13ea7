// The slider and the scroll bar: value controls built from pictures. A bar
// picture of two cells (empty and filled, or normal and pressed), a thumb of
// three cells (normal, hovered, pressed) and a button picture of six cells
// (the first and the second button in those three states). The value moves
// by dragging the thumb, by clicking the bar, by holding a button (a step at
// the press, again after 300 ms, then every 50 ms of game time) and by the
// arrow keys; each change the user makes queues OnNotify with the new value.
//
// The slider's bar length is the thumb's travel; a vertical slider has its
// minimum at the bottom. The scroll bar's thumb travels inside the bar with
// its minimum at the top or left, and a click on the bar pages by
// LargeChange until the thumb reaches the pointer.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "items/orba_object.h"
#include "items/slider_parts.h"

namespace orba {

class TOrbaSlider : public TOrbaRangeControl {
 public:
  explicit TOrbaSlider(TOrbaBaseList* manager) : TOrbaRangeControl(manager) {}

  // What the pointer is doing with the control.
  enum TMouseMode : int32_t { kIdle = 0, kDrag = 1, kFirstHeld = 2, kSecondHeld = 3, kPageDown = 4, kPageUp = 5 };
  static constexpr int32_t kRepeatDelay = 300, kRepeatInterval = 50;

  std::string Source, ThumbSource, ButtonSource;
  std::string OnNotify;
  int32_t BarW = 0, BarH = 0, ThumbW = 0, ThumbH = 0, ButtonW = 0, ButtonH = 0;
  TPartPicture BarImage, ThumbImage, ButtonImage;
  int32_t ThumbPos = 0;
  int32_t ThumbState = 0;                // 0 normal, 1 hovered, 2 pressed
  std::array<int32_t, 2> ButtonState{};  // the same for the first and the second button
  int32_t DragGrab = 0;
  int32_t RepeatLeft = 0;
  bool TrackPressed = false;
  std::string OnHold, OnRelease;
  int32_t SmallChange = 0;
  bool CaptureMask = false;
  int32_t MouseMode = kIdle;

  // ---- geometry -------------------------------------------------------------
  // Sizes the control to its parts and places the thumb.
  virtual void UpdateLayout();
  void UpdateThumbPos();
  // The thumb's travel in pixels.
  virtual int64_t TravelLength() const;
  virtual TRect BarRect() const;
  virtual TRect ThumbRect() const;
  TRect ButtonRect(bool second) const;
  // Whether the minimum is at the bottom (a vertical slider); the buttons'
  // and keys' directions follow it.
  virtual bool IsVertical() const { return Orientation == OT_VERTICAL; }
  // The value for the pointer at P while dragging (already clamped); the
  // stored value when the bar gives no travel to divide by.
  int32_t ValueAt(TPoint p) const;
  // The pointer's distance along the bar from the place of the minimum.
  virtual int64_t DragDistance(TPoint p) const;
  // A change made by the user: the value and, when it changed, OnNotify.
  void SetValueByUser(int64_t v);

  // ---- properties -------------------------------------------------------------
  uint8_t GetCompoType() const override { return CT_SLIDER; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  std::string GetThumbSource() const override { return ThumbSource; }
  void SetThumbSource(std::string v) override;
  std::string GetButtonSource() const override { return ButtonSource; }
  void SetButtonSource(std::string v) override;
  void SetMin(int32_t v) override { SetRangeField(Min, v); }
  void SetMax(int32_t v) override { SetRangeField(Max, v); }
  void SetValue(int32_t v) override { SetRangeField(Value, v); }
  void SetOrientation(uint8_t v) override;
  void SetBarSize(int32_t v) override;
  int32_t GetSmallChange() const override { return SmallChange; }
  void SetSmallChange(int32_t v) override { SmallChange = v; }
  bool GetCaptureMask() const override { return CaptureMask; }
  void SetCaptureMask(bool v) override { CaptureMask = v; }
  std::string GetOnNotify() const override { return OnNotify; }
  void SetOnNotify(std::string v) override { OnNotify = std::move(v); }
  std::string GetOnHold() const override { return OnHold; }
  void SetOnHold(std::string v) override { OnHold = std::move(v); }
  std::string GetOnRelease() const override { return OnRelease; }
  void SetOnRelease(std::string v) override { OnRelease = std::move(v); }

  // ---- painting, input, saved state ------------------------------------------
  void Draw() override;
  void DoMouseMove() override;
  void DoMouseOut() override;
  void DoLButtonDown() override;
  void DoLButtonUp() override;
  void DoMouseCapture() override;
  void DoKeyRepeat() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 protected:
  virtual void DrawBar(TCustomDIBX& dest) const;
  void DrawParts(TCustomDIBX& dest) const;
  // The key that raises and the key that lowers the value.
  virtual int32_t IncreaseKey() const { return IsVertical() ? 38 : 39; }
  virtual int32_t DecreaseKey() const { return IsVertical() ? 40 : 37; }
  // A press on the bar outside the thumb.
  virtual void PressBar();
  // Where a drag holds the thumb: the pointer's distance from its centre.
  virtual int32_t GrabOffset(TPoint p) const;
  // One repeat step while the bar is held (scroll bar).
  virtual void PageStep() {}
  TPoint MousePos() const;
  bool OnBar(TPoint p) const;
  bool OnThumb(TPoint p) const;
  bool OnButton(TPoint p, int32_t i) const;
  // The states of the parts under the pointer (all 0 when ignored).
  void HoverParts(TPoint p);
  int32_t ButtonDirection(int32_t i) const;
  void TakeClick();
  void Repaint(int32_t& field, int32_t v);

 private:
  void SetRangeField(int32_t& field, int32_t v);
  void ComputePartSizes();
  void ChangePart(std::string& name, TPartPicture& picture, std::string v);
};

class TOrbaScrollbar : public TOrbaSlider {
 public:
  using TOrbaSlider::TOrbaSlider;

  int32_t LargeChange = 0;

  uint8_t GetCompoType() const override { return CT_SCROLLBAR; }
  int32_t GetLargeChange() const override { return LargeChange; }
  void SetLargeChange(int32_t v) override { LargeChange = v; }

  void UpdateLayout() override;
  int64_t TravelLength() const override;
  TRect BarRect() const override;
  TRect ThumbRect() const override;
  bool IsVertical() const override { return false; }
  int64_t DragDistance(TPoint p) const override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 protected:
  void DrawBar(TCustomDIBX& dest) const override;
  int32_t IncreaseKey() const override { return Upright() ? 40 : 39; }
  int32_t DecreaseKey() const override { return Upright() ? 38 : 37; }
  void PressBar() override;
  int32_t GrabOffset(TPoint p) const override;
  void PageStep() override;
};

}  // namespace orba

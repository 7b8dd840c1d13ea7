// The image button: an animated image with four strips (normal, hover,
// pressed, clicked), a one-line caption drawn over it, toggle and radio
// group behaviour, and OnNotify when it is clicked by the mouse or by Enter
// or Space while it has the keyboard focus.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "items/anim_image.h"
#include "text/label_list.h"

namespace orba {

// Game slots from this version on keep the caption's text after the
// caption's settings; a button of an older slot loads with an empty caption.
constexpr int32_t kButtonCaptionTextVersion = 141;

class TOrbaButton : public TOrbaImages {
 public:
  static constexpr int32_t kNormal = 0, kHover = 1, kPressed = 2, kClicked = 3;

  explicit TOrbaButton(TOrbaBaseList* manager);
  ~TOrbaButton() override;

  int32_t PressState = 0;  // 0 idle, 1 pressed on the button, -1 to be destroyed
  int32_t CurrentStrip = kNormal;
  int32_t ReturnStrip = kNormal;
  std::string HoverSource, PressedSource, ClickedSource;
  int32_t GroupIndex = 0;
  bool Selected = false, AllowAllUp = false;
  std::string OnNotify;
  // The motions of the hover, pressed and clicked strips.
  std::array<std::unique_ptr<TOrbaMotion>, 3> StripMotions;
  mutable TKsLabelList Caption;

  uint8_t GetCompoType() const override { return CT_BUTTON; }
  int32_t GetStrip() const override { return CurrentStrip; }
  void SetStrip(int32_t strip) override;
  int32_t GetStripCount() const override { return 4; }
  TOrbaMotion* GetMotion() const;
  bool IsAutoSized() const override { return GetMotion() == nullptr; }

  std::string GetHoverSource() const override { return HoverSource; }
  void SetHoverSource(std::string v) override { SetStripSource(kHover, std::move(v)); }
  std::string GetPressedSource() const override { return PressedSource; }
  void SetPressedSource(std::string v) override { SetStripSource(kPressed, std::move(v)); }
  std::string GetClickedSource() const override { return ClickedSource; }
  void SetClickedSource(std::string v) override { SetStripSource(kClicked, std::move(v)); }
  std::string GetText() const override;
  void SetText(std::string v) override;
  std::string GetFontName() const override { return Caption.FontName; }
  void SetFontName(std::string v) override;
  int32_t GetFontHeight() const override { return Caption.FontSize; }
  void SetFontHeight(int32_t v) override;
  TFontStyle GetFontStyle() const override { return IntToFontStyle(Caption.Style); }
  void SetFontStyle(TFontStyle v) override;
  int32_t GetFontColor() const override { return Caption.TextColor; }
  void SetFontColor(int32_t v) override;
  bool GetAntiAlias() const override { return Caption.AntiAlias > 0; }
  void SetAntiAlias(bool v) override;
  int32_t GetGroupIndex() const override { return GroupIndex; }
  void SetGroupIndex(int32_t v) override;
  bool GetSelected() const override { return Selected; }
  void SetSelected(bool v) override;
  bool GetAllowAllUp() const override { return AllowAllUp; }
  void SetAllowAllUp(bool v) override;
  bool GetRepeat() const override { return CurrentStrip != kClicked; }
  void SetRepeat(bool v) override {}
  std::string GetOnNotify() const override { return OnNotify; }
  void SetOnNotify(std::string v) override { OnNotify = std::move(v); }
  void SetPaused(bool v) override;
  void SetGroupSelected(bool selected) override;
  void SetGroupFlag(bool flag) override { AllowAllUp = flag; }

  // Queues OnNotify, toggles the selection in a group, or plays the
  // clicked strip.
  void Click();
  bool Idle() override;
  void AfterDrawImage() override;
  void DoMouseMove() override;
  void DoMouseOut() override;
  void DoLButtonDown() override;
  void DoLButtonUp() override;
  void DoKeyRepeat() override;
  void FreeSurface() override;
  void RestoreSurface() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  void SetStripSource(int32_t strip, std::string v);
  std::string& StripSource(int32_t strip);
  // Whether the topmost object under the pointer is this button.
  bool UnderPointer() const;
  // The frame animation of the strips: each cell shows for its own delay;
  // true when the clicked strip played to its end.
  bool StepFrames();
  void CaptionChanged();
};

}  // namespace orba

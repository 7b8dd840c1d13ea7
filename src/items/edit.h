// The text-entry items: a one-line edit and a multi-line memo. Each owns a
// native text control (platform/text_controls) placed over the game's
// picture at the item's screen rectangle; the text, font and colours are the
// control's own. The control shows only while the item is visible, its
// parent is visible, it lies on the active screen root and nothing covers
// its centre; it is kept in step after moves and once a tick.
//
// A key going down in the control queues OnNotify with the key code and the
// current text; the control taking the focus makes the item the focus
// object. The edit swallows Enter, Escape and Tab and lets Tab reach its key
// handler; the memo keeps a text alignment.
#pragma once

#include <memory>

#include "items/orba_object.h"
#include "platform/text_controls.h"

namespace orba {

class TOrbaEditBase : public TOrbaControl {
 public:
  TOrbaEditBase(TOrbaBaseList* manager, bool multi_line);
  ~TOrbaEditBase() override;

  std::unique_ptr<TTextControl> Native;
  std::string OnNotify;

  std::string GetText() const override { return Native->Text(); }
  void SetText(std::string v) override;
  std::string GetFontName() const override { return Native->Font().Name; }
  void SetFontName(std::string v) override;
  int32_t GetFontHeight() const override;
  void SetFontHeight(int32_t v) override;
  TFontStyle GetFontStyle() const override { return IntToFontStyle(Native->Font().Style); }
  void SetFontStyle(TFontStyle v) override;
  int32_t GetFontColor() const override { return Native->TextColor(); }
  void SetFontColor(int32_t v) override { Native->SetTextColor(v); }
  int32_t GetColor() const override { return Native->BackColor(); }
  void SetColor(int32_t v) override { Native->SetBackColor(v); }
  bool GetReadOnly() const override { return Native->ReadOnly(); }
  void SetReadOnly(bool v) override { Native->SetReadOnly(v); }
  bool GetPaused() const override { return !Native->Enabled(); }
  void SetPaused(bool v) override { Native->SetEnabled(!v); }
  bool GetHandleKey() const override { return true; }
  void SetHandleKey(bool v) override {}
  std::string GetOnNotify() const override { return OnNotify; }
  void SetOnNotify(std::string v) override { OnNotify = std::move(v); }

  void SetVisible(bool v) override;
  void SetLeft(int32_t v) override;
  void SetTop(int32_t v) override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void SetOffsetX(int32_t v) override;
  void SetOffsetY(int32_t v) override;
  void SetPlusX(int32_t v) override;
  void SetPlusY(int32_t v) override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void SetParent(TOrbaControl* parent) override;
  void PositionChanged() override;

  // Places the native control and shows or hides it (see above); a showing
  // control that holds the focus makes the item the focus object.
  void Synchronize();
  // The visibility the native control should have now.
  bool WantedVisible() const;
  bool Idle() override;
  void FocusGained() override;

  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 protected:
  // The memo keeps its alignment between read-only and OnNotify.
  virtual void SaveAlignment(TKsBigStream& stream) const {}
  virtual void LoadAlignment(TKsBigStream& stream) {}

 private:
  void NativeKeyDown(int32_t key);
  void NativeFocusGained();
};

class TOrbaEdit final : public TOrbaEditBase {
 public:
  explicit TOrbaEdit(TOrbaBaseList* manager);
  uint8_t GetCompoType() const override { return CT_EDIT; }
  // The whole text is selected after setting.
  void SetText(std::string v) override;
};

class TOrbaMemo final : public TOrbaEditBase {
 public:
  explicit TOrbaMemo(TOrbaBaseList* manager) : TOrbaEditBase(manager, true) {}
  uint8_t GetCompoType() const override { return CT_MEMO; }
  uint8_t GetHAlign() const override { return static_cast<uint8_t>(Native->Alignment()); }
  // 0 left, 1 right, 2 centred; other values are taken as left.
  void SetHAlign(uint8_t v) override;

 protected:
  void SaveAlignment(TKsBigStream& stream) const override;
  void LoadAlignment(TKsBigStream& stream) override;
};

}  // namespace orba

// The pop-up menu: a list box that opens by growing from height 0 to its
// full height and closes by shrinking, reports the chosen row, can be
// cancelled by a right click anywhere on its screen or by Escape
// ("@SelStr" "" and "@SelIndex" -1), and can destroy itself after a choice
// or after closing, once its closing events were taken from the queue.
#pragma once

#include "items/list_box.h"

namespace orba {

class TOrbaMenu : public TOrbaCustomListBox {
 public:
  // MenuPhase values.
  static constexpr int32_t kShown = 0, kCancel = 10, kOpen = 100, kOpenStart = 101, kOpening = 102,
                           kClose = 200, kClosing = 201, kChosen = 300, kChosenClosed = 301, kAwaitEvents = 302;

  explicit TOrbaMenu(TOrbaBaseList* manager);
  ~TOrbaMenu() override;
  void Create() override;

  int32_t FullHeight = 0;
  uint32_t PhaseStart = 0;
  int32_t Delay = 0;
  int32_t HoverColor = -1;
  bool AutoScrap = false, RClickScrap = false;
  // 0 opened at once, 1 opened with animation, 2 closed at once, 3 closed
  // with animation.
  uint8_t State = 2;
  std::string OnOpening, OnOpened, OnClosing, OnClosed;
  bool Closing = false;

  uint8_t GetCompoType() const override { return CT_MENU; }
  uint8_t GetState() const override { return State; }
  void SetState(uint8_t state) override;
  TFontStyle GetFontHoverStyle() const override { return IntToFontStyle(HoverLabels.Style); }
  void SetFontHoverStyle(TFontStyle v) override;
  int32_t GetFontHoverColor() const override { return HoverLabels.TextColor; }
  void SetFontHoverColor(int32_t v) override;
  int32_t GetHoverColor() const override { return HoverColor; }
  void SetHoverColor(int32_t v) override;
  int32_t GetDelay() const override { return Delay; }
  void SetDelay(int32_t v) override { Delay = v; }
  bool GetAutoScrap() const override { return AutoScrap; }
  void SetAutoScrap(bool v) override { AutoScrap = v; }
  bool GetRClickScrap() const override { return RClickScrap; }
  void SetRClickScrap(bool v) override { RClickScrap = v; }
  std::string GetOnOpening() const override { return OnOpening; }
  void SetOnOpening(std::string v) override { OnOpening = std::move(v); }
  std::string GetOnOpened() const override { return OnOpened; }
  void SetOnOpened(std::string v) override { OnOpened = std::move(v); }
  std::string GetOnClosing() const override { return OnClosing; }
  void SetOnClosing(std::string v) override { OnClosing = std::move(v); }
  std::string GetOnClosed() const override { return OnClosed; }
  void SetOnClosed(std::string v) override { OnClosed = std::move(v); }
  int32_t GetOrigHeight() const override { return State == 1 || State == 3 ? FullHeight : Height; }
  bool GetEventsHeld() const override { return Closing; }

  bool Idle() override;
  void DoSelect() override;
  void DoRButtonDown() override;
  bool HandleRClickScrap() override;
  void DoKeyRepeat() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  // "@SelStr" "" and "@SelIndex" -1, then the animated close.
  void Cancel();
  void QueueIfSet(const std::string& label, uint8_t code);
  // The focus goes to the opening menu when it takes keys.
  void TakeFocus();
  void DropFocus();
};

}  // namespace orba

// The list box base of the pop-up menu: the lines of its text as rows of
// pre-rendered captions inside a frame of nine tiled pictures, a hovered
// and a chosen row, a scroll bar cut from a seven-cell picture when there
// are more lines than visible rows, check marks from a two-cell picture,
// sizing to the contents, and the mouse and keyboard handling that choose
// a row ("@SelStr", "@SelIndex" and OnSelect).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "items/image_cells.h"
#include "items/orba_object.h"
#include "text/label_list.h"

namespace orba {

class TOrbaCustomListBox : public TOrbaControl {
 public:
  explicit TOrbaCustomListBox(TOrbaBaseList* manager);
  ~TOrbaCustomListBox() override;

  std::string Text;
  int32_t LineSpace = 0, Alpha = 0;
  bool NeedLayout = false;
  int32_t MarginX = 0, MarginY = 0, BorderWidth = 0, BorderColor = 0, RowCount = 0;
  std::array<std::string, 9> BorderSource;
  std::array<TOrbaImageList, 9> BorderImages;
  std::array<TPoint, 9> PieceSize{};
  std::array<uint8_t, 9> PieceHAlign{}, PieceVAlign{};
  std::string ScrollSource, CheckSource;
  TBrixItem* ScrollImage = nullptr;
  TBrixItem* CheckImage = nullptr;
  int32_t ScrollCellW = 0, ScrollCellH = 0, CheckCellW = 0, CheckCellH = 0;
  int32_t TopIndex = 0;
  uint8_t TextHAlign = HA_LEFT;
  int32_t HoverRow = -1;
  int32_t ThumbGrab = 0;
  // -1 none, 0 thumb drag, 1 up arrow, 2 down arrow, 3 page up, 4 page
  // down, 5 pressed on a row.
  int32_t MouseMode = -1;
  uint32_t RepeatClock = 0;
  int32_t RepeatLeft = 0;
  bool ArrowPressed = false, TrackPressed = false;
  std::vector<uint8_t> Checked;
  std::string OnMapIn, OnMapOut, OnSelect;
  bool Paused = false;
  int32_t Index = 0;
  std::string OnIdle;
  mutable TKsLabelList Labels, HoverLabels;
  // The menu's open and close phase; 0 shows the box normally.
  int32_t MenuPhase = 0;

  // ---- derived sizes -------------------------------------------------------
  int32_t LeftW() const;
  int32_t RightW() const;
  int32_t TopH() const;
  int32_t BottomH() const;
  int32_t RowHeight() const;
  int32_t Count() const { return Labels.Count(); }
  bool ScrollShown() const { return Count() > RowCount; }
  std::string RowText(int32_t row) const;
  // Piece I's rectangle inside Inner (the frame line's inside).
  TRect PieceRect(int32_t i, const TRect& inner) const;
  // The row under a screen point, or -1 outside the rows' area; it may
  // answer a row at or past Count.
  int32_t RowAt(TPoint p) const;
  // The scroll bar under the pointer: -1 up arrow (or the track above the
  // thumb), +1 down arrow (or below the thumb), 0 neither.
  int32_t ArrowTest() const;
  int32_t TrackTest() const;
  bool ThumbTest() const;
  int32_t ThumbTop() const;
  // The top row for a thumb dragged to screen row Y.
  int32_t ThumbDragValue(int32_t y) const;

  // Measures the rows and sizes the box to them.
  void Layout();
  void SetHoverRow(int32_t row);
  // The user chose the hovered row.
  virtual void DoSelect();

  // ---- properties ------------------------------------------------------------
  std::string GetText() const override { return Text; }
  void SetText(std::string v) override;
  std::string GetFontName() const override { return Labels.FontName; }
  void SetFontName(std::string v) override;
  int32_t GetFontHeight() const override { return Labels.FontSize; }
  void SetFontHeight(int32_t v) override;
  TFontStyle GetFontStyle() const override { return IntToFontStyle(Labels.Style); }
  void SetFontStyle(TFontStyle v) override;
  int32_t GetFontColor() const override { return Labels.TextColor; }
  void SetFontColor(int32_t v) override;
  int32_t GetFontBorder() const override { return Labels.Border; }
  void SetFontBorder(int32_t v) override;
  int32_t GetFontShadow() const override { return Labels.ShadowOffset; }
  void SetFontShadow(int32_t v) override;
  int32_t GetFontBorderColor() const override { return Labels.BorderColor; }
  void SetFontBorderColor(int32_t v) override;
  int32_t GetFontShadowColor() const override { return Labels.ShadowColor; }
  void SetFontShadowColor(int32_t v) override;
  int32_t GetFontHoverBorder() const override { return HoverLabels.Border; }
  void SetFontHoverBorder(int32_t v) override;
  int32_t GetFontHoverShadow() const override { return HoverLabels.ShadowOffset; }
  void SetFontHoverShadow(int32_t v) override;
  int32_t GetFontHoverBorderColor() const override { return HoverLabels.BorderColor; }
  void SetFontHoverBorderColor(int32_t v) override;
  int32_t GetFontHoverShadowColor() const override { return HoverLabels.ShadowColor; }
  void SetFontHoverShadowColor(int32_t v) override;
  bool GetAntiAlias() const override { return Labels.AntiAlias > 0; }
  void SetAntiAlias(bool v) override;
  int32_t GetAlpha() const override { return Alpha; }
  void SetAlpha(int32_t v) override;
  int32_t GetLineSpace() const override { return LineSpace; }
  void SetLineSpace(int32_t v) override { Relayout(LineSpace, v); }
  int32_t GetMarginX() const override { return MarginX; }
  void SetMarginX(int32_t v) override { Relayout(MarginX, v); }
  int32_t GetMarginY() const override { return MarginY; }
  void SetMarginY(int32_t v) override { Relayout(MarginY, v); }
  int32_t GetBorderWidth() const override { return BorderWidth; }
  void SetBorderWidth(int32_t v) override { Relayout(BorderWidth, v); }
  int32_t GetRowCount() const override { return RowCount; }
  void SetRowCount(int32_t v) override { Relayout(RowCount, v); }
  int32_t GetBorderColor() const override { return BorderColor; }
  void SetBorderColor(int32_t v) override { Repaint(BorderColor, v); }
  uint8_t GetHAlign() const override { return TextHAlign; }
  void SetHAlign(uint8_t v) override { Repaint(TextHAlign, v); }
  std::string GetBorderSource(int32_t i) const override;
  void SetBorderSource(int32_t i, std::string v) override;
  uint8_t GetBorderHAlign(int32_t i) const override;
  void SetBorderHAlign(int32_t i, uint8_t v) override;
  uint8_t GetBorderVAlign(int32_t i) const override;
  void SetBorderVAlign(int32_t i, uint8_t v) override;
  std::string GetScrollSource() const override { return ScrollSource; }
  void SetScrollSource(std::string v) override { SetStripSource(false, std::move(v)); }
  std::string GetCheckSource() const override { return CheckSource; }
  void SetCheckSource(std::string v) override { SetStripSource(true, std::move(v)); }
  int32_t GetCount() const override { return Count(); }
  int32_t GetIndex() const override { return Index; }
  void SetIndex(int32_t v) override { Index = v; }
  int32_t GetTopIndex() const override { return TopIndex; }
  void SetTopIndex(int32_t v) override;
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override;
  std::string GetOnSelect() const override { return OnSelect; }
  void SetOnSelect(std::string v) override { OnSelect = std::move(v); }
  std::string GetOnMapIn() const override { return OnMapIn; }
  void SetOnMapIn(std::string v) override { OnMapIn = std::move(v); }
  std::string GetOnMapOut() const override { return OnMapOut; }
  void SetOnMapOut(std::string v) override { OnMapOut = std::move(v); }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  bool GetItemCheck(int32_t index) const override;
  void SetItemCheck(int32_t index, bool value) override;

  // ---- painting, input, the tick, saved state ------------------------------
  void Draw() override;
  bool Idle() override;
  void DoLButtonDown() override;
  void DoLButtonUp() override;
  void DoMouseMove() override;
  void DoMouseOut() override;
  void DoMouseCapture() override;
  void DoKeyRepeat() override;
  void FreeSurface() override;
  void RestoreSurface() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 protected:
  // The frame pieces' animation: changed pieces are painted again.
  void StepPieces();
  TPoint MousePos() const;

 private:
  void Relayout(int32_t& field, int32_t v);
  template <class T>
  void Repaint(T& field, T v) {
    if (v == field) return;
    field = v;
    Invalidate();
  }
  void RelayoutLists();
  void RepaintLists();
  void SetStripSource(bool check, std::string v);
  void DrawScrollBar(TCustomDIBX& d) const;
  void DrawRows(TCustomDIBX& d, const TRect& inner) const;
};

}  // namespace orba

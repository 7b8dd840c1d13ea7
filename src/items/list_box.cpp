#include "items/list_box.h"

#include <algorithm>
#include <cmath>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/text_utils.h"
#include "items/base_list.h"
#include "items/box.h"
#include "items/brix_cache.h"
#include "script/functions/sys_func.h"
#include "script/functions/sys_func_file.h"
#include "script/values/param_collection.h"

namespace orba {

namespace {

constexpr int32_t kRepeatDelay = 300, kRepeatInterval = 50;
constexpr int32_t kKeyUp = 38, kKeyDown = 40, kKeyPageUp = 33, kKeyPageDown = 34;

int32_t Sum(std::initializer_list<int64_t> parts) {
  int64_t total = 0;
  for (int64_t p : parts) total += p;
  return SaturateInt32(total);
}

// The tiling origin of a centre piece: the pattern centred (1) or
// right-aligned (2) in an Extent of the piece's cell Size.
int32_t PatternOrigin(uint8_t align, int32_t extent, int32_t size) {
  if (align == 0 || size <= 0) return 0;
  const int32_t slack = size < extent ? extent % size : size - extent;
  return align == 1 ? -(slack / 2) : -slack;
}

}  // namespace

TOrbaCustomListBox::TOrbaCustomListBox(TOrbaBaseList* manager) : TOrbaControl(manager) { SetColor(-1); }

TOrbaCustomListBox::~TOrbaCustomListBox() {
  if (ScrollImage != nullptr) ScrollImage->RemoveOwner(&ScrollImage);
  if (CheckImage != nullptr) CheckImage->RemoveOwner(&CheckImage);
}

// ---- derived sizes -------------------------------------------------------------

int32_t TOrbaCustomListBox::LeftW() const { return std::max({PieceSize[0].X, PieceSize[3].X, PieceSize[6].X}); }
int32_t TOrbaCustomListBox::RightW() const { return std::max({PieceSize[2].X, PieceSize[5].X, PieceSize[8].X}); }
int32_t TOrbaCustomListBox::TopH() const { return std::max({PieceSize[0].Y, PieceSize[1].Y, PieceSize[2].Y}); }
int32_t TOrbaCustomListBox::BottomH() const { return std::max({PieceSize[6].Y, PieceSize[7].Y, PieceSize[8].Y}); }

int32_t TOrbaCustomListBox::RowHeight() const {
  const TKsLabelDIB* a = Labels.GetItem(0);
  const TKsLabelDIB* b = HoverLabels.GetItem(0);
  return std::max(a != nullptr ? a->Height : 0, b != nullptr ? b->Height : 0);
}

std::string TOrbaCustomListBox::RowText(int32_t row) const {
  const TKsLabelDIB* label = Labels.GetItem(row);
  return label != nullptr ? label->Text : std::string();
}

TRect TOrbaCustomListBox::PieceRect(int32_t i, const TRect& inner) const {
  const TPoint size = PieceSize[static_cast<size_t>(i)];
  const int32_t column = i % 3, row = i / 3;
  int64_t left, right, top, bottom;
  if (column == 0) {
    left = int64_t{inner.Left} + LeftW() - size.X;
    right = left + size.X;
  } else if (column == 1) {
    left = int64_t{inner.Left} + LeftW();
    right = int64_t{inner.Right} - RightW();
  } else {
    left = int64_t{inner.Right} - RightW();
    right = left + size.X;
  }
  if (row == 0) {
    top = int64_t{inner.Top} + TopH() - size.Y;
    bottom = top + size.Y;
  } else if (row == 1) {
    top = int64_t{inner.Top} + TopH();
    bottom = int64_t{inner.Bottom} - BottomH();
  } else if (TopH() <= int64_t{inner.Bottom} - inner.Top) {
    top = int64_t{inner.Bottom} - BottomH();
    bottom = top + size.Y;
  } else {
    top = bottom = 0;
  }
  top = std::max<int64_t>(top, inner.Top);
  bottom = std::min<int64_t>(bottom, inner.Bottom);
  return TRect{SaturateInt32(left), SaturateInt32(top), SaturateInt32(right), SaturateInt32(bottom)};
}

TPoint TOrbaCustomListBox::MousePos() const {
  const TOrbaBase* root = GetScreen();
  return root != nullptr ? TPoint{root->MouseX, root->MouseY} : TPoint{};
}

int32_t TOrbaCustomListBox::RowAt(TPoint p) const {
  const TRect b = GetBoundsRect();
  const int64_t half = std::min(LineSpace / 2, MarginY);
  const int64_t inset_y = int64_t{MarginY} + TopH() + BorderWidth;
  const TRect area{Sum({b.Left, LeftW(), BorderWidth}), SaturateInt32(b.Top + inset_y - half),
                   Sum({b.Right, -int64_t{RightW()}, -int64_t{BorderWidth}, ScrollShown() ? -int64_t{ScrollCellW} : 0}),
                   Sum({b.Bottom, -int64_t{MarginY}, -int64_t{BottomH()}, -int64_t{BorderWidth}, half})};
  if (!PointInRect(p, area)) return -1;
  int32_t result = TopIndex - 1;
  int64_t y = b.Top + inset_y - LineSpace / 2;
  for (int64_t i = 0; i <= int64_t{RowCount} && y <= p.Y; ++i) {
    ++result;
    y += int64_t{RowHeight()} + LineSpace;
  }
  return result;
}

int32_t TOrbaCustomListBox::ThumbTop() const {
  const TRect b = GetBoundsRect();
  const int64_t track = int64_t{Height} - 2 * int64_t{BorderWidth} - TopH() - BottomH() - 3 * int64_t{ScrollCellH};
  const int64_t span = int64_t{Count()} - RowCount;
  return Sum({b.Top, BorderWidth, TopH(), ScrollCellH, span < 1 ? 0 : track * TopIndex / span});
}

namespace {

// The bar's parts from top to bottom: up arrow, upper track, thumb, lower
// track, down arrow.
struct TBarParts {
  int32_t X = 0, Right = 0;
  int32_t UpTop = 0, UpBottom = 0, ThumbTop = 0, ThumbBottom = 0, DownTop = 0, DownBottom = 0;
};

TBarParts BarParts(const TOrbaCustomListBox& l) {
  const TRect b = l.GetBoundsRect();
  TBarParts p;
  p.X = Sum({b.Right, -int64_t{l.BorderWidth}, -int64_t{l.RightW()}, -int64_t{l.ScrollCellW}});
  p.Right = Sum({p.X, l.ScrollCellW});
  p.UpTop = Sum({b.Top, l.BorderWidth, l.TopH()});
  p.UpBottom = Sum({p.UpTop, l.ScrollCellH});
  p.DownBottom = Sum({b.Bottom, -int64_t{l.BorderWidth}, -int64_t{l.BottomH()}});
  p.DownTop = Sum({p.DownBottom, -int64_t{l.ScrollCellH}});
  p.ThumbTop = l.ThumbTop();
  p.ThumbBottom = Sum({p.ThumbTop, l.ScrollCellH});
  return p;
}

bool InBar(const TBarParts& p, TPoint m, int32_t top, int32_t bottom) {
  return bottom - int64_t{top} >= 1 && m.X >= p.X && m.X < p.Right && m.Y >= top && m.Y < bottom;
}

}  // namespace

int32_t TOrbaCustomListBox::ArrowTest() const {
  if (!ScrollShown()) return 0;
  const TBarParts p = BarParts(*this);
  const TPoint m = MousePos();
  if (InBar(p, m, p.UpTop, p.UpBottom)) return -1;
  return InBar(p, m, p.DownTop, p.DownBottom) ? 1 : 0;
}

int32_t TOrbaCustomListBox::TrackTest() const {
  if (!ScrollShown()) return 0;
  const TBarParts p = BarParts(*this);
  const TPoint m = MousePos();
  if (InBar(p, m, p.UpBottom, p.ThumbTop)) return -1;
  return InBar(p, m, p.ThumbBottom, p.DownTop) ? 1 : 0;
}

bool TOrbaCustomListBox::ThumbTest() const {
  if (!ScrollShown()) return false;
  const TBarParts p = BarParts(*this);
  return InBar(p, MousePos(), p.ThumbTop, p.ThumbBottom);
}

int32_t TOrbaCustomListBox::ThumbDragValue(int32_t y) const {
  const int64_t track = int64_t{Height} - 2 * int64_t{BorderWidth} - TopH() - BottomH() - 3 * int64_t{ScrollCellH};
  // A box shorter than three scroll cells has no track to drag along.
  if (track <= 0) return TopIndex;
  const int64_t span = int64_t{Count()} - RowCount;
  const double f = static_cast<double>(int64_t{y} - ThumbGrab - GetScreenTop() - BorderWidth - TopH() - ScrollCellH -
                                       ScrollCellH / 2) /
                   static_cast<double>(track);
  const double v = std::nearbyint(static_cast<double>(span) * f);
  return static_cast<int32_t>(std::clamp(v, 0.0, static_cast<double>(std::max<int64_t>(span, 0))));
}

// ---- layout and rows --------------------------------------------------------------

void TOrbaCustomListBox::Layout() {
  for (TKsLabelList* list : {&Labels, &HoverLabels}) {
    list->CalcWidths();
    list->Invalidate();
  }
  const int32_t width = Sum({std::max(Labels.GetMaxWidth(), HoverLabels.GetMaxWidth()), 2 * int64_t{BorderWidth},
                             LeftW(), RightW(), 2 * int64_t{MarginX}, ScrollShown() ? ScrollCellW : 0, CheckCellW});
  const int64_t rows = std::min(RowCount, Count());
  const int64_t line = std::max(int64_t{Labels.FontSize} + 2 * int64_t{Labels.Border} + Labels.ShadowOffset,
                                int64_t{HoverLabels.FontSize} + 2 * int64_t{HoverLabels.Border} + HoverLabels.ShadowOffset);
  // Script values are multiplied in 64 bits and the sum saturated.
  const int32_t height = Sum({std::clamp<int64_t>(line * rows, INT32_MIN, INT32_MAX),
                              std::clamp<int64_t>((rows - 1) * LineSpace, INT32_MIN, INT32_MAX), 2 * int64_t{BorderWidth},
                              TopH(), BottomH(), 2 * int64_t{MarginY}});
  SetWidth(width);
  SetHeight(height);
  NeedLayout = false;
}

void TOrbaCustomListBox::SetText(std::string v) {
  Invalidate();
  Labels.Clear();
  HoverLabels.Clear();
  Text = TrimControls(v, 0x1F);
  for (const std::string& line : SplitTextLines(Text)) {
    Labels.Add().SetText(line);
    HoverLabels.Add().SetText(line);
  }
  Checked.assign(static_cast<size_t>(Count()), 0);
  TopIndex = 0;
  NeedLayout = true;
}

void TOrbaCustomListBox::SetHoverRow(int32_t row) {
  if (row == HoverRow) return;
  if (HoverRow >= 0 && !OnMapOut.empty() && !EventQueued(PR_ONMAPOUT)) {
    TArrayString args;
    args.Add(RowText(HoverRow));
    args.Add(std::to_string(HoverRow));
    QueueEvent(OnMapOut, PR_ONMAPOUT, &args);
  }
  HoverRow = row;
  SetIndex(-1);
  Invalidate();
  if (row >= 0 && !OnMapIn.empty() && !EventQueued(PR_ONMAPIN)) {
    TArrayString args;
    args.Add(RowText(row));
    args.Add(std::to_string(row));
    QueueEvent(OnMapIn, PR_ONMAPIN, &args);
  }
}

void TOrbaCustomListBox::DoSelect() {
  // A hovered row that is not (or no longer) a line chooses nothing.
  if (HoverRow < 0 || HoverRow >= Count()) return;
  Index = HoverRow;
  const std::string text = RowText(Index);
  if (Manager != nullptr && Manager->Services.Funcs != nullptr) {
    TParamCollection& store = Manager->Services.Funcs->Store();
    store.SelStr = text;
    store.SelIndex = Index;
  }
  if (!OnSelect.empty() && !EventQueued(PR_ONSELECT)) {
    TArrayString args;
    args.Add(text);
    args.Add(std::to_string(Index));
    QueueEvent(OnSelect, PR_ONSELECT, &args);
  }
}

// ---- properties ------------------------------------------------------------------

void TOrbaCustomListBox::Relayout(int32_t& field, int32_t v) {
  if (v == field) return;
  Invalidate();
  field = v;
  NeedLayout = true;
}

void TOrbaCustomListBox::RelayoutLists() {
  Invalidate();
  NeedLayout = true;
}

void TOrbaCustomListBox::RepaintLists() {
  Labels.Invalidate();
  HoverLabels.Invalidate();
  Invalidate();
}

#define ORBA_LIST_SETTING(Setter, type, list, field, after) \
  void TOrbaCustomListBox::Setter(type v) {                 \
    if (v == list.field) return;                            \
    list.field = v;                                         \
    after();                                                \
  }
ORBA_LIST_SETTING(SetFontColor, int32_t, Labels, TextColor, RepaintLists)
ORBA_LIST_SETTING(SetFontBorder, int32_t, Labels, Border, RelayoutLists)
ORBA_LIST_SETTING(SetFontShadow, int32_t, Labels, ShadowOffset, RelayoutLists)
ORBA_LIST_SETTING(SetFontBorderColor, int32_t, Labels, BorderColor, RepaintLists)
ORBA_LIST_SETTING(SetFontShadowColor, int32_t, Labels, ShadowColor, RepaintLists)
ORBA_LIST_SETTING(SetFontHoverBorder, int32_t, HoverLabels, Border, RelayoutLists)
ORBA_LIST_SETTING(SetFontHoverShadow, int32_t, HoverLabels, ShadowOffset, RelayoutLists)
ORBA_LIST_SETTING(SetFontHoverBorderColor, int32_t, HoverLabels, BorderColor, RepaintLists)
ORBA_LIST_SETTING(SetFontHoverShadowColor, int32_t, HoverLabels, ShadowColor, RepaintLists)
#undef ORBA_LIST_SETTING

void TOrbaCustomListBox::SetFontName(std::string v) {
  if (v == Labels.FontName && v == HoverLabels.FontName) return;
  Labels.FontName = HoverLabels.FontName = v;
  RelayoutLists();
}

void TOrbaCustomListBox::SetFontHeight(int32_t v) {
  if (v == Labels.FontSize && v == HoverLabels.FontSize) return;
  Labels.SetFontSize(v);
  HoverLabels.SetFontSize(v);
  RelayoutLists();
}

void TOrbaCustomListBox::SetFontStyle(TFontStyle s) {
  const auto v = static_cast<uint8_t>(FontStyleToInt(s));
  if (v == Labels.Style) return;
  Labels.Style = v;
  RelayoutLists();
}

void TOrbaCustomListBox::SetAntiAlias(bool v) {
  const int32_t level = v ? 3 : 0;
  if (level == Labels.AntiAlias && level == HoverLabels.AntiAlias) return;
  Labels.AntiAlias = HoverLabels.AntiAlias = level;
  RelayoutLists();
}

void TOrbaCustomListBox::SetAlpha(int32_t v) {
  if (v == Alpha) return;
  Alpha = Labels.Alpha = HoverLabels.Alpha = v;
  Invalidate();
}

std::string TOrbaCustomListBox::GetBorderSource(int32_t i) const {
  return i >= 0 && i < 9 ? BorderSource[static_cast<size_t>(i)] : std::string();
}

void TOrbaCustomListBox::SetBorderSource(int32_t i, std::string v) {
  if (i < 0 || i >= 9 || v == BorderSource[static_cast<size_t>(i)]) return;
  const auto k = static_cast<size_t>(i);
  Invalidate();
  BorderSource[k] = std::move(v);
  TBrixCollection* cache = BrixCollection();
  // Each piece holds its entry in its own name, so that one file in two
  // pieces stays while either shows it.
  if (cache != nullptr && !BorderSource[k].empty() && cache->HasFile(BorderSource[k]))
    BorderImages[k].LoadBrix(&BorderImages[k], BorderSource[k], false);
  else
    BorderImages[k].Clear();
  const TOrbaImageData* first = BorderImages[k].GetCell(0);
  PieceSize[k] = first != nullptr ? TPoint{first->GetDIB()->Width(), first->GetDIB()->Height()} : TPoint{};
  NeedLayout = true;
}

uint8_t TOrbaCustomListBox::GetBorderHAlign(int32_t i) const {
  return i >= 0 && i < 9 ? PieceHAlign[static_cast<size_t>(i)] : 0;
}

void TOrbaCustomListBox::SetBorderHAlign(int32_t i, uint8_t v) {
  if (i >= 0 && i < 9) Repaint(PieceHAlign[static_cast<size_t>(i)], v);
}

uint8_t TOrbaCustomListBox::GetBorderVAlign(int32_t i) const {
  return i >= 0 && i < 9 ? PieceVAlign[static_cast<size_t>(i)] : 0;
}

void TOrbaCustomListBox::SetBorderVAlign(int32_t i, uint8_t v) {
  if (i >= 0 && i < 9) Repaint(PieceVAlign[static_cast<size_t>(i)], v);
}

void TOrbaCustomListBox::SetStripSource(bool check, std::string v) {
  std::string& source = check ? CheckSource : ScrollSource;
  if (v == source) return;
  Invalidate();
  source = std::move(v);
  TBrixCollection* cache = BrixCollection();
  if (cache != nullptr && !source.empty() && cache->HasFile(source)) {
    TBrixItem*& image = check ? CheckImage : ScrollImage;
    if (image != nullptr) {
      TBrixItem* old = image;
      image = nullptr;
      old->RemoveOwner(&image);
    }
    image = &cache->Acquire(&image, source, false, false);
    const TBrixItemFrame* frame = image->GetFrame(0);
    const int32_t w = frame != nullptr ? frame->DIB->Width() : 0, h = frame != nullptr ? frame->DIB->Height() : 0;
    (check ? CheckCellW : ScrollCellW) = w / (check ? 2 : 7);
    (check ? CheckCellH : ScrollCellH) = h;
  }
  NeedLayout = true;
}

void TOrbaCustomListBox::SetTopIndex(int32_t v) {
  const int64_t span = int64_t{Count()} - RowCount;
  const int32_t stored = v < 0 || span <= 0 ? 0 : static_cast<int32_t>(std::min<int64_t>(v, span));
  if (stored == TopIndex) return;
  TopIndex = stored;
  Invalidate();
}

void TOrbaCustomListBox::SetPaused(bool v) {
  if (v == Paused) return;
  Paused = v;
  if (Manager == nullptr) return;
  TOrbaObject* focus = Manager->GetFocusObject();
  if (v && focus != nullptr && (focus == this || ContainsObject(focus))) {
    Manager->SetFocusObject(nullptr);
    TellPickFocus();
  } else if (!v && focus == nullptr) {
    TellPickFocus();
  }
}

bool TOrbaCustomListBox::GetItemCheck(int32_t index) const {
  return index >= 0 && index < static_cast<int32_t>(Checked.size()) && Checked[static_cast<size_t>(index)] != 0;
}

void TOrbaCustomListBox::SetItemCheck(int32_t index, bool value) {
  if (index < 0 || index >= static_cast<int32_t>(Checked.size())) return;
  const uint8_t v = value ? 1 : 0;
  if (Checked[static_cast<size_t>(index)] == v) return;
  Checked[static_cast<size_t>(index)] = v;
  Invalidate();
}

// ---- painting -----------------------------------------------------------------------

void TOrbaCustomListBox::Draw() {
  TCustomDIBX* d = GetSurface();
  if (d == nullptr) return;
  const TRect outer = GetBoundsRect();
  if (!RectsOverlap(outer, d->GetClipRect())) return;
  if (Alpha > 0 && Width > 0 && Height > 0) {
    Labels.Target = HoverLabels.Target = d;
    if (RectIsEmpty(outer)) return;
    if (BorderWidth > 0 && BorderColor != -1 && BorderWidth <= outer.Right - int64_t{outer.Left})
      PaintAlphaRect(*d, TPaint::Frame, outer, BorderWidth, BorderColor, Alpha);
    const TRect inner{Sum({outer.Left, BorderWidth}), Sum({outer.Top, BorderWidth}),
                      Sum({outer.Right, -int64_t{BorderWidth}}), Sum({outer.Bottom, -int64_t{BorderWidth}})};
    if (RectIsEmpty(inner)) return;
    if (GetColor() != -1) PaintAlphaRect(*d, TPaint::Fill, inner, 0, GetColor(), Alpha);
    for (int32_t i = 0; i < 9; ++i) {
      const TOrbaImageList& piece = BorderImages[static_cast<size_t>(i)];
      const TOrbaImageData* cell = piece.GetCell(piece.Index);
      TRect r = PieceRect(i, inner);
      if (i == 4 && ScrollShown() && MenuPhase == 0) r.Right = Sum({r.Right, -int64_t{ScrollCellW}});
      if (cell == nullptr || RectIsEmpty(r)) continue;
      const TPoint size = PieceSize[static_cast<size_t>(i)];
      const int32_t dx = i % 3 == 1 ? PatternOrigin(PieceHAlign[static_cast<size_t>(i)], r.Right - r.Left, size.X) : 0;
      const int32_t dy = i / 3 == 1 ? PatternOrigin(PieceVAlign[static_cast<size_t>(i)], r.Bottom - r.Top, size.Y) : 0;
      cell->DrawPattern(*d, r, Alpha, dx, dy);
    }
    if (MenuPhase == 0) {
      DrawScrollBar(*d);
      DrawRows(*d, inner);
    }
  }
  TOrbaControl::Draw();
}

void TOrbaCustomListBox::DrawScrollBar(TCustomDIBX& d) const {
  if (!ScrollShown() || ScrollImage == nullptr || ScrollCellW <= 0 || ScrollCellH <= 0) return;
  TBrixItemFrame* strip = ScrollImage->GetFrame(0);
  if (strip == nullptr) return;
  const TBarParts p = BarParts(*this);
  const auto cell = [&](int32_t k) { return TRect{k * ScrollCellW, 0, (k + 1) * ScrollCellW, ScrollCellH}; };
  const bool plain = strip->Mask == nullptr && Alpha != 255;
  // Blended and additive tiles continue the upper track's pattern below
  // the thumb.
  const int32_t lower_shift = plain ? (p.ThumbBottom - p.UpBottom) % ScrollCellH : 0;
  const struct {
    int32_t top, bottom, cell, shift;
  } parts[] = {
      {p.UpTop, p.UpBottom, MouseMode == 1 && ArrowPressed ? 1 : 0, 0},
      {p.DownTop, p.DownBottom, MouseMode == 2 && ArrowPressed ? 3 : 2, 0},
      {p.UpBottom, p.ThumbTop, MouseMode == 3 && TrackPressed ? 5 : 4, 0},
      {p.ThumbBottom, p.DownTop, MouseMode == 4 && TrackPressed ? 5 : 4, lower_shift},
      {p.ThumbTop, p.ThumbBottom, 6, 0},
  };
  // Each part is tiled from its cell by the surface's tile operation for
  // the strip's mask or colour key and the list's Alpha.
  TCustomDIBX& source = *strip->DIB;
  const bool keyed = source.TransparentColor != -1;
  for (const auto& part : parts) {
    if (part.bottom <= part.top) continue;
    const TRect dest{p.X, part.top, p.Right, part.bottom};
    const TRect src = cell(part.cell);
    if (TDIBX* mask = strip->Mask.get()) {
      if (Alpha < 255) d.DrawTileAlphaMask(dest, 0, 0, source, src, *mask, Alpha, 0, part.shift);
      else if (Alpha == 255) d.DrawTileMask(dest, 0, 0, source, src, *mask, 0, part.shift);
      else d.DrawTileAddMask(dest, 0, 0, source, src, *mask, Alpha - 256, 0, part.shift);
    } else if (Alpha < 255) {
      d.DrawTileAlpha(dest, 0, 0, source, src, keyed, Alpha, 0, part.shift);
    } else if (Alpha == 255) {
      d.DrawTile(dest, 0, 0, source, src, keyed, 0, part.shift);
    } else {
      d.DrawTileAdd(dest, 0, 0, source, src, keyed, Alpha - 256, 0, part.shift);
    }
  }
}

void TOrbaCustomListBox::DrawRows(TCustomDIBX& d, const TRect& inner) const {
  const int32_t row_height = RowHeight();
  const int32_t text_x = Sum({inner.Left, LeftW(), MarginX, CheckCellW});
  const int32_t text_w = Sum({inner.Right, -int64_t{RightW()}, -int64_t{MarginX}, -int64_t{text_x},
                              ScrollShown() ? -int64_t{ScrollCellW} : 0});
  const int32_t hover_color = GetHoverColor();
  TBrixItemFrame* check = CheckImage != nullptr ? CheckImage->GetFrame(0) : nullptr;
  int64_t y = int64_t{inner.Top} + TopH() + MarginY;
  const int64_t last = std::min<int64_t>(int64_t{TopIndex} + RowCount, Count());
  for (int64_t i = TopIndex; i < last; ++i, y += int64_t{row_height} + LineSpace) {
    const auto row = static_cast<int32_t>(i);
    const bool hovered = row == HoverRow;
    if (hovered && hover_color != -1) {
      const int64_t half = std::min(LineSpace / 2, MarginY);
      const int64_t left = int64_t{inner.Left} + LeftW() + 1, top = y - half;
      const TRect r{SaturateInt32(left), SaturateInt32(top),
                    Sum({left, 2 * int64_t{MarginX}, text_w, CheckCellW, -2}),
                    Sum({top, row_height, 2 * half})};
      PaintAlphaRect(d, TPaint::Fill, r, 0, hover_color, Alpha);
    }
    TKsLabelDIB* label = (hovered ? HoverLabels : Labels).GetItem(row);
    if (label == nullptr) continue;
    int64_t x = text_x;
    if (TextHAlign == HA_CENTER) x += (int64_t{text_w} - label->Width) / 2;
    else if (TextHAlign >= HA_RIGHT) x += int64_t{text_w} - label->Width;
    label->Draw(SaturateInt32(x), SaturateInt32(y));
    if (GetItemCheck(row) && check != nullptr && CheckCellW > 0) {
      const int32_t k = hovered ? 1 : 0;
      check->Draw(d, Sum({text_x, -int64_t{CheckCellW}}), SaturateInt32(y + (int64_t{row_height} - CheckCellH) / 2),
                  TRect{k * CheckCellW, 0, (k + 1) * CheckCellW, CheckCellH}, false, false, Alpha);
    }
  }
}

// ---- the tick and input ---------------------------------------------------------------

void TOrbaCustomListBox::StepPieces() {
  if (GetAniPaused()) return;
  TOrbaBase* root = GetScreen();
  const TRect inner{Sum({GetScreenLeft(), BorderWidth}), Sum({GetScreenTop(), BorderWidth}),
                    Sum({GetBoundsRect().Right, -int64_t{BorderWidth}}), Sum({GetBoundsRect().Bottom, -int64_t{BorderWidth}})};
  for (int32_t i = 0; i < 9; ++i)
    if (BorderImages[static_cast<size_t>(i)].Step() && root != nullptr) root->InvalidateRect(PieceRect(i, inner));
}

bool TOrbaCustomListBox::Idle() {
  if (NeedLayout) Layout();
  StepPieces();
  return false;
}

void TOrbaCustomListBox::DoLButtonDown() {
  if (Paused) {
    TOrbaControl::DoLButtonDown();
    return;
  }
  if (TOrbaBase* root = GetScreen()) {
    root->Capture |= TOrbaBase::kLeftCaptured;
    root->LeftPressed = false;
  }
  if (ThumbTest()) {
    ThumbGrab = SaturateInt32(int64_t{MousePos().Y} - ThumbTop() - ScrollCellH / 2);
    MouseMode = 0;
    return;
  }
  const int32_t arrow = ArrowTest(), track = arrow == 0 ? TrackTest() : 0;
  if (arrow == 0 && track == 0) {
    MouseMode = 5;
    return;
  }
  MouseMode = arrow != 0 ? (arrow < 0 ? 1 : 2) : (track < 0 ? 3 : 4);
  RepeatClock = GameClock;
  RepeatLeft = 0;
  DoMouseCapture();
  RepeatLeft = kRepeatDelay;
}

void TOrbaCustomListBox::DoMouseCapture() {
  if (MouseMode < 1 || MouseMode > 4) return;
  const bool arrows = MouseMode <= 2;
  const int32_t wanted = MouseMode % 2 == 1 ? -1 : 1;
  const bool pressed = (arrows ? ArrowTest() : TrackTest()) == wanted;
  bool& shown = arrows ? ArrowPressed : TrackPressed;
  if (pressed != shown) Invalidate();
  shown = pressed;
  RepeatLeft = SaturateInt32(int64_t{RepeatLeft} - static_cast<int64_t>(GameClock - RepeatClock));
  RepeatClock = GameClock;
  if (RepeatLeft >= 1) return;
  RepeatLeft += kRepeatInterval;
  if (!pressed) return;
  const int64_t span = int64_t{Count()} - RowCount;
  switch (MouseMode) {
    case 1: if (TopIndex >= 1) SetTopIndex(TopIndex - 1); break;
    case 2: if (Count() > int64_t{TopIndex} + RowCount) SetTopIndex(TopIndex + 1); break;
    case 3: SetTopIndex(SaturateInt32(std::max<int64_t>(int64_t{TopIndex} - RowCount, 0))); break;
    default: SetTopIndex(SaturateInt32(std::min<int64_t>(int64_t{TopIndex} + RowCount, span))); break;
  }
  Invalidate();
}

void TOrbaCustomListBox::DoMouseMove() {
  if (MouseMode == 0) {
    SetTopIndex(ThumbDragValue(MousePos().Y));
    return;
  }
  if (MouseMode != -1 && MouseMode != 5) return;
  if (!Paused) {
    // RowAt may answer the row past the last line: that is no row.
    const int32_t row = RowAt(MousePos());
    SetHoverRow(row < Count() ? row : -1);
  }
  TOrbaControl::DoMouseMove();
}

void TOrbaCustomListBox::DoMouseOut() {
  if (!Paused && IgnoreMouse != IM_ALL) SetHoverRow(-1);
  TOrbaControl::DoMouseOut();
}

void TOrbaCustomListBox::DoLButtonUp() {
  if (!GetEventsHeld() && MouseMode == 5 && HoverRow >= 0) DoSelect();
  MouseMode = -1;
  ArrowPressed = TrackPressed = false;
  Invalidate();
}

void TOrbaCustomListBox::DoKeyRepeat() {
  const int32_t count = Count();
  // Without lines the keys change nothing.
  if (Manager != nullptr && count > 0) {
    const int32_t h = HoverRow;
    int64_t row = h;
    if (Manager->GetKeyRepeat(kKeyUp)) row = h >= 0 ? (h >= 1 ? h - 1 : h) : count - 1;
    else if (Manager->GetKeyRepeat(kKeyDown)) row = h >= 0 ? (h < count - 1 ? h + 1 : h) : 0;
    else if (Manager->GetKeyRepeat(kKeyPageUp)) row = h >= 0 ? (h > 0 ? std::max<int64_t>(0, int64_t{h} - RowCount) : h) : count - 1;
    else if (Manager->GetKeyRepeat(kKeyPageDown))
      row = h >= 0 ? (h < count - 1 ? std::min<int64_t>(count - 1, int64_t{h} + RowCount) : h) : 0;
    if (row != h) {
      const auto n = static_cast<int32_t>(row);
      SetHoverRow(n);
      if (n >= TopIndex && n >= int64_t{TopIndex} + RowCount) SetTopIndex(SaturateInt32(int64_t{n} - RowCount + 1));
      if (n < TopIndex) SetTopIndex(n);
    }
  }
  TOrbaControl::DoKeyRepeat();
}

void TOrbaCustomListBox::FreeSurface() {
  for (TOrbaImageList& piece : BorderImages) piece.FreeSurfaces();
  TOrbaControl::FreeSurface();
}

void TOrbaCustomListBox::RestoreSurface() {
  for (TOrbaImageList& piece : BorderImages) piece.RestoreSurfaces();
  Labels.Invalidate();
  HoverLabels.Invalidate();
  TOrbaControl::RestoreSurface();
}

// ---- saved state --------------------------------------------------------------------------

void TOrbaCustomListBox::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  Labels.SaveToStream(stream);
  HoverLabels.SaveToStream(stream);
  WriteStreamString(stream, Text);
  for (int32_t v : {LineSpace, Alpha, MarginX, MarginY, BorderWidth, BorderColor, RowCount}) WriteStreamInt(stream, v);
  for (size_t i = 0; i < 9; ++i) {
    WriteStreamString(stream, BorderSource[i]);
    WriteStreamByte(stream, PieceHAlign[i]);
    WriteStreamByte(stream, PieceVAlign[i]);
  }
  WriteStreamString(stream, ScrollSource);
  WriteStreamString(stream, CheckSource);
  WriteStreamInt(stream, TopIndex);
  WriteStreamByte(stream, TextHAlign);
  for (uint8_t c : Checked) WriteStreamByte(stream, c);
  WriteStreamString(stream, OnSelect);
  WriteStreamBool(stream, Paused);
  WriteStreamInt(stream, Index);
  WriteStreamInt(stream, MenuPhase);
  WriteStreamString(stream, OnIdle);
  WriteStreamString(stream, OnMapIn);
  WriteStreamString(stream, OnMapOut);
}

void TOrbaCustomListBox::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  Labels.LoadFromStream(stream, version);
  HoverLabels.LoadFromStream(stream, version);
  SetText(ReadStreamString(stream));
  for (int32_t* v : {&LineSpace, &Alpha, &MarginX, &MarginY, &BorderWidth, &BorderColor, &RowCount})
    *v = ReadStreamInt(stream);
  Labels.Alpha = HoverLabels.Alpha = Alpha;
  for (int32_t i = 0; i < 9; ++i) {
    SetBorderSource(i, ReadStreamString(stream));
    PieceHAlign[static_cast<size_t>(i)] = ReadByteVal(stream);
    PieceVAlign[static_cast<size_t>(i)] = ReadByteVal(stream);
  }
  SetScrollSource(ReadStreamString(stream));
  SetCheckSource(ReadStreamString(stream));
  const int32_t top = ReadStreamInt(stream);
  TextHAlign = ReadByteVal(stream);
  CheckStoredCount(stream, static_cast<int64_t>(Checked.size()), 1);
  for (uint8_t& c : Checked) c = ReadByteVal(stream);
  OnSelect = ReadStreamString(stream);
  Paused = ReadStreamBool(stream);
  Index = ReadStreamInt(stream);
  MenuPhase = ReadStreamInt(stream);
  if (version >= kSceneListIdleVersion) OnIdle = ReadStreamString(stream);
  if (version >= kSceneListMapVersion) {
    OnMapIn = ReadStreamString(stream);
    OnMapOut = ReadStreamString(stream);
  }
  Layout();
  SetTopIndex(top);
}

}  // namespace orba

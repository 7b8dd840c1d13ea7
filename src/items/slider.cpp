#include "items/slider.h"

#include <algorithm>
#include <exception>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "items/base_list.h"
#include "items/orba_base.h"

namespace orba {

// ---- geometry --------------------------------------------------------------------

void TOrbaSlider::ComputePartSizes() {
  BarW = BarImage.Width() / 2;
  BarH = BarImage.Height();
  if (BarSize > 0) (Upright() ? BarH : BarW) = BarSize;
  ThumbW = ThumbImage.Width() / 3;
  ThumbH = ThumbImage.Height();
  ButtonW = ButtonImage.Width() / 6;
  ButtonH = ButtonImage.Height();
}

void TOrbaSlider::UpdateLayout() {
  if (BarW >= 1 && BarH >= 1) {
    if (Upright()) {
      SetWidth(std::max({BarW, ThumbW, ButtonW}));
      SetHeight(SumInt32({BarH, ThumbH, 2 * int64_t{ButtonH}}));
    } else {
      SetWidth(SumInt32({BarW, ThumbW, 2 * int64_t{ButtonW}}));
      SetHeight(std::max({BarH, ThumbH, ButtonH}));
    }
  } else {
    SetWidth(0);
    SetHeight(0);
  }
  UpdateThumbPos();
}

int64_t TOrbaSlider::TravelLength() const { return Upright() ? BarH : BarW; }

void TOrbaSlider::UpdateThumbPos() {
  // The thumb shows the value the control reports, so a stored value
  // outside the range never puts it beyond the bar.
  const int64_t range = Range();
  const int32_t pos = range > 0 ? RoundToInt32(static_cast<long double>(int64_t{ClampedValue()} - Min) / range *
                                               static_cast<long double>(TravelLength()))
                                : 0;
  if (pos == ThumbPos) return;
  ThumbPos = pos;
  Invalidate();
}

TRect TOrbaSlider::BarRect() const {
  const int64_t left = GetScreenLeft(), top = GetScreenTop();
  const int64_t x = Upright() ? left + (int64_t{Width} - BarW) / 2 : left + ButtonW + ThumbW / 2;
  const int64_t y = Upright() ? top + ButtonH + ThumbH / 2 : top + (int64_t{Height} - BarH) / 2;
  return TRect{SumInt32({x}), SumInt32({y}), SumInt32({x, BarW}), SumInt32({y, BarH})};
}

TRect TOrbaSlider::ThumbRect() const {
  const int64_t left = GetScreenLeft(), top = GetScreenTop();
  const int64_t x = Upright() ? left + (int64_t{Width} - ThumbW) / 2 : left + ButtonW + ThumbPos;
  const int64_t y = Upright() ? top + ButtonH + BarH - ThumbPos : top + (int64_t{Height} - ThumbH) / 2;
  return TRect{SumInt32({x}), SumInt32({y}), SumInt32({x, ThumbW}), SumInt32({y, ThumbH})};
}

TRect TOrbaSlider::ButtonRect(bool second) const {
  const int64_t left = GetScreenLeft(), top = GetScreenTop();
  int64_t x, y;
  if (Upright()) {
    x = left + (int64_t{Width} - ButtonW) / 2;
    y = second ? top + Height - ButtonH : top;
  } else {
    x = second ? left + Width - ButtonW : left;
    y = top + (int64_t{Height} - ButtonH) / 2;
  }
  return TRect{SumInt32({x}), SumInt32({y}), SumInt32({x, ButtonW}), SumInt32({y, ButtonH})};
}

int64_t TOrbaSlider::DragDistance(TPoint p) const {
  const TRect bar = BarRect();
  return Upright() ? int64_t{BarH} - 1 - (int64_t{p.Y} - bar.Top - DragGrab) : int64_t{p.X} - bar.Left - DragGrab;
}

int32_t TOrbaSlider::ValueAt(TPoint p) const {
  // A thumb that fills the scroll bar leaves it no travel to divide by: the
  // drag keeps the value.
  const int64_t length = TravelLength();
  if (length <= 0) return Value;
  const long double step = static_cast<long double>(Range()) / static_cast<long double>(length);
  const int64_t v = int64_t{Min} + RoundToInt32(step * static_cast<long double>(DragDistance(p)));
  return static_cast<int32_t>(ClampToRange(v, Min, Max));
}

// ---- properties ----------------------------------------------------------------------

void TOrbaSlider::SetValueByUser(int64_t v) {
  if (v == ClampedValue()) return;
  SetValue(SumInt32({v}));
  if (OnNotify.empty()) return;
  TArrayString args;
  args.Add(std::to_string(ClampedValue()));
  QueueEvent(OnNotify, PR_ONNOTIFY, &args);
}

void TOrbaSlider::SetRangeField(int32_t& field, int32_t v) {
  if (v == field) return;
  field = v;
  UpdateThumbPos();
}

void TOrbaSlider::Repaint(int32_t& field, int32_t v) {
  if (v == field) return;
  field = v;
  Invalidate();
}

void TOrbaSlider::ChangePart(std::string& name, TPartPicture& picture, std::string v) {
  if (v == name) return;
  name = std::move(v);
  // A picture that cannot be decoded leaves the part without one, laid out
  // as such, and the error goes on to the caller.
  std::exception_ptr failure;
  try {
    picture.Change(name);
  } catch (...) {  // kept, rethrown after the update below
    failure = std::current_exception();
  }
  ComputePartSizes();
  UpdateLayout();
  if (failure) std::rethrow_exception(failure);
}

void TOrbaSlider::SetSource(std::string v) { ChangePart(Source, BarImage, std::move(v)); }
void TOrbaSlider::SetThumbSource(std::string v) { ChangePart(ThumbSource, ThumbImage, std::move(v)); }
void TOrbaSlider::SetButtonSource(std::string v) { ChangePart(ButtonSource, ButtonImage, std::move(v)); }

void TOrbaSlider::SetOrientation(uint8_t v) {
  Orientation = v;
  ComputePartSizes();
  UpdateLayout();
}

void TOrbaSlider::SetBarSize(int32_t v) {
  BarSize = v;
  ComputePartSizes();
  UpdateLayout();
}

// ---- painting ---------------------------------------------------------------------------

void TOrbaSlider::Draw() {
  TCustomDIBX* surface = GetSurface();
  if (surface == nullptr || Width == 0 || Height == 0 || !RectsOverlap(GetBoundsRect(), surface->GetClipRect()))
    return;
  DrawParts(*surface);
  TOrbaControl::Draw();
}

void TOrbaSlider::DrawBar(TCustomDIBX& dest) const {
  const TRect bar = BarRect();
  const int32_t cw = BarImage.Width() / 2, ch = BarImage.Height();
  const TRect empty{0, 0, cw, ch}, filled{cw, 0, 2 * cw, ch};
  const int32_t pos = static_cast<int32_t>(std::clamp<int64_t>(ThumbPos, 0, TravelLength()));
  if (ch < 1) return;
  if (Upright()) {
    const int32_t split = SumInt32({bar.Bottom, -int64_t{pos}});
    BarImage.DrawTiled(dest, TRect{bar.Left, split, bar.Right, bar.Bottom}, filled, 0, ch - pos % ch, false, false,
                       Alpha);
    BarImage.DrawTiled(dest, TRect{bar.Left, bar.Top, bar.Right, split}, empty, 0, ch - BarH % ch, false, false,
                       Alpha);
  } else {
    const int32_t split = SumInt32({bar.Left, pos});
    BarImage.DrawTiled(dest, TRect{bar.Left, bar.Top, split, bar.Bottom}, filled, 0, 0, false, false, Alpha);
    BarImage.DrawTiled(dest, TRect{split, bar.Top, bar.Right, bar.Bottom}, empty, pos, 0, false, false, Alpha);
  }
}

void TOrbaSlider::DrawParts(TCustomDIBX& dest) const {
  if (BarImage.Entry == nullptr) return;
  DrawBar(dest);
  if (ThumbW >= 1 && ThumbH >= 1 && Range() >= 1) {
    const TRect r = ThumbRect();
    ThumbImage.Draw(dest, r.Left, r.Top, TRect{ThumbState * ThumbW, 0, (ThumbState + 1) * ThumbW, ThumbH}, Alpha);
  }
  if (ButtonW >= 1 && ButtonH >= 1) {
    for (int32_t i = 0; i < 2; ++i) {
      const int32_t cell = ButtonState[static_cast<size_t>(i)] + 3 * i;
      const TRect r = ButtonRect(i == 1);
      ButtonImage.Draw(dest, r.Left, r.Top, TRect{cell * ButtonW, 0, (cell + 1) * ButtonW, ButtonH}, Alpha);
    }
  }
}

// ---- input ---------------------------------------------------------------------------------

TPoint TOrbaSlider::MousePos() const {
  const TOrbaBase* root = GetScreen();
  return root != nullptr ? TPoint{root->MouseX, root->MouseY} : TPoint{};
}

bool TOrbaSlider::OnBar(TPoint p) const {
  const TRect r = BarRect();
  const int32_t cw = BarImage.Width() / 2, ch = BarImage.Height();
  if (!PointInRect(p, r) || cw < 1 || ch < 1) return false;
  // The bar is tiled from its cells: the pointer's place within a cell.
  return BarImage.Holds(static_cast<int32_t>((int64_t{p.X} - r.Left) % cw), static_cast<int32_t>((int64_t{p.Y} - r.Top) % ch));
}

bool TOrbaSlider::OnThumb(TPoint p) const {
  const TRect r = ThumbRect();
  if (!PointInRect(p, r)) return false;
  return !CaptureMask || ThumbImage.Holds(static_cast<int32_t>(int64_t{p.X} - r.Left), static_cast<int32_t>(int64_t{p.Y} - r.Top));
}

bool TOrbaSlider::OnButton(TPoint p, int32_t i) const {
  const TRect r = ButtonRect(i == 1);
  if (!PointInRect(p, r)) return false;
  return ButtonImage.Holds(SumInt32({p.X, -int64_t{r.Left}, 3 * int64_t{i} * ButtonW}), SumInt32({p.Y, -int64_t{r.Top}}));
}

void TOrbaSlider::HoverParts(TPoint p) {
  const bool ignored = IgnoreMouse == IM_ALL || Paused || Range() <= 0;
  Repaint(ThumbState, !ignored && OnThumb(p) ? 1 : 0);
  for (int32_t i = 0; i < 2; ++i) Repaint(ButtonState[static_cast<size_t>(i)], !ignored && OnButton(p, i) ? 1 : 0);
}

int32_t TOrbaSlider::ButtonDirection(int32_t i) const {
  const int32_t first = IsVertical() ? 1 : -1;
  return i == 0 ? first : -first;
}

void TOrbaSlider::TakeClick() {
  if (TOrbaBase* root = GetScreen()) {
    root->Capture |= TOrbaBase::kLeftCaptured;
    root->LeftPressed = false;
  }
}

int32_t TOrbaSlider::GrabOffset(TPoint p) const {
  const TRect r = ThumbRect();
  return Upright() ? SumInt32({p.Y, -int64_t{r.Top}, -int64_t{ThumbH / 2}})
                   : SumInt32({p.X, -int64_t{r.Left}, -int64_t{ThumbW / 2}});
}

void TOrbaSlider::PressBar() {
  if (!OnHold.empty()) QueueEvent(OnHold, PR_ONHOLD);
  Repaint(ThumbState, 2);
  MouseMode = kDrag;
  DragGrab = 0;
  SetValueByUser(ValueAt(MousePos()));
  TakeClick();
}

void TOrbaSlider::DoMouseMove() {
  if (MouseMode == kIdle) HoverParts(MousePos());
  else if (MouseMode == kDrag) SetValueByUser(ValueAt(MousePos()));
  TOrbaControl::DoMouseMove();
}

void TOrbaSlider::DoMouseOut() {
  if (MouseMode == kIdle) {
    Repaint(ThumbState, 0);
    for (int32_t& s : ButtonState) Repaint(s, 0);
  }
  TOrbaControl::DoMouseOut();
}

void TOrbaSlider::DoLButtonDown() {
  TOrbaControl::DoLButtonDown();
  if (Paused || MouseMode != kIdle || (IgnoreMouse != IM_NONE && IgnoreMouse != IM_RCLICK) || Range() < 1) return;
  const TPoint p = MousePos();
  if (ThumbState == 1) {
    if (!OnHold.empty()) QueueEvent(OnHold, PR_ONHOLD);
    TakeClick();
    DragGrab = GrabOffset(p);
    Repaint(ThumbState, 2);
    MouseMode = kDrag;
    return;
  }
  for (int32_t i = 0; i < 2; ++i) {
    if (ButtonState[static_cast<size_t>(i)] != 1) continue;
    SetValueByUser(ClampToRange(int64_t{ClampedValue()} + int64_t{ButtonDirection(i)} * SmallChange, Min, Max));
    TakeClick();
    Repaint(ButtonState[static_cast<size_t>(i)], 2);
    RepeatLeft = kRepeatDelay;
    MouseMode = i == 0 ? kFirstHeld : kSecondHeld;
    return;
  }
  if (OnBar(p)) PressBar();
}

void TOrbaSlider::DoMouseCapture() {
  if (MouseMode < kFirstHeld || MouseMode > kPageUp) return;
  RepeatLeft = SumInt32({RepeatLeft, -int64_t{FrameTime}});
  const bool held_button = MouseMode <= kSecondHeld;
  const int32_t i = MouseMode - kFirstHeld;
  // The held button shows whether the pointer is still on it.
  if (held_button) Repaint(ButtonState[static_cast<size_t>(i)], OnButton(MousePos(), i) ? 2 : 0);
  if (RepeatLeft >= 1) return;
  RepeatLeft = SumInt32({RepeatLeft, kRepeatInterval});
  if (!held_button) {
    PageStep();
  } else if (ButtonState[static_cast<size_t>(i)] == 2) {
    SetValueByUser(ClampToRange(int64_t{ClampedValue()} + int64_t{ButtonDirection(i)} * SmallChange, Min, Max));
  }
}

void TOrbaSlider::DoLButtonUp() {
  TOrbaControl::DoLButtonUp();
  if (MouseMode < kDrag || MouseMode > kPageUp) return;
  if (MouseMode == kDrag && !OnRelease.empty()) QueueEvent(OnRelease, PR_ONRELEASE);
  MouseMode = kIdle;
  HoverParts(MousePos());
  if (TrackPressed) Invalidate();
  TrackPressed = false;
}

void TOrbaSlider::DoKeyRepeat() {
  if (Manager != nullptr) {
    if (Manager->GetKeyRepeat(IncreaseKey()) && Value < Max)
      SetValueByUser(std::min<int64_t>(Max, int64_t{Value} + SmallChange));
    else if (Manager->GetKeyRepeat(DecreaseKey()) && Value > Min)
      SetValueByUser(std::max<int64_t>(Min, int64_t{Value} - SmallChange));
  }
  TOrbaControl::DoKeyRepeat();
}

// ---- saved state --------------------------------------------------------------------------

void TOrbaSlider::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  for (const std::string* s : {&Source, &ThumbSource, &ButtonSource}) WriteStreamString(stream, *s);
  for (int32_t v : {Min, Max, Value, SmallChange, Alpha}) WriteStreamInt(stream, v);
  WriteStreamBool(stream, Paused);
  WriteStreamByte(stream, Orientation);
  for (const std::string* s : {&OnNotify, &OnHold, &OnRelease, &OnIdle}) WriteStreamString(stream, *s);
  WriteStreamBool(stream, CaptureMask);
  WriteStreamInt(stream, BarSize);
}

void TOrbaSlider::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  SetSource(ReadStreamString(stream));
  SetThumbSource(ReadStreamString(stream));
  SetButtonSource(ReadStreamString(stream));
  for (int32_t* v : {&Min, &Max, &Value, &SmallChange, &Alpha}) *v = ReadStreamInt(stream);
  Paused = ReadStreamBool(stream);
  Orientation = ReadByteVal(stream);
  for (std::string* s : {&OnNotify, &OnHold, &OnRelease, &OnIdle}) *s = ReadStreamString(stream);
  if (version >= kSceneFocusVersion) CaptureMask = ReadStreamBool(stream);
  if (version >= kSceneBarSizeVersion) BarSize = ReadStreamInt(stream);
  // The bar's length follows the orientation and the override just read.
  ComputePartSizes();
  UpdateLayout();
}

// ---- the scroll bar ----------------------------------------------------------------------

void TOrbaScrollbar::UpdateLayout() {
  TOrbaSlider::UpdateLayout();
  if (BarW < 1 || BarH < 1) return;
  if (Upright()) SetHeight(SumInt32({BarH, 2 * int64_t{ButtonH}}));
  else SetWidth(SumInt32({BarW, 2 * int64_t{ButtonW}}));
}

int64_t TOrbaScrollbar::TravelLength() const {
  // A thumb longer than the bar stays at its start.
  return std::max<int64_t>(Upright() ? int64_t{BarH} - ThumbH : int64_t{BarW} - ThumbW, 0);
}

TRect TOrbaScrollbar::BarRect() const {
  TRect r = TOrbaSlider::BarRect();
  if (Upright()) {
    r.Top = SumInt32({GetScreenTop(), ButtonH});
    r.Bottom = SumInt32({r.Top, BarH});
  } else {
    r.Left = SumInt32({GetScreenLeft(), ButtonW});
    r.Right = SumInt32({r.Left, BarW});
  }
  return r;
}

TRect TOrbaScrollbar::ThumbRect() const {
  TRect r = TOrbaSlider::ThumbRect();
  if (Upright()) {
    r.Top = SumInt32({GetScreenTop(), ButtonH, ThumbPos});
    r.Bottom = SumInt32({r.Top, ThumbH});
  }
  return r;
}

int64_t TOrbaScrollbar::DragDistance(TPoint p) const {
  const TRect bar = BarRect();
  return Upright() ? int64_t{p.Y} - bar.Top - DragGrab : int64_t{p.X} - bar.Left - DragGrab;
}

int32_t TOrbaScrollbar::GrabOffset(TPoint p) const {
  const TRect r = ThumbRect();
  return Upright() ? SumInt32({p.Y, -int64_t{r.Top}}) : SumInt32({p.X, -int64_t{r.Left}});
}

void TOrbaScrollbar::PressBar() {
  if (!TrackPressed) Invalidate();
  TrackPressed = true;
  RepeatLeft = kRepeatDelay;
  const TPoint p = MousePos();
  const TRect thumb = ThumbRect();
  MouseMode = (Upright() ? p.Y > thumb.Top : p.X > thumb.Left) ? kPageUp : kPageDown;
  const int64_t step = MouseMode == kPageUp ? LargeChange : -int64_t{LargeChange};
  SetValueByUser(ClampToRange(int64_t{ClampedValue()} + step, Min, Max));
  TakeClick();
}

void TOrbaScrollbar::PageStep() {
  const TPoint p = MousePos();
  bool pressed = false;
  if (OnBar(p)) {
    const TRect thumb = ThumbRect();
    const bool reached = MouseMode == kPageDown ? (Upright() ? thumb.Top <= p.Y : thumb.Left <= p.X)
                                                : (Upright() ? thumb.Bottom > p.Y : thumb.Right > p.X);
    if (!reached) {
      const int64_t step = MouseMode == kPageUp ? LargeChange : -int64_t{LargeChange};
      SetValueByUser(ClampToRange(int64_t{ClampedValue()} + step, Min, Max));
      pressed = true;
    }
  }
  if (pressed != TrackPressed) Invalidate();
  TrackPressed = pressed;
}

void TOrbaScrollbar::DrawBar(TCustomDIBX& dest) const {
  const TRect bar = BarRect();
  const int32_t cw = BarImage.Width() / 2, ch = BarImage.Height();
  const TRect normal{0, 0, cw, ch}, pressed{cw, 0, 2 * cw, ch};
  if (!TrackPressed || (MouseMode != kPageDown && MouseMode != kPageUp)) {
    BarImage.DrawTiled(dest, bar, normal, 0, 0, false, false, Alpha);
    return;
  }
  // Split at the thumb's centre; the side being paged toward is pressed.
  const bool toward_min = MouseMode == kPageDown;
  if (Upright()) {
    const int32_t split = std::clamp(SumInt32({bar.Top, ThumbPos, ThumbH / 2}), bar.Top, bar.Bottom);
    BarImage.DrawTiled(dest, TRect{bar.Left, bar.Top, bar.Right, split}, toward_min ? pressed : normal, 0, 0, false,
                       false, Alpha);
    BarImage.DrawTiled(dest, TRect{bar.Left, split, bar.Right, bar.Bottom}, toward_min ? normal : pressed, 0,
                       split - bar.Top, false, false, Alpha);
  } else {
    const int32_t split = std::clamp(SumInt32({bar.Left, ThumbPos, ThumbW / 2}), bar.Left, bar.Right);
    BarImage.DrawTiled(dest, TRect{bar.Left, bar.Top, split, bar.Bottom}, toward_min ? pressed : normal, 0, 0, false,
                       false, Alpha);
    BarImage.DrawTiled(dest, TRect{split, bar.Top, bar.Right, bar.Bottom}, toward_min ? normal : pressed,
                       split - bar.Left, 0, false, false, Alpha);
  }
}

void TOrbaScrollbar::SaveToStream(TKsBigStream& stream) const {
  TOrbaSlider::SaveToStream(stream);
  WriteStreamInt(stream, LargeChange);
}

void TOrbaScrollbar::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaSlider::LoadFromStream(stream, version);
  LargeChange = ReadStreamInt(stream);
}

}  // namespace orba

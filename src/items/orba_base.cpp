#include "items/orba_base.h"

#include "graphics/dx_dibx.h"
#include "items/base_list.h"
#include "items/object_cursor.h"

namespace orba {

TOrbaBase::TOrbaBase(TOrbaBaseList* manager, int32_t index)
    : TOrbaControl(manager), Screen(NewDrawingSurface()), Index(index) {
  AssignName(index == 0 ? kBaseName0 : kBaseName1);
}

TCustomDIBX* TOrbaBase::GetDIB() const {
  if (Manager != nullptr && Manager->GetBase(Manager->Active) == this && Manager->TransitionKind == 0)
    return Manager->GetDIB();
  return Screen.get();
}

void TOrbaBase::ResizeScreen() {
  if (Width <= 0 || Height <= 0) return;
  Screen->SetSize(Width, Height, kScreenBits);
  Work.SetSize(Width, Height, kScreenBits);
  Work.TransparentColor = Work.ColorToPixel(kWorkTransparentColor);
}

void TOrbaBase::SetWidth(int32_t v) {
  TOrbaControl::SetWidth(v);
  ResizeScreen();
}

void TOrbaBase::SetHeight(int32_t v) {
  TOrbaControl::SetHeight(v);
  ResizeScreen();
}

void TOrbaBase::InvalidateRect(TRect rect) {
  IntersectRects(rect, TRect{0, 0, Width, Height}, rect);
  if (!RectIsEmpty(rect)) Dirty.AddRect(rect);
}

void TOrbaBase::Draw() {
  TCustomDIBX* dib = GetDIB();
  if (!GetVisible() || dib == nullptr || dib->IsEmpty()) return;
  for (int32_t i = 0; i < Dirty.Count(); ++i) {
    const TRect r = Dirty.Get(i);
    dib->ResetClipRect();
    dib->IncludeClipRect(r);
    // The children's paint (on this surface, under this clip) asks for the
    // first painted child of the same area again: it takes this answer.
    size_t first = kFirstChildUnknown;
    if (GetColor() >= 0) {
      TRect fill{0, 0, Width, Height};
      if (ClipActive()) IntersectRects(fill, ClipWindow(), fill);
      // No fill where a child paints over all of it.
      const TRect clip = dib->GetClipRect();
      TRect shown, painted;
      IntersectRects(fill, clip, shown);
      IntersectRects(GetBoundsRect(), clip, painted);
      bool covered = false;
      first = FirstPaintedChild(painted, dib, &covered);
      TRect overlap;
      IntersectRects(shown, painted, overlap);
      if (!covered || overlap != shown) dib->FillRect(fill, static_cast<uint32_t>(dib->ColorToPixel(GetColor())));
    }
    DrawFrom(first);
  }
  dib->ResetClipRect();
}

void TOrbaBase::SetMousePos(int32_t x, int32_t y) {
  if (x != MouseX || y != MouseY) Moved = true;
  MouseX = x;
  MouseY = y;
}

void TOrbaBase::TrackMouse() {
  TOrbaBaseList& m = *Manager;
  LeftPressed = LeftPress;
  LeftPress = false;
  RightPressed = RightPress;
  RightPress = false;
  WheelDownNow = WheelDown;
  WheelDown = false;
  WheelUpNow = WheelUp;
  WheelUp = false;

  if (RightPressed) {
    // Right-click removal of a preview menu.
    const std::vector<TObjectHandle> menus = m.PrevMenus;
    for (TObjectHandle h : menus) {
      TOrbaObject* o = m.Lookup(h);
      if (o == nullptr || !o->GetRClickScrap() || !o->GetVisible() || o->GetScreen() != this ||
          o->GetPaused() || o->InCabinet())
        continue;
      const uint8_t im = o->GetIgnoreMouse();
      if (im != IM_NONE && im != IM_LCLICK) continue;
      if (o->HandleRClickScrap()) {
        RightPressed = false;
        break;
      }
    }
  }

  TOrbaObject* hover = m.Lookup(Hover);
  if (Capture != 0 && hover != nullptr) {
    if ((Capture & kLeftCaptured) != 0 && !LeftHeld) {
      hover->DoLButtonUp();
      Capture &= static_cast<uint8_t>(~kLeftCaptured);
    } else if ((Capture & kRightCaptured) != 0 && !RightHeld) {
      hover->DoRButtonUp();
      Capture &= static_cast<uint8_t>(~kRightCaptured);
    }
    hover = m.Lookup(Hover);
    if (hover != nullptr && Moved) hover->DoMouseMove();
    hover = m.Lookup(Hover);
    if (hover != nullptr) hover->DoMouseCapture();
    Moved = false;
    return;
  }

  const uint32_t mask = LeftPressed ? 17u : (RightPressed ? 9u : 29u);
  TOrbaObject* target = HitTest(TPoint{MouseX, MouseY}, mask);
  Capture = 0;
  TObjectHandle target_handle = target != nullptr ? target->Handle() : TObjectHandle{};
  // A press is taken where it happens: a move that came in the same tick
  // reaches the objects first, so that what they show under the pointer
  // (a scroll bar's hovered button, a map's region) is the pressed place,
  // not the one the pointer left.
  if (Moved && (LeftPressed || RightPressed)) {
    HoverTo(target_handle);
    target = m.Lookup(target_handle);
    if (target == nullptr) target_handle = TObjectHandle{};
  }
  if (target != nullptr) {
    ShowObjectCursor(m, *target);
    if (LeftPressed) {
      target->DoLButtonDown();
      target = m.Lookup(target_handle);
      if (target != nullptr && !target->GetPaused() && target->GetHandleKey()) m.SetFocusObject(target);
    } else if (RightPressed) {
      target->DoRButtonDown();
    } else if (WheelDownNow) {
      const std::string label = target->GetOnWheelDown();
      if (!label.empty() && !m.Events.HasQueuedEvent(target_handle, PR_ONWHEELDOWN) &&
          !target->GetEventsHeld())
        m.Events.QueueEvent(target_handle, label, nullptr, PR_ONWHEELDOWN);
    } else if (WheelUpNow) {
      const std::string label = target->GetOnWheelUp();
      if (!label.empty() && !m.Events.HasQueuedEvent(target_handle, PR_ONWHEELUP) &&
          !target->GetEventsHeld())
        m.Events.QueueEvent(target_handle, label, nullptr, PR_ONWHEELUP);
    }
    target = m.Lookup(target_handle);
    if (target == nullptr) target_handle = TObjectHandle{};
  }
  HoverTo(target_handle);
}

void TOrbaBase::HoverTo(TObjectHandle target_handle) {
  TOrbaBaseList& m = *Manager;
  TOrbaObject* target = m.Lookup(target_handle);
  TOrbaObject* hover = m.Lookup(Hover);
  if (hover != nullptr && hover != target) hover->DoMouseOut();
  if (target != nullptr && !(!Moved && target_handle == Hover)) {
    if (target_handle != Hover) {
      target->DoMouseIn();
      target = m.Lookup(target_handle);
    }
    if (target != nullptr) target->DoMouseMove();
  }
  Hover = m.Lookup(target_handle) != nullptr ? target_handle : TObjectHandle{};
  Moved = false;
}

}  // namespace orba

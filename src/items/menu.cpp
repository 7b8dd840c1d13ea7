#include "items/menu.h"

#include <algorithm>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "items/base_list.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

namespace orba {

TOrbaMenu::TOrbaMenu(TOrbaBaseList* manager) : TOrbaCustomListBox(manager) {}

void TOrbaMenu::Create() {
  TOrbaCustomListBox::Create();
  // A right click anywhere on the menu's screen may cancel it.
  if (Manager != nullptr) Manager->PrevMenus.push_back(Handle());
}

TOrbaMenu::~TOrbaMenu() {
  if (Manager != nullptr) std::erase(Manager->PrevMenus, Handle());
}

void TOrbaMenu::SetFontHoverStyle(TFontStyle v) {
  const auto style = static_cast<uint8_t>(FontStyleToInt(v));
  if (style == HoverLabels.Style) return;
  HoverLabels.Style = style;
  Invalidate();
  NeedLayout = true;
}

void TOrbaMenu::SetFontHoverColor(int32_t v) {
  if (v == HoverLabels.TextColor) return;
  HoverLabels.TextColor = v;
  HoverLabels.Invalidate();
  Invalidate();
}

void TOrbaMenu::SetHoverColor(int32_t v) {
  if (v == HoverColor) return;
  HoverColor = v;
  Invalidate();
}

void TOrbaMenu::QueueIfSet(const std::string& label, uint8_t code) {
  if (!label.empty()) QueueEvent(label, code);
}

void TOrbaMenu::TakeFocus() {
  if (Manager != nullptr && GetVisible() && !Paused && HandleKey) Manager->SetFocusObject(this);
}

void TOrbaMenu::DropFocus() {
  if (Manager == nullptr || Manager->GetFocusObject() != this) return;
  Manager->SetFocusObject(nullptr);
  TellPickFocus();
}

void TOrbaMenu::SetState(uint8_t state) {
  const uint8_t request = state == 1 ? 0 : (state == 3 ? 2 : state);
  if (request == State) return;
  State = state;
  switch (state) {
    case 0:
      Layout();
      // The height a later animated close shrinks from.
      FullHeight = Height;
      MenuPhase = kShown;
      TakeFocus();
      QueueIfSet(OnOpening, PR_ONOPENING);
      QueueIfSet(OnOpened, PR_ONOPENED);
      break;
    case 1:
      MenuPhase = kOpen;
      TakeFocus();
      break;
    case 2:
      SetHeight(0);
      MenuPhase = kShown;
      DropFocus();
      QueueIfSet(OnClosing, PR_ONCLOSING);
      QueueIfSet(OnClosed, PR_ONCLOSED);
      break;
    case 3:
      MenuPhase = kClose;
      DropFocus();
      break;
    default:
      break;
  }
}

void TOrbaMenu::Cancel() {
  if (Manager != nullptr && Manager->Services.Funcs != nullptr) {
    TParamCollection& store = Manager->Services.Funcs->Store();
    store.SelStr.clear();
    store.SelIndex = -1;
  }
  SetState(3);
}

bool TOrbaMenu::Idle() {
  StepPieces();
  // Heights of the animation are taken in 64 bits: Delay and the laid-out
  // height come from scripts.
  const auto part = [&](int64_t elapsed) {
    return SaturateInt32(int64_t{FullHeight} * elapsed / Delay);
  };
  const int64_t elapsed = static_cast<uint32_t>(GameClock - PhaseStart);
  switch (MenuPhase) {
    case kShown:
      if (NeedLayout) Layout();
      break;
    case kCancel:
      if (NeedLayout) Layout();
      Cancel();
      break;
    case kOpen:
      Layout();
      QueueIfSet(OnOpening, PR_ONOPENING);
      FullHeight = Height;
      SetHeight(0);
      MenuPhase = kOpenStart;
      break;
    case kOpenStart:
      PhaseStart = GameClock;
      MenuPhase = kOpening;
      break;
    case kOpening:
      if (Delay > elapsed) {
        SetHeight(part(elapsed));
      } else {
        SetHeight(FullHeight);
        MenuPhase = kShown;
        QueueIfSet(OnOpened, PR_ONOPENED);
      }
      break;
    case kClose:
      Closing = true;
      PhaseStart = GameClock;
      MenuPhase = kClosing;
      QueueIfSet(OnClosing, PR_ONCLOSING);
      break;
    case kClosing:
      Closing = true;
      if (Delay > elapsed) {
        SetHeight(SaturateInt32(int64_t{FullHeight} - part(elapsed)));
      } else {
        QueueIfSet(OnClosed, PR_ONCLOSED);
        MenuPhase = kAwaitEvents;
      }
      break;
    case kChosen:
      Closing = true;
      QueueIfSet(OnClosing, PR_ONCLOSING);
      QueueIfSet(OnClosed, PR_ONCLOSED);
      MenuPhase = kChosenClosed;
      break;
    case kChosenClosed:
      MenuPhase = kAwaitEvents;
      break;
    case kAwaitEvents:
      return !EventQueued(PR_ONCLOSING) && !EventQueued(PR_ONCLOSED);
    default:
      break;
  }
  return false;
}

void TOrbaMenu::DoSelect() {
  if (HoverRow < 0 || HoverRow >= Count()) return;
  TOrbaCustomListBox::DoSelect();
  if (!AutoScrap) return;
  Closing = true;
  MenuPhase = kChosen;
}

void TOrbaMenu::DoRButtonDown() {
  if (Paused || !RClickScrap) {
    TOrbaCustomListBox::DoRButtonDown();
    return;
  }
  Cancel();
  if (TOrbaBase* root = GetScreen()) root->RightPressed = false;
}

bool TOrbaMenu::HandleRClickScrap() {
  if (Closing || (IgnoreMouse != IM_NONE && IgnoreMouse != IM_LCLICK)) return false;
  Closing = true;
  MenuPhase = kCancel;
  return true;
}

void TOrbaMenu::DoKeyRepeat() {
  if (State == 2 || State == 3 || Manager == nullptr) return;
  if ((Manager->GetKeyClick(13) || Manager->GetKeyClick(32)) && HoverRow >= 0 && !Closing)
    DoSelect();
  else if (RClickScrap && Manager->GetKeyClick(27))
    MenuPhase = kCancel;
  TOrbaCustomListBox::DoKeyRepeat();
}

void TOrbaMenu::SaveToStream(TKsBigStream& stream) const {
  TOrbaCustomListBox::SaveToStream(stream);
  WriteStreamInt(stream, Delay);
  WriteStreamInt(stream, HoverColor);
  WriteStreamBool(stream, AutoScrap);
  WriteStreamBool(stream, RClickScrap);
  WriteStreamByte(stream, State);
  for (const std::string* s : {&OnOpening, &OnOpened, &OnClosing, &OnClosed}) WriteStreamString(stream, *s);
}

void TOrbaMenu::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaCustomListBox::LoadFromStream(stream, version);
  Delay = ReadStreamInt(stream);
  HoverColor = ReadStreamInt(stream);
  AutoScrap = ReadStreamBool(stream);
  RClickScrap = ReadStreamBool(stream);
  State = ReadByteVal(stream);
  for (std::string* s : {&OnOpening, &OnOpened, &OnClosing, &OnClosed}) *s = ReadStreamString(stream);
  Layout();
  FullHeight = Height;
  PhaseStart = GameClock;
  // A menu closed at once stays closed.
  if (State == 2 && MenuPhase == kShown) SetHeight(0);
}

}  // namespace orba

#include "items/edit.h"

#include <algorithm>
#include <climits>

#include "core/streams/stream_encoding.h"
#include "items/base_list.h"

namespace orba {

// ---- TOrbaEditBase ------------------------------------------------------------------------------

TOrbaEditBase::TOrbaEditBase(TOrbaBaseList* manager, bool multi_line)
    : TOrbaControl(manager), Native(TextControls().Create(multi_line)) {
  HandleKey = true;
  Native->OnKeyDown = [this](int32_t key) { NativeKeyDown(key); };
  Native->OnFocusGained = [this] { NativeFocusGained(); };
}

TOrbaEditBase::~TOrbaEditBase() {
  // The control goes first, so that it calls nothing of a half-destroyed item.
  Native.reset();
  if (Manager != nullptr && Manager->GetFocusObject() == this) {
    Manager->SetFocusObject(nullptr);
    TellPickFocus();
  }
}

void TOrbaEditBase::SetText(std::string v) { Native->SetText(v); }

void TOrbaEditBase::SetFontName(std::string v) {
  TTextControlFont font = Native->Font();
  font.Name = std::move(v);
  Native->SetFont(font);
}

int32_t TOrbaEditBase::GetFontHeight() const { return Native->Font().AbsHeight(); }

void TOrbaEditBase::SetFontHeight(int32_t v) {
  TTextControlFont font = Native->Font();
  font.Height = v;
  Native->SetFont(font);
}

void TOrbaEditBase::SetFontStyle(TFontStyle v) {
  TTextControlFont font = Native->Font();
  font.Style = static_cast<uint8_t>(FontStyleToInt(v));
  Native->SetFont(font);
}

void TOrbaEditBase::SetVisible(bool v) {
  TOrbaControl::SetVisible(v);
  Native->SetVisible(v);
}

#define ORBA_EDIT_MOVE(call) \
  call;                      \
  Synchronize();

void TOrbaEditBase::SetLeft(int32_t v) { ORBA_EDIT_MOVE(TOrbaControl::SetLeft(v)) }
void TOrbaEditBase::SetTop(int32_t v) { ORBA_EDIT_MOVE(TOrbaControl::SetTop(v)) }
void TOrbaEditBase::SetWidth(int32_t v) { ORBA_EDIT_MOVE(TOrbaControl::SetWidth(v)) }
void TOrbaEditBase::SetHeight(int32_t v) { ORBA_EDIT_MOVE(TOrbaControl::SetHeight(v)) }
void TOrbaEditBase::SetOffsetX(int32_t v) { ORBA_EDIT_MOVE(TOrbaControl::SetOffsetX(v)) }
void TOrbaEditBase::SetOffsetY(int32_t v) { ORBA_EDIT_MOVE(TOrbaControl::SetOffsetY(v)) }
void TOrbaEditBase::SetPlusX(int32_t v) { ORBA_EDIT_MOVE(TOrbaControl::SetPlusX(v)) }
void TOrbaEditBase::SetPlusY(int32_t v) { ORBA_EDIT_MOVE(TOrbaControl::SetPlusY(v)) }
void TOrbaEditBase::SetParent(TOrbaControl* parent) { ORBA_EDIT_MOVE(TOrbaControl::SetParent(parent)) }
void TOrbaEditBase::PositionChanged() { ORBA_EDIT_MOVE(TOrbaControl::PositionChanged()) }
#undef ORBA_EDIT_MOVE

void TOrbaEditBase::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TOrbaControl::SetBounds(left, top, width, height);
  Synchronize();
}

bool TOrbaEditBase::WantedVisible() const {
  if (!GetVisible() || GetParent() == nullptr || !GetParent()->GetVisible() || Manager == nullptr) return false;
  TOrbaBase* root = GetScreen();
  if (root == nullptr || root != Manager->ActiveBase()) return false;
  auto middle = [](int32_t start, int32_t size) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{start} + size / 2, INT32_MIN, INT32_MAX));
  };
  const TPoint centre{middle(GetScreenLeft(), Width), middle(GetScreenTop(), Height)};
  // Items that let every click through do not cover the control.
  return root->HitTest(centre, 29) == this;
}

void TOrbaEditBase::Synchronize() {
  Native->SetBounds(GetScreenLeft(), GetScreenTop(), Width, Height);
  Native->SetVisible(WantedVisible());
  if (Native->Visible() && Native->Focused()) FocusGained();
}

bool TOrbaEditBase::Idle() {
  const bool answer = TOrbaControl::Idle();
  // A move that reached the item without a call of its own (an animation, a
  // parent's new bounds) is caught up here as well.
  const bool moved = Native->Left() != GetScreenLeft() || Native->Top() != GetScreenTop() ||
                     Native->Width() != Width || Native->Height() != Height;
  if (moved || WantedVisible() != Native->Visible()) Synchronize();
  return answer;
}

void TOrbaEditBase::FocusGained() {
  if (Native->Visible() && Native->CanFocus()) Native->SetFocus();
}

void TOrbaEditBase::NativeKeyDown(int32_t key) {
  if (OnNotify.empty()) return;
  TArrayString args;
  args.Add(std::to_string(key));
  args.Add(Native->Text());
  QueueEvent(OnNotify, PR_ONNOTIFY, &args);
}

void TOrbaEditBase::NativeFocusGained() {
  if (Manager == nullptr) return;
  Manager->SetFocusObject(this);
  Manager->ClearKeyStates();
}

void TOrbaEditBase::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  WriteStreamBool(stream, GetPaused());
  WriteStreamString(stream, GetText());
  WriteStreamString(stream, GetFontName());
  WriteStreamInt(stream, Native->Font().Height);
  WriteStreamByte(stream, Native->Font().Style);
  WriteStreamInt(stream, GetFontColor());
  WriteStreamInt(stream, GetColor());
  WriteStreamBool(stream, GetReadOnly());
  SaveAlignment(stream);
  WriteStreamString(stream, OnNotify);
}

void TOrbaEditBase::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  SetPaused(ReadStreamBool(stream));
  SetText(ReadStreamString(stream));
  SetFontName(ReadStreamString(stream));
  SetFontHeight(ReadStreamInt(stream));
  SetFontStyle(IntToFontStyle(ReadByteVal(stream)));
  SetFontColor(ReadStreamInt(stream));
  SetColor(ReadStreamInt(stream));
  SetReadOnly(ReadStreamBool(stream));
  LoadAlignment(stream);
  SetOnNotify(ReadStreamString(stream));
  Native->SetVisible(GetVisible());
  Synchronize();
}

// ---- TOrbaEdit -------------------------------------------------------------------------------------

TOrbaEdit::TOrbaEdit(TOrbaBaseList* manager) : TOrbaEditBase(manager, false) {
  Native->SetWantTab(true);
  Native->OnKeyPress = [](uint16_t& ch) {
    if (ch == TTextControl::kVkReturn || ch == TTextControl::kVkEscape || ch == TTextControl::kVkTab) ch = 0;
  };
}

void TOrbaEdit::SetText(std::string v) {
  TOrbaEditBase::SetText(std::move(v));
  Native->SelectAll();
}

// ---- TOrbaMemo -------------------------------------------------------------------------------------

void TOrbaMemo::SetHAlign(uint8_t v) {
  Native->SetAlignment(v == 1 ? TTextAlign::Right : v == 2 ? TTextAlign::Center : TTextAlign::Left);
}

void TOrbaMemo::SaveAlignment(TKsBigStream& stream) const { WriteStreamByte(stream, GetHAlign()); }

void TOrbaMemo::LoadAlignment(TKsBigStream& stream) { SetHAlign(ReadByteVal(stream)); }

}  // namespace orba

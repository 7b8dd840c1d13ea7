#include "shell/shell_var_host.h"

#include "items/base_list.h"

namespace orba {

namespace {

TOrbaBase* ActiveRoot() { return Bases != nullptr ? Bases->ActiveBase() : nullptr; }

}  // namespace

void TShellVarHost::SetVideo(TVideo* video) { video_ = video; }

// "@LClick" and "@RClick" are the presses of this tick that no object took
// (an object that takes one clears the flag).
bool TShellVarHost::GetLClick() {
  const TOrbaBase* root = ActiveRoot();
  return root != nullptr && root->LeftPressed;
}

void TShellVarHost::SetLClick(bool value) {
  if (TOrbaBase* root = ActiveRoot()) root->LeftPressed = value;
}

bool TShellVarHost::GetRClick() {
  const TOrbaBase* root = ActiveRoot();
  return root != nullptr && root->RightPressed;
}

void TShellVarHost::SetRClick(bool value) {
  if (TOrbaBase* root = ActiveRoot()) root->RightPressed = value;
}

bool TShellVarHost::GetLPush() {
  const TOrbaBase* root = ActiveRoot();
  return root != nullptr && root->GetLPush();
}

bool TShellVarHost::GetRPush() {
  const TOrbaBase* root = ActiveRoot();
  return root != nullptr && root->GetRPush();
}

// The wheel notches of this tick, as the tick's mouse tracking copied them.
bool TShellVarHost::GetWheelDown() {
  const TOrbaBase* root = ActiveRoot();
  return root != nullptr && root->WheelDownNow;
}

bool TShellVarHost::GetWheelUp() {
  const TOrbaBase* root = ActiveRoot();
  return root != nullptr && root->WheelUpNow;
}

int32_t TShellVarHost::GetMouseX() {
  const TOrbaBase* root = ActiveRoot();
  return root != nullptr ? root->MouseX : 0;
}

int32_t TShellVarHost::GetMouseY() {
  const TOrbaBase* root = ActiveRoot();
  return root != nullptr ? root->MouseY : 0;
}

// Moving the system pointer; the window reports the move back as input, so
// the roots learn the new position as from the user's hand.
void TShellVarHost::SetMouseX(int32_t value) {
  if (video_ != nullptr) video_->SetMousePosition(value, GetMouseY());
}

void TShellVarHost::SetMouseY(int32_t value) {
  if (video_ != nullptr) video_->SetMousePosition(GetMouseX(), value);
}

bool TShellVarHost::GetKeyPush(int32_t key) { return Bases != nullptr && Bases->GetKeyPush(key); }
bool TShellVarHost::GetKeyClick(int32_t key) { return Bases != nullptr && Bases->GetKeyClick(key); }
bool TShellVarHost::GetKeyRepeat(int32_t key) { return Bases != nullptr && Bases->GetKeyRepeat(key); }

bool TShellVarHost::GetFullScreen() { return video_ != nullptr && video_->FullScreen(); }

void TShellVarHost::SetFullScreen(bool value) {
  if (video_ != nullptr) video_->SetFullScreen(value);
}

bool TShellVarHost::GetSoundOn() { return Bases != nullptr && Bases->SoundOn; }

void TShellVarHost::SetSoundOn(bool value) {
  if (Bases != nullptr) Bases->SetSoundOn(value);
}

std::string TShellVarHost::GetActiveCompo() {
  const TOrbaObject* focus = Bases != nullptr ? Bases->GetFocusObject() : nullptr;
  return focus != nullptr ? focus->Name : std::string();
}

void TShellVarHost::SetActiveCompo(const std::string& name) {
  if (Bases == nullptr || name.empty()) return;
  TOrbaControl* control = Bases->FindControl(name);
  if (control != nullptr && !control->GetPaused() && control->GetVisible() && control->GetHandleKey())
    Bases->SetFocusObject(control);
}

}  // namespace orba

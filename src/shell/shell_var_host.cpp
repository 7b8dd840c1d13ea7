#include "shell/shell_var_host.h"

#include "items/base_list.h"
#include "media/media_system.h"
#include "platform/screen_manager.h"

namespace orba {

// Moving the system pointer; the window reports the move back as input, so
// the roots learn the new position as from the user's hand.
void TShellVarHost::SetVideo(TVideo* video) {
  video_ = video;
  if (video == nullptr)
    MoveCursor = nullptr;
  else
    MoveCursor = [video](int32_t x, int32_t y) { video->SetMousePosition(x, y); };
}

bool TShellVarHost::GetFullScreen() {
  if (TScreenManager* screen = ScreenManager()) return screen->GetFullScreen();
  return video_ != nullptr && video_->FullScreen();
}

void TShellVarHost::SetFullScreen(bool value) {
  if (TScreenManager* screen = ScreenManager())
    screen->SetFullScreen(value);
  else if (video_ != nullptr)
    video_->SetFullScreen(value);
}

int32_t TShellVarHost::GetDisplayModeCount() {
  const TScreenManager* screen = ScreenManager();
  return screen != nullptr ? screen->GetModeCount() : 0;
}

int32_t TShellVarHost::GetDisplayModeIndex() {
  const TScreenManager* screen = ScreenManager();
  return screen != nullptr ? screen->GetModeIndex() : 0;
}

void TShellVarHost::SetDisplayModeIndex(int32_t value) {
  if (TScreenManager* screen = ScreenManager()) screen->SetModeIndex(value);
}

bool TShellVarHost::GetSoundOn() { return Bases != nullptr && Bases->SoundOn; }

void TShellVarHost::SetSoundOn(bool value) {
  if (Bases != nullptr) Bases->SetSoundOn(value);
}

std::string TShellVarHost::GetActiveCompo() {
  const TOrbaObject* focus = Bases != nullptr ? Bases->GetFocusObject() : nullptr;
  return focus != nullptr ? focus->GetName() : std::string();
}

void TShellVarHost::SetActiveCompo(const std::string& name) {
  if (Bases == nullptr || name.empty()) return;
  TOrbaControl* control = Bases->FindControl(name);
  if (control != nullptr && !control->GetPaused() && control->GetVisible() && control->GetHandleKey())
    Bases->SetFocusObject(control);
}

std::string TShellVarHost::GetMidiPort() { return MidiManager != nullptr ? MidiManager->GetCurrentDeviceName() : std::string(); }

void TShellVarHost::SetMidiPort(const std::string& name) {
  if (MidiManager != nullptr) MidiManager->SetDeviceName(name);
}

int32_t TShellVarHost::GetMidiPortCount() { return MidiManager != nullptr ? MidiManager->DeviceCount() : 0; }

std::string TShellVarHost::GetMidiPortName(int32_t index) {
  return MidiManager != nullptr ? MidiManager->GetDeviceName(index) : std::string();
}

}  // namespace orba

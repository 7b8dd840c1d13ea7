// The "@" system variables that the running player answers itself: the
// screen manager and the window (full screen, the display modes, the system
// pointer), and the object manager's sound
// switch and keyboard focus. Input and everything else is answered as the
// script layer's game host answers it, from the object services.
#pragma once

#include "platform/video.h"
#include "script/values/system_var_host_impl.h"

namespace orba {

class TShellVarHost : public TGameVarHost {
 public:
  explicit TShellVarHost(TObjectServices& objects) : TGameVarHost(objects) {}

  // The window once it is open; nullptr before it opens and after it closes.
  // "@FullScr" and the pointer moves of "@MouseX" and "@MouseY" go to it.
  void SetVideo(TVideo* video);

  // Full screen and the display modes are the screen manager's; without
  // one, full screen is the window's and there are no modes.
  bool GetFullScreen() override;
  void SetFullScreen(bool value) override;
  int32_t GetDisplayModeCount() override;
  int32_t GetDisplayModeIndex() override;
  void SetDisplayModeIndex(int32_t value) override;
  bool GetSoundOn() override;
  void SetSoundOn(bool value) override;
  // The MIDI devices: the sound font is the one device.
  std::string GetMidiPort() override;
  void SetMidiPort(const std::string& name) override;
  int32_t GetMidiPortCount() override;
  std::string GetMidiPortName(int32_t index) override;
  // The focused object's name. Setting a name moves the focus only to a
  // control of that name that is not paused, is visible and handles keys.
  std::string GetActiveCompo() override;
  void SetActiveCompo(const std::string& name) override;

 private:
  TVideo* video_ = nullptr;
};

}  // namespace orba

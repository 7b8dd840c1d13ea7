// The "@" system variables that the running player answers itself: the
// mouse, wheel and key state of the object manager's active screen root, the
// manager's sound switch and keyboard focus, and the window (full screen,
// the system pointer). Everything else is answered as
// the script layer's game host answers it.
#pragma once

#include "platform/video.h"
#include "script/system_var_host_impl.h"

namespace orba {

class TShellVarHost : public TGameVarHost {
 public:
  explicit TShellVarHost(TObjectServices& objects) : TGameVarHost(objects) {}

  // The window once it is open; nullptr before it opens and after it closes.
  // "@FullScr" and the pointer moves of "@MouseX" and "@MouseY" go to it.
  void SetVideo(TVideo* video);

  // Without an object manager nothing is pressed and the pointer is at 0, 0.
  bool GetLClick() override;
  void SetLClick(bool value) override;
  bool GetRClick() override;
  void SetRClick(bool value) override;
  bool GetLPush() override;
  bool GetRPush() override;
  bool GetWheelDown() override;
  bool GetWheelUp() override;
  int32_t GetMouseX() override;
  int32_t GetMouseY() override;
  void SetMouseX(int32_t value) override;
  void SetMouseY(int32_t value) override;
  bool GetKeyPush(int32_t key) override;
  bool GetKeyClick(int32_t key) override;
  bool GetKeyRepeat(int32_t key) override;

  bool GetFullScreen() override;
  void SetFullScreen(bool value) override;
  bool GetSoundOn() override;
  void SetSoundOn(bool value) override;
  // The focused object's name. Setting a name moves the focus only to a
  // control of that name that is not paused, is visible and handles keys.
  std::string GetActiveCompo() override;
  void SetActiveCompo(const std::string& name) override;

 private:
  TVideo* video_ = nullptr;
};

}  // namespace orba

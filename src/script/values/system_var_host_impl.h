// The "@" system variables of a running game: the call stack and the clock
// from the interpreter and the timing globals, the screen size and title
// from the project, input from the object manager, the date from the cached
// clock, the fonts from the desktop and the default backlog format from
// the objects. What no subsystem holds yet (the media layer) keeps the
// defaults of TSystemVarHost.
#pragma once

#include <functional>
#include <string>

#include "script/interp/call_man.h"
#include "script/interp/object_services.h"

namespace orba {

class TProject;

class TGameVarHost : public TCallManVarHost {
 public:
  explicit TGameVarHost(TObjectServices& objects) : objects_(objects) {}
  // The project whose settings answer; nullptr before it exists.
  void SetProject(TProject* project);
  // Moves the system pointer (the window's SetCursorX and SetCursorY).
  std::function<void(int32_t x, int32_t y)> MoveCursor;

  bool GetLClick() override { return objects_.GetLClick(); }
  void SetLClick(bool value) override { objects_.SetLClick(value); }
  bool GetRClick() override { return objects_.GetRClick(); }
  void SetRClick(bool value) override { objects_.SetRClick(value); }
  bool GetLPush() override { return objects_.GetLPush(); }
  bool GetRPush() override { return objects_.GetRPush(); }
  bool GetWheelDown() override { return objects_.GetWheelDown(); }
  bool GetWheelUp() override { return objects_.GetWheelUp(); }
  int32_t GetMouseX() override { return objects_.GetMouseX(); }
  void SetMouseX(int32_t value) override;
  int32_t GetMouseY() override { return objects_.GetMouseY(); }
  void SetMouseY(int32_t value) override;
  bool GetKeyPush(int32_t key) override { return objects_.GetKeyPush(key); }
  bool GetKeyClick(int32_t key) override { return objects_.GetKeyClick(key); }
  bool GetKeyRepeat(int32_t key) override { return objects_.GetKeyRepeat(key); }
  bool GetCGDither() override { return objects_.GetCGDither(); }
  void SetCGDither(bool value) override { objects_.SetCGDither(value); }
  int32_t GetHistoryCount() override { return objects_.GetDefaultHistoryCount(); }
  int32_t GetHistoryMaxCount() override { return objects_.GetDefaultHistoryMaxCount(); }
  void SetHistoryMaxCount(int32_t value) override { objects_.SetDefaultHistoryMaxCount(value); }
  void SetDefaultHistoryParams(const std::array<int32_t, 6>& params) override {
    objects_.SetDefaultHistoryParams(params);
  }

  int32_t GetScrWidth() override;
  int32_t GetScrHeight() override;
  std::string GetTitle() override;
  long double GetNow() override;
  std::string GetFontNames(bool fixed_pitch_only) override;

 private:
  TObjectServices& objects_;
  TProject* project_ = nullptr;
};

}  // namespace orba

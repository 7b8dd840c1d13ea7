// What the "@" system variables and the variable store need from the rest of
// the player: the call stack, the screen roots and input, the clock, the
// backlog, the media layer and the window. The subsystems that own these
// implement this interface and register it with the variable store; until
// then the defaults below answer as a player with no game running would
// (nothing pressed, no frames, no devices).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orba {

class TCustomParam;

class TSystemVarHost {
 public:
  virtual ~TSystemVarHost() = default;

  // Call stack: the return value of the top frame (nullptr with an empty
  // stack), its arguments, the event sender and the number of frames.
  virtual TCustomParam* GetFrameResult() { return nullptr; }
  virtual int32_t GetParamCount() { return 0; }
  virtual std::string GetArg(int32_t index) { return std::string(); }
  virtual std::string GetSenderName() { return std::string(); }
  virtual int32_t GetStackCount() { return 0; }

  // The active screen root's mouse state and the pointer.
  virtual bool GetLClick() { return false; }
  virtual void SetLClick(bool value) {}
  virtual bool GetRClick() { return false; }
  virtual void SetRClick(bool value) {}
  virtual bool GetLPush() { return false; }
  virtual bool GetRPush() { return false; }
  virtual bool GetWheelDown() { return false; }
  virtual bool GetWheelUp() { return false; }
  virtual int32_t GetMouseX() { return 0; }
  virtual void SetMouseX(int32_t value) {}
  virtual int32_t GetMouseY() { return 0; }
  virtual void SetMouseY(int32_t value) {}
  // Key state by key code 0..255.
  virtual bool GetKeyPush(int32_t key) { return false; }
  virtual bool GetKeyClick(int32_t key) { return false; }
  virtual bool GetKeyRepeat(int32_t key) { return false; }

  // Default backlog: its size, its maximum message count, and the six layout
  // parameters (font height, font border, font shadow, width, height, line
  // spacing) that game slots of versions 113 to 134 carry.
  virtual int32_t GetHistoryCount() { return 0; }
  virtual int32_t GetHistoryMaxCount() { return 0; }
  virtual void SetHistoryMaxCount(int32_t value) {}
  virtual void SetDefaultHistoryParams(const std::array<int32_t, 6>& params) {}

  // Project and clock.
  virtual int32_t GetScrWidth() { return 0; }
  virtual int32_t GetScrHeight() { return 0; }
  virtual std::string GetTitle() { return std::string(); }
  virtual int32_t GetTickCount() { return 0; }    // game clock, ms
  virtual int32_t GetPCTickCount() { return 0; }  // system timer, ms
  virtual int32_t GetUpdateCount() { return 0; }  // ticks
  // The current date-time: days since 30 December 1899, the fraction being
  // the time of day.
  virtual long double GetNow() { return 0.0L; }

  // Installed font faces, one per line with "\r\n" between them.
  virtual std::string GetFontNames(bool fixed_pitch_only) { return std::string(); }

  // Window, screen and object manager settings.
  virtual bool GetFullScreen() { return false; }
  virtual void SetFullScreen(bool value) {}
  virtual bool GetCGDither() { return false; }
  virtual void SetCGDither(bool value) {}
  virtual int32_t GetDisplayModeCount() { return 0; }
  virtual int32_t GetDisplayModeIndex() { return 0; }
  virtual void SetDisplayModeIndex(int32_t value) {}
  virtual bool GetSoundOn() { return false; }
  virtual void SetSoundOn(bool value) {}
  // The focused object's name; setting moves the focus when the named
  // control exists, is not paused, is visible and handles keys.
  virtual std::string GetActiveCompo() { return std::string(); }
  virtual void SetActiveCompo(const std::string& name) {}

  // MIDI devices.
  virtual std::string GetMidiPort() { return std::string(); }
  virtual void SetMidiPort(const std::string& name) {}
  virtual int32_t GetMidiPortCount() { return 0; }
  virtual std::string GetMidiPortName(int32_t index) { return std::string(); }
};

}  // namespace orba

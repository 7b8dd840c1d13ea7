// What the interpreter needs from the object manager: telling whether a
// screen object still exists, its name, lookup by name, the script event
// queue, the reset of the whole scene and the timer item. The interpreter
// never holds a screen object by pointer; it keeps a handle, a number the
// manager gives each object once, so that an object freed in the meantime is
// recognised instead of being used.
#pragma once

#include <cstdint>
#include <string>

namespace orba {

class TTimerList;
class TComComponent;

struct TObjectHandle {
  uint32_t Id = 0;  // 0: no object
  explicit operator bool() const { return Id != 0; }
  bool operator==(const TObjectHandle&) const = default;
};

class TObjectServices {
 public:
  virtual ~TObjectServices() = default;

  // True while the object of the handle is held by the manager.
  virtual bool IsAlive(TObjectHandle object) const { return false; }
  // The object's name; empty when it is no longer held.
  virtual std::string GetObjectName(TObjectHandle object) const { return std::string(); }
  // The first object of that name not marked for deletion (the manager's
  // FindObject rules); no handle when there is none.
  virtual TObjectHandle FindObject(const std::string& name) const { return TObjectHandle{}; }
  // The manager's event queue; nullptr while no object manager exists.
  virtual TTimerList* EventQueue() { return nullptr; }
  // Frees every object and the queued events and makes two new screen roots.
  virtual void ResetObjects() {}
  // Creates a timer item and applies the command's property expressions.
  virtual void CreateTimer(TComComponent& command) {}

  // Input as the active screen root and the manager keep it, for the "@"
  // system variables: nothing pressed without a manager.
  virtual bool GetKeyPush(int32_t key) const { return false; }
  virtual bool GetKeyClick(int32_t key) const { return false; }
  virtual bool GetKeyRepeat(int32_t key) const { return false; }
  virtual bool GetLClick() const { return false; }
  virtual void SetLClick(bool value) {}
  virtual bool GetRClick() const { return false; }
  virtual void SetRClick(bool value) {}
  virtual bool GetLPush() const { return false; }
  virtual bool GetRPush() const { return false; }
  virtual bool GetWheelDown() const { return false; }
  virtual bool GetWheelUp() const { return false; }
  virtual int32_t GetMouseX() const { return 0; }
  virtual int32_t GetMouseY() const { return 0; }
};

}  // namespace orba

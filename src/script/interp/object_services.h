// What the interpreter needs from the object manager: telling whether a
// screen object still exists, its name, lookup by name, the script event
// queue, the reset of the whole scene and the timer item. The interpreter
// never holds a screen object by pointer; it keeps a handle, a number the
// manager gives each object once, so that an object freed in the meantime is
// recognised instead of being used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orba {

class TTimerList;
class TComComponent;
class TCustomParam;
class TParamCollectionItem;
class TSaveSection;
class TSceneSection;

struct TObjectHandle {
  uint64_t Id = 0;  // 0: no object; serials are never reused
  explicit operator bool() const { return Id != 0; }
  bool operator==(const TObjectHandle&) const = default;
};

// What the PropMotion command gives the property motion it creates; a field
// left empty keeps the motion's default.
struct TPropMotionSetup {
  std::string Name, TargetName;
  uint8_t PropId = 255;
  std::optional<long double> EndValue;
  std::optional<int32_t> Duration;
  std::optional<uint8_t> Mode;
  std::optional<bool> Paused;
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

  // Creates the item of an object-creating command (BoxNew, ImgNew ...),
  // applies the command's property expressions and finishes the item as the
  // command requires; answers the item. Item kinds that do not exist yet
  // create nothing and are named in the trace.
  virtual TObjectHandle CreateItem(TComComponent& command) { return TObjectHandle{}; }
  // Creates a property motion item set up as Setup says.
  virtual TObjectHandle CreatePropMotion(const TPropMotionSetup& setup) { return TObjectHandle{}; }
  // Property access by id through the property dispatch; a freed object
  // does nothing. Ids above 164 raise.
  virtual void GetProp(TObjectHandle object, uint8_t prop_id, TParamCollectionItem& variable) {}
  virtual void SetProp(TObjectHandle object, uint8_t prop_id, const TCustomParam& value) {}
  // Marks the object for deletion (its name is cleared at once).
  virtual void ScrapObject(TObjectHandle object) {}
  // Starts a sound or movie item again.
  virtual void PlayObject(TObjectHandle object) {}
  // The item's state byte (menus open with 1 and close with 3; media stop
  // with 2 and fade out with 3) and its Delay and Source properties.
  virtual int32_t GetObjectState(TObjectHandle object) { return 0; }
  virtual void SetObjectState(TObjectHandle object, uint8_t state) {}
  virtual void SetObjectDelay(TObjectHandle object, int32_t delay) {}
  virtual std::string GetObjectSource(TObjectHandle object) { return std::string(); }
  // SaveCabinet (save true) and LoadCabinet: moves the selected children of
  // the inactive screen root into the named storage object or back.
  virtual void MoveCabinet(const std::string& cabinet_name, bool save, bool invert,
                           const std::vector<std::string>& names,
                           const std::vector<bool>& name_valid) {}
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
  // "@CGDither": the picture cache's dithering flag.
  virtual bool GetCGDither() const { return false; }
  virtual void SetCGDither(bool value) {}
  // The pieces of saved state the objects keep, or nullptr to keep the empty
  // forms: the scene of a game slot and the picture cache's piece of the
  // status save.
  virtual TSceneSection* SceneSection() { return nullptr; }
  virtual TSaveSection* ImageCacheSection() { return nullptr; }
};

}  // namespace orba

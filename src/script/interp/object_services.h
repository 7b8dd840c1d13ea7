// What the interpreter needs from the object manager: telling whether a
// screen object still exists, its name, lookup by name, the script event
// queue, the reset of the whole scene and the timer item. The interpreter
// never holds a screen object by pointer; it keeps a handle, a number the
// manager gives each object once, so that an object freed in the meantime is
// recognised instead of being used.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orba {

class TTimerList;
class TComComponent;
class TCustomParam;
class TParamCollectionItem;
class TBacklogSection;
class TSaveSection;
class TSceneSection;

// The set-up calls of a screen transition the Flip command started, before
// its first step: the two kind-specific parameters, the mask picture's name,
// then Prepare.
class TTransitionSetup {
 public:
  virtual ~TTransitionSetup() = default;
  virtual void SetParam(int32_t index, int32_t value) = 0;
  virtual void SetMaskName(const std::string& name) = 0;
  virtual void Prepare() = 0;
};

// The internal name of the Flip command's picture of the screen left behind.
inline constexpr char kFlipSnapshotName[] = "\x01\x01";

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
  // The screen change of the Flip command. TakeScreenSnapshot paints every
  // object and puts a copy of the active root's picture, as an item named
  // kFlipSnapshotName that ignores the mouse, on top of the active root.
  virtual void TakeScreenSnapshot() {}
  // Moves children of the active root (from the last to the first, never the
  // snapshot) to the other root: with Mode 1 those named in Names, with Mode 0
  // all others, with any other Mode none.
  virtual void CarryChildren(int32_t mode, const std::vector<std::string>& names) {}
  // Starts a transition of Kind over Length ms from the active root's
  // picture to the other root's; nullptr when none was made.
  virtual TTransitionSetup* StartTransition(int32_t kind, int32_t length, bool reverse) { return nullptr; }
  virtual int32_t GetWipeLength() const { return 0; }
  virtual void SetWipePos(int32_t position) {}
  // Ends the change: the other root becomes the active one, the snapshot is
  // scrapped and, with ClearOld, so is every child of the root left behind
  // that is not a storage cabinet.
  virtual void FinishFlip(bool clear_old) {}
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
  // The backlog of a game slot and the read marks of the status save.
  virtual TBacklogSection* BacklogSection() { return nullptr; }
  virtual TSaveSection* ReadMarksSection() { return nullptr; }

  // Message windows, the backlog and the read marks (the message commands).
  // A handle that is no message window does nothing.
  virtual bool IsMessageWindow(TObjectHandle object) const { return false; }
  // TextIns: the window shows the message of the TextIns command at
  // CommandIndex of the page PageName (Record: in the backlog and the read
  // marks); answers the window's page count.
  virtual int32_t InsertMessage(TObjectHandle window, bool record, const std::string& page_name,
                                int32_t command_index) { return 0; }
  virtual int32_t GetMessagePageCount(TObjectHandle window) const { return 0; }
  // TextClr.
  virtual void ClearMessage(TObjectHandle window) {}
  // CallHist: Count from Start of the backlog of Format into the window;
  // nothing without that format or when nothing is left to show.
  virtual void ShowBacklog(TObjectHandle window, int32_t start, int32_t count, const std::string& format,
                           bool pack_rows) {}
  // ClrHist, FormatHist and ClrRead.
  virtual void ClearBacklog() {}
  virtual void DefineBacklogFormat(const std::string& object_name, const std::string& format) {}
  virtual void ClearReadMarks() {}
  // "@HistoryCount", "@HistoryMaxCount" and the saved default parameters.
  virtual int32_t GetDefaultHistoryCount() const { return 0; }
  virtual int32_t GetDefaultHistoryMaxCount() const { return 0; }
  virtual void SetDefaultHistoryMaxCount(int32_t value) {}
  virtual void SetDefaultHistoryParams(const std::array<int32_t, 6>& params) {}
};

}  // namespace orba

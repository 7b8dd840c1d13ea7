// The object manager. It owns every screen object of a game, its two screen
// roots (orba_base.h) and its answers to the interpreter
// (base_list_services.h): the registry with lookup by name and by serial,
// the scrap list, the script event queue, keyboard and mouse state, the
// keyboard focus and the screen transition. Each tick the player calls
// UpdateInput, the interpreter, Idle and, on painting ticks, Draw. It also
// creates items from their component type codes and saves and loads the
// whole object tree.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "graphics/dibx.h"
#include "items/base_list_names.h"
#include "items/base_list_services.h"
#include "items/orba_base.h"
#include "items/orba_object.h"
#include "items/custom_wipe.h"
#include "script/interp/event_queue.h"

namespace orba {

class TOrbaBaseList;

// The component factory: creates the item of a type code (masked with 127)
// in the manager, or nullptr when no item kind of that code is registered.
TOrbaObject* CreateCompoByType(TOrbaBaseList* manager, uint8_t type);
// Item kinds register their creator here when they are linked in.
using TCompoCreator = TOrbaObject* (*)(TOrbaBaseList* manager);
void RegisterCompoType(uint8_t type, TCompoCreator creator);

// Builds an object in two steps: construction, then Create (name and
// registration), so that Create's virtual calls reach the final class.
template <class T>
T* NewOrbaObject(TOrbaBaseList* manager) {
  auto* object = new T(manager);
  object->Create();
  return object;
}

class TOrbaBaseList : public TOrbaComponent {
 public:
  TOrbaBaseList();
  ~TOrbaBaseList() override;

  int32_t Width = 8, Height = 8;
  TDIBX Composition;
  int32_t TransitionKind = 0;
  std::unique_ptr<TCustomWipe> Transition;
  TRect TransitionRect;
  int32_t Active = 0;
  TBaseListServices Services{*this};
  TTimerList Events{&Services};
  // Owned, in the order of registration (rising ListOrder).
  std::vector<TOrbaObject*> Objects;
  std::vector<TOrbaObject*> ScrapList;
  int32_t IdleIndex = 0;
  // The right-click candidates (pop-up menus, image maps, preview menus):
  // each adds itself when created and removes itself when destroyed.
  std::vector<TObjectHandle> PrevMenus;
  bool SoundOn = true;
  TObjectHandle Focus;
  bool PickFocus = false;
  bool KeyDownFlag = false, KeyUpFlag = false, KeyRepeatFlag = false;
  std::vector<int32_t> KeysDown, KeysUp, KeysRepeat;
  std::array<uint8_t, 256> KeyPush{}, KeyWentDown{}, KeyClick{}, RepeatDue{}, KeyRepeat{};
  std::array<int32_t, 256> RepeatTimer{};
  // The bitmap presented on screen; the composition bitmap while none is
  // set. The global manager sets it to the screen manager's presentation
  // surface while the screen runs accelerated (ApplySize).
  TCustomDIBX* Presentation = nullptr;
  // Sound switch of the media managers (set by the media layer).
  std::function<void(bool)> OnSoundOn;
  // Dithering flag while there is no picture cache; with one, the cache's
  // own flag is the setting.
  bool CGDither = false;
  // A cursor file's cursor is shown over the window (ShowObjectCursor).
  bool CustomCursor = false;

  bool GetAutoName() const override { return false; }
  TOrbaBase* GetBase(int32_t index) const { return roots_[static_cast<size_t>(index & 1)].get(); }
  TOrbaBase* ActiveBase() const { return GetBase(Active); }
  TCustomDIBX* GetDIB() const override;
  int32_t GetWidth() const override { return Width; }
  int32_t GetHeight() const override { return Height; }
  void SetWidth(int32_t w) override;
  void SetHeight(int32_t h) override;
  void SetColor(int32_t c) override;

  int32_t GetObjectCount() const { return static_cast<int32_t>(Objects.size()); }
  TOrbaObject* GetObject(int32_t index) const;
  int32_t AddObject(TOrbaObject* object) override;
  void RemoveObject(TOrbaObject* object) override;
  // The object's position in the list, -1 when it is not listed. Object may
  // be a pointer to an object already freed: it is only compared.
  int32_t IndexOfObject(const TOrbaObject* object) const;
  // Object must be alive.
  bool IsListed(const TOrbaObject* object) const {
    return object != nullptr && object->ListOrder != 0 && object->Manager == this;
  }
  // Gives a listed object a new name (TOrbaObject::AssignName) and keeps the
  // name index in step.
  void RenameObject(TOrbaObject& object, std::string name);
  // Adds the object to ScrapList, once; true when it was not there yet.
  // Scrapped objects stay listed until the end of the idle pass.
  bool ScrapObject(TOrbaObject* object);
  bool IsObjectScrapped(const TOrbaObject* object) const;
  // Unlinks the object from its parent and the manager and destroys it.
  void FreeObject(TOrbaObject* object);

  // The object of a serial (roots included), nullptr once it was freed.
  TOrbaObject* Lookup(TObjectHandle handle) const;
  bool IsRegistered(const TOrbaObject* object) const;
  void RegisterSerial(TOrbaObject* object) { serials_[object->Serial] = object; }
  void UnregisterSerial(const TOrbaObject* object) { serials_.erase(object->Serial); }

  TOrbaObject* FindObject(const std::string& name) const;
  TOrbaControl* FindControl(const std::string& name) const;
  int32_t IndexOfName(const std::string& name) const;
  // The listed objects named Name in list order, scrapped or not.
  std::span<TOrbaObject* const> NamedObjects(const std::string& name) const { return names_.Bearers(name); }
  // Prefix + decimal N for the smallest N that no object carries.
  std::string MakeUniqueName(const std::string& prefix);
  // The smallest N from First on for which Prefix + decimal N is carried by
  // no object.
  int64_t SmallestFreeNumber(const std::string& prefix, int64_t first) {
    return names_.SmallestFreeNumber(prefix, first);
  }
  int32_t ListCompo(std::vector<std::string>& names, uint8_t type, const TOrbaObject* parent) const;

  // Frees everything and makes two new roots of the same size.
  void Reset();
  // Makes root Index the active one. With Force, or a Kind while no
  // transition runs, the running transition goes and, for a Kind, a new one
  // of Length ms starts at Position from the active root's picture towards
  // the other root's. Answers the running transition, nullptr without one.
  struct TFlipRequest {
    int32_t Index = 0;
    int32_t Kind = 0;
    bool Reverse = false;
    bool Force = false;
    int32_t Position = 0;
    int32_t Length = 0;
  };
  TCustomWipe* Flip(const TFlipRequest& request);
  int32_t GetWipeLength() const { return Transition ? Transition->GetLength() : 0; }
  void SetWipePos(int32_t position) {
    if (Transition) Transition->SetPosition(position);
  }

  TOrbaObject* GetFocusObject() const { return Lookup(Focus); }
  void SetFocusObject(TOrbaObject* object);
  void SetSoundOn(bool on);
  bool GetCGDither() const;
  void SetCGDither(bool on);

  bool GetKeyPush(int32_t key) const { return InKeys(key) && KeyPush[static_cast<size_t>(key)] != 0; }
  bool GetKeyClick(int32_t key) const { return InKeys(key) && KeyClick[static_cast<size_t>(key)] != 0; }
  bool GetKeyRepeat(int32_t key) const { return InKeys(key) && KeyRepeat[static_cast<size_t>(key)] != 0; }
  void SetKeyState(int32_t key, bool down);
  void SetKeyClick(int32_t key, bool down);
  void ClearKeyStates();

  // Window input: button presses and releases, pointer moves, wheel notches.
  void MouseButton(bool left, bool down);
  void MouseMove(int32_t x, int32_t y);
  void MouseWheel(bool down);

  void UpdateInput();
  void Idle_();
  bool Idle() override {
    Idle_();
    return false;
  }
  void Draw() override;

  void FreeSurface() override;
  void RestoreSurface() override;

  void SaveToStream(TKsBigStream& stream) const override;
  // A stream that cannot be read (cut short, an item type that cannot be
  // created, nesting too deep) raises and leaves the current scene as it was.
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

  // Depth of a loading tree; a deeper one is refused.
  static constexpr int32_t kMaxTreeDepth = 256;
  // Largest screen side a game or a saved scene may give.
  static constexpr int32_t kMaxScreenSide = 8192;
  // What each screen pixel costs at the player's peak: eight 32-bit
  // pictures of the screen's size (each root's screen and work picture, the
  // composition, the presenter's frame, the video's picture and, during a
  // screen change, the old screen's snapshot). Measured: 7680 x 4320 peaks
  // at 1.10 GB with a screen change, 3840 x 2160 at 304 MB.
  static constexpr int64_t kScreenBytesPerPixel = 32;
  // What the screen may cost, so that with the player's own 40 MB the peak
  // of the largest screen stays under 1 GB (944 MB measured, through a
  // screen change).
  static constexpr int64_t kMaxScreenBytes = int64_t{864} << 20;
  // Largest screen a game or a saved scene may give, in pixels: 28,311,552,
  // such as 6144 x 4608 or 7680 x 3686.
  static constexpr int64_t kMaxScreenPixels = kMaxScreenBytes / kScreenBytesPerPixel;
  // Whether a screen of Width x Height pixels can be had.
  static bool ScreenSizeAllowed(int32_t width, int32_t height) {
    return width >= 0 && height >= 0 && width <= kMaxScreenSide && height <= kMaxScreenSide &&
           int64_t{width} * height <= kMaxScreenPixels;
  }
  int32_t LoadDepth = 0;

 private:
  static bool InKeys(int32_t key) { return key >= 0 && key < 256; }
  void MakeRoots();
  void FreeAll() noexcept;
  void ApplySize();
  // The global manager's presentation surface, made at its size through
  // the screen manager and wrapped; false (and none) in system memory or
  // when the surface cannot be made.
  bool ApplyPresentation();
  // The position of a listed object, found by its ListOrder.
  size_t PositionOf(const TOrbaObject* object) const;
  std::array<std::unique_ptr<TOrbaBase>, 2> roots_;
  std::unique_ptr<TCustomDIBX> presentation_;
  std::unordered_map<uint64_t, TOrbaObject*> serials_;
  // The scrapped objects (ScrapList's members) and the listed objects by
  // name.
  std::unordered_set<const TOrbaObject*> scrapped_;
  TObjectNameIndex names_;
  // While FreeAll empties the list at once, removals leave Objects alone.
  bool freeing_all_ = false;
};

// The global object manager of the game, created by InitOrbaGlobals at
// start-up with the other unit globals (orba_globals.h) and freed by
// DoneOrbaGlobals at shut-down (each step named to the trace).
extern TOrbaBaseList* Bases;
void InitOrbaGlobals();
void DoneOrbaGlobals();
// Registers the creators of the item kinds of this layer (InitOrbaGlobals
// does; the sound and movie items register with the media globals).
void RegisterItemKinds();

// "\x01BASE0", "\x01BASE1"
inline const std::string kBaseName0 = std::string(1, kInternalMark) + "BASE0";
inline const std::string kBaseName1 = std::string(1, kInternalMark) + "BASE1";

// The error of a saved scene that names an item kind that cannot be created
// or nests deeper than the limit.
class ESceneError : public EReadError {
 public:
  using EReadError::EReadError;
};

}  // namespace orba

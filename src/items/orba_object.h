// The screen object classes. TOrbaObject is the root of everything a script
// can name: every script property reaches an object through one virtual
// getter and one virtual setter whose base answers do nothing (the list is
// prop_defs.def). TOrbaComponent adds the registry operations of the object
// manager; TOrbaControl adds geometry, the child list in z-order, clipping,
// painting, hit-testing and the input handlers that queue script events.
//
// Every object carries a serial number that is never reused. Whatever has to
// remember an object across ticks (event senders, the object under the
// pointer, the keyboard focus) keeps the serial and looks it up in the
// manager, so a freed object is recognised instead of being used.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/containers.h"
#include "core/containers/rect_utils.h"
#include "core/errors.h"
#include "core/streams/big_stream.h"
#include "core/vocab/vocab.h"
#include "script/interp/object_services.h"
#include "script/save/scene_versions.h"

namespace orba {

class TCustomDIBX;
class TOrbaBaseList;
class TOrbaBase;
class TOrbaControl;
class TComComponent;

#define ORBA_KT_INT int32_t
#define ORBA_KT_BYTE uint8_t
#define ORBA_KT_FLAG bool
#define ORBA_KT_FLOAT long double
#define ORBA_KT_STR std::string
#define ORBA_KT_STYLE TFontStyle
#define ORBA_KTYPE(kind) ORBA_KT_##kind

// The game-state version of the newest saved scene.
constexpr int32_t kSceneVersion = kGameSaveVersion;

class TOrbaObject {
 public:
  // Stores the manager; the object is named and registered by Create.
  explicit TOrbaObject(TOrbaBaseList* manager);
  TOrbaObject(const TOrbaObject&) = delete;
  TOrbaObject& operator=(const TOrbaObject&) = delete;
  virtual ~TOrbaObject() = default;

  const uint64_t Serial;

  TObjectHandle Handle() const { return TObjectHandle{Serial}; }
  TOrbaBaseList* GetManager() const { return Manager; }
  const std::string& GetName() const { return Name; }
  const std::string& GetTag() const { return Tag; }
  void SetTag(std::string tag) { Tag = std::move(tag); }
  int32_t GetPriority() const { return Priority; }
  int32_t GetSubPriority() const { return SubPriority; }
  // The manager's list order: set when the object is listed, rising with
  // every registration; 0 while it is not listed.
  uint64_t GetListOrder() const { return ListOrder; }
  // Stores Name as it is, without the rules of SetName (saved state,
  // internal and numbered names). Every write of Name goes through here, so
  // that the manager's name index and the parent's child order follow.
  void AssignName(std::string name);
  // What becomes of another object that bears a name this one takes.
  enum class TNameClash : uint8_t { ScrapOther, RenameOther };
  // Takes Name unless it is this object's already. Another object bearing
  // it is scrapped, or renamed to the smallest free Base_n: Base and the
  // first n are Name and 2, or Name's own base and number when Name ends in
  // "_" and a number of 2 or more.
  void TakeUniqueName(const std::string& name, TNameClash clash);

  // The second construction step: the automatic name (when GetAutoName) and
  // the registration with the manager. Subclasses add their own steps.
  virtual void Create();

  // ---- the property accessors --------------------------------------------
#define ORBA_PROPDEF(id, kind, acc, def)                          \
  virtual ORBA_KTYPE(kind) Get##acc() const { return def; }      \
  virtual void Set##acc(ORBA_KTYPE(kind) value) {}
#define ORBA_PROPDEF_RO(id, kind, acc, def) \
  virtual ORBA_KTYPE(kind) Get##acc() const { return def; }
#define ORBA_PROPACC_IDX(kind, acc, def)                                  \
  virtual ORBA_KTYPE(kind) Get##acc(int32_t index) const { return def; } \
  virtual void Set##acc(int32_t index, ORBA_KTYPE(kind) value) {}
#include "items/prop_defs.def"

  virtual TPoint GetCaretPos() const { return TPoint{}; }
  // Menus open with 1 and close with 3; media stop with 2 and fade out with 3.
  virtual uint8_t GetState() const { return 2; }
  virtual void SetState(uint8_t state) {}

  // ---- per-item flags ------------------------------------------------------
  // The list box keeps a check mark per item; the preview menu keeps the
  // other flags and the group index per button. An index outside the items
  // reads the default below and is ignored when set.
  virtual bool GetItemCheck(int32_t index) const { return false; }
  virtual void SetItemCheck(int32_t index, bool value) {}
  virtual bool GetItemEnabled(int32_t index) const { return true; }
  virtual void SetItemEnabled(int32_t index, bool value) {}
  virtual bool GetItemVisible(int32_t index) const { return true; }
  virtual void SetItemVisible(int32_t index, bool value) {}
  virtual bool GetItemSelected(int32_t index) const { return false; }
  virtual void SetItemSelected(int32_t index, bool value) {}
  virtual int32_t GetItemGroupIndex(int32_t index) const { return 0; }
  // The preview menu's button whose name equals Name exactly; -1 when none.
  virtual int32_t IndexOfButton(const std::string& name) const { return -1; }

  // ---- identity and tree ---------------------------------------------------
  // Takes Name; another object that bears it is scrapped (a control renames
  // it instead: see TOrbaControl::SetName).
  virtual void SetName(const std::string& name);
  void SetPriority(int32_t priority);
  void SetSubPriority(int32_t priority);
  virtual TOrbaControl* GetParent() const { return nullptr; }
  virtual void SetParent(TOrbaControl* parent) {}
  virtual TOrbaControl* GetChild(int32_t index) const { return nullptr; }
  virtual int32_t GetChildCount() const { return 0; }
  virtual TCustomDIBX* GetSurface() const;
  virtual TOrbaBase* GetScreen() const;
  virtual TCustomDIBX* GetDIB() const { return nullptr; }
  virtual bool GetAutoName() const { return true; }
  virtual bool GetEventsHeld() const { return false; }
  virtual TRect GetExtraRect() const { return TRect{0, 0, 1, 1}; }
  virtual void SetExtraRect(const TRect& rect) {}
  virtual std::string GetPlainText() const { return GetText(); }
  virtual void AddText(const std::string& text) { SetText(GetText() + text); }
  virtual std::string GetCurrentCursor() const { return GetCursor(); }
  // Items that keep copies of their creating command's expressions (the
  // animated image's delay, the particle emitter's start expressions) take
  // them here, before the properties are applied.
  virtual void TakeCommandExpressions(TComComponent& command) {}
  // A script write of PR_TEXT: the message window first returns to plain
  // text display.
  virtual void ResetTextMode() {}
  // Image items recompute their size after a zoom change before their
  // position is applied.
  virtual bool GetResizePending() const { return false; }
  virtual void SetResizePending(bool pending) {}
  virtual void UpdateSize() {}
  virtual bool IsControl() const { return false; }
  virtual bool IsScreenRoot() const { return false; }
  virtual bool IsCabinet() const { return false; }
  // Afterimages sort by fading alpha below their source.
  virtual bool IsAfterimage() const { return false; }
  virtual bool IsAfterimageOf(const TOrbaObject* source) const { return false; }

  // ---- geometry ------------------------------------------------------------
  virtual int32_t GetScreenLeft() const { return GetLeft() - GetOffsetX(); }
  virtual int32_t GetScreenTop() const { return GetTop() - GetOffsetY(); }
  virtual int32_t GetRelativeLeft() const { return GetLeft() - GetOffsetX(); }
  virtual int32_t GetRelativeTop() const { return GetTop() - GetOffsetY(); }
  virtual TRect GetBoundsRect() const;
  virtual TPoint ClientToScreen(TPoint p) const { return p; }
  virtual TPoint ScreenToClient(TPoint p) const { return p; }
  // R := R ∩ the bounds; true when something is left.
  virtual bool ClipToBounds(TRect& rect) const;
  virtual void InflateDirtyRect(TRect& rect) const;
  virtual void PositionChanged();

  // ---- painting, input and the tick ----------------------------------------
  virtual void Invalidate() {}
  virtual void Draw() {}
  virtual TOrbaObject* HitTest(TPoint p, uint32_t mask) { return nullptr; }
  // True when the manager should free the object now.
  virtual bool Idle() { return false; }
  // Whether the manager runs Idle while PR_PAUSED is set (the wave item's
  // pause does not stop the wave).
  virtual bool IdlesWhilePaused() const { return false; }
  virtual void DoLButtonDown() {}
  virtual void DoLButtonUp() {}
  virtual void DoRButtonDown() {}
  virtual void DoRButtonUp() {}
  virtual void DoMouseMove() {}
  virtual void DoMouseOut() {}
  virtual void DoMouseIn() {}
  virtual void DoMouseCapture() {}
  virtual void DoKeyDown() {}
  virtual void DoKeyUp() {}
  virtual void DoKeyRepeat() {}
  virtual TOrbaObject* FindFocus() { return nullptr; }
  virtual void FocusGained() {}
  virtual bool HandleRClickScrap() { return false; }
  // Button-group bookkeeping without events.
  virtual void SetGroupSelected(bool selected) {}
  virtual void SetGroupFlag(bool flag) {}
  virtual void Play() {}
  // Drop and rebuild the object's bitmaps (around a display change).
  virtual void FreeSurface() {}
  virtual void RestoreSurface() {}
  // Lets go at once of what only showing or playing the object needs, as it
  // is scrapped: its bitmaps (FreeSurface) and, for the media items, the
  // media item they play. The object stays listed, nameless, until the
  // manager's idle pass frees it, and keeps working without them.
  virtual void ReleaseScrapped() { FreeSurface(); }
  virtual void EnteredCabinet() {}
  virtual void LeftCabinet() {}
  virtual bool ContainsObject(const TOrbaObject* object) const { return false; }
  virtual bool InCabinet() const { return false; }
  // Visible, on the active screen root, and every ancestor visible.
  virtual bool IsShown() const;

  // ---- saved state -----------------------------------------------------------
  // Name, Priority, SubPriority (from 104), Tag (from 120).
  virtual void SaveToStream(TKsBigStream& stream) const;
  virtual void LoadFromStream(TKsBigStream& stream, int32_t version);

  // ---- registry (answered by TOrbaComponent) --------------------------------
  virtual bool IsScrapped() const { return false; }
  virtual void Scrap() {}

 protected:
  // Queues one script event with this object as sender.
  void QueueEvent(const std::string& label, uint8_t code, const TArrayString* args = nullptr);
  bool EventQueued(uint8_t code) const;

  // Item kinds create their parts in it and queue events through it; only
  // the manager rebinds it.
  TOrbaBaseList* Manager;

 private:
  // The manager registers objects: it stamps ListOrder when it lists one,
  // stores Name together with its name index (RenameObject) and rebinds
  // Manager when it takes over a loaded scene. Nothing else writes them.
  friend class TOrbaBaseList;

  // The z-order keys, changed through AssignName (or SetName), SetPriority
  // and SetSubPriority, which keep the name index and the parent's child
  // order in step.
  std::string Name;
  int32_t Priority = 0;
  int32_t SubPriority = 0;
  std::string Tag;
  uint64_t ListOrder = 0;
};

class TOrbaComponent : public TOrbaObject {
 public:
  using TOrbaObject::TOrbaObject;
  // Drops the waiting events of this sender.
  ~TOrbaComponent() override;
  virtual int32_t AddObject(TOrbaObject* object) { return -1; }
  virtual void RemoveObject(TOrbaObject* object) {}
  bool IsScrapped() const override;
  // Marks the object for the manager's idle pass, clears its name and
  // releases its bitmaps and media (ReleaseScrapped) the first time.
  void Scrap() override;
};

// A running frame animation; the film layer supplies the implementation.
class TOrbaMotion {
 public:
  virtual ~TOrbaMotion() = default;
  // One tick; true exactly on the step at which a non-repeating animation
  // reaches its end.
  virtual bool Step() = 0;
  virtual void Rewind() = 0;
  virtual bool Ended() const = 0;
  // The film's length in frames.
  virtual int32_t GetFrameCount() const { return 0; }
  // Applies the current frame again (after the owner rebuilt its bitmaps).
  virtual void ReapplyFrame() {}
};
// Creates a motion playing FileName on Owner; nullptr while no film layer
// registered itself.
using TMotionFactory = std::unique_ptr<TOrbaMotion> (*)(TOrbaControl& owner,
                                                        const std::string& file_name);
void SetMotionFactory(TMotionFactory factory);
// The error of a film that cannot be played, raised by the motion factory.
// StartMotion writes it to the trace (once per film) and leaves the item
// without a motion.
class EFilmError : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};
// True when Name ends in ".omt" (letter case ignored): a film file.
bool IsFilmName(const std::string& name);

// A control's children in z-order, index 0 drawn first. Children given
// the control one after another while the others are in order wait at the
// end until the list is next read: then they are sorted among themselves
// and merged in at once, where placing each on its arrival would move every
// later child once per arrival. Every read sees the order that placing each
// one on its arrival gives. Reads and plain edits work as on a vector;
// references and iterators stay valid until the next edit.
class TChildList {
 public:
  using value_type = TOrbaControl*;
  using const_iterator = std::vector<TOrbaControl*>::const_iterator;
  using iterator = const_iterator;
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }
  const_iterator begin() const { return Placed().begin(); }
  const_iterator end() const { return Placed().end(); }
  TOrbaControl* operator[](size_t index) const { return Placed()[index]; }
  TOrbaControl* front() const { return Placed().front(); }
  TOrbaControl* back() const { return Placed().back(); }
  operator const std::vector<TOrbaControl*>&() const { return Placed(); }
  friend bool operator==(const TChildList& a, const std::vector<TOrbaControl*>& b) { return a.Placed() == b; }
  // Plain edits, which leave the order to the caller.
  void push_back(TOrbaControl* child) { Edit().push_back(child); }
  const_iterator erase(const_iterator at) { return Edit().erase(at); }
  const_iterator insert(const_iterator at, TOrbaControl* child) { return Edit().insert(at, child); }
  void swap(std::vector<TOrbaControl*>& other) { Edit().swap(other); }
  // The list with every waiting child placed.
  const std::vector<TOrbaControl*>& Placed() const {
    if (waiting_ != 0) PlaceWaiting();
    return items_;
  }
  std::vector<TOrbaControl*>& Edit() {
    Placed();
    return items_;
  }
  // Child joins the waiting ones. The others are in z-order under a
  // comparison that orders them fully, and stay so until the next read.
  // A waiting child may change its key before then (a Priority given at
  // creation): it is placed by the key it has at the read.
  void Wait(TOrbaControl* child);
  size_t Waiting() const { return waiting_; }

 private:
  void PlaceWaiting() const;
  mutable std::vector<TOrbaControl*> items_;
  // The last waiting_ children of items_, in their order of arrival.
  mutable size_t waiting_ = 0;
};

class TOrbaControl : public TOrbaComponent {
 public:
  explicit TOrbaControl(TOrbaBaseList* manager);
  // Frees every child (first child first), the animation, the focus and the
  // pointer's memory of this object.
  ~TOrbaControl() override;
  void Create() override;

  // The item's state is changed from outside through the setters, which do
  // the follow-up work (repaint, re-sort, focus and child bookkeeping). An
  // item kind lays itself out, loads itself and runs its animation through
  // the protected fields directly.
 protected:
  // Changed through SetLeft .. SetHeight, which invalidate what the item
  // covered and will cover.
  int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  int32_t OffsetX = 0, OffsetY = 0;
  // The position a running motion gives the item.
  int32_t MotionX = 0, MotionY = 0;
  bool PosZoomed = false;
  bool AniPaused = false;
  // Item kinds that always take keys set it when they are built.
  bool HandleKey = false;
  uint8_t IgnoreMouse = IM_NONE;
  std::unique_ptr<TOrbaMotion> Motion;

 private:
  bool Visible = true;
  TOrbaControl* Parent = nullptr;
  int32_t Color = 0;
  TChildList Children;  // owned; index 0 is drawn first
  // Children may be out of z-order: a child was renamed out of its place or
  // a loaded list is not sorted yet. The next SortChildren sorts them all.
  bool ChildrenUnsorted = false;
  // The item waits at the end of its parent's children for its place
  // (TChildList); set and cleared by the list.
  friend class TChildList;
  bool AwaitsPlace = false;
  // Afterimages among the children: their order follows their fading
  // alpha, so every sort is a whole pass.
  int32_t AfterimageChildren = 0;
  TRect ExtraRect{0, 0, 1, 1};
  std::string OnMouseMove, OnMouseIn, OnMouseOut, OnLBtnDown, OnLBtnUp, OnRBtnDown, OnRBtnUp,
      OnWheelDown, OnWheelUp;
  std::string Cursor;
  bool SelFrame = false;
  int32_t ClipLeft = 0, ClipTop = 0, ClipWidth = 0, ClipHeight = 0;
  int32_t PlusX = 0, PlusY = 0;
  std::string OnKeyDown, OnKeyUp, OnKeyRepeat, OnFocusIn, OnFocusOut;

 public:
  bool IsControl() const override { return true; }

  // Accessors.
  int32_t GetLeft() const override { return Left; }
  int32_t GetTop() const override { return Top; }
  int32_t GetWidth() const override { return Width; }
  int32_t GetHeight() const override { return Height; }
  int32_t GetOffsetX() const override { return OffsetX; }
  int32_t GetOffsetY() const override { return OffsetY; }
  bool GetVisible() const override { return Visible; }
  int32_t GetColor() const override { return Color; }
  TRect GetExtraRect() const override { return ExtraRect; }
  void SetExtraRect(const TRect& rect) override { ExtraRect = rect; }
  std::string GetOnMouseMove() const override { return OnMouseMove; }
  std::string GetOnMouseIn() const override { return OnMouseIn; }
  std::string GetOnMouseOut() const override { return OnMouseOut; }
  std::string GetOnLBtnDown() const override { return OnLBtnDown; }
  std::string GetOnLBtnUp() const override { return OnLBtnUp; }
  std::string GetOnRBtnDown() const override { return OnRBtnDown; }
  std::string GetOnRBtnUp() const override { return OnRBtnUp; }
  std::string GetOnWheelDown() const override { return OnWheelDown; }
  std::string GetOnWheelUp() const override { return OnWheelUp; }
  std::string GetOnKeyDown() const override { return OnKeyDown; }
  std::string GetOnKeyUp() const override { return OnKeyUp; }
  std::string GetOnKeyRepeat() const override { return OnKeyRepeat; }
  std::string GetOnFocusIn() const override { return OnFocusIn; }
  std::string GetOnFocusOut() const override { return OnFocusOut; }
  void SetOnMouseMove(std::string v) override { OnMouseMove = std::move(v); }
  void SetOnMouseIn(std::string v) override { OnMouseIn = std::move(v); }
  void SetOnMouseOut(std::string v) override { OnMouseOut = std::move(v); }
  void SetOnLBtnDown(std::string v) override { OnLBtnDown = std::move(v); }
  void SetOnLBtnUp(std::string v) override { OnLBtnUp = std::move(v); }
  void SetOnRBtnDown(std::string v) override { OnRBtnDown = std::move(v); }
  void SetOnRBtnUp(std::string v) override { OnRBtnUp = std::move(v); }
  void SetOnWheelDown(std::string v) override { OnWheelDown = std::move(v); }
  void SetOnWheelUp(std::string v) override { OnWheelUp = std::move(v); }
  void SetOnKeyDown(std::string v) override { OnKeyDown = std::move(v); }
  void SetOnKeyUp(std::string v) override { OnKeyUp = std::move(v); }
  void SetOnKeyRepeat(std::string v) override { OnKeyRepeat = std::move(v); }
  void SetOnFocusIn(std::string v) override { OnFocusIn = std::move(v); }
  void SetOnFocusOut(std::string v) override { OnFocusOut = std::move(v); }
  uint8_t GetIgnoreMouse() const override { return IgnoreMouse; }
  void SetIgnoreMouse(uint8_t v) override { IgnoreMouse = v; }
  std::string GetCursor() const override { return Cursor; }
  void SetCursor(std::string v) override { Cursor = std::move(v); }
  bool GetPosZoomed() const override { return PosZoomed; }
  int32_t GetClipLeft() const override { return ClipLeft; }
  int32_t GetClipTop() const override { return ClipTop; }
  int32_t GetClipWidth() const override { return ClipWidth; }
  int32_t GetClipHeight() const override { return ClipHeight; }
  int32_t GetPlusX() const override { return PlusX; }
  int32_t GetPlusY() const override { return PlusY; }
  int32_t GetMotionX() const { return MotionX; }
  int32_t GetMotionY() const { return MotionY; }
  // The frame animation started on the item itself (StartMotion); nullptr
  // while none runs.
  TOrbaMotion* GetOwnMotion() const { return Motion.get(); }
  bool GetAniPaused() const override;
  void SetAniPaused(bool v) override { AniPaused = v; }
  bool GetHandleKey() const override { return HandleKey; }
  bool GetPlaying() const override;

  void SetLeft(int32_t v) override;
  void SetTop(int32_t v) override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void SetOffsetX(int32_t v) override;
  void SetOffsetY(int32_t v) override;
  void SetPlusX(int32_t v) override;
  void SetPlusY(int32_t v) override;
  void SetPosZoomed(bool v) override;
  void SetClipLeft(int32_t v) override;
  void SetClipTop(int32_t v) override;
  void SetClipWidth(int32_t v) override;
  void SetClipHeight(int32_t v) override;
  void SetColor(int32_t v) override;
  void SetVisible(bool v) override;
  void SetHandleKey(bool v) override;
  void SetMotionX(int32_t v);
  void SetMotionY(int32_t v);
  void SetSelFrame(bool v);
  virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);

  void SetName(const std::string& name) override;
  TOrbaControl* GetParent() const override { return Parent; }
  void SetParent(TOrbaControl* parent) override;
  // Leaves the parent's children with nothing else done (no repaint, no
  // cabinet or focus bookkeeping): for an item about to be freed.
  void DetachFromParent();
  const std::vector<TOrbaControl*>& GetChildren() const { return Children; }
  // How many children wait for their place until the next read (TChildList).
  size_t WaitingChildren() const { return Children.Waiting(); }
  // True while the item waits among its parent's children for its place.
  bool AwaitingPlace() const { return AwaitsPlace; }
  TOrbaControl* GetChild(int32_t index) const override;
  int32_t GetChildCount() const override { return static_cast<int32_t>(Children.size()); }
  // Appends Child, leaving the order to the caller.
  virtual void AddChild(TOrbaControl* child);
  // Adds Child where a whole SortChildren pass would put it (SetParent).
  void AddChildInZOrder(TOrbaControl* child);
  virtual void RemoveChild(TOrbaControl* child);
  // Sorts the children into z-order; a stable insertion sort, which stays
  // well-defined for a comparison that is not a strict weak order.
  virtual void SortChildren();
  // True when the children are known to be in z-order under a comparison
  // that orders them fully (no afterimages), so one child can be placed by
  // binary search.
  bool ChildrenOrdered() const { return !ChildrenUnsorted && AfterimageChildren == 0; }
  // A child left its place in z-order without a sort (it was renamed): the
  // next SortChildren sorts them all.
  void MarkChildrenUnsorted() { ChildrenUnsorted = true; }
  // The position of a child (found by its z-order key while the children
  // are ordered); the child count when it is not a child.
  size_t IndexOfChild(const TOrbaObject* child) const;
  // The child at Index changed its z-order key: it moves to where a whole
  // SortChildren pass would put it.
  void SortChild(size_t index);
  virtual void ClipChanged();
  // Button groups of the children: SetGroupFlag on every member of group G;
  // UpdateGroup leaves exactly the chosen member of G selected (none when
  // all may be up).
  void SetGroupFlags(int32_t group, bool flag);
  void UpdateGroup(TOrbaObject* clicked, int32_t group);

  int32_t GetScreenLeft() const override;
  int32_t GetScreenTop() const override;
  int32_t GetRelativeLeft() const override;
  int32_t GetRelativeTop() const override;
  TPoint GetAnchorPos() const;
  TPoint ClientToScreen(TPoint p) const override;
  TPoint ScreenToClient(TPoint p) const override;
  bool ClipActive() const { return ClipWidth > 0 && ClipHeight > 0; }
  TRect ClipWindow() const;

  void Invalidate() override;
  void Draw() override;
  // True when Draw paints every pixel of Area (screen pixels) with values
  // taken from the item alone, whatever lies beneath: what was painted
  // there before it is never seen. Only asked for an Area no wider than
  // the item's Width and no taller than its Height (an item paints over no
  // more than its bounds).
  virtual bool PaintsOver(const TRect& area) const { return false; }
  // True when Draw does nothing but paint inside the surface's clip
  // rectangle, so that it may be left out where a later item paints over
  // everything it could reach.
  virtual bool OnlyPaints() const { return false; }
  // The index of the first child Draw paints within Area of Surface: the
  // last one that paints over all of Area, when every child before it (and
  // everything below those) only paints; 0 otherwise. Covered is set when
  // such a child was found.
  size_t FirstPaintedChild(const TRect& area, const TCustomDIBX* surface, bool* covered = nullptr) const;
  // Draw, given FirstPaintedChild for the area Draw paints (the bounds under
  // the surface's clip) when the caller asked it already.
  static constexpr size_t kFirstChildUnknown = SIZE_MAX;
  void DrawFrom(size_t first);
  TOrbaObject* HitTest(TPoint p, uint32_t mask) override;
  bool Idle() override;
  void DoLButtonDown() override;
  void DoLButtonUp() override;
  void DoRButtonDown() override;
  void DoRButtonUp() override;
  void DoMouseMove() override;
  void DoMouseOut() override;
  void DoMouseIn() override;
  void DoKeyDown() override;
  void DoKeyUp() override;
  void DoKeyRepeat() override;
  TOrbaObject* FindFocus() override;
  bool ContainsObject(const TOrbaObject* object) const override;
  bool InCabinet() const override;
  void PositionChanged() override;

  // Starts a frame animation of a motion file; StopMotion rewinds it.
  void StartMotion(const std::string& file_name);
  void StopMotion();
  // A changed Source: the running motion goes, and a film file starts one.
  void ChangeFilmSource(std::string& source, std::string v);
  // Repeat switched on restarts a motion that has ended.
  void ChangeMotionRepeat(bool& repeat, bool v);

  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 protected:
  // Rect, a screen rectangle of the item, cut by its parent and its clip
  // window, into the screen's dirty list; nothing while the item is hidden.
  void InvalidateArea(TRect rect);
  // The adjustment of the item's own dirty rectangles (a wave item passes
  // its own to its parent's, unwidened).
  virtual void InflateOwnRect(TRect& rect) const { InflateDirtyRect(rect); }
  // Whether a child takes part in the saved tree.
  static bool Saved(const TOrbaObject& child);
  // Moves the item along one axis: Field (Left or Top) to V and its motion
  // offset to 0, the old and the new place repainted, then PositionChanged.
  void MoveAxis(int32_t& field, int32_t& motion, int32_t v);
  // Sets Field to V with the old and the new place repainted; false (and
  // nothing done) when it held V already.
  template <typename T>
  bool RepaintSet(T& field, T v) {
    if (v == field) return false;
    Invalidate();
    field = v;
    Invalidate();
    return true;
  }
  TArrayString PointerArgs() const;
  void TellPickFocus() const;
  // Asks the processor for the fields a paint pass reads of Item (and, when
  // Drawn, what its draw reads besides) ahead of their use.
  static void PrefetchForPaint(const TOrbaControl& item, bool drawn);
  // Shared frame of the key events.
  void QueueKeyEvent(const std::string& label, uint8_t code, const std::vector<int32_t>& keys);
};

// The z-order comparison: negative when A is drawn before B.
int32_t CompareZOrder(const TOrbaObject& a, const TOrbaObject& b);
// Its part for two objects that are not afterimages: the top name, internal
// names, Priority + SubPriority, the names' bytes.
int32_t CompareZKeys(const TOrbaObject& a, const TOrbaObject& b);

// Names of internal objects begin with this byte.
constexpr char kInternalMark = '\x01';

}  // namespace orba

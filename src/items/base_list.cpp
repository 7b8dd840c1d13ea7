#include "items/base_list.h"

#include <algorithm>
#include <atomic>
#include <new>

#include <unistd.h>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "core/system/trace.h"
#include "graphics/dx_dibx.h"
#include "items/box.h"
#include "items/brix_cache.h"
#include "items/button.h"
#include "items/edit.h"
#include "items/http.h"
#include "items/label.h"
#include "items/menu.h"
#include "items/message_window.h"
#include "items/prop_motion.h"
#include "items/timer.h"
#include "platform/screen_manager.h"

namespace orba {

namespace {

template <class T>
TOrbaObject* MakeItem(TOrbaBaseList* manager) {
  return NewOrbaObject<T>(manager);
}

std::array<TCompoCreator, 128>& Creators() {
  static std::array<TCompoCreator, 128> creators = [] {
    std::array<TCompoCreator, 128> c{};
    c[CT_BOX] = &MakeItem<TOrbaBox>;
    c[CT_TIMER] = &MakeItem<TOrbaTimer>;
    c[CT_CABINET] = &MakeItem<TOrbaCabinet>;
    c[CT_LABEL] = &MakeItem<TOrbaLabel>;
    c[CT_MES] = &MakeItem<TOrbaMes>;
    c[CT_BUTTON] = &MakeItem<TOrbaButton>;
    c[CT_MENU] = &MakeItem<TOrbaMenu>;
    c[CT_EDIT] = &MakeItem<TOrbaEdit>;
    c[CT_MEMO] = &MakeItem<TOrbaMemo>;
    c[CT_HTTP] = &MakeItem<TOrbaHttp>;
    c[CT_PROPMOTION] = &MakeItem<TOrbaPropMotion>;
    return c;
  }();
  return creators;
}

}  // namespace

TOrbaBaseList* Bases = nullptr;

TOrbaObject* CreateCompoByType(TOrbaBaseList* manager, uint8_t type) {
  const TCompoCreator creator = Creators()[type & 127];
  return creator != nullptr ? creator(manager) : nullptr;
}

void RegisterCompoType(uint8_t type, TCompoCreator creator) { Creators()[type & 127] = creator; }

namespace {

// List orders rise across every manager, so that a scene read into a second
// manager and taken over keeps its order.
uint64_t NextListOrder() {
  static std::atomic<uint64_t> next{1};
  return next++;
}

}  // namespace

// ---- TOrbaBaseList -------------------------------------------------------------------------------

TOrbaBaseList::TOrbaBaseList() : TOrbaComponent(nullptr) { MakeRoots(); }

TOrbaBaseList::~TOrbaBaseList() { FreeAll(); }

void TOrbaBaseList::MakeRoots() {
  for (int i = 0; i < 2; ++i) {
    roots_[static_cast<size_t>(i)] = std::make_unique<TOrbaBase>(this, i);
    RegisterSerial(roots_[static_cast<size_t>(i)].get());
  }
}

namespace {

// The handles of the listed objects, in list order; false (and Handles
// empty) when there is no memory left for them.
bool TakeHandles(const std::vector<TOrbaObject*>& objects, std::vector<TObjectHandle>& handles) noexcept {
  handles.clear();
  try {
    handles.reserve(objects.size());
  } catch (const std::bad_alloc&) {
    // Told on the standard error: a trace line would need memory too.
    constexpr char kLine[] = "orba: out of memory: the objects are freed last to first\n";
    (void)!::write(STDERR_FILENO, kLine, sizeof kLine - 1);
    return false;
  }
  for (const TOrbaObject* o : objects) handles.push_back(o->Handle());
  return true;
}

}  // namespace

// Runs in the destructor: nothing here may throw. The name index is
// emptied first (nothing is looked up by name while everything goes), so
// that no removal allocates for it; the only allocation, the list of
// handles, has a way round it.
void TOrbaBaseList::FreeAll() noexcept {
  Transition.reset();
  names_.Clear();
  // Waiting events go first, so that no object's destructor walks them.
  Events.Clear();
  std::vector<TObjectHandle> listed;
  bool in_order = TakeHandles(Objects, listed);
  // In order, the list is emptied at once and removals leave it alone;
  // otherwise each object leaves it as it goes.
  freeing_all_ = in_order;
  if (in_order) Objects.clear();
  // Root trees first (their objects leave the registry as they go), then
  // the objects without a parent, first to last.
  for (auto& root : roots_) {
    if (root == nullptr) continue;
    UnregisterSerial(root.get());
    root.reset();
  }
  Events.Clear();
  // A freed parent takes its children along: a child of an object without
  // a parent is not freed on its own first, which would leave it in its
  // parent's children (only one whose parent is not freed here is unlinked
  // and freed after the others). Objects made meanwhile go in a further
  // round.
  while (in_order && !listed.empty()) {
    for (bool children = false;; children = true) {
      for (TObjectHandle h : listed) {
        TOrbaObject* o = Lookup(h);
        if (o == nullptr || !IsListed(o)) continue;
        if (o->GetParent() != nullptr) {
          if (!children) continue;
          static_cast<TOrbaControl*>(o)->DetachFromParent();
        }
        RemoveObject(o);
        delete o;
      }
      if (children) break;
    }
    in_order = TakeHandles(Objects, listed);
    freeing_all_ = in_order;
    if (in_order) Objects.clear();
  }
  // Without memory for the handles: last to first, each leaving the list
  // (and taking its children out of it) as it goes.
  while (!Objects.empty()) {
    TOrbaObject* o = Objects.back();
    if (o->GetParent() != nullptr) static_cast<TOrbaControl*>(o)->DetachFromParent();
    RemoveObject(o);
    delete o;
  }
  freeing_all_ = false;
  Events.Clear();
  ScrapList.clear();
  scrapped_.clear();
  PrevMenus.clear();
  Focus = TObjectHandle{};
}

TCustomDIBX* TOrbaBaseList::GetDIB() const {
  return Presentation != nullptr ? Presentation : const_cast<TDIBX*>(&Composition);
}

void TOrbaBaseList::SetWidth(int32_t w) {
  Width = w;
  ApplySize();
  for (auto& root : roots_) root->SetWidth(w);
}

void TOrbaBaseList::SetHeight(int32_t h) {
  Height = h;
  ApplySize();
  for (auto& root : roots_) root->SetHeight(h);
}

void TOrbaBaseList::ApplySize() {
  if (Width <= 0 || Height <= 0) return;
  // The global manager draws into the presentation surface while the
  // screen runs accelerated, rows top first like the items' DirectDraw
  // surfaces; its composition bitmap is then never drawn into and is not
  // sized, so that a large screen costs no third screen-sized picture.
  if (this == Bases && ApplyPresentation()) return;
  Composition.SetSize(Width, Height, TOrbaBase::kScreenBits);
}

bool TOrbaBaseList::ApplyPresentation() {
  Presentation = nullptr;
  presentation_.reset();
  TScreenManager* screen = ScreenManager();
  if (screen == nullptr || screen->SystemMemory()) return false;
  const HRESULT made = screen->MakePresentationSurface(Width, Height);
  if (Failed(made)) {
    Trace("presentation surface of " + std::to_string(Width) + " x " + std::to_string(Height) +
          " not made (" + std::to_string(made) + "): the screen is drawn in system memory");
    return false;
  }
  if (screen->PresentationSurface() != nullptr)
    presentation_ = TDxDIBX::CreateFromSurface(screen->PresentationSurface());
  else
    presentation_ = TDxDIBX::CreateFromSurface7(screen->PresentationSurface7());
  Presentation = presentation_.get();
  return true;
}

void TOrbaBaseList::SetColor(int32_t c) {
  for (auto& root : roots_) root->SetColor(c);
}

TOrbaObject* TOrbaBaseList::GetObject(int32_t index) const {
  if (index < 0 || index >= GetObjectCount()) return nullptr;
  return Objects[static_cast<size_t>(index)];
}

int32_t TOrbaBaseList::AddObject(TOrbaObject* object) {
  if (IsListed(object)) return IndexOfObject(object);
  object->ListOrder = NextListOrder();
  Objects.push_back(object);
  names_.Add(*object);
  RegisterSerial(object);
  return GetObjectCount() - 1;
}

size_t TOrbaBaseList::PositionOf(const TOrbaObject* object) const {
  return static_cast<size_t>(
      std::lower_bound(Objects.begin(), Objects.end(), object->ListOrder,
                       [](const TOrbaObject* o, uint64_t order) { return o->ListOrder < order; }) -
      Objects.begin());
}

void TOrbaBaseList::RemoveObject(TOrbaObject* object) {
  if (scrapped_.erase(object) != 0) ScrapList.erase(std::find(ScrapList.begin(), ScrapList.end(), object));
  if (!IsListed(object)) return;
  names_.Remove(*object);
  if (!freeing_all_) {
    const size_t index = PositionOf(object);
    Objects.erase(Objects.begin() + static_cast<std::ptrdiff_t>(index));
    if (static_cast<int32_t>(index) < IdleIndex) --IdleIndex;
  } else if (!Objects.empty()) {
    // While everything is freed the list holds only the objects made
    // meanwhile (usually none); one of those freed leaves it here, so that
    // the next round never reads a freed object.
    std::erase(Objects, object);
  }
  object->ListOrder = 0;
  UnregisterSerial(object);
}

int32_t TOrbaBaseList::IndexOfObject(const TOrbaObject* object) const {
  auto it = std::find(Objects.begin(), Objects.end(), object);
  return it == Objects.end() ? -1 : static_cast<int32_t>(it - Objects.begin());
}

void TOrbaBaseList::RenameObject(TOrbaObject& object, std::string name) {
  const bool listed = IsListed(&object);
  if (listed) names_.Remove(object);
  object.Name = std::move(name);
  if (listed) names_.Add(object);
}

bool TOrbaBaseList::ScrapObject(TOrbaObject* object) {
  if (!scrapped_.insert(object).second) return false;
  ScrapList.push_back(object);
  return true;
}

bool TOrbaBaseList::IsObjectScrapped(const TOrbaObject* object) const { return scrapped_.contains(object); }

void TOrbaBaseList::FreeObject(TOrbaObject* object) {
  if (object == nullptr || object->IsScreenRoot()) return;
  if (object->GetParent() != nullptr) {
    object->Invalidate();
    static_cast<TOrbaControl*>(object)->DetachFromParent();
  }
  RemoveObject(object);
  delete object;
}

TOrbaObject* TOrbaBaseList::Lookup(TObjectHandle handle) const {
  if (!handle) return nullptr;
  auto it = serials_.find(handle.Id);
  return it != serials_.end() ? it->second : nullptr;
}

bool TOrbaBaseList::IsRegistered(const TOrbaObject* object) const {
  return object != nullptr && Lookup(object->Handle()) == object;
}

TOrbaObject* TOrbaBaseList::FindObject(const std::string& name) const {
  if (name.empty() || name == kBaseName0) return ActiveBase();
  if (name == std::string(1, kInternalMark) || name == kBaseName1) return GetBase(Active ^ 1);
  for (TOrbaObject* o : names_.Bearers(name))
    if (!o->IsScrapped()) return o;
  return nullptr;
}

TOrbaControl* TOrbaBaseList::FindControl(const std::string& name) const {
  if (name.empty()) return ActiveBase();
  if (name == std::string(1, kInternalMark)) return GetBase(Active ^ 1);
  if (name == kBaseName0) return GetBase(0);
  if (name == kBaseName1) return GetBase(1);
  for (TOrbaObject* o : names_.Bearers(name))
    if (o->IsControl() && !o->IsScrapped()) return static_cast<TOrbaControl*>(o);
  return nullptr;
}

int32_t TOrbaBaseList::IndexOfName(const std::string& name) const {
  const std::span<TOrbaObject* const> bearers = names_.Bearers(name);
  return bearers.empty() || freeing_all_ ? -1 : static_cast<int32_t>(PositionOf(bearers.front()));
}

std::string TOrbaBaseList::MakeUniqueName(const std::string& prefix) {
  return prefix + std::to_string(names_.SmallestFreeNumber(prefix, 0));
}

int32_t TOrbaBaseList::ListCompo(std::vector<std::string>& names, uint8_t type,
                                 const TOrbaObject* parent) const {
  if (parent == nullptr) return 0;
  int32_t added = 0;
  for (const TOrbaObject* o : Objects) {
    if (type != 0 && o->GetCompoType() != type) continue;
    if (parent != this && o->GetParent() != parent) continue;
    names.push_back(o->Name);
    ++added;
  }
  return added;
}

void TOrbaBaseList::Reset() {
  const int32_t w = Width, h = Height;
  int32_t mx[2], my[2];
  for (int i = 0; i < 2; ++i) {
    mx[i] = roots_[static_cast<size_t>(i)]->MouseX;
    my[i] = roots_[static_cast<size_t>(i)]->MouseY;
  }
  FreeAll();
  MakeRoots();
  Width = 8;
  Height = 8;
  SetWidth(w);
  SetHeight(h);
  for (int i = 0; i < 2; ++i) {
    roots_[static_cast<size_t>(i)]->MouseX = mx[i];
    roots_[static_cast<size_t>(i)]->MouseY = my[i];
  }
}

TCustomWipe* TOrbaBaseList::Flip(const TFlipRequest& request) {
  const int32_t kind = request.Kind;
  Active = request.Index & 1;
  const bool force = request.Force;
  if (force || (kind != 0 && Transition == nullptr)) {
    Transition.reset();
    for (auto& root : roots_) root->InvalidateAll();
    if (kind != 0) {
      TOrbaBase* active = ActiveBase();
      TCustomDIBX* current = active->GetDIB();
      if (current != active->Screen.get() && current != nullptr) active->Screen->CopyFrom(*current);
      // The transition runs from the active root's picture, shown now, to
      // the other root's, which the caller makes active at its end.
      Transition = MakeTransition(kind, *GetDIB(), *GetBase(Active ^ 1)->Screen, *active->Screen);
      if (Transition != nullptr) {
        Transition->SetLength(request.Length);
        Transition->SetReverse(request.Reverse);
      }
    }
  }
  TOrbaObject* focus = GetFocusObject();
  if (focus == nullptr || focus->GetScreen() != ActiveBase()) {
    Focus = TObjectHandle{};
    PickFocus = true;
  }
  TransitionKind = kind;
  if (Transition != nullptr) Transition->SetPosition(request.Position);
  return Transition.get();
}

void TOrbaBaseList::SetFocusObject(TOrbaObject* object) {
  TOrbaObject* old = GetFocusObject();
  if (object == old && (object != nullptr || !Focus)) return;
  if (old != nullptr && !old->GetOnFocusOut().empty() && !old->Name.empty() && !old->GetEventsHeld())
    Events.QueueEvent(old->Handle(), old->GetOnFocusOut(), nullptr, PR_ONFOCUSOUT);
  Focus = object != nullptr ? object->Handle() : TObjectHandle{};
  if (object != nullptr && !object->GetOnFocusIn().empty() && !object->GetEventsHeld())
    Events.QueueEvent(object->Handle(), object->GetOnFocusIn(), nullptr, PR_ONFOCUSIN);
  PickFocus = false;
  if (object != nullptr) object->FocusGained();
}

void TOrbaBaseList::SetSoundOn(bool on) {
  if (on == SoundOn) return;
  SoundOn = on;
  if (OnSoundOn) OnSoundOn(on);
}

bool TOrbaBaseList::GetCGDither() const {
  const TBrixCollection* cache = BrixCollection();
  return cache != nullptr ? cache->Dither : CGDither;
}

void TOrbaBaseList::SetCGDither(bool on) {
  if (on == GetCGDither()) return;
  CGDither = on;
  // The picture cache decodes with the same setting from now on.
  if (TBrixCollection* cache = BrixCollection()) cache->SetDither(on);
  for (auto& root : roots_) root->InvalidateAll();
}

void TOrbaBaseList::SetKeyState(int32_t key, bool down) {
  if (!InKeys(key)) return;
  const auto k = static_cast<size_t>(key);
  if ((KeyPush[k] != 0) == down) return;
  KeyPush[k] = down ? 1 : 0;
  RepeatDue[k] = down ? 1 : 0;
  if (down) {
    RepeatTimer[k] = kKeyRepeatDelay;
    KeyDownFlag = true;
    KeyRepeatFlag = true;
    KeysDown.push_back(key);
    KeysRepeat.push_back(key);
  } else {
    KeyUpFlag = true;
    KeysUp.push_back(key);
  }
}

void TOrbaBaseList::SetKeyClick(int32_t key, bool down) {
  if (InKeys(key)) KeyWentDown[static_cast<size_t>(key)] = down ? 1 : 0;
}

void TOrbaBaseList::ClearKeyStates() {
  KeyPush = {};
  KeyWentDown = {};
  KeyClick = {};
  RepeatDue = {};
  KeyRepeat = {};
  RepeatTimer = {};
  KeyDownFlag = KeyUpFlag = KeyRepeatFlag = false;
  KeysDown.clear();
  KeysUp.clear();
  KeysRepeat.clear();
}

void TOrbaBaseList::MouseButton(bool left, bool down) {
  for (auto& root : roots_) {
    if (down) {
      root->LeftHeld = left;
      root->RightHeld = !left;
    } else {
      root->LeftHeld = false;
      root->RightHeld = false;
    }
  }
  if (down) (left ? ActiveBase()->LeftPress : ActiveBase()->RightPress) = true;
}

void TOrbaBaseList::MouseMove(int32_t x, int32_t y) {
  for (auto& root : roots_) root->SetMousePos(x, y);
}

void TOrbaBaseList::MouseWheel(bool down) { (down ? ActiveBase()->WheelDown : ActiveBase()->WheelUp) = true; }

void TOrbaBaseList::UpdateInput() {
  // Downloads that ended since the last tick hand over their bodies first.
  PollHttpTransfers();
  if (PickFocus) {
    SetFocusObject(ActiveBase()->FindFocus());
    PickFocus = false;
  }
  KeyClick = KeyWentDown;
  KeyWentDown = {};
  KeyRepeat = RepeatDue;
  ActiveBase()->TrackMouse();
  TOrbaObject* focus = GetFocusObject();
  if (focus != nullptr && focus->GetHandleKey()) {
    const TObjectHandle h = focus->Handle();
    if (KeyDownFlag) focus->DoKeyDown();
    if (KeyRepeatFlag && (focus = Lookup(h)) != nullptr) focus->DoKeyRepeat();
    if (KeyUpFlag && (focus = Lookup(h)) != nullptr) focus->DoKeyUp();
  }
  KeyDownFlag = KeyUpFlag = KeyRepeatFlag = false;
  KeysDown.clear();
  KeysUp.clear();
  KeysRepeat.clear();
  for (int32_t key = 0; key < 256; ++key) {
    const auto k = static_cast<size_t>(key);
    if (KeyPush[k] == 0) continue;
    RepeatTimer[k] = static_cast<int32_t>(int64_t{RepeatTimer[k]} - FrameTime);
    RepeatDue[k] = RepeatTimer[k] < 1 ? 1 : 0;
    if (RepeatDue[k] != 0) {
      RepeatTimer[k] += kKeyRepeatInterval;
      KeyRepeatFlag = true;
      KeysRepeat.push_back(key);
    }
  }
}

void TOrbaBaseList::Idle_() {
  for (auto& root : roots_) root->Idle();
  IdleIndex = 0;
  while (IdleIndex < GetObjectCount()) {
    TOrbaObject* o = Objects[static_cast<size_t>(IdleIndex)];
    const std::string on_idle = o->GetOnIdle();
    if (!on_idle.empty() && !o->InCabinet() && !o->GetEventsHeld() &&
        !Events.HasQueuedEvent(o->Handle(), PR_ONIDLE))
      Events.QueueEvent(o->Handle(), on_idle, nullptr, PR_ONIDLE);
    if ((!o->GetPaused() || o->IdlesWhilePaused()) && !o->IsScrapped() && !o->InCabinet() && o->Idle()) {
      // The object may have moved in the list during its own Idle.
      if (IsRegistered(o)) FreeObject(o);
      continue;
    }
    ++IdleIndex;
  }
  std::vector<TObjectHandle> scrapped;
  for (const TOrbaObject* o : ScrapList) scrapped.push_back(o->Handle());
  for (TObjectHandle h : scrapped)
    if (TOrbaObject* o = Lookup(h); o != nullptr && IsListed(o)) FreeObject(o);
  ScrapList.clear();
  scrapped_.clear();
}

void TOrbaBaseList::Draw() {
  TransitionRect = TRect{};
  for (auto& root : roots_) root->Draw();
  if (Transition != nullptr) {
    TransitionRect = Transition->CurrentRect();
    Transition->Step();
  }
}

void TOrbaBaseList::FreeSurface() {
  Transition.reset();
  for (auto& root : roots_) root->FreeSurface();
  for (TOrbaObject* o : Objects) o->FreeSurface();
}

void TOrbaBaseList::RestoreSurface() {
  ApplySize();
  for (auto& root : roots_) root->RestoreSurface();
  for (TOrbaObject* o : Objects) o->RestoreSurface();
  for (auto& root : roots_) root->InvalidateAll();
}

void TOrbaBaseList::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, Width);
  WriteStreamInt(stream, Height);
  WriteStreamInt(stream, Active);
  roots_[0]->SaveToStream(stream);
  roots_[1]->SaveToStream(stream);
  std::vector<const TOrbaObject*> items;
  for (const TOrbaObject* o : Objects)
    if (!o->IsControl() && !o->IsScrapped() && o->GetCompoType() != 0 &&
        !(!o->Name.empty() && o->Name[0] == kInternalMark))
      items.push_back(o);
  WriteStreamInt(stream, static_cast<int32_t>(items.size()));
  for (const TOrbaObject* o : items) {
    WriteStreamByte(stream, o->GetCompoType());
    o->SaveToStream(stream);
  }
  Events.SaveToStream(stream);
  const TOrbaObject* focus = GetFocusObject();
  WriteStreamString(stream, focus != nullptr ? focus->Name : std::string());
}

void TOrbaBaseList::LoadFromStream(TKsBigStream& stream, int32_t version) {
  // Everything is read into a second manager; the scene is taken over only
  // when the whole stream was read.
  auto staged = std::make_unique<TOrbaBaseList>();
  staged->Presentation = Presentation;
  staged->Width = 8;
  staged->Height = 8;
  const int32_t width = ReadStreamInt(stream), height = ReadStreamInt(stream);
  // The size drives the allocation of three bitmaps.
  if (!ScreenSizeAllowed(width, height))
    throw ESceneError("scene size out of range: " + std::to_string(width) + " x " + std::to_string(height));
  staged->SetWidth(width);
  staged->SetHeight(height);
  staged->Active = ReadStreamInt(stream) & 1;
  for (int i = 0; i < 2; ++i) {
    TOrbaBase* root = staged->GetBase(i);
    root->LoadFromStream(stream, version);
    root->AssignName(i == 0 ? kBaseName0 : kBaseName1);
  }
  for (int i = 0; i < 2; ++i) staged->GetBase(i)->InvalidateAll();
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, 5);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t type = ReadByteVal(stream);
    TOrbaObject* item = CreateCompoByType(staged.get(), type);
    if (item == nullptr || item->IsControl())
      throw ESceneError("scene names an item kind that cannot be created: " + std::to_string(type & 127));
    item->LoadFromStream(stream, version);
  }
  staged->Events.LoadFromStream(stream, version);
  std::string focus_name;
  if (version >= kSceneFocusVersion) focus_name = ReadStreamString(stream);

  // Take the staged scene over.
  FreeAll();
  serials_.clear();
  names_.Clear();
  Width = staged->Width;
  Height = staged->Height;
  ApplySize();
  Active = staged->Active;
  TransitionKind = 0;
  roots_.swap(staged->roots_);
  Objects.swap(staged->Objects);
  PrevMenus.swap(staged->PrevMenus);
  serials_.swap(staged->serials_);
  names_.Swap(staged->names_);
  for (auto& root : roots_) root->Manager = this;
  for (TOrbaObject* o : Objects) o->Manager = this;
  // The queue is read again against this manager so that senders resolve here.
  Events.Clear();
  for (int32_t i = 0; i < staged->Events.Count(); ++i) {
    const TTimerData* e = staged->Events.GetItem(i);
    const int32_t at = Events.QueueEvent(e->Sender, e->Label, &e->Args, e->Code);
    Events.SetLevel(*Events.GetItem(at), e->Level);
  }
  staged->Events.Clear();
  PickFocus = false;
  Focus = TObjectHandle{};
  if (version >= kSceneFocusVersion) {
    if (TOrbaControl* f = FindControl(focus_name); f != nullptr && !focus_name.empty()) {
      Focus = f->Handle();
      f->FocusGained();
      PickFocus = false;
    }
  } else {
    PickFocus = true;
  }
}

}  // namespace orba

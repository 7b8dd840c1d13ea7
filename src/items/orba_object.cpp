#include "items/orba_object.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/system/trace.h"
#include "graphics/custom_dibx.h"
#include "items/base_list.h"
#include "items/orba_globals.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

// The parent whose children are being painted, and what each of its
// children asks of it while drawing: the parent's part of their screen
// origin and the surface they paint on. Painting moves no item, so both are
// worked out once per parent and paint instead of once or twice per child
// through a walk up every ancestor. Nested paints (a child's own children,
// another manager's screen painted inside an item) stack through
// TPaintingScope; a parent not being painted is asked as before.
struct TPaintingParent {
  const TOrbaControl* Parent = nullptr;
  int64_t OriginX = 0, OriginY = 0;
  TCustomDIBX* Surface = nullptr;
};
TPaintingParent painting;

class TPaintingScope {
 public:
  TPaintingScope(const TOrbaControl& parent, int64_t origin_x, int64_t origin_y, TCustomDIBX* surface)
      : FOuter(painting) {
    painting = TPaintingParent{&parent, origin_x, origin_y, surface};
  }
  TPaintingScope(const TPaintingScope&) = delete;
  TPaintingScope& operator=(const TPaintingScope&) = delete;
  ~TPaintingScope() { painting = FOuter; }

 private:
  TPaintingParent FOuter;
};

uint64_t NextSerial() {
  static std::atomic<uint64_t> next{1};
  return next++;
}

TMotionFactory motion_factory = nullptr;

bool IsInternalName(const std::string& name) { return !name.empty() && name[0] == kInternalMark; }

// The name of the item drawn over all its siblings.
bool IsTopName(const std::string& name) {
  return name.size() == 2 && name[0] == kInternalMark && name[1] == kInternalMark;
}

// True when the child at Index draws neither before its predecessor nor
// after its successor: a whole SortChildren pass would leave it there.
// (Only asked while the children hold no afterimages: their keys order them.)
bool ChildInPlace(const std::vector<TOrbaControl*>& children, size_t index) {
  const TOrbaControl* child = children[index];
  if (index > 0 && CompareZKeys(*children[index - 1], *child) > 0) return false;
  return index + 1 >= children.size() || CompareZKeys(*child, *children[index + 1]) <= 0;
}

}  // namespace

void SetMotionFactory(TMotionFactory factory) { motion_factory = factory; }

bool IsFilmName(const std::string& name) {
  return name.size() >= 4 && SjisLowerCase(name.substr(name.size() - 4)) == ".omt";
}

// ---- TOrbaObject -------------------------------------------------------------------------------

TOrbaObject::TOrbaObject(TOrbaBaseList* manager) : Serial(NextSerial()), Manager(manager) {}

void TOrbaObject::Create() {
  if (Manager == nullptr) return;
  if (GetAutoName()) AssignName(Manager->MakeUniqueName("object"));
  Manager->AddObject(this);
}

void TOrbaObject::AssignName(std::string name) {
  if (name == Name) return;
  TOrbaControl* parent = GetParent();
  const bool ordered = parent != nullptr && parent->ChildrenOrdered();
  const size_t index = ordered ? parent->IndexOfChild(this) : 0;
  if (Manager != nullptr) {
    Manager->RenameObject(*this, std::move(name));
  } else {
    Name = std::move(name);
  }
  // The name is a z-order key, but a rename does not re-sort: the next
  // sort of the parent sorts everything when this child left its place.
  if (ordered && (index >= parent->GetChildren().size() || !ChildInPlace(parent->GetChildren(), index)))
    parent->MarkChildrenUnsorted();
}

// The first other object in list order that bears Name, nullptr when none.
static TOrbaObject* OtherNamed(const TOrbaObject& self, const std::string& name) {
  if (self.GetManager() == nullptr) return nullptr;
  for (TOrbaObject* o : self.GetManager()->NamedObjects(name))
    if (o != &self) return o;
  return nullptr;
}

// The name a control that gives way to Name takes: Base_n, the smallest
// free n from 2 (or from the number Name already ends in).
static std::string NameGivingWayTo(TOrbaBaseList& manager, const std::string& name) {
  std::string base = name;
  int64_t n = 2;
  const size_t us = name.rfind('_');
  if (us != std::string::npos && us + 1 < name.size() && name.size() - us - 1 <= 9) {
    bool digits = true;
    for (size_t i = us + 1; i < name.size(); ++i)
      if (name[i] < '0' || name[i] > '9') digits = false;
    if (digits) {
      const int64_t number = std::stoll(name.substr(us + 1));
      if (number >= 2) {
        base = name.substr(0, us);
        n = number;
      }
    }
  }
  const std::string prefix = base + "_";
  return prefix + std::to_string(manager.SmallestFreeNumber(prefix, n));
}

void TOrbaObject::TakeUniqueName(const std::string& name, TNameClash clash) {
  if (name == Name) return;
  if (TOrbaObject* other = OtherNamed(*this, name)) {
    if (clash == TNameClash::ScrapOther) other->Scrap();
    else other->AssignName(NameGivingWayTo(*Manager, name));
  }
  AssignName(name);
}

void TOrbaObject::SetName(const std::string& name) { TakeUniqueName(name, TNameClash::ScrapOther); }

// A changed z-order key of Object: its parent puts it in place.
static void KeyChanged(TOrbaObject& object, TOrbaControl* parent, size_t index) {
  if (parent == nullptr) return;
  parent->SortChild(index);
  object.Invalidate();
}

// True when a z-order key of Object may change while it waits for its place
// among its parent's children, and it still lands where placing it on
// arrival and moving it at the change would have put it. That holds while
// no other object bears its name: nothing then compares equal to it, and
// a child's place among children that order each other fully is given by
// its key alone. (Among equal keys the place depends on where the child
// stood before the change.)
static bool KeyChangeWaits(const TOrbaObject& object, const TOrbaControl* parent) {
  if (parent == nullptr || !object.IsControl() || !static_cast<const TOrbaControl&>(object).AwaitingPlace())
    return false;
  const TOrbaBaseList* manager = object.GetManager();
  if (manager == nullptr) return false;
  const auto bearers = manager->NamedObjects(object.GetName());
  return bearers.size() == 1 && bearers[0] == &object;
}

void TOrbaObject::SetPriority(int32_t priority) {
  if (priority == Priority) return;
  TOrbaControl* parent = GetParent();
  if (KeyChangeWaits(*this, parent)) {
    Priority = priority;
    SubPriority = 0;
    Invalidate();
    return;
  }
  const size_t index = parent != nullptr ? parent->IndexOfChild(this) : 0;
  Priority = priority;
  SubPriority = 0;
  KeyChanged(*this, parent, index);
}

void TOrbaObject::SetSubPriority(int32_t priority) {
  if (priority == SubPriority) return;
  TOrbaControl* parent = GetParent();
  if (KeyChangeWaits(*this, parent)) {
    SubPriority = priority;
    Invalidate();
    return;
  }
  const size_t index = parent != nullptr ? parent->IndexOfChild(this) : 0;
  SubPriority = priority;
  KeyChanged(*this, parent, index);
}

TCustomDIBX* TOrbaObject::GetSurface() const {
  TOrbaControl* parent = GetParent();
  if (parent == nullptr) return nullptr;
  return parent == painting.Parent ? painting.Surface : parent->GetSurface();
}

TOrbaBase* TOrbaObject::GetScreen() const {
  TOrbaControl* parent = GetParent();
  return parent != nullptr ? parent->GetScreen() : nullptr;
}

TRect TOrbaObject::GetBoundsRect() const {
  const int64_t left = GetScreenLeft(), top = GetScreenTop();
  return TRect{static_cast<int32_t>(left), static_cast<int32_t>(top),
               static_cast<int32_t>(std::clamp<int64_t>(left + GetWidth(), INT32_MIN, INT32_MAX)),
               static_cast<int32_t>(std::clamp<int64_t>(top + GetHeight(), INT32_MIN, INT32_MAX))};
}

bool TOrbaObject::ClipToBounds(TRect& rect) const {
  IntersectRects(rect, GetBoundsRect(), rect);
  return !RectIsEmpty(rect);
}

void TOrbaObject::InflateDirtyRect(TRect& rect) const {
  if (TOrbaControl* parent = GetParent()) parent->InflateDirtyRect(rect);
}

void TOrbaObject::PositionChanged() {
  for (int32_t i = 0; i < GetChildCount(); ++i) GetChild(i)->PositionChanged();
}

bool TOrbaObject::IsShown() const {
  if (!GetVisible() || Manager == nullptr) return false;
  if (GetScreen() != Manager->ActiveBase()) return false;
  for (const TOrbaControl* p = GetParent(); p != nullptr; p = p->GetParent())
    if (!p->GetVisible()) return false;
  return true;
}

void TOrbaObject::SaveToStream(TKsBigStream& stream) const {
  WriteStreamString(stream, Name);
  WriteStreamInt(stream, Priority);
  WriteStreamInt(stream, SubPriority);
  WriteStreamString(stream, Tag);
}

void TOrbaObject::LoadFromStream(TKsBigStream& stream, int32_t version) {
  AssignName(ReadStreamString(stream));
  Priority = ReadStreamInt(stream);
  SubPriority = ReadStreamInt(stream);
  if (version >= kSceneTagVersion) Tag = ReadStreamString(stream);
}

void TOrbaObject::QueueEvent(const std::string& label, uint8_t code, const TArrayString* args) {
  if (Manager != nullptr) Manager->Events.QueueEvent(Handle(), label, args, code);
}

bool TOrbaObject::EventQueued(uint8_t code) const {
  return Manager != nullptr && Manager->Events.HasQueuedEvent(Handle(), code);
}

// ---- TOrbaComponent ----------------------------------------------------------------------------

TOrbaComponent::~TOrbaComponent() {
  if (Manager == nullptr) return;
  // Waiting events go; the entries of handlers already running stay, with
  // no sender.
  TTimerList& events = Manager->Events;
  events.RemoveSender(Handle());
  events.DetachSender(Handle());
}

bool TOrbaComponent::IsScrapped() const {
  return Manager != nullptr && Manager->IsObjectScrapped(this);
}

void TOrbaComponent::Scrap() {
  const bool newly = Manager != nullptr && Manager->ScrapObject(this);
  AssignName(std::string());
  // A loop that makes and deletes large items in one tick holds one's
  // bitmaps at a time, not every one's until the idle pass.
  if (newly) ReleaseScrapped();
}

// ---- TOrbaControl ------------------------------------------------------------------------------

TOrbaControl::TOrbaControl(TOrbaBaseList* manager) : TOrbaComponent(manager) {}

void TOrbaControl::Create() {
  TOrbaComponent::Create();
  if (Manager != nullptr && Manager->GetFocusObject() == nullptr) Manager->PickFocus = true;
}

TOrbaControl::~TOrbaControl() {
  // Children first, each unregistered and destroyed.
  std::vector<TOrbaControl*> children;
  Children.swap(children);
  for (TOrbaControl* child : children) {
    child->Parent = nullptr;
    if (Manager != nullptr) Manager->RemoveObject(child);
    delete child;
  }
  Motion.reset();
  if (Manager == nullptr) return;
  if (Manager->Focus == Handle()) {
    Manager->Focus = TObjectHandle{};
    Manager->PickFocus = true;
  }
  if (!IsScreenRoot()) {
    for (int i = 0; i < 2; ++i) {
      TOrbaBase* root = Manager->GetBase(i);
      if (root != nullptr && root->Hover == Handle()) root->Hover = TObjectHandle{};
    }
  }
}

bool TOrbaControl::GetAniPaused() const {
  if (IsInternalName(GetName()) && Parent != nullptr) return Parent->GetAniPaused();
  return AniPaused;
}

bool TOrbaControl::GetPlaying() const {
  return Motion != nullptr && !Motion->Ended() && !GetPaused() && !GetAniPaused();
}

void TOrbaControl::MoveAxis(int32_t& field, int32_t& motion, int32_t v) {
  if (v == field) return;
  Invalidate();
  field = v;
  motion = 0;
  Invalidate();
  PositionChanged();
}

void TOrbaControl::SetLeft(int32_t v) { MoveAxis(Left, MotionX, v); }
void TOrbaControl::SetTop(int32_t v) { MoveAxis(Top, MotionY, v); }
void TOrbaControl::SetOffsetX(int32_t v) {
  if (RepaintSet(OffsetX, v)) PositionChanged();
}
void TOrbaControl::SetOffsetY(int32_t v) {
  if (RepaintSet(OffsetY, v)) PositionChanged();
}
void TOrbaControl::SetWidth(int32_t v) { RepaintSet(Width, v); }
void TOrbaControl::SetHeight(int32_t v) { RepaintSet(Height, v); }
void TOrbaControl::SetPlusX(int32_t v) { RepaintSet(PlusX, v); }
void TOrbaControl::SetPlusY(int32_t v) { RepaintSet(PlusY, v); }
void TOrbaControl::SetMotionX(int32_t v) { RepaintSet(MotionX, v); }
void TOrbaControl::SetMotionY(int32_t v) { RepaintSet(MotionY, v); }
void TOrbaControl::SetPosZoomed(bool v) { RepaintSet(PosZoomed, v); }
void TOrbaControl::SetClipLeft(int32_t v) {
  if (RepaintSet(ClipLeft, v)) ClipChanged();
}
void TOrbaControl::SetClipTop(int32_t v) {
  if (RepaintSet(ClipTop, v)) ClipChanged();
}
void TOrbaControl::SetClipWidth(int32_t v) {
  if (RepaintSet(ClipWidth, v)) ClipChanged();
}
void TOrbaControl::SetClipHeight(int32_t v) {
  if (RepaintSet(ClipHeight, v)) ClipChanged();
}

void TOrbaControl::SetColor(int32_t v) {
  if (v == Color) return;
  Color = v;
  Invalidate();
}

void TOrbaControl::SetSelFrame(bool v) {
  if (v == SelFrame) return;
  SelFrame = v;
  Invalidate();
}

void TOrbaControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (left == Left && top == Top && width == Width && height == Height) return;
  Invalidate();
  Left = left;
  Top = top;
  Width = width;
  Height = height;
  Invalidate();
}

void TOrbaControl::TellPickFocus() const {
  if (Manager != nullptr) Manager->PickFocus = true;
}

void TOrbaControl::SetVisible(bool v) {
  if (v == Visible) return;
  if (!v) {
    Invalidate();
    Visible = false;
    if (Manager != nullptr) {
      TOrbaObject* focus = Manager->GetFocusObject();
      if (focus != nullptr && (focus == this || ContainsObject(focus))) {
        Manager->SetFocusObject(nullptr);
        TellPickFocus();
      }
    }
  } else {
    Visible = true;
    Invalidate();
    if (Manager != nullptr && Manager->GetFocusObject() == nullptr) TellPickFocus();
  }
}

void TOrbaControl::SetHandleKey(bool v) {
  HandleKey = v;
  if (Manager == nullptr) return;
  TOrbaObject* focus = Manager->GetFocusObject();
  if ((v && focus == nullptr) || (!v && focus == this)) TellPickFocus();
}

void TOrbaControl::SetParent(TOrbaControl* parent) {
  if (parent == Parent) return;
  for (const TOrbaControl* p = parent; p != nullptr; p = p->Parent)
    if (p == this) return;
  Invalidate();
  TOrbaControl* old = Parent;
  if (old != nullptr) {
    old->RemoveChild(this);
    if (old->IsCabinet()) LeftCabinet();
  }
  Parent = parent;
  if (parent != nullptr) {
    parent->AddChildInZOrder(this);
    if (parent->IsCabinet()) EnteredCabinet();
  }
  Invalidate();
  if (Manager == nullptr) return;
  TOrbaObject* focus = Manager->GetFocusObject();
  const bool on_active = GetScreen() == Manager->ActiveBase();
  if (focus != nullptr && (focus == this || ContainsObject(focus)) && !on_active) {
    Manager->SetFocusObject(nullptr);
    TellPickFocus();
  } else if (focus == nullptr && on_active) {
    TellPickFocus();
  }
}

void TOrbaControl::DetachFromParent() {
  if (Parent == nullptr) return;
  Parent->RemoveChild(this);
  Parent = nullptr;
}

// The other control keeps living under a numbered name.
void TOrbaControl::SetName(const std::string& name) { TakeUniqueName(name, TNameClash::RenameOther); }

TOrbaControl* TOrbaControl::GetChild(int32_t index) const {
  if (index < 0 || index >= GetChildCount()) return nullptr;
  return Children[static_cast<size_t>(index)];
}

void TOrbaControl::AddChild(TOrbaControl* child) {
  Children.push_back(child);
  if (child->IsAfterimage()) ++AfterimageChildren;
}

void TOrbaControl::AddChildInZOrder(TOrbaControl* child) {
  // Two top names would order each other both ways: such a child is placed
  // at once.
  if (ChildrenOrdered() && !child->IsAfterimage() && !IsTopName(child->GetName())) {
    Children.Wait(child);
    return;
  }
  AddChild(child);
  SortChild(Children.size() - 1);
}

void TOrbaControl::RemoveChild(TOrbaControl* child) {
  const size_t index = IndexOfChild(child);
  if (index >= Children.size()) return;
  Children.erase(Children.begin() + static_cast<std::ptrdiff_t>(index));
  if (child->IsAfterimage()) --AfterimageChildren;
}

size_t TOrbaControl::IndexOfChild(const TOrbaObject* child) const {
  if (ChildrenOrdered()) {
    auto it = std::lower_bound(Children.begin(), Children.end(), child,
                               [](const TOrbaControl* c, const TOrbaObject* key) { return CompareZKeys(*c, *key) < 0; });
    for (; it != Children.end() && CompareZKeys(**it, *child) == 0; ++it)
      if (*it == child) return static_cast<size_t>(it - Children.begin());
  }
  return static_cast<size_t>(std::find(Children.begin(), Children.end(), child) - Children.begin());
}

void TOrbaControl::SortChild(size_t index) {
  if (!ChildrenOrdered() || index >= Children.size()) {
    SortChildren();
    return;
  }
  // The others are in order and no afterimage is among them: the child
  // moves as the insertion pass would move it, found by binary search.
  std::vector<TOrbaControl*>& children = Children.Edit();
  const TOrbaControl* item = children[index];
  const auto at = children.begin() + static_cast<std::ptrdiff_t>(index);
  if (index > 0 && CompareZKeys(**(at - 1), *item) > 0) {
    // Forwards, behind the last earlier child that does not draw after it.
    const auto to = std::partition_point(children.begin(), at,
                                         [item](const TOrbaControl* c) { return CompareZKeys(*c, *item) <= 0; });
    std::rotate(to, at, at + 1);
  } else {
    // Backwards, past every later child that it draws after.
    const auto to = std::partition_point(at + 1, children.end(),
                                         [item](const TOrbaControl* c) { return CompareZKeys(*item, *c) > 0; });
    std::rotate(at, at + 1, to);
  }
}

int32_t CompareZOrder(const TOrbaObject& a, const TOrbaObject& b) {
  if (&a == &b) return 0;
  if (a.IsAfterimage() && b.IsAfterimage()) return (a.GetAlpha() % 256) - (b.GetAlpha() % 256);
  if (a.IsAfterimageOf(&b)) return -1;
  if (b.IsAfterimageOf(&a)) return 1;
  return CompareZKeys(a, b);
}

int32_t CompareZKeys(const TOrbaObject& a, const TOrbaObject& b) {
  if (&a == &b) return 0;
  if (IsTopName(a.GetName())) return 1;
  if (IsTopName(b.GetName())) return -1;
  const bool ia = IsInternalName(a.GetName()), ib = IsInternalName(b.GetName());
  if (ia && !ib) return -1;
  if (ib && !ia) return 1;
  const int64_t pa = int64_t{a.GetPriority()} + a.GetSubPriority(), pb = int64_t{b.GetPriority()} + b.GetSubPriority();
  if (pa != pb) return pa < pb ? -1 : 1;
  const int c = a.GetName().compare(b.GetName());
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void TOrbaControl::SortChildren() {
  std::vector<TOrbaControl*>& children = Children.Edit();
  for (size_t i = 1; i < children.size(); ++i) {
    TOrbaControl* item = children[i];
    size_t j = i;
    while (j > 0 && CompareZOrder(*children[j - 1], *item) > 0) {
      children[j] = children[j - 1];
      --j;
    }
    children[j] = item;
  }
  ChildrenUnsorted = false;
}

namespace {

// A waiting child with its z-order key packed into words that compare as
// CompareZKeys does up to the name's 16th byte: internal names first, then
// Priority + SubPriority, then the name's first bytes (unsigned, big-endian,
// padded with zero bytes; equal words leave the rest to CompareZKeys).
struct TWaitingChild {
  std::array<uint64_t, 3> Key;
  TOrbaControl* Child;
  size_t Place;  // the position in the placed children it goes before
};

TWaitingChild PackedKey(TOrbaControl* child) {
  // Two int32 add up to at least -2^32: the biased sum is positive and
  // below 2^34.
  constexpr int64_t kPriorityBias = int64_t{1} << 33;
  const int64_t priority = int64_t{child->GetPriority()} + child->GetSubPriority() + kPriorityBias;
  const std::string& name = child->GetName();
  TWaitingChild w{{(IsInternalName(name) ? 0 : uint64_t{1} << 40) + static_cast<uint64_t>(priority), 0, 0}, child, 0};
  for (size_t i = 0; i < 16 && i < name.size(); ++i)
    w.Key[1 + i / 8] |= uint64_t{static_cast<uint8_t>(name[i])} << (56 - 8 * (i % 8));
  return w;
}

}  // namespace

void TChildList::Wait(TOrbaControl* child) {
  items_.push_back(child);
  ++waiting_;
  child->AwaitsPlace = true;
}

void TChildList::PlaceWaiting() const {
  const size_t placed = items_.size() - waiting_;
  std::vector<TWaitingChild> waiting;
  waiting.reserve(waiting_);
  for (size_t i = placed; i < items_.size(); ++i) {
    items_[i]->AwaitsPlace = false;
    waiting.push_back(PackedKey(items_[i]));
  }
  waiting_ = 0;
  // Stable: among equal keys the earlier arrival goes first, as it would
  // have been placed first.
  std::stable_sort(waiting.begin(), waiting.end(), [](const TWaitingChild& a, const TWaitingChild& b) {
    if (a.Key != b.Key) return a.Key < b.Key;
    return CompareZKeys(*a.Child, *b.Child) < 0;
  });
  // Each goes behind the last placed child that does not draw after it;
  // the places rise with the keys, so each search starts at the one before
  // and gallops forward (few probes when a few join many, or many a few).
  size_t from = 0;
  for (TWaitingChild& w : waiting) {
    auto draws_after = [&](size_t i) { return CompareZKeys(*items_[i], *w.Child) > 0; };
    size_t step = 1, low = from;
    while (low + step <= placed && !draws_after(low + step - 1)) {
      low += step;
      step *= 2;
    }
    size_t high = std::min(low + step, placed);
    while (low < high) {
      const size_t mid = low + (high - low) / 2;
      if (draws_after(mid)) high = mid;
      else low = mid + 1;
    }
    w.Place = from = low;
  }
  // One pass from the back moves every placed child once.
  size_t out = items_.size(), end = placed;
  for (size_t j = waiting.size(); j-- > 0;) {
    const auto first = items_.begin() + static_cast<std::ptrdiff_t>(waiting[j].Place);
    std::move_backward(first, items_.begin() + static_cast<std::ptrdiff_t>(end),
                       items_.begin() + static_cast<std::ptrdiff_t>(out));
    out -= end - waiting[j].Place;
    end = waiting[j].Place;
    items_[--out] = waiting[j].Child;
  }
}

void TOrbaControl::SetGroupFlags(int32_t group, bool flag) {
  if (group == 0) return;
  for (TOrbaControl* child : Children)
    if (child->GetGroupIndex() == group) child->SetGroupFlag(flag);
}

void TOrbaControl::UpdateGroup(TOrbaObject* clicked, int32_t group) {
  if (group == 0) return;
  std::vector<TOrbaControl*> members;
  for (TOrbaControl* child : Children)
    if (child->GetGroupIndex() == group) members.push_back(child);
  if (members.empty()) return;
  const TOrbaObject* chosen = nullptr;
  if (clicked != nullptr && clicked->GetSelected()) {
    chosen = clicked;
  } else {
    for (const TOrbaControl* member : members)
      if (member->GetSelected()) {
        chosen = member;
        break;
      }
  }
  if (chosen == nullptr && clicked != nullptr && !clicked->GetAllowAllUp()) chosen = members.front();
  for (TOrbaControl* member : members) {
    const bool is_chosen = member == chosen;
    if (member->GetSelected() != is_chosen) member->SetGroupSelected(is_chosen);
  }
}

void TOrbaControl::ClipChanged() {
  for (TOrbaControl* child : Children) child->ClipChanged();
}

namespace {

int32_t ClampI32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int64_t Zoomed(int64_t value, int64_t zoom) { return value * zoom / 256; }

// One axis of the screen position: the plain path and the one that follows
// a zoomed parent bitmap. Sums are taken in 64 bits and the result clamped,
// so that positions near the ends of the int32 range cannot overflow.
struct TAxis {
  int64_t Pos, Offset, Size, Zoom, Motion, Plus;
  bool Flip;
};

int64_t PlainOrigin(const TAxis& a, bool pos_zoomed, bool animated, bool relative, int64_t* anchor) {
  const int64_t scaled = a.Zoom == 256 ? a.Offset : Zoomed(a.Offset, a.Zoom);
  const int64_t ofs = a.Flip ? (relative ? a.Size : a.Size - 1) - scaled : scaled;
  int64_t x = a.Pos;
  if (pos_zoomed && !animated) x = Zoomed(a.Pos, a.Zoom);
  if (animated) x = a.Motion;
  if (anchor != nullptr) *anchor = x;
  return x - ofs;
}

TAxis AxisOf(const TOrbaControl& c, bool vertical) {
  // Qualified calls: the stored fields, read without a virtual call on the
  // hot path of every screen-origin walk.
  return vertical ? TAxis{c.TOrbaControl::GetTop(), c.TOrbaControl::GetOffsetY(), c.TOrbaControl::GetHeight(),
                          c.GetZoomY(), c.GetMotionY(), c.TOrbaControl::GetPlusY(), c.GetFlipV()}
                  : TAxis{c.TOrbaControl::GetLeft(), c.TOrbaControl::GetOffsetX(), c.TOrbaControl::GetWidth(),
                          c.GetZoomX(), c.GetMotionX(), c.TOrbaControl::GetPlusX(), c.GetFlipH()};
}

// The parent's contribution to a child's screen position, as the walk up
// the ancestors gives it.
int64_t WalkedParentOrigin(const TOrbaControl* parent, bool vertical) {
  if (parent == nullptr) return 0;
  return vertical ? int64_t{parent->GetScreenTop()} - parent->GetScrollY()
                  : int64_t{parent->GetScreenLeft()} - parent->GetScrollX();
}

// The same, taken from the paint under way while Parent's children are
// being painted.
int64_t ParentOrigin(const TOrbaControl* parent, bool vertical) {
  if (parent != nullptr && parent == painting.Parent) return vertical ? painting.OriginY : painting.OriginX;
  return WalkedParentOrigin(parent, vertical);
}

// Horizontal and vertical screen origins share this code through the
// `vertical` switch.
int32_t ScreenOrigin(const TOrbaControl& c, bool vertical) {
  const TOrbaControl* parent = c.TOrbaControl::GetParent();
  const bool animated = c.GetOwnMotion() != nullptr;
  const TAxis axis = AxisOf(c, vertical);
  if (c.TOrbaControl::GetPosZoomed() && parent != nullptr && !parent->IsScreenRoot() && !animated) {
    TCustomDIBX* pdib = parent->GetDIB();
    TCustomDIBX* own = c.GetDIB();
    const int32_t pzoom = vertical ? parent->GetZoomY() : parent->GetZoomX();
    const int32_t psize = vertical ? parent->GetHeight() : parent->GetWidth();
    // A parent of size 0 has no scale; the plain path is taken instead.
    if (pdib != nullptr && own != nullptr && pzoom == axis.Zoom && psize != 0) {
      const int64_t pbits = vertical ? pdib->Height() : pdib->Width();
      const int64_t obits = vertical ? own->Height() : own->Width();
      const double ratio = static_cast<double>(pbits) / psize * 65536.0;
      int64_t scale = std::isfinite(ratio) && std::fabs(ratio) < 1e15
                          ? static_cast<int64_t>(std::nearbyint(ratio)) : 1;
      if (scale < 1) scale = 1;
      int64_t d = axis.Pos - axis.Offset;
      if (axis.Flip) d = pbits - d - obits;
      const int64_t num = d * 65536;
      int64_t x = num / scale;
      if (num % scale > 32767) x += 1;
      return ClampI32(x + ParentOrigin(parent, vertical) + axis.Plus);
    }
  }
  return ClampI32(PlainOrigin(axis, c.TOrbaControl::GetPosZoomed(), animated, false, nullptr) + axis.Plus +
                  ParentOrigin(parent, vertical));
}

}  // namespace

int32_t TOrbaControl::GetScreenLeft() const { return ScreenOrigin(*this, false); }
int32_t TOrbaControl::GetScreenTop() const { return ScreenOrigin(*this, true); }

int32_t TOrbaControl::GetRelativeLeft() const {
  const TAxis a = AxisOf(*this, false);
  return ClampI32(PlainOrigin(a, PosZoomed, Motion != nullptr, true, nullptr) + a.Plus);
}

int32_t TOrbaControl::GetRelativeTop() const {
  const TAxis a = AxisOf(*this, true);
  return ClampI32(PlainOrigin(a, PosZoomed, Motion != nullptr, true, nullptr) + a.Plus);
}

TPoint TOrbaControl::GetAnchorPos() const {
  int64_t x = 0, y = 0;
  PlainOrigin(AxisOf(*this, false), PosZoomed, Motion != nullptr, false, &x);
  PlainOrigin(AxisOf(*this, true), PosZoomed, Motion != nullptr, false, &y);
  return TPoint{ClampI32(x + ParentOrigin(Parent, false) + PlusX),
                ClampI32(y + ParentOrigin(Parent, true) + PlusY)};
}

// Scripts pass any int32: the sums are taken in 64 bits and clamped.
TPoint TOrbaControl::ClientToScreen(TPoint p) const {
  return TPoint{ClampI32(int64_t{p.X} + GetScreenLeft()), ClampI32(int64_t{p.Y} + GetScreenTop())};
}

TPoint TOrbaControl::ScreenToClient(TPoint p) const {
  return TPoint{ClampI32(int64_t{p.X} - GetScreenLeft()), ClampI32(int64_t{p.Y} - GetScreenTop())};
}

TRect TOrbaControl::ClipWindow() const {
  const int64_t l = int64_t{GetScreenLeft()} + ClipLeft, t = int64_t{GetScreenTop()} + ClipTop;
  return TRect{ClampI32(l), ClampI32(t), ClampI32(l + ClipWidth), ClampI32(t + ClipHeight)};
}

void TOrbaControl::Invalidate() { InvalidateArea(GetBoundsRect()); }

void TOrbaControl::InvalidateArea(TRect r) {
  if (!Visible) return;
  TOrbaBase* screen = GetScreen();
  if (screen == nullptr) return;
  if (Parent != nullptr && !Parent->ClipToBounds(r)) return;
  if (ClipActive()) {
    IntersectRects(r, ClipWindow(), r);
    if (RectIsEmpty(r)) return;
  }
  InflateOwnRect(r);
  screen->InvalidateRect(r);
}

// True when the item and every child it draws only paint.
static bool SubtreeOnlyPaints(const TOrbaControl& item) {
  if (!item.OnlyPaints()) return false;
  for (const TOrbaControl* child : item.GetChildren())
    if (!child->GetName().empty() && child->GetVisible() && !SubtreeOnlyPaints(*child)) return false;
  return true;
}

// Painting a long list of children waits mostly on their memory, whose
// order the processor cannot guess: each child is asked for a few children
// ahead of its turn. A prefetch is a hint; nothing is read.
static constexpr size_t kPrefetchAhead = 8;

static void Prefetch(const void* p) { __builtin_prefetch(p); }

void TOrbaControl::PrefetchForPaint(const TOrbaControl& item, bool drawn) {
  // What every paint pass reads: the virtual table's address, the name,
  // the place and size, the visibility and the children.
  Prefetch(&item);
  Prefetch(&item.GetName());
  Prefetch(&item.Left);
  Prefetch(&item.Height);
  Prefetch(&item.Visible);
  Prefetch(&item.Children);
  if (!drawn) return;
  // What a child's draw reads besides: the clip window, the position
  // modifiers, the motion, and the first fields of the item kind (its
  // picture and drawing settings), which follow the control's own.
  Prefetch(&item.PosZoomed);
  Prefetch(&item.ClipHeight);
  Prefetch(&item.PlusY);
  const auto* motion = reinterpret_cast<const char*>(&item.Motion);
  Prefetch(motion);
  Prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(motion) + 64));
}

static bool RectWithin(const TRect& inner, const TRect& outer) {
  return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
         inner.Bottom <= outer.Bottom;
}

size_t TOrbaControl::FirstPaintedChild(const TRect& area, const TCustomDIBX* surface, bool* covered) const {
  size_t first = 0;
  bool found = false;
  if (!RectIsEmpty(area)) {
    for (size_t i = 0; i < Children.size(); ++i) {
      const TOrbaControl* child = Children[i];
      if (i + kPrefetchAhead < Children.size()) PrefetchForPaint(*Children[i + kPrefetchAhead], false);
      // The children Draw passes over.
      if (child->GetName().empty() || !child->GetVisible()) continue;
      // A clip window that cuts Area leaves part of it to the children below.
      // An item smaller than Area cannot paint all of it: its bounds are not
      // computed at all (one tick asks this of every child).
      if (int64_t{child->GetWidth()} >= int64_t{area.Right} - area.Left &&
          int64_t{child->GetHeight()} >= int64_t{area.Bottom} - area.Top && child->GetSurface() == surface &&
          (!child->ClipActive() || RectWithin(area, child->ClipWindow())) && child->PaintsOver(area)) {
        first = i;
        found = true;
      }
      if (!SubtreeOnlyPaints(*child)) break;
    }
  }
  if (covered != nullptr) *covered = found;
  return first;
}

void TOrbaControl::Draw() { DrawFrom(kFirstChildUnknown); }

void TOrbaControl::DrawFrom(size_t first) {
  // Nothing to paint: the surface's clip is left as the caller set it.
  if (Children.empty() && !SelFrame) return;
  TCustomDIBX* surface = GetSurface();
  if (surface == nullptr) return;
  const TRect saved = surface->GetClipRect();
  TRect c;
  IntersectRects(GetBoundsRect(), saved, c);
  if (!RectIsEmpty(c)) {
    // Children wholly painted over by a later one are left out. A child may
    // re-sort or rename while painting; iterate over a copy.
    if (first == kFirstChildUnknown) first = FirstPaintedChild(c, surface);
    const std::vector<TOrbaControl*> children(Children.begin() + static_cast<std::ptrdiff_t>(first), Children.end());
    const TPaintingScope scope(*this, WalkedParentOrigin(this, false), WalkedParentOrigin(this, true), surface);
    for (size_t i = 0; i < children.size(); ++i) {
      TOrbaControl* child = children[i];
      if (i + kPrefetchAhead < children.size()) PrefetchForPaint(*children[i + kPrefetchAhead], true);
      if (child->GetName().empty() || !child->GetVisible()) continue;
      TRect k = c;
      if (child->ClipActive()) {
        IntersectRects(k, child->ClipWindow(), k);
        if (RectIsEmpty(k)) continue;
      }
      // Each child paints under its own clip. Children leave the clip as
      // they found it: it is set again only where it differs.
      if (!surface->ClipHolds(k)) {
        surface->ResetClipRect();
        surface->IncludeClipRect(k);
      }
      child->Draw();
    }
  }
  surface->ResetClipRect();
  surface->IncludeClipRect(saved);
  // The selection frame: 2 pixels of the 2 x 2 selection pattern, each
  // side anchored to itself.
  if (SelFrame && SelRectDIB != nullptr) surface->PatternFrameRect(GetBoundsRect(), 2, *SelRectDIB, 0, 0);
}

TOrbaObject* TOrbaControl::HitTest(TPoint p, uint32_t mask) {
  if (!GetVisible() || !PointInRect(p, GetBoundsRect())) return nullptr;
  TOrbaObject* candidate = nullptr;
  const uint8_t v = GetIgnoreMouse();
  if (v < 8 && ((mask >> v) & 1) != 0) candidate = this;
  for (size_t i = Children.size(); i-- > 0;) {
    TOrbaControl* child = Children[i];
    if (child->GetName().empty()) continue;
    if (TOrbaObject* hit = child->HitTest(p, mask)) return hit;
  }
  return candidate;
}

bool TOrbaControl::Idle() {
  if (Motion != nullptr && Motion->Step()) {
    if (GetAutoScrap()) return true;
    const std::string label = GetOnPlayEnd();
    if (!label.empty()) QueueEvent(label, PR_ONPLAYEND);
  }
  return false;
}

TArrayString TOrbaControl::PointerArgs() const {
  TArrayString args;
  TOrbaBase* root = GetScreen();
  const int32_t mx = root != nullptr ? root->MouseX : 0, my = root != nullptr ? root->MouseY : 0;
  args.Add(std::to_string(int64_t{mx} - GetScreenLeft()));
  args.Add(std::to_string(int64_t{my} - GetScreenTop()));
  return args;
}

// The press handlers of both buttons.
static void PressButton(TOrbaControl& c, bool left, const std::string& label, uint8_t code,
                        const TArrayString& args, bool queued, bool held) {
  const uint8_t im = c.GetIgnoreMouse();
  const bool admitted = left ? (im == IM_NONE || im == IM_RCLICK) : (im == IM_NONE || im == IM_LCLICK);
  if (!admitted || c.IsScreenRoot()) return;
  TOrbaBase* root = c.GetScreen();
  const bool takes = !c.GetPaused() && !queued && !held;
  if (takes && !label.empty() && c.GetManager() != nullptr)
    c.GetManager()->Events.QueueEvent(c.Handle(), label, &args, code);
  if (root == nullptr) return;
  if (takes) root->Capture |= left ? TOrbaBase::kLeftCaptured : TOrbaBase::kRightCaptured;
  (left ? root->LeftPressed : root->RightPressed) = false;
}

void TOrbaControl::DoLButtonDown() {
  PressButton(*this, true, OnLBtnDown, PR_ONLBTNDOWN, PointerArgs(), EventQueued(PR_ONLBTNDOWN),
              GetEventsHeld());
}

void TOrbaControl::DoRButtonDown() {
  PressButton(*this, false, OnRBtnDown, PR_ONRBTNDOWN, PointerArgs(), EventQueued(PR_ONRBTNDOWN),
              GetEventsHeld());
}

void TOrbaControl::DoLButtonUp() {
  if (GetEventsHeld()) return;
  if (!OnLBtnUp.empty()) {
    const TArrayString args = PointerArgs();
    QueueEvent(OnLBtnUp, PR_ONLBTNUP, &args);
  }
  if (TOrbaBase* root = GetScreen()) root->Capture &= static_cast<uint8_t>(~TOrbaBase::kLeftCaptured);
}

void TOrbaControl::DoRButtonUp() {
  if (GetEventsHeld()) return;
  if (!OnRBtnUp.empty()) {
    const TArrayString args = PointerArgs();
    QueueEvent(OnRBtnUp, PR_ONRBTNUP, &args);
  }
  if (TOrbaBase* root = GetScreen()) root->Capture &= static_cast<uint8_t>(~TOrbaBase::kRightCaptured);
}

void TOrbaControl::DoMouseMove() {
  if (OnMouseMove.empty() || EventQueued(PR_ONMOUSEMOVE) || GetEventsHeld()) return;
  const TArrayString args = PointerArgs();
  QueueEvent(OnMouseMove, PR_ONMOUSEMOVE, &args);
}

void TOrbaControl::DoMouseIn() {
  if (!OnMouseIn.empty() && !GetEventsHeld()) QueueEvent(OnMouseIn, PR_ONMOUSEIN);
}

void TOrbaControl::DoMouseOut() {
  if (!OnMouseOut.empty() && !GetEventsHeld()) QueueEvent(OnMouseOut, PR_ONMOUSEOUT);
}

void TOrbaControl::QueueKeyEvent(const std::string& label, uint8_t code, const std::vector<int32_t>& keys) {
  if (label.empty() || GetPaused() || EventQueued(code) || IsScreenRoot() || GetEventsHeld()) return;
  TArrayString args;
  for (int32_t k : keys) args.Add(std::to_string(k));
  QueueEvent(label, code, &args);
}

void TOrbaControl::DoKeyDown() {
  if (Manager != nullptr) QueueKeyEvent(OnKeyDown, PR_ONKEYDOWN, Manager->KeysDown);
}
void TOrbaControl::DoKeyRepeat() {
  if (Manager != nullptr) QueueKeyEvent(OnKeyRepeat, PR_ONKEYREPEAT, Manager->KeysRepeat);
}
void TOrbaControl::DoKeyUp() {
  if (Manager != nullptr) QueueKeyEvent(OnKeyUp, PR_ONKEYUP, Manager->KeysUp);
}

TOrbaObject* TOrbaControl::FindFocus() {
  for (size_t i = Children.size(); i-- > 0;) {
    TOrbaControl* child = Children[i];
    if (!child->GetVisible()) continue;
    if (TOrbaObject* found = child->FindFocus()) return found;
  }
  if (HandleKey && !GetPaused()) return this;
  return nullptr;
}

bool TOrbaControl::ContainsObject(const TOrbaObject* object) const {
  for (const TOrbaControl* child : Children)
    if (child == object || child->ContainsObject(object)) return true;
  return false;
}

bool TOrbaControl::InCabinet() const {
  if (Parent == nullptr) return false;
  return Parent->IsCabinet() || Parent->InCabinet();
}

void TOrbaControl::PositionChanged() {
  for (TOrbaControl* child : Children) child->PositionChanged();
}

void TOrbaControl::StartMotion(const std::string& file_name) {
  Motion.reset();
  if (motion_factory == nullptr) return;
  try {
    Motion = motion_factory(*this, file_name);
  } catch (const EFilmError& e) {
    // The item shows no film; the command or saved scene that named it goes on.
    TraceOnce(SjisToUtf8(file_name + ": " + e.what()));
  }
}

void TOrbaControl::StopMotion() {
  if (Motion != nullptr) Motion->Rewind();
}

void TOrbaControl::ChangeFilmSource(std::string& source, std::string v) {
  if (v == source) return;
  source = std::move(v);
  Motion.reset();
  if (IsFilmName(source)) StartMotion(source);
}

void TOrbaControl::ChangeMotionRepeat(bool& repeat, bool v) {
  const bool was = repeat;
  repeat = v;
  if (v && !was && Motion != nullptr && Motion->Ended()) Motion->Rewind();
}

bool TOrbaControl::Saved(const TOrbaObject& child) {
  return !child.IsScrapped() && child.GetCompoType() != 0 && !IsInternalName(child.GetName());
}

void TOrbaControl::SaveToStream(TKsBigStream& stream) const {
  TOrbaComponent::SaveToStream(stream);
  for (int32_t v : {Left, Top, Width, Height, OffsetX, OffsetY}) WriteStreamInt(stream, v);
  WriteStreamBool(stream, PosZoomed);
  for (int32_t v : {MotionX, MotionY, PlusX, PlusY}) WriteStreamInt(stream, v);
  for (int32_t v : {ClipLeft, ClipTop, ClipWidth, ClipHeight}) WriteStreamInt(stream, v);
  WriteStreamBool(stream, AniPaused);
  WriteStreamBool(stream, Visible);
  WriteStreamInt(stream, Color);
  WriteStreamRect(stream, ExtraRect);
  WriteStreamByte(stream, IgnoreMouse);
  for (const std::string* s : {&Cursor, &OnMouseMove, &OnMouseIn, &OnMouseOut, &OnLBtnDown, &OnLBtnUp,
                               &OnRBtnDown, &OnRBtnUp, &OnWheelDown, &OnWheelUp})
    WriteStreamString(stream, *s);
  WriteStreamBool(stream, HandleKey);
  for (const std::string* s : {&OnKeyDown, &OnKeyUp, &OnKeyRepeat, &OnFocusIn, &OnFocusOut})
    WriteStreamString(stream, *s);
  int32_t count = 0;
  for (const TOrbaControl* child : Children)
    if (Saved(*child)) ++count;
  WriteStreamInt(stream, count);
  for (const TOrbaControl* child : Children) {
    if (!Saved(*child)) continue;
    WriteStreamByte(stream, child->GetCompoType());
    child->SaveToStream(stream);
  }
}

void TOrbaControl::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaComponent::LoadFromStream(stream, version);
  for (int32_t* v : {&Left, &Top, &Width, &Height, &OffsetX, &OffsetY}) *v = ReadStreamInt(stream);
  PosZoomed = ReadStreamBool(stream);
  if (version >= kSceneMotionVersion)
    for (int32_t* v : {&MotionX, &MotionY, &PlusX, &PlusY}) *v = ReadStreamInt(stream);
  for (int32_t* v : {&ClipLeft, &ClipTop, &ClipWidth, &ClipHeight}) *v = ReadStreamInt(stream);
  AniPaused = ReadStreamBool(stream);
  Visible = ReadStreamBool(stream);
  Color = ReadStreamInt(stream);
  ExtraRect = ReadStreamRect(stream);
  IgnoreMouse = ReadByteVal(stream);
  Cursor = ReadStreamString(stream);
  OnMouseMove = ReadStreamString(stream);
  OnMouseIn = ReadStreamString(stream);
  for (std::string* s : {&OnMouseOut, &OnLBtnDown, &OnLBtnUp, &OnRBtnDown, &OnRBtnUp, &OnWheelDown, &OnWheelUp})
    *s = ReadStreamString(stream);
  if (version >= kSceneKeyHandlersVersion) {
    HandleKey = ReadStreamBool(stream);
    for (std::string* s : {&OnKeyDown, &OnKeyUp, &OnKeyRepeat, &OnFocusIn, &OnFocusOut})
      *s = ReadStreamString(stream);
  }
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  // Each child needs at least its type byte and its name's length.
  CheckStoredCount(stream, count, 5);
  if (Manager == nullptr) throw EReadError();
  if (++Manager->LoadDepth > TOrbaBaseList::kMaxTreeDepth) {
    --Manager->LoadDepth;
    throw ESceneError("scene tree nested too deep");
  }
  struct TDepth {
    TOrbaBaseList* m;
    ~TDepth() { --m->LoadDepth; }
  } depth{Manager};
  // The children are read in their saved order and sorted once at the end.
  ChildrenUnsorted = true;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t type = ReadByteVal(stream);
    TOrbaObject* item = CreateCompoByType(Manager, type);
    if (item == nullptr || !item->IsControl())
      throw ESceneError("scene names an item kind that cannot be created: " + std::to_string(type & 127));
    auto* child = static_cast<TOrbaControl*>(item);
    child->Parent = this;
    AddChild(child);
    child->LoadFromStream(stream, version);
  }
  SortChildren();
}

}  // namespace orba

#include "items/prev_menu.h"

#include <algorithm>
#include <set>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/system/trace.h"
#include "items/base_list.h"
#include "items/brix_cache.h"
#include "items/film_manager.h"
#include "platform/text_convert.h"
#include "script/save/scene_versions.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

namespace orba {

namespace {

constexpr int32_t kKeyEnter = 13, kKeySpace = 32;
constexpr int32_t kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39, kKeyDown = 40;

TPrevMenuReader prev_menu_reader = &LoadPrevMenu;

// The picture roles.
enum : int32_t {
  kNormal = 0, kHover = 1, kLeave = 2, kChosen = 3, kDisabled = 4, kDisabledHover = 5, kDisabledLeave = 6,
  kSubHover = 7, kSubLeave = 8, kSubChosen = 9, kSubDisabledHover = 10, kSubDisabledLeave = 11,
  kSelected = 12, kSelectedHover = 13, kSelectedLeave = 14, kSubSelect = 15, kSubUnselect = 16,
  kSubSelectedHover = 17, kSubSelectedLeave = 18
};

}  // namespace

TContSelList LoadPrevMenu(const std::string& /*name*/) {
  throw EFilmError(std::string(kPrevMenuKind) + ":" + kMsgUnsupportedFormat);
}

void SetPrevMenuReader(TPrevMenuReader reader) { prev_menu_reader = reader != nullptr ? reader : &LoadPrevMenu; }

// ---- TOrbaPrevImages ------------------------------------------------------------------------------

void TOrbaPrevImages::Show(const std::string& file, int32_t role, bool loop) {
  if (file != Source) {
    Alpha = 255;
    SetDelay(0);
    SetZoomX(256);
    SetZoomY(256);
    SetOffsetX(0);
    SetOffsetY(0);
    SetFlipH(false);
    SetFlipV(false);
  }
  SetRepeat(loop);
  SetSource(file);
  if (!loop && GetCount() > 0) SetIndex(0);
  Picture = file.empty() ? -1 : role;
  Reported = false;
}

bool TOrbaPrevImages::Idle() {
  const bool answer = TOrbaImages::Idle();
  if (Menu != nullptr && !Repeat && !Paused && !Reported && !GetPlaying()) {
    Reported = true;
    Menu->AnimationEnded(*this);
  }
  return answer;
}

// ---- TOrbaPrevMenu: life cycle and loading --------------------------------------------------------

void TOrbaPrevMenu::Create() {
  TOrbaControl::Create();
  // Right clicks anywhere on the screen may cancel the menu.
  if (Manager != nullptr) Manager->PrevMenus.push_back(Handle());
}

TOrbaPrevMenu::~TOrbaPrevMenu() {
  if (Manager != nullptr) std::erase(Manager->PrevMenus, Handle());
  for (TBrixItem* entry : Entries) entry->RemoveOwner(this);
  // The children (button items and sub-images) go with the control.
  for (int32_t i = 0; i < ButtonCount(); ++i)
    for (TOrbaPrevImages* item : {Item(i), SubImage(i)})
      if (item != nullptr) item->Menu = nullptr;
}

TOrbaPrevImages* TOrbaPrevMenu::Held(TObjectHandle handle) const {
  TOrbaObject* o = Manager != nullptr && handle ? Manager->Lookup(handle) : nullptr;
  return o != nullptr && !o->IsScrapped() ? static_cast<TOrbaPrevImages*>(o) : nullptr;
}

TOrbaPrevImages* TOrbaPrevMenu::Item(int32_t button) const {
  return Valid(button) ? Held(Items[static_cast<size_t>(button)]) : nullptr;
}

TOrbaPrevImages* TOrbaPrevMenu::SubImage(int32_t button) const {
  return Valid(button) ? Held(SubImages[static_cast<size_t>(button)]) : nullptr;
}

void TOrbaPrevMenu::ClearButtons() {
  for (int32_t i = 0; i < ButtonCount(); ++i) {
    for (TOrbaPrevImages* item : {Item(i), SubImage(i)}) {
      if (item == nullptr) continue;
      item->Menu = nullptr;
      item->Scrap();
    }
  }
  Items.clear();
  SubImages.clear();
  Records.clear();
  for (TBrixItem* entry : Entries) entry->RemoveOwner(this);
  Entries.clear();
  Files.clear();
}

void TOrbaPrevMenu::SetSource(std::string v) {
  if (v == Source) return;
  Invalidate();
  Source = std::move(v);
  ClearButtons();
  HoverButton = -1;
  PressButton = -1;
  PendingAnims = 0;
  Enabled.clear();
  ItemVisible.clear();
  Selected.clear();
  TContSelList list;
  if (ProjectHasFile(Source)) {
    try {
      list = prev_menu_reader(Source);
    } catch (const EOrbaError& e) {
      // The menu stays empty; the game goes on.
      TraceOnce(SjisToUtf8(Source + ": " + e.what()));
      list = TContSelList{};
    }
  }
  SetButtons(list);
}

void TOrbaPrevMenu::SetButtons(const TContSelList& list) {
  SetWidth(list.Width);
  SetHeight(list.Height);
  for (int32_t i = 0; i < list.GetButtonCount(); ++i) {
    const TContSelButton& record = list.GetButton(i);
    Records.push_back(record);
    TOrbaPrevImages* item = NewPart(i, record.X, record.Y, false);
    item->Show(record.Files[kNormal], kNormal, true);
    item->SetCaptureMask(record.CaptureMask);
    item->SetCursor(record.Cursor);
    Items.push_back(item->Handle());
    SubImages.push_back(TObjectHandle{});
    for (const std::string& file : record.Files) AddFile(file);
  }
  Enabled.assign(Records.size(), 1);
  ItemVisible.assign(Records.size(), 1);
  Selected.assign(Records.size(), 0);
  Invalidate();
}

TOrbaPrevImages* TOrbaPrevMenu::NewPart(int32_t button, int32_t x, int32_t y, bool sub) {
  auto* part = NewOrbaObject<TOrbaPrevImages>(Manager);
  const std::string prefix = std::string("\x01") + GetName() + "\x01";
  part->SetName(Manager != nullptr ? Manager->MakeUniqueName(prefix) : prefix);
  part->Menu = this;
  part->Button = button;
  part->Sub = sub;
  part->SetParent(this);
  part->SetLeft(x);
  part->SetTop(y);
  return part;
}

void TOrbaPrevMenu::AddFile(const std::string& name) {
  if (name.empty()) return;
  if (IsFilmName(name)) {
    std::set<std::string> visited;
    PreloadFilmFiles(name, visited, [this](const std::string& file) { AddFile(file); });
    return;
  }
  const std::string key = SjisUpperCase(name);
  if (std::find(Files.begin(), Files.end(), key) != Files.end()) return;
  Files.push_back(key);
  TBrixCollection* cache = BrixCollection();
  if (cache == nullptr) return;
  try {
    Entries.push_back(&cache->Acquire(this, name, false, false));
  } catch (const EOrbaError&) {
    // Named in the trace by the cache; the button shows nothing for it.
  }
}

// ---- per-button flags ----------------------------------------------------------------------------

const std::string& TOrbaPrevMenu::File(int32_t button, int32_t role) const {
  return Records[static_cast<size_t>(button)].Files[static_cast<size_t>(role)];
}

std::string TOrbaPrevMenu::GetText() const {
  std::string text;
  for (size_t i = 0; i < Records.size(); ++i) text += (i == 0 ? "" : "\r\n") + Records[i].Caption;
  return text;
}

int32_t TOrbaPrevMenu::IndexOfButton(const std::string& name) const {
  for (int32_t i = 0; i < ButtonCount(); ++i)
    if (Records[static_cast<size_t>(i)].Caption == name) return i;
  return -1;
}

bool TOrbaPrevMenu::GetItemEnabled(int32_t index) const { return Valid(index) && Enabled[static_cast<size_t>(index)] != 0; }

bool TOrbaPrevMenu::GetItemVisible(int32_t index) const {
  return Valid(index) && ItemVisible[static_cast<size_t>(index)] != 0;
}

int32_t TOrbaPrevMenu::GetItemGroupIndex(int32_t index) const {
  return Valid(index) ? Records[static_cast<size_t>(index)].Group : 0;
}

bool TOrbaPrevMenu::GetItemSelected(int32_t index) const {
  if (!Valid(index)) return false;
  if (Selected[static_cast<size_t>(index)] != 0) return true;
  const int32_t group = Records[static_cast<size_t>(index)].Group;
  if (group == 0) return false;
  // A group with no selected visible member reports its first visible member.
  int32_t first = -1;
  for (int32_t i = 0; i < ButtonCount(); ++i) {
    if (Records[static_cast<size_t>(i)].Group != group || ItemVisible[static_cast<size_t>(i)] == 0) continue;
    if (Selected[static_cast<size_t>(i)] != 0) return false;
    if (first < 0) first = i;
  }
  return first == index;
}

void TOrbaPrevMenu::Dress(int32_t button, int32_t role, bool loop) {
  if (TOrbaPrevImages* item = Item(button)) item->Show(File(button, role), role, loop);
}

void TOrbaPrevMenu::DressResting(int32_t button) {
  const auto b = static_cast<size_t>(button);
  Dress(button, Selected[b] != 0 ? kSelected : Enabled[b] != 0 ? kNormal : kDisabled, true);
}

void TOrbaPrevMenu::SetItemEnabled(int32_t index, bool value) {
  if (!Valid(index) || (Enabled[static_cast<size_t>(index)] != 0) == value) return;
  Enabled[static_cast<size_t>(index)] = value ? 1 : 0;
  Dress(index, value ? kNormal : kDisabled, true);
}

void TOrbaPrevMenu::SetItemVisible(int32_t index, bool value) {
  const auto b = static_cast<size_t>(index);
  if (!Valid(index) || (ItemVisible[b] != 0) == value) return;
  ItemVisible[b] = value ? 1 : 0;
  if (TOrbaPrevImages* item = Item(index)) item->SetVisible(value);
  if (value)
    Dress(index, Enabled[b] != 0 ? kNormal : kDisabled, true);
  else if (TOrbaPrevImages* item = Item(index))
    item->Show(std::string(), -1, true);
  const int32_t group = Records[b].Group;
  if (group == 0) return;
  for (int32_t i = 0; i < ButtonCount(); ++i)
    if (i != index && Records[static_cast<size_t>(i)].Group == group && ItemVisible[static_cast<size_t>(i)] != 0)
      DressResting(i);
}

void TOrbaPrevMenu::SetItemSelected(int32_t index, bool value) {
  if (!Valid(index)) return;
  Selected[static_cast<size_t>(index)] = value ? 1 : 0;
  DressResting(index);
}

// ---- hover, choice and the end of play -----------------------------------------------------------

TArrayString TOrbaPrevMenu::Args(int32_t button) const {
  TArrayString a;
  a.Add(Records[static_cast<size_t>(button)].Caption);
  a.Add(std::to_string(button));
  return a;
}

void TOrbaPrevMenu::ShowSub(int32_t button, int32_t role, bool loop, int32_t priority) {
  TOrbaPrevImages* sub = SubImage(button);
  const std::string& file = File(button, role);
  if (file.empty()) {
    if (sub != nullptr) {
      sub->Menu = nullptr;
      sub->Scrap();
    }
    SubImages[static_cast<size_t>(button)] = TObjectHandle{};
    return;
  }
  if (sub == nullptr) {
    const TContSelButton& record = Records[static_cast<size_t>(button)];
    sub = NewPart(button, record.SubLeft, record.SubTop, true);
    SubImages[static_cast<size_t>(button)] = sub->Handle();
  }
  sub->SetPriority(priority);
  sub->Show(file, role, loop);
}

void TOrbaPrevMenu::DressFirst(int32_t button, const std::vector<int32_t>& roles) {
  for (size_t i = 0; i < roles.size(); ++i) {
    const int32_t role = roles[i];
    if (i + 1 < roles.size() && !Has(button, role)) continue;
    // The pictures of leaving a button play once; the others loop.
    Dress(button, role, role != kLeave && role != kDisabledLeave && role != kSelectedLeave);
    return;
  }
}

void TOrbaPrevMenu::DressHover(int32_t button, bool in) {
  const bool on = Enabled[static_cast<size_t>(button)] != 0;
  const int32_t priority = in ? 1 : 0;
  if (Selected[static_cast<size_t>(button)] != 0) {
    const int32_t first = in ? kSelectedHover : kSelectedLeave;
    DressFirst(button, on ? std::vector<int32_t>{first, kSelected, kNormal}
                          : std::vector<int32_t>{first, kSelected, in ? kDisabledHover : kDisabledLeave, kNormal});
    const int32_t sub = in ? kSubSelectedHover : kSubSelectedLeave;
    ShowSub(button, Has(button, sub) ? sub : in ? kSubHover : kSubLeave, in, priority);
  } else if (on) {
    DressFirst(button, {in ? kHover : kLeave, kNormal});
    ShowSub(button, in ? kSubHover : kSubLeave, in, priority);
  } else {
    DressFirst(button, {in ? kDisabledHover : kDisabledLeave, kDisabled});
    ShowSub(button, in ? kSubDisabledHover : kSubDisabledLeave, in, priority);
  }
  const std::string& label = in ? OnMapIn : OnMapOut;
  if (!label.empty()) {
    const TArrayString a = Args(button);
    QueueEvent(label, in ? PR_ONMAPIN : PR_ONMAPOUT, &a);
  }
}

void TOrbaPrevMenu::SetHover(int32_t button) {
  if (PendingAnims >= 1 || button == HoverButton) return;
  if (Valid(HoverButton)) DressHover(HoverButton, false);
  HoverButton = Valid(button) ? button : -1;
  if (HoverButton >= 0) DressHover(HoverButton, true);
}

void TOrbaPrevMenu::SetSelection(const std::string& caption, int32_t index) {
  if (Manager == nullptr || Manager->Services.Funcs == nullptr) return;
  TParamCollection& store = Manager->Services.Funcs->Store();
  store.SelStr = caption;
  store.SelIndex = index;
}

void TOrbaPrevMenu::Choose(int32_t button) {
  if (!Valid(button)) return;
  const auto b = static_cast<size_t>(button);
  const int32_t group = Records[b].Group;
  if (group == 0) {
    if (Has(button, kChosen)) {
      Dress(button, kChosen, false);
      ++PendingAnims;
    }
    ShowSub(button, kSubChosen, false, 2);
    if (Has(button, kSubChosen)) ++PendingAnims;
  } else {
    if (Selected[b] != 0 && group > 0) return;
    if (Selected[b] != 0) {
      Selected[b] = 0;
    } else {
      Selected[b] = 1;
      for (int32_t i = 0; i < ButtonCount(); ++i) {
        const auto k = static_cast<size_t>(i);
        if (i == button || Records[k].Group != group || Selected[k] == 0) continue;
        Selected[k] = 0;
        Dress(i, Enabled[k] == 0 && Has(i, kDisabled) ? kDisabled : kNormal, true);
      }
    }
    const int32_t role = Selected[b] != 0 && Has(button, kSelected)    ? kSelected
                         : Enabled[b] == 0 && Has(button, kDisabled) ? kDisabled
                                                                      : kNormal;
    Dress(button, role, false);
    ++PendingAnims;
    const int32_t sub = Selected[b] != 0 ? kSubSelect : kSubUnselect;
    ShowSub(button, sub, false, 2);
    if (Has(button, sub)) ++PendingAnims;
  }
  SetSelection(Records[b].Caption, button);
  if (!OnSelect.empty() && !EventQueued(PR_ONSELECT)) {
    const TArrayString a = Args(button);
    QueueEvent(OnSelect, PR_ONSELECT, &a);
  }
}

void TOrbaPrevMenu::ReportPlayEnd() {
  if (AutoScrap) {
    Scrap();
    return;
  }
  if (!OnPlayEnd.empty() && Valid(HoverButton)) {
    const TArrayString a = Args(HoverButton);
    QueueEvent(OnPlayEnd, PR_ONPLAYEND, &a);
  }
}

void TOrbaPrevMenu::AnimationEnded(TOrbaPrevImages& item) {
  const int32_t button = item.Button;
  if (item.Sub) {
    if (SubImage(button) == &item) SubImages[static_cast<size_t>(button)] = TObjectHandle{};
    item.Menu = nullptr;
    item.Scrap();
  }
  if (PendingAnims < 1 || button != HoverButton) return;
  if (--PendingAnims > 0) return;
  ReportPlayEnd();
  const TOrbaBase* root = GetScreen();
  if (root != nullptr && root->Hover != Handle()) SetHover(-1);
}

// ---- input ---------------------------------------------------------------------------------------

TOrbaObject* TOrbaPrevMenu::HitTest(TPoint p, uint32_t mask) {
  if (!GetVisible() || !PointInRect(p, GetBoundsRect())) return nullptr;
  const uint8_t v = GetIgnoreMouse();
  if (v < 8 && ((mask >> v) & 1) != 0)
    for (int32_t i = ButtonCount(); i-- > 0;)
      if (TOrbaPrevImages* item = Item(i); item != nullptr && Enabled[static_cast<size_t>(i)] != 0 &&
                                           item->HitTest(p, 0xFF) != nullptr)
        return this;
  for (size_t i = GetChildren().size(); i-- > 0;) {
    TOrbaControl* child = GetChildren()[i];
    if (child->GetName().empty() || std::find(Items.begin(), Items.end(), child->Handle()) != Items.end()) continue;
    if (TOrbaObject* hit = child->HitTest(p, mask)) return hit;
  }
  return nullptr;
}

std::string TOrbaPrevMenu::GetCurrentCursor() const {
  if (const TOrbaPrevImages* item = Item(HoverButton)) return item->GetCurrentCursor();
  return TOrbaControl::GetCurrentCursor();
}

int32_t TOrbaPrevMenu::ButtonUnderPointer() const {
  const TOrbaBase* root = GetScreen();
  const TPoint p{root != nullptr ? root->MouseX : 0, root != nullptr ? root->MouseY : 0};
  for (int32_t i = 0; i < ButtonCount(); ++i)
    if (TOrbaPrevImages* item = Item(i); item != nullptr && item->HitTest(p, 0xFF) != nullptr) return i;
  return -1;
}

void TOrbaPrevMenu::DoMouseMove() {
  SetHover(ButtonUnderPointer());
  TOrbaControl::DoMouseMove();
}

void TOrbaPrevMenu::DoMouseOut() {
  SetHover(-1);
  TOrbaControl::DoMouseOut();
}

void TOrbaPrevMenu::DoLButtonDown() {
  if (PendingAnims >= 1 && !AutoScrap) {
    // A press cuts the animations of the last choice short.
    PendingAnims = 0;
    ReportPlayEnd();
    SetHover(ButtonUnderPointer());
  }
  PressButton = HoverButton;
  TOrbaControl::DoLButtonDown();
}

void TOrbaPrevMenu::DoLButtonUp() {
  if (PressButton >= 0 && PressButton == HoverButton && !GetEventsHeld() && GetItemEnabled(PressButton) &&
      PendingAnims < 1)
    Choose(PressButton);
  TOrbaControl::DoLButtonUp();
}

void TOrbaPrevMenu::DoRButtonDown() {
  if (RClickScrap) Scrap();
  TOrbaControl::DoRButtonDown();
}

bool TOrbaPrevMenu::HandleRClickScrap() {
  if (GetEventsHeld() || (IgnoreMouse != IM_NONE && IgnoreMouse != IM_LCLICK)) return false;
  SetSelection(std::string(), -1);
  Scrap();
  return true;
}

void TOrbaPrevMenu::DoKeyRepeat() {
  if (Manager != nullptr) {
    std::vector<int32_t> ring;
    for (int32_t i = 0; i < ButtonCount(); ++i)
      if (ItemVisible[static_cast<size_t>(i)] != 0) ring.push_back(i);
    // With no visible button the keys do nothing.
    if (!ring.empty()) {
      const auto at = std::find(ring.begin(), ring.end(), HoverButton);
      const bool none = at == ring.end();
      if (Manager->GetKeyRepeat(kKeyLeft) || Manager->GetKeyRepeat(kKeyUp)) {
        SetHover(none || at == ring.begin() ? ring.back() : *(at - 1));
      } else if (Manager->GetKeyRepeat(kKeyRight) || Manager->GetKeyRepeat(kKeyDown)) {
        SetHover(none || at + 1 == ring.end() ? ring.front() : *(at + 1));
      } else if ((Manager->GetKeyClick(kKeySpace) || Manager->GetKeyClick(kKeyEnter)) && !none &&
                 GetItemEnabled(HoverButton) && !GetEventsHeld()) {
        Choose(HoverButton);
      }
    }
  }
  TOrbaControl::DoKeyRepeat();
}

// ---- saved state ---------------------------------------------------------------------------------

void TOrbaPrevMenu::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  WriteStreamString(stream, Source);
  for (bool b : {AutoScrap, RClickScrap, Paused}) WriteStreamBool(stream, b);
  for (const std::string* s : {&OnMapIn, &OnMapOut, &OnIdle, &OnSelect, &OnPlayEnd}) WriteStreamString(stream, *s);
  for (const std::vector<uint8_t>* flags : {&Enabled, &ItemVisible, &Selected}) {
    WriteStreamInt(stream, static_cast<int32_t>(flags->size()));
    for (uint8_t f : *flags) WriteStreamByte(stream, f);
  }
}

void TOrbaPrevMenu::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  SetSource(ReadStreamString(stream));
  AutoScrap = ReadStreamBool(stream);
  RClickScrap = ReadStreamBool(stream);
  Paused = ReadStreamBool(stream);
  for (std::string* s : {&OnMapIn, &OnMapOut, &OnIdle, &OnSelect, &OnPlayEnd}) *s = ReadStreamString(stream);
  // Each array: a count, then that many bytes; a count past the bytes left
  // is a corrupt save, and at most one flag per button is applied.
  const struct {
    int32_t since;
    void (TOrbaPrevMenu::*set)(int32_t, bool);
  } arrays[] = {{kScenePrevMenuEnabledVersion, &TOrbaPrevMenu::SetItemEnabled},
                {kScenePrevMenuVisibleVersion, &TOrbaPrevMenu::SetItemVisible},
                {kScenePrevMenuSelectedVersion, &TOrbaPrevMenu::SetItemSelected}};
  for (const auto& a : arrays) {
    if (version < a.since) continue;
    const int32_t count = ReadStreamInt(stream);
    CheckStoredCount(stream, count, 1);
    for (int32_t i = 0; i < count; ++i) {
      const bool flag = ReadByteVal(stream) != 0;
      if (i < ButtonCount()) (this->*a.set)(i, flag);
    }
  }
}

void RegisterPrevMenuItem() {
  RegisterCompoType(CT_PREVMENU, [](TOrbaBaseList* manager) -> TOrbaObject* {
    return NewOrbaObject<TOrbaPrevMenu>(manager);
  });
}

}  // namespace orba

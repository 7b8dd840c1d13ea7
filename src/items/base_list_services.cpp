#include "items/base_list_services.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/system/trace.h"
#include "items/base_list.h"
#include "items/image_item.h"
#include "items/message_window.h"
#include "items/orba_globals.h"
#include "items/prop_dispatch.h"
#include "items/prop_motion.h"
#include "script/interp/com_component.h"
#include "script/values/param_collection.h"

namespace orba {

namespace {

// The item kind an object-creating command makes.
uint8_t CompoTypeOfCommand(uint8_t opcode) {
  switch (opcode & 0x7F) {
    case OP_BoxNew: return CT_BOX;
    case OP_ImgNew: return CT_IMAGES;
    case OP_MesNew: return CT_MES;
    case OP_Timer: return CT_TIMER;
    case OP_Movie: return CT_VIDEO;
    case OP_Cinema: return CT_CINEMA;
    case OP_Caption: return CT_LABEL;
    case OP_Menu: return CT_MENU;
    case OP_Button: return CT_BUTTON;
    case OP_ParticleNew: return CT_PARTICLE;
    case OP_FireNew: return CT_FIRE;
    case OP_Sound: return CT_SOUND;
    case OP_EditNew: return CT_EDIT;
    case OP_MemoNew: return CT_MEMO;
    case OP_MapImgNew: return CT_MAPIMG;
    case OP_WaveNew: return CT_WAVE;
    case OP_TileNew: return CT_TILE;
    case OP_SliderNew: return CT_SLIDER;
    case OP_ScrollbarNew: return CT_SCROLLBAR;
    case OP_GaugeNew: return CT_GAUGE;
    case OP_CGCaption: return CT_CGLABEL;
    case OP_PrevMenuNew: return CT_PREVMENU;
    default: return CT_NONE;
  }
}

}  // namespace

TOrbaObject* TBaseListServices::Find(TObjectHandle object) const { return manager_.Lookup(object); }

bool TBaseListServices::IsAlive(TObjectHandle object) const { return Find(object) != nullptr; }

std::string TBaseListServices::GetObjectName(TObjectHandle object) const {
  const TOrbaObject* o = Find(object);
  return o != nullptr ? o->GetName() : std::string();
}

TObjectHandle TBaseListServices::FindObject(const std::string& name) const {
  const TOrbaObject* o = manager_.FindObject(name);
  return o != nullptr ? o->Handle() : TObjectHandle{};
}

TTimerList* TBaseListServices::EventQueue() { return &manager_.Events; }

void TBaseListServices::ResetObjects() { manager_.Reset(); }

void TBaseListServices::CreateTimer(TComComponent& command) { CreateItem(command); }

TObjectHandle TBaseListServices::CreateItem(TComComponent& command) {
  const uint8_t opcode = command.GetOpcode() & 0x7F;
  const uint8_t type = CompoTypeOfCommand(opcode);
  if (type == CT_NONE) return TObjectHandle{};
  TOrbaObject* item = CreateCompoByType(&manager_, type);
  if (item == nullptr) {
    // A kind whose creator this program did not register: the game goes on
    // without the item.
    Trace(std::string(OpcodeNames[opcode]) + ": this kind of item is not available");
    return TObjectHandle{};
  }
  const TObjectHandle handle = item->Handle();
  item->TakeCommandExpressions(command);
  if (Funcs != nullptr) ApplyProperties(*item, command, *Funcs);
  if (opcode == OP_Movie || opcode == OP_Sound) item->SetState(item->GetDelay() != 0 ? 1 : 0);
  if (opcode == OP_Menu) item->SetState(1);
  return handle;
}

TObjectHandle TBaseListServices::CreatePropMotion(const TPropMotionSetup& setup) {
  TOrbaObject* made = CreateCompoByType(&manager_, CT_PROPMOTION);
  if (made == nullptr) return TObjectHandle{};
  auto* motion = static_cast<TOrbaPropMotion*>(made);
  if (!setup.Name.empty()) motion->SetName(setup.Name);
  if (!setup.TargetName.empty()) motion->TargetName = setup.TargetName;
  motion->PropId = setup.PropId;
  if (setup.EndValue) motion->EndValue = *setup.EndValue;
  if (setup.Duration) motion->Duration = *setup.Duration;
  if (setup.Mode) motion->Mode = *setup.Mode;
  if (setup.Paused) motion->SetPaused(*setup.Paused);
  return motion->Handle();
}

void TBaseListServices::GetProp(TObjectHandle object, uint8_t prop_id, TParamCollectionItem& variable) {
  if (TOrbaObject* o = Find(object)) DoGetProp(*variable.Value, *o, prop_id);
}

void TBaseListServices::SetProp(TObjectHandle object, uint8_t prop_id, const TCustomParam& value) {
  if (TOrbaObject* o = Find(object)) DoSetProp(*o, prop_id, value);
}

void TBaseListServices::ScrapObject(TObjectHandle object) {
  if (TOrbaObject* o = Find(object)) o->Scrap();
}

void TBaseListServices::PlayObject(TObjectHandle object) {
  if (TOrbaObject* o = Find(object)) o->Play();
}

int32_t TBaseListServices::GetObjectState(TObjectHandle object) {
  TOrbaObject* o = Find(object);
  return o != nullptr ? o->GetState() : 0;
}

void TBaseListServices::SetObjectState(TObjectHandle object, uint8_t state) {
  if (TOrbaObject* o = Find(object)) o->SetState(state);
}

void TBaseListServices::SetObjectDelay(TObjectHandle object, int32_t delay) {
  if (TOrbaObject* o = Find(object)) o->SetDelay(delay);
}

std::string TBaseListServices::GetObjectSource(TObjectHandle object) {
  TOrbaObject* o = Find(object);
  return o != nullptr ? o->GetSource() : std::string();
}

void TBaseListServices::MoveCabinet(const std::string& cabinet_name, bool save, bool invert,
                                    const std::vector<std::string>& names,
                                    const std::vector<bool>& name_valid) {
  auto selected = [&](const TOrbaObject& child) {
    bool listed = false;
    for (size_t i = 0; i < names.size() && i < name_valid.size(); ++i)
      if (name_valid[i] && child.GetName() == names[i]) listed = true;
    return invert ? !listed : listed;
  };
  TOrbaControl* cabinet = nullptr;
  if (!cabinet_name.empty()) {
    TOrbaObject* found = manager_.FindObject(cabinet_name);
    if (found != nullptr && found->IsCabinet()) cabinet = static_cast<TOrbaControl*>(found);
  }
  TOrbaBase* other = manager_.GetBase(manager_.Active ^ 1);
  if (save) {
    if (cabinet == nullptr) {
      TOrbaObject* made = CreateCompoByType(&manager_, CT_CABINET);
      if (made == nullptr) return;
      cabinet = static_cast<TOrbaControl*>(made);
      if (!cabinet_name.empty()) cabinet->SetName(cabinet_name);
      cabinet->SetParent(manager_.GetBase(0));
    }
    for (int32_t i = other->GetChildCount(); i-- > 0;) {
      TOrbaControl* child = other->GetChild(i);
      if (child != nullptr && selected(*child)) child->SetParent(cabinet);
    }
  } else {
    if (cabinet == nullptr) return;
    for (int32_t i = cabinet->GetChildCount(); i-- > 0;) {
      TOrbaControl* child = cabinet->GetChild(i);
      if (child != nullptr && selected(*child)) child->SetParent(other);
    }
  }
  if (cabinet->GetChildCount() == 0) cabinet->Scrap();
}

// ---- the Flip command's screen change ------------------------------------------------------------

void TBaseListServices::TakeScreenSnapshot() {
  manager_.GetBase(0)->Draw();
  manager_.GetBase(1)->Draw();
  TOrbaBase* root = manager_.ActiveBase();
  auto picture = std::make_shared<TDIBX>();
  picture->SetSize(manager_.Width, manager_.Height, TOrbaBase::kScreenBits);
  picture->TransparentColor = -1;
  if (TCustomDIBX* screen = root->GetDIB(); screen != nullptr && !screen->IsEmpty()) picture->CopyFrom(*screen);
  auto* snapshot = NewOrbaObject<TOrbaCustomImage>(&manager_);
  snapshot->SetName(kFlipSnapshotName);
  snapshot->Surface = std::move(picture);
  snapshot->SetWidth(manager_.Width);
  snapshot->SetHeight(manager_.Height);
  snapshot->SetParent(root);
  snapshot->SetIgnoreMouse(IM_ALL);
}

void TBaseListServices::CarryChildren(int32_t mode, const std::vector<std::string>& names) {
  if (mode != 0 && mode != 1) return;
  TOrbaBase* current = manager_.ActiveBase();
  TOrbaBase* other = manager_.GetBase(manager_.Active ^ 1);
  for (int32_t i = current->GetChildCount(); i-- > 0;) {
    TOrbaControl* child = current->GetChild(i);
    if (child == nullptr || child->GetName() == kFlipSnapshotName) continue;
    const bool listed = std::find(names.begin(), names.end(), child->GetName()) != names.end();
    if (listed == (mode == 1)) child->SetParent(other);
  }
}

TTransitionSetup* TBaseListServices::StartTransition(int32_t kind, int32_t length, bool reverse) {
  wipe_setup_.Wipe = manager_.Flip({.Index = manager_.Active, .Kind = kind, .Reverse = reverse, .Force = true, .Length = length});
  return wipe_setup_.Wipe != nullptr ? &wipe_setup_ : nullptr;
}

int32_t TBaseListServices::GetWipeLength() const { return manager_.GetWipeLength(); }

void TBaseListServices::SetWipePos(int32_t position) { manager_.SetWipePos(position); }

void TBaseListServices::FinishFlip(bool clear_old) {
  const int32_t left = manager_.Active;
  manager_.Flip({.Index = left ^ 1, .Force = true});
  wipe_setup_.Wipe = nullptr;
  if (TOrbaControl* snapshot = manager_.FindControl(kFlipSnapshotName)) snapshot->Scrap();
  if (!clear_old) return;
  TOrbaBase* old_root = manager_.GetBase(left);
  for (int32_t i = old_root->GetChildCount(); i-- > 0;) {
    TOrbaControl* child = old_root->GetChild(i);
    if (child != nullptr && !child->IsCabinet()) child->Scrap();
  }
}

void TBaseListServices::TWipeSetup::SetParam(int32_t index, int32_t value) {
  if (Wipe != nullptr) Wipe->SetParam(index, value);
}

void TBaseListServices::TWipeSetup::SetMaskName(const std::string& name) {
  if (Wipe != nullptr) Wipe->SetMaskName(name);
}

void TBaseListServices::TWipeSetup::Prepare() {
  if (Wipe != nullptr) Wipe->Prepare();
}

// The input of the active screen root and the manager's key table. "@LClick"
// and "@RClick" are the presses of this tick that no object took (an object
// that takes one clears the flag); the wheel notches are this tick's.
bool TBaseListServices::GetKeyPush(int32_t key) const { return manager_.GetKeyPush(key); }
bool TBaseListServices::GetKeyClick(int32_t key) const { return manager_.GetKeyClick(key); }
bool TBaseListServices::GetKeyRepeat(int32_t key) const { return manager_.GetKeyRepeat(key); }

bool TBaseListServices::GetLClick() const {
  const TOrbaBase* root = manager_.ActiveBase();
  return root != nullptr && root->LeftPressed;
}

void TBaseListServices::SetLClick(bool value) {
  if (TOrbaBase* root = manager_.ActiveBase()) root->LeftPressed = value;
}

bool TBaseListServices::GetRClick() const {
  const TOrbaBase* root = manager_.ActiveBase();
  return root != nullptr && root->RightPressed;
}

void TBaseListServices::SetRClick(bool value) {
  if (TOrbaBase* root = manager_.ActiveBase()) root->RightPressed = value;
}

bool TBaseListServices::GetLPush() const {
  const TOrbaBase* root = manager_.ActiveBase();
  return root != nullptr && root->GetLPush();
}

bool TBaseListServices::GetRPush() const {
  const TOrbaBase* root = manager_.ActiveBase();
  return root != nullptr && root->GetRPush();
}

bool TBaseListServices::GetWheelDown() const {
  const TOrbaBase* root = manager_.ActiveBase();
  return root != nullptr && root->WheelDownNow;
}

bool TBaseListServices::GetWheelUp() const {
  const TOrbaBase* root = manager_.ActiveBase();
  return root != nullptr && root->WheelUpNow;
}

int32_t TBaseListServices::GetMouseX() const {
  const TOrbaBase* root = manager_.ActiveBase();
  return root != nullptr ? root->MouseX : 0;
}

int32_t TBaseListServices::GetMouseY() const {
  const TOrbaBase* root = manager_.ActiveBase();
  return root != nullptr ? root->MouseY : 0;
}

bool TBaseListServices::GetCGDither() const { return manager_.GetCGDither(); }

void TBaseListServices::SetCGDither(bool value) { manager_.SetCGDither(value); }

}  // namespace orba

namespace orba {

// ---- message windows, the backlog and the read marks ---------------------------------------------

bool TBaseListServices::IsMessageWindow(TObjectHandle object) const { return AsMessageWindow(Find(object)) != nullptr; }

int32_t TBaseListServices::InsertMessage(TObjectHandle window, bool record, const std::string& page_name,
                                         int32_t command_index) {
  TOrbaMes* w = AsMessageWindow(Find(window));
  if (w == nullptr) return 0;
  w->StartMessage(record, page_name, command_index);
  return w->PageCount();
}

int32_t TBaseListServices::GetMessagePageCount(TObjectHandle window) const {
  const TOrbaMes* w = AsMessageWindow(Find(window));
  return w != nullptr ? w->PageCount() : 0;
}

void TBaseListServices::ClearMessage(TObjectHandle window) {
  if (TOrbaMes* w = AsMessageWindow(Find(window))) w->ClearText();
}

void TBaseListServices::ShowBacklog(TObjectHandle window, int32_t start, int32_t count, const std::string& format,
                                    bool pack_rows) {
  TOrbaMes* w = AsMessageWindow(Find(window));
  TOrbaHistoryFormat* f = TextHistoryFormats != nullptr ? TextHistoryFormats->Find(format) : nullptr;
  if (w == nullptr || f == nullptr) return;
  start = std::max(start, 0);
  const int32_t extent = f->History.GetSize();
  if (int64_t{start} + count > extent) count = extent - start;
  if (count <= 0) return;
  w->PackRows = pack_rows;
  FillMessage(f->History, start, count, *w);
}

void TBaseListServices::ClearBacklog() {
  if (TextHistoryFormats != nullptr) TextHistoryFormats->ClearHistories();
}

void TBaseListServices::DefineBacklogFormat(const std::string& object_name, const std::string& format) {
  if (TextHistoryFormats == nullptr) return;
  TOrbaObject* o = object_name.empty() ? nullptr : manager_.FindObject(object_name);
  TOrbaHistoryFormat& f = TextHistoryFormats->FindOrAdd(format);
  if (o == nullptr) {
    f.ClearParams();
    return;
  }
  f.Params = {o->GetFontHeight(), o->GetFontBorder(), o->GetFontShadow(),
              o->GetWidth(),      o->GetHeight(),     o->GetLineSpace()};
}

void TBaseListServices::ClearReadMarks() {
  if (TextRead != nullptr) TextRead->Clear();
}

int32_t TBaseListServices::GetDefaultHistoryCount() const {
  return TextHistoryFormats != nullptr ? TextHistoryFormats->Default().History.GetSize() : 0;
}

int32_t TBaseListServices::GetDefaultHistoryMaxCount() const {
  return TextHistoryFormats != nullptr ? TextHistoryFormats->Default().History.Limit : 0;
}

void TBaseListServices::SetDefaultHistoryMaxCount(int32_t value) {
  if (TextHistoryFormats != nullptr) TextHistoryFormats->Default().History.Limit = value;
}

void TBaseListServices::SetDefaultHistoryParams(const std::array<int32_t, 6>& params) {
  if (TextHistoryFormats == nullptr) return;
  std::copy(params.begin(), params.end(), TextHistoryFormats->Default().Params.begin());
}

}  // namespace orba

#include "script/values/param_collection.h"

#include <algorithm>
#include <unordered_set>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/system/trace.h"
#include "script/save/save_versions.h"
#include "script/script_errors.h"
#include "script/values/system_params.h"

namespace orba {

namespace {

// Smallest stored variable record with its type byte: type, empty name,
// empty dims, element count, Persistent, Reserved, FrameId, Local.
constexpr int64_t kMinVarRecordBytes = 1 + 4 + 4 + 4 + 1 + 1 + 4 + 1;
// Smallest PushVar entry: type code, empty name, empty dims.
constexpr int64_t kMinFrameEntryBytes = 4 + 4 + 4;

bool IsValidVarName(const std::string& name) {
  if (name.empty()) return false;
  if (name[0] >= '0' && name[0] <= '9') return false;
  return name.find_first_of(" \t") == std::string::npos;
}

// The class of a value as the variable lists store it: 0 for a reference.
uint8_t ClassCode(const TCustomParam& value) {
  return dynamic_cast<const TParamVar*>(&value) != nullptr ? static_cast<uint8_t>(PT_NONE) : value.GetParamType();
}

std::unique_ptr<TCustomParam> CreateStoredValue(uint8_t code, TParamCollection* store) {
  auto value = CreateParamByType(code, store);
  if (value == nullptr) throw EReadError();  // a type code that makes no value
  return value;
}

// Reading runs script rules (names); their failures are read errors here.
template <typename F>
auto AsReadError(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const EScriptError& e) {
    throw EReadError(e.what());
  }
}

std::vector<uint8_t> CopyRange(TKsBigStream& stream, int64_t from, int64_t to) {
  std::vector<uint8_t> bytes(static_cast<size_t>(to - from));
  stream.SetPosition(from);
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  return bytes;
}

}  // namespace

std::string BadVarNameMessage(const std::string& name) {
  return "\x22" + name + "\x22\x81" "F\x95\xcf\x90\x94\x96\xbc\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";
}

// ---- TParamCollectionItem ----

TParamCollectionItem::~TParamCollectionItem() {
  for (TParamVar* ref : refs_) ref->bound_ = nullptr;
}

void TParamCollectionItem::RemoveReference(TParamVar* ref) {
  auto it = std::find(refs_.begin(), refs_.end(), ref);
  if (it != refs_.end()) refs_.erase(it);
}

void TParamCollectionItem::SetName(const std::string& name) {
  if (!IsValidVarName(name)) throw EScriptError(BadVarNameMessage(name));
  if (name == name_) return;
  if (owner_ != nullptr) owner_->UnlinkName(this);
  name_ = name;
  if (owner_ != nullptr) owner_->LinkName(this);
}

void TParamCollectionItem::SetParamType(uint8_t code) {
  auto value = CreateParamByType(code, owner_);
  if (value == nullptr) throw EScriptError(kMsgInternalError);
  Value = std::move(value);
}

void TParamCollectionItem::SetSystemIndex(uint8_t index) {
  if (index >= kSysVarCount) throw EScriptError(kMsgInternalError);
  Value = std::make_unique<TParamSystem>(index, owner_);
  if (owner_ != nullptr) owner_->UnlinkName(this);
  name_ = SysVarNames[index];
  if (owner_ != nullptr) owner_->LinkName(this);
}

bool TParamCollectionItem::IsSystem() const { return dynamic_cast<const TParamSystem*>(Value.get()) != nullptr; }

void TParamCollectionItem::SetReference(const std::string& target, const std::vector<int32_t>& subscripts) {
  auto* ref = dynamic_cast<TParamVar*>(Value.get());
  if (ref == nullptr) throw EScriptError(kMsgInternalError);
  ref->SetReference(target, subscripts);
}

void TParamCollectionItem::SaveToStream(TKsBigStream& stream) const {
  WriteStreamString(stream, name_);
  Value->SaveToStream(stream);
  WriteStreamByte(stream, Persistent);
  WriteStreamByte(stream, Reserved);
  WriteStreamInt(stream, FrameId);
  WriteStreamByte(stream, Local);
}

bool TParamCollectionItem::LoadFromStream(TKsBigStream& stream) {
  const std::string name = ReadStreamString(stream);
  if (!name.empty()) SetName(name);
  Value->LoadFromStream(stream);
  Persistent = ReadByteVal(stream);
  Reserved = ReadByteVal(stream);
  FrameId = ReadStreamInt(stream);
  Local = ReadByteVal(stream);
  return !name.empty();
}

// ---- TParamCollection ----

struct TParamCollection::TStagedVars {
  std::vector<std::unique_ptr<TParamCollectionItem>> items;  // named ones only
};

struct TParamCollection::TFrameEntry {
  uint8_t code = 0;
  std::string name;
  std::unique_ptr<TCustomParam> value;
};

TParamCollection::TParamCollection() {
  for (int i = 0; i < kSysVarCount; ++i) {
    TParamCollectionItem* item = AddVar(PT_INT);
    item->SetSystemIndex(static_cast<uint8_t>(i));
  }
}

TParamCollection::~TParamCollection() {
  frames_.clear();
  // Free from the last item, so no item outlives one bound to it needlessly.
  while (!items_.empty()) items_.pop_back();
}

TParamCollectionItem* TParamCollection::GetItem(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

TParamCollectionItem* TParamCollection::AddVar(uint8_t code) {
  auto value = CreateParamByType(code, this);
  if (value == nullptr) throw EScriptError(kMsgInternalError);
  auto item = std::make_unique<TParamCollectionItem>(this);
  item->Value = std::move(value);
  item->cached_index_ = Count();
  items_.push_back(std::move(item));
  return items_.back().get();
}

void TParamCollection::LinkName(TParamCollectionItem* item) {
  if (!item->name_.empty()) names_[SjisLowerCase(item->name_)].push_back(item);
}

void TParamCollection::UnlinkName(TParamCollectionItem* item) {
  if (item->name_.empty()) return;
  auto it = names_.find(SjisLowerCase(item->name_));
  if (it == names_.end()) return;
  auto& list = it->second;
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
  if (list.empty()) names_.erase(it);
}

void TParamCollection::FreeWhere(bool (*doomed)(const TParamCollectionItem&, int32_t), int32_t arg) {
  std::vector<std::unique_ptr<TParamCollectionItem>> kept, freed;
  for (auto& item : items_) {
    if (!item->IsSystem() && doomed(*item, arg)) {
      UnlinkName(item.get());
      freed.push_back(std::move(item));
    } else {
      kept.push_back(std::move(item));
    }
  }
  items_ = std::move(kept);
  for (size_t i = 0; i < items_.size(); ++i) items_[i]->cached_index_ = static_cast<int32_t>(i);
  while (!freed.empty()) freed.pop_back();  // last first
}

void TParamCollection::FreeVar(TParamCollectionItem* item) {
  if (item == nullptr || item->owner_ != this || item->IsSystem()) return;
  // Only the items behind it move: an expression's temporaries, freed last
  // first from the end of the list, cost one step each.
  const size_t at = static_cast<size_t>(item->cached_index_);
  UnlinkName(item);
  std::unique_ptr<TParamCollectionItem> freed = std::move(items_[at]);
  items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(at));
  for (size_t i = at; i < items_.size(); ++i) items_[i]->cached_index_ = static_cast<int32_t>(i);
  freed.reset();
}

int32_t TParamCollection::IndexOf(const std::string& name) const {
  auto it = names_.find(SjisLowerCase(name));
  if (it == names_.end()) return -1;
  // A local of the current frame wins (the one named last); otherwise the
  // non-local named first; locals of other frames are invisible.
  const TParamCollectionItem* global = nullptr;
  for (auto rit = it->second.rbegin(); rit != it->second.rend(); ++rit) {
    const TParamCollectionItem* item = *rit;
    if (item->Local != 0) {
      if (item->FrameId == CurrentFrame) return item->cached_index_;
    } else {
      global = item;
    }
  }
  return global != nullptr ? global->cached_index_ : -1;
}

TParamCollectionItem* TParamCollection::Find(const std::string& name) const { return GetItem(IndexOf(name)); }

TParamCollectionItem* TParamCollection::FindScoped(const std::string& name, bool local) const {
  auto it = names_.find(SjisLowerCase(name));
  if (it == names_.end()) return nullptr;
  for (auto rit = it->second.rbegin(); rit != it->second.rend(); ++rit) {
    TParamCollectionItem* item = *rit;
    if (local ? (item->Local != 0 && item->FrameId == CurrentFrame) : item->Local == 0) return item;
  }
  return nullptr;
}

std::unique_ptr<TCustomParam> TParamCollection::CopyValue(const std::string& name) const {
  const TParamCollectionItem* item = Find(name);
  if (item == nullptr) return nullptr;
  const TCustomParam& value = *item->Value;
  if (dynamic_cast<const TParamVar*>(&value) != nullptr || dynamic_cast<const TParamSystem*>(&value) != nullptr) {
    throw EScriptError(name + ":\x95s\x90\xb3\x82\xc8\x95\xcf\x90\x94\x82\xc5\x82\xb7");  // %s:不正な変数です
  }
  auto copy = CreateParamByType(value.GetParamType(), const_cast<TParamCollection*>(this));
  copy->Assign(value);
  return copy;
}

void TParamCollection::DeleteFrameVars(int32_t frame_id) {
  FreeWhere([](const TParamCollectionItem& it, int32_t id) { return it.FrameId == id; }, frame_id);
}

void TParamCollection::Clear() {
  FreeWhere([](const TParamCollectionItem& it, int32_t) { return it.Persistent == 0; }, 0);
  TextDelay = kDefaultTextDelay;
  CursorName.clear();
}

// ---- PushVar / PopVar ----

void TParamCollection::PushVar(const std::vector<std::string>& names) {
  TKsMemoryStream body;
  int32_t count = 0;
  for (const std::string& name : names) {
    TParamCollectionItem* item = Find(name);
    if (item == nullptr) continue;
    const uint8_t type = item->GetParamType();
    if (type == PT_NONE) continue;
    const TCustomParam* value = item->Value.get();
    // System variables and references store no data of their own; their
    // snapshot is a data value of their type, so that the frame reads back.
    std::unique_ptr<TCustomParam> snapshot;
    if (ClassCode(*value) != type || dynamic_cast<const TParamSystem*>(value) != nullptr) {
      snapshot = CreateParamByType(type, this);
      snapshot->AssignConverted(*value);
      value = snapshot.get();
    }
    WriteStreamInt(body, type);
    WriteStreamString(body, item->Name());
    value->SaveToStream(body);
    ++count;
  }
  TKsMemoryStream frame;
  WriteStreamInt(frame, count);
  CopyWholeStream(frame, body);
  std::vector<uint8_t> bytes = frame.TakeBytes();
  const int64_t cost = FrameCost(bytes.size());
  if (pushed_bytes_ + cost > kMaxPushedBytes) {
    // The expression that called PushVar ends here without a word: the
    // trace says why, once.
    const std::string message = "PushVar: the pushed variables would hold more than " +
                                std::to_string(kMaxPushedBytes) + " bytes";
    TraceOnce(message);
    throw EScriptError(message);
  }
  frames_.push_back(std::move(bytes));
  pushed_bytes_ += cost;
}

std::vector<TParamCollection::TFrameEntry> TParamCollection::ReadFrame(TKsBigStream& stream) {
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, kMinFrameEntryBytes);
  std::vector<TFrameEntry> entries(static_cast<size_t>(count));
  for (TFrameEntry& e : entries) {
    e.code = static_cast<uint8_t>(static_cast<uint32_t>(ReadStreamInt(stream)) & 0xFF);
    e.name = ReadStreamString(stream);
    if (!IsValidVarName(e.name)) throw EReadError(BadVarNameMessage(e.name));
    e.value = CreateStoredValue(e.code, this);
    e.value->LoadFromStream(stream);
  }
  return entries;
}

void TParamCollection::PopVar() {
  if (frames_.empty()) return;
  const std::vector<uint8_t> bytes = std::move(frames_.back());
  frames_.pop_back();
  pushed_bytes_ -= FrameCost(bytes.size());
  TKsSpanStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  std::vector<TFrameEntry> entries = ReadFrame(stream);
  for (TFrameEntry& e : entries) {
    TParamCollectionItem* item = Find(e.name);
    if (item != nullptr && item->IsSystem()) {
      // A system variable is never replaced: the value goes through its setter.
      switch (e.value->GetParamType()) {
        case PT_INT: item->SetAsInt(e.value->GetAsInt()); break;
        case PT_FLOAT: item->SetAsFloat(e.value->GetAsFloat()); break;
        case PT_BOOL: item->SetAsFlag(e.value->GetAsFlag()); break;
        case PT_STR: item->SetAsStr(e.value->GetAsStr()); break;
        default: break;
      }
      continue;
    }
    if (item != nullptr && ClassCode(*item->Value) != (e.code & 0x7F)) {
      FreeVar(item);
      item = nullptr;
    }
    if (item == nullptr) {
      item = AddVar(e.code);
      item->SetName(e.name);
    }
    item->Value = std::move(e.value);
  }
}

// ---- game and status variables ----

void TParamCollection::SaveVarList(TKsBigStream& stream, bool persistent) const {
  std::vector<const TParamCollectionItem*> work;
  for (const auto& item : items_) {
    if (!item->IsSystem() && (item->Persistent != 0) == persistent) work.push_back(item.get());
  }
  WriteStreamInt(stream, static_cast<int32_t>(work.size()));
  std::unordered_set<const TParamCollectionItem*> written;
  auto write = [&](const TParamCollectionItem* item) {
    WriteStreamByte(stream, ClassCode(*item->Value));
    item->SaveToStream(stream);
    written.insert(item);
  };
  // Passes from the last entry to the first; a reference waits for the
  // variable it is bound to. A pass that writes nothing ends the waiting:
  // the rest go out in list order.
  while (!work.empty()) {
    bool progress = false;
    for (size_t k = work.size(); k-- > 0;) {
      const TParamCollectionItem* item = work[k];
      const auto* ref = dynamic_cast<const TParamVar*>(item->Value.get());
      const TParamCollectionItem* target = ref != nullptr ? ref->GetBound() : nullptr;
      if (target != nullptr && target != item && written.count(target) == 0) continue;
      write(item);
      work.erase(work.begin() + static_cast<std::ptrdiff_t>(k));
      progress = true;
    }
    if (!progress) {
      for (const TParamCollectionItem* item : work) write(item);
      work.clear();
    }
  }
}

TParamCollection::TStagedVars TParamCollection::ReadVarList(TKsBigStream& stream) {
  TStagedVars staged;
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, kMinVarRecordBytes);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t code = ReadByteVal(stream);
    auto item = std::make_unique<TParamCollectionItem>(nullptr);
    item->Value = CreateStoredValue(code, nullptr);
    const bool named = AsReadError([&] { return item->LoadFromStream(stream); });
    if (named) staged.items.push_back(std::move(item));
  }
  return staged;
}

void TParamCollection::AdoptVars(TStagedVars& staged) {
  std::vector<TParamVar*> refs;
  for (auto& item : staged.items) {
    item->owner_ = this;
    item->cached_index_ = Count();
    if (auto* ref = dynamic_cast<TParamVar*>(item->Value.get())) {
      ref->Store = this;
      refs.push_back(ref);
    }
    LinkName(item.get());
    items_.push_back(std::move(item));
  }
  staged.items.clear();
  for (TParamVar* ref : refs) {
    ref->Bind(ref->LoadedBoundName().empty() ? nullptr : Find(ref->LoadedBoundName()));
  }
}

void TParamCollection::SaveGameVars(TKsBigStream& stream) const {
  SaveVarList(stream, false);
  WriteStreamInt(stream, TextDelay);
  WriteStreamString(stream, CursorName);
  WriteStreamString(stream, SelStr);
  WriteStreamInt(stream, SelIndex);
  WriteStreamString(stream, TempTargetName);
  WriteStreamInt(stream, static_cast<int32_t>(frames_.size()));
  for (const auto& frame : frames_) {
    if (!frame.empty()) stream.WriteBuffer(frame.data(), static_cast<int64_t>(frame.size()));
  }
}

void TParamCollection::LoadGameVars(TKsBigStream& stream, int32_t version) {
  TStagedVars staged = ReadVarList(stream);
  const int32_t text_delay = ReadStreamInt(stream);
  std::string cursor = ReadStreamString(stream);
  std::string sel_str = ReadStreamString(stream);
  const int32_t sel_index = ReadStreamInt(stream);
  std::array<int32_t, 6> history_params{};
  const bool has_history_params = version >= kSlotHistorySheetsVersion && version < kSlotAllHistoriesVersion;
  if (has_history_params) {
    for (int32_t& p : history_params) p = ReadStreamInt(stream);
  }
  std::string temp_target = TempTargetName;
  if (version >= kSlotTempTargetVersion) temp_target = ReadStreamString(stream);
  std::vector<std::vector<uint8_t>> frames;
  if (version >= kSlotVarFramesVersion) {
    const int32_t frame_count = ReadStreamInt(stream);
    if (frame_count < 0) throw EReadError();
    CheckStoredCount(stream, frame_count, 4);
    for (int32_t i = 0; i < frame_count; ++i) {
      const int64_t start = stream.GetPosition();
      ReadFrame(stream);  // checks the frame entry by entry
      const int64_t end = stream.GetPosition();
      frames.push_back(CopyRange(stream, start, end));
    }
  }
  // Everything is read: replace the game variables.
  FreeWhere([](const TParamCollectionItem& it, int32_t) { return it.Persistent == 0; }, 0);
  AdoptVars(staged);
  TextDelay = text_delay;
  CursorName = std::move(cursor);
  SelStr = std::move(sel_str);
  SelIndex = sel_index;
  if (has_history_params) Host().SetDefaultHistoryParams(history_params);
  TempTargetName = std::move(temp_target);
  frames_ = std::move(frames);
  pushed_bytes_ = 0;
  for (const auto& frame : frames_) pushed_bytes_ += FrameCost(frame.size());
}

void TParamCollection::SaveStatusVars(TKsBigStream& stream) const { SaveVarList(stream, true); }

void TParamCollection::LoadStatusVars(TKsBigStream& stream) {
  TStagedVars staged = ReadVarList(stream);
  AdoptVars(staged);
}

}  // namespace orba

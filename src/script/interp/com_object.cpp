#include "script/interp/com_object.h"

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "script/functions/sys_func_file.h"
#include "script/interp/call_man.h"
#include "script/interp/com_run.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"

namespace orba {

void TComGetProp::Fields(TRecordIO& io) {
  io.Expr("ObjectName", ObjectName);
  io.Expr("PropId", PropId);
  io.Str("VarName", VarName);
}

void TComSetProp::Fields(TRecordIO& io) {
  io.Expr("ObjectName", ObjectName);
  io.Expr("PropId", PropId);
  io.Expr("Value", Value);
}

void TComMovieStop::Fields(TRecordIO& io) {
  io.Expr("ObjectName", ObjectName);
  io.Expr("FadeTime", FadeTime);
  io.Expr("Wait", Wait);
  io.Expr("EventLock", EventLock, kPageEventLockVersion);
}

void TComPropMotion::Fields(TRecordIO& io) {
  io.Expr("MotionName", MotionName);
  io.Expr("TargetName", TargetName);
  io.Expr("PropId", PropId);
  io.Expr("TargetValue", TargetValue);
  io.Expr("Duration", Duration);
  io.Expr("Mode", Mode);
  io.Expr("Paused", Paused, kPagePausedVersion);
}

void TComFlip::Fields(TRecordIO& io) {
  io.Expr("Kind", Kind);
  io.Expr("Time", Time);
  io.Expr("Reverse", Reverse);
  io.Expr("Select", Select);
  io.ExprList("Names", Names, true);
  io.Expr("ClearOld", ClearOld);
  io.Expr("Param0", Param0);
  io.Expr("Param1", Param1);
  io.Expr("Mask", Mask, kPageMaskVersion);
  io.Expr("EventLock", EventLock, kPageEventLockVersion);
}

void TComTextIns::Fields(TRecordIO& io) {
  io.Blob("Text", Text);
  io.Expr("Window", Window);
  io.Expr("ReadMark", ReadMark);
  io.Expr("Wait", Wait);
  io.Expr("EventLock", EventLock, kPageEventLockVersion);
}

void TComCallHist::Fields(TRecordIO& io) {
  io.Expr("Window", Window);
  io.Expr("Start", StartIndex);
  io.Expr("Count", Count);
  io.Expr("Mode", Mode);
  io.Expr("Format", Format, kPageFormatVersion);
}

void TComEntryHist::Fields(TRecordIO& io) {
  io.Expr("Window", Window);
  io.Expr("Format", Format, kPageFormatVersion);
}

// ---- run-time operations ------------------------------------------------------------------------

namespace {

// "プロパティ指定が不正です"
inline constexpr char kMsgBadPropId[] =
    "\x83v\x83\x8d\x83p\x83" "e\x83" "B\x8ew\x92\xe8\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";

// The saved running state of a command that waits on one object (MovieStop
// on its media item, TextIns on its message window): "orba100", the
// object's name (empty when none), the wait flag and the event-lock flag.
void SaveHeldObject(std::unique_ptr<TKsMemoryStream>& stream, TCallMan* run_state, TObjectHandle target,
                    const std::string& restored_name, uint8_t wait, uint8_t event_lock) {
  if (!stream) stream = std::make_unique<TKsMemoryStream>();
  WriteVersionHeader(*stream);
  std::string name = restored_name;
  if (run_state != nullptr && target && run_state->Objects().IsAlive(target))
    name = run_state->Objects().GetObjectName(target);
  WriteStreamString(*stream, name);
  WriteStreamByte(*stream, wait);
  WriteStreamByte(*stream, event_lock);
}

// Reads it back; the name is looked up when the command runs next.
void RestoreHeldObject(TKsBigStream& stream, TObjectHandle& target, std::string& restored_name, uint8_t& wait,
                       uint8_t& event_lock) {
  const int32_t version = ReadVersionHeader(stream);
  std::string name = ReadStreamString(stream);
  const uint8_t w = ReadByteVal(stream);
  if (version >= kCommandStateFlagsVersion) event_lock = ReadByteVal(stream);
  wait = w;
  target = TObjectHandle{};
  restored_name = std::move(name);
}

// The low 8 bits of a property id expression; no value raises.
uint8_t EvalPropId(TOrbaParser& expression, TCallMan& rs) {
  const TCustomParam* value = Evaluate(expression, rs);
  if (value == nullptr) throw EScriptError(kMsgBadPropId);
  return static_cast<uint8_t>(value->GetAsInt() & 0xFF);
}

}  // namespace

void TComGetProp::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  TCallMan& rs = *run_state;
  const TObjectHandle object = rs.Objects().FindObject(EvalStr(ObjectName, rs));
  if (!object) return;
  const uint8_t prop_id = EvalPropId(PropId, rs);
  if (VarName.empty()) return;
  if (TParamCollectionItem* variable = rs.Store().Find(VarName))
    rs.Objects().GetProp(object, prop_id, *variable);
}

void TComSetProp::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  TCallMan& rs = *run_state;
  const TObjectHandle object = rs.Objects().FindObject(EvalStr(ObjectName, rs));
  if (!object) return;
  const uint8_t prop_id = EvalPropId(PropId, rs);
  if (const TCustomParam* value = Evaluate(Value, rs)) rs.Objects().SetProp(object, prop_id, *value);
}

void TComPropMotion::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  TCallMan& rs = *run_state;
  TPropMotionSetup setup;
  setup.Name = EvalStr(MotionName, rs);
  setup.TargetName = EvalStr(TargetName, rs);
  const TCustomParam* id = Evaluate(PropId, rs);
  if (id == nullptr) {
    rs.Objects().CreatePropMotion(setup);
    throw EScriptError(kMsgBadPropId);
  }
  setup.PropId = static_cast<uint8_t>(id->GetAsInt() & 0xFF);
  if (const TCustomParam* v = Evaluate(TargetValue, rs)) setup.EndValue = v->GetAsFloat();
  if (const TCustomParam* v = Evaluate(Duration, rs)) setup.Duration = v->GetAsInt();
  if (const TCustomParam* v = Evaluate(Mode, rs)) setup.Mode = static_cast<uint8_t>(v->GetAsInt() & 0xFF);
  if (const TCustomParam* v = Evaluate(Paused, rs)) setup.Paused = v->GetAsFlag();
  rs.Objects().CreatePropMotion(setup);
}

void TComObjDel::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  TCallMan& rs = *run_state;
  const std::string name = EvalStr(ObjectName, rs);
  if (name.empty()) return;
  if (const TObjectHandle object = rs.Objects().FindObject(name)) rs.Objects().ScrapObject(object);
}

void TComMediaPlay::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  TCallMan& rs = *run_state;
  const std::string name = EvalStr(ObjectName, rs);
  if (name.empty()) return;
  if (const TObjectHandle object = rs.Objects().FindObject(name)) rs.Objects().PlayObject(object);
}

void TComMenuClose::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  TCallMan& rs = *run_state;
  Menu = TObjectHandle{};
  const std::string name = EvalStr(MenuName, rs);
  if (name.empty()) return;
  Menu = rs.Objects().FindObject(name);
  if (Menu) rs.Objects().SetObjectState(Menu, 3);
}

void TComMovieStop::Start(TCallMan* run_state) {
  run_state_ = run_state;
  restored_target_.clear();
  TCallMan& rs = *run_state;
  TObjectServices& objects = rs.Objects();
  EventLockFlag = EvalCondition(EventLock, rs) ? 1 : 0;
  WaitFlag = 0;
  Target = TObjectHandle{};
  const std::string name = EvalStr(ObjectName, rs);
  if (!name.empty()) Target = objects.FindObject(name);
  if (!Target) return;
  const int32_t fade = EvalInt(FadeTime, rs);
  if (fade > 0) {
    const std::string source = objects.GetObjectSource(Target);
    if (source.compare(0, 3, "CD_") != 0 && !rs.Host().FileAvailable(source)) {
      Target = TObjectHandle{};
    } else {
      const int32_t state = objects.GetObjectState(Target);
      if (state != 0 && state != 1) {
        Target = TObjectHandle{};
      } else {
        objects.SetObjectDelay(Target, fade);
        objects.SetObjectState(Target, 3);
        Evaluate(Wait, rs);
      }
    }
  } else {
    objects.SetObjectState(Target, 2);
    objects.ScrapObject(Target);
    Target = TObjectHandle{};
  }
  WaitFlag = EvalCondition(Wait, rs) ? 1 : 0;
}

void TComMovieStop::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  run_state_ = run_state;
  TObjectServices& objects = run_state->Objects();
  if (!restored_target_.empty()) {
    Target = objects.FindObject(restored_target_);
    restored_target_.clear();
  }
  if (Target && WaitFlag != 0 && objects.IsAlive(Target)) return;
  ++pc;
}

void TComMovieStop::SaveState(std::unique_ptr<TKsMemoryStream>& stream) {
  SaveHeldObject(stream, run_state_, Target, restored_target_, WaitFlag, EventLockFlag);
}

void TComMovieStop::RestoreState(TKsBigStream& stream) {
  RestoreHeldObject(stream, Target, restored_target_, WaitFlag, EventLockFlag);
}

// ---- message and backlog commands ------------------------------------------------------------------

namespace {

// The message window an expression names; none for an empty name or an
// object of another kind.
TObjectHandle FindMessageWindow(TOrbaParser& expression, TCallMan& rs) {
  const std::string name = EvalStr(expression, rs);
  if (name.empty()) return TObjectHandle{};
  const TObjectHandle window = rs.Objects().FindObject(name);
  return rs.Objects().IsMessageWindow(window) ? window : TObjectHandle{};
}

}  // namespace

void TComTextIns::Start(TCallMan* run_state) {
  run_state_ = run_state;
  restored_target_.clear();
  TCallMan& rs = *run_state;
  Target = TObjectHandle{};
  WaitFlag = 0;
  EventLockFlag = EvalCondition(EventLock, rs) ? 1 : 0;
  if (Text.GetSize() == 0) return;
  Target = FindMessageWindow(Window, rs);
  if (!Target) return;
  const bool record = EvalCondition(ReadMark, rs);
  const std::string page_name = Page != nullptr ? Page->Name : std::string();
  const int32_t index = Page != nullptr ? Page->IndexOf(this) : -1;
  rs.Objects().InsertMessage(Target, record, page_name, index);
  WaitFlag = EvalCondition(Wait, rs) ? 1 : 0;
}

void TComTextIns::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  run_state_ = run_state;
  TObjectServices& objects = run_state->Objects();
  if (!restored_target_.empty()) {
    const TObjectHandle found = objects.FindObject(restored_target_);
    Target = objects.IsMessageWindow(found) ? found : TObjectHandle{};
    restored_target_.clear();
  }
  if (Target && WaitFlag != 0 && objects.GetMessagePageCount(Target) != 0) return;
  ++pc;
}

void TComTextIns::SaveState(std::unique_ptr<TKsMemoryStream>& stream) {
  SaveHeldObject(stream, run_state_, Target, restored_target_, WaitFlag, EventLockFlag);
}

void TComTextIns::RestoreState(TKsBigStream& stream) {
  RestoreHeldObject(stream, Target, restored_target_, WaitFlag, EventLockFlag);
}

void TComTextClr::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  if (const TObjectHandle window = FindMessageWindow(Window, *run_state)) run_state->Objects().ClearMessage(window);
}

void TComCallHist::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  TCallMan& rs = *run_state;
  const TObjectHandle window = FindMessageWindow(Window, rs);
  if (!window) return;
  const TCustomParam* start = Evaluate(StartIndex, rs);
  if (start == nullptr) return;
  const int32_t first = start->GetAsInt();
  const TCustomParam* count = Evaluate(Count, rs);
  const int32_t n = count != nullptr ? count->GetAsInt() : 1;
  const std::string format = EvalStr(Format, rs);
  const bool pack_rows = EvalCondition(Mode, rs);
  rs.Objects().ShowBacklog(window, first, n, format, pack_rows);
}

void TComClrHist::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  run_state->Objects().ClearBacklog();
}

void TComEntryHist::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  TCallMan& rs = *run_state;
  const std::string object = EvalStr(Window, rs);
  rs.Objects().DefineBacklogFormat(object, EvalStr(Format, rs));
}

void TComClrRead::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  run_state->Objects().ClearReadMarks();
}

bool TComFlip::GetYield() const { return Time.Result != nullptr && Time.Result->GetAsInt() > 0; }

void TComFlip::Start(TCallMan* run_state) {
  run_state_ = run_state;
  TCallMan& rs = *run_state;
  TObjectServices& objects = rs.Objects();
  State = 0;
  running_ = true;
  const TCustomParam* kind_value = Evaluate(Kind, rs);
  int32_t kind = kind_value != nullptr ? kind_value->GetAsInt() : 0;
  if (kind < 0 || kind > kLastKind) kind = 0;
  const TCustomParam* time_value = Evaluate(Time, rs);
  const bool timed = time_value != nullptr && time_value->GetAsInt() > 0;
  const int32_t length = timed ? time_value->GetAsInt() : 1;
  const bool reverse = EvalCondition(Reverse, rs);
  EventLockFlag = EvalCondition(EventLock, rs) ? 1 : 0;
  ClearOldFlag = EvalCondition(ClearOld, rs) ? 1 : 0;
  const TCustomParam* select = Evaluate(Select, rs);
  const bool carry = select != nullptr;
  const int32_t mode = carry ? (select->GetAsInt() & 0xFF) : 0;
  std::vector<std::string> names;
  for (auto& expression : Names) {
    const TCustomParam* value = Evaluate(*expression, rs);
    if (value == nullptr) continue;
    for (std::string& line : SplitTextLines(value->GetAsStr())) names.push_back(std::move(line));
  }
  if (carry) {
    if (!timed) {
      State = 3;  // no transition: the screens change at the first step
    } else {
      objects.TakeScreenSnapshot();
      objects.CarryChildren(mode, names);
    }
  }
  if (State == 3) return;
  TTransitionSetup* transition = objects.StartTransition(kind, length, reverse);
  if (transition == nullptr) return;
  TOrbaParser* params[2] = {&Param0, &Param1};
  for (int32_t i = 0; i < 2; ++i)
    if (const TCustomParam* value = Evaluate(*params[i], rs)) transition->SetParam(i, value->GetAsInt());
  if (const TCustomParam* mask = Evaluate(Mask, rs)) transition->SetMaskName(mask->GetAsStr());
  transition->Prepare();
}

void TComFlip::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  run_state_ = run_state;
  TObjectServices& objects = run_state->Objects();
  if (State == 0) {
    State = 1;
    return;
  }
  if (State == 1) {
    StartTime = static_cast<int32_t>(GameClock);
    State = 2;
    return;
  }
  // The clock wraps as the system timer does; the difference does not care.
  const int32_t elapsed = static_cast<int32_t>(GameClock - static_cast<uint32_t>(StartTime));
  if (State == 2 && elapsed < objects.GetWipeLength()) {
    objects.SetWipePos(elapsed);
    return;
  }
  Finish(objects);
  ++pc;
}

void TComFlip::Finish(TObjectServices& objects) {
  State = 3;
  running_ = false;
  objects.FinishFlip(ClearOldFlag != 0);
}

void TComFlip::Abort() {
  if (running_ && run_state_ != nullptr) Finish(run_state_->Objects());
}

void TComFlip::SaveState(std::unique_ptr<TKsMemoryStream>& stream) {
  if (!stream) stream = std::make_unique<TKsMemoryStream>();
  WriteVersionHeader(*stream);
  WriteStreamByte(*stream, EventLockFlag);
  WriteStreamByte(*stream, ClearOldFlag);
}

void TComFlip::RestoreState(TKsBigStream& stream) {
  const int32_t version = ReadVersionHeader(stream);
  if (version >= kCommandStateFlagsVersion) {
    EventLockFlag = ReadByteVal(stream);
    ClearOldFlag = ReadByteVal(stream);
  }
  // State and StartTime stay: after an event call the transition goes on;
  // after a loaded game the manager runs no transition any more, so the
  // command finishes once its waiting steps are done.
  running_ = true;
}

}  // namespace orba

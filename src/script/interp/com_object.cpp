#include "script/interp/com_object.h"

#include "core/streams/stream_encoding.h"
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
  io.Expr("EventLock", EventLock, 107);
}

void TComPropMotion::Fields(TRecordIO& io) {
  io.Expr("MotionName", MotionName);
  io.Expr("TargetName", TargetName);
  io.Expr("PropId", PropId);
  io.Expr("TargetValue", TargetValue);
  io.Expr("Duration", Duration);
  io.Expr("Mode", Mode);
  io.Expr("Paused", Paused, 108);
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
  io.Expr("Mask", Mask, 101);
  io.Expr("EventLock", EventLock, 107);
}

void TComTextIns::Fields(TRecordIO& io) {
  io.Blob("Text", Text);
  io.Expr("Window", Window);
  io.Expr("ReadMark", ReadMark);
  io.Expr("Wait", Wait);
  io.Expr("EventLock", EventLock, 107);
}

void TComCallHist::Fields(TRecordIO& io) {
  io.Expr("Window", Window);
  io.Expr("Start", StartIndex);
  io.Expr("Count", Count);
  io.Expr("Mode", Mode);
  io.Expr("Format", Format, 111);
}

void TComEntryHist::Fields(TRecordIO& io) {
  io.Expr("Window", Window);
  io.Expr("Format", Format, 111);
}

// ---- run-time operations ------------------------------------------------------------------------

namespace {

// "プロパティ指定が不正です"
inline constexpr char kMsgBadPropId[] =
    "\x83v\x83\x8d\x83p\x83" "e\x83" "B\x8ew\x92\xe8\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";

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
  if (!stream) stream = std::make_unique<TKsMemoryStream>();
  WriteVersionHeader(*stream);
  std::string name = restored_target_;
  if (run_state_ != nullptr && Target && run_state_->Objects().IsAlive(Target))
    name = run_state_->Objects().GetObjectName(Target);
  WriteStreamString(*stream, name);
  WriteStreamByte(*stream, WaitFlag);
  WriteStreamByte(*stream, EventLockFlag);
}

void TComMovieStop::RestoreState(TKsBigStream& stream) {
  const int32_t version = ReadVersionHeader(stream);
  std::string name = ReadStreamString(stream);
  const uint8_t wait = ReadByteVal(stream);
  if (version >= 100) EventLockFlag = ReadByteVal(stream);
  WaitFlag = wait;
  Target = TObjectHandle{};
  // The name is looked up when the command runs next.
  restored_target_ = std::move(name);
}

}  // namespace orba

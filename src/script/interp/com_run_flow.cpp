// What the flow-control, save/load/timer and variable/run-state commands do
// when they run.
#include <algorithm>
#include <limits>

#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "core/system/trace.h"
#include "script/expr/expr_exec.h"
#include "script/interp/call_man.h"
#include "script/interp/com_component.h"
#include "script/interp/com_flow.h"
#include "script/interp/com_run.h"
#include "script/interp/event_queue.h"
#include "script/interp/page.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"
#include "script/values/value_room.h"

namespace orba {

inline constexpr char kMsgNoVarName[] =
    "\x95\xcf\x90\x94\x96\xbc\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";  // 変数名がありません

TCustomParam* Evaluate(TOrbaParser& expression, TCallMan& run_state) {
  ExecuteParser(expression, run_state.Funcs());
  return expression.Result.get();
}

bool EvalCondition(TOrbaParser& expression, TCallMan& run_state) {
  const TCustomParam* r = Evaluate(expression, run_state);
  return r != nullptr && r->GetAsFlag();
}

int32_t EvalInt(TOrbaParser& expression, TCallMan& run_state) {
  const TCustomParam* r = Evaluate(expression, run_state);
  return r != nullptr ? r->GetAsInt() : 0;
}

std::string EvalStr(TOrbaParser& expression, TCallMan& run_state) {
  const TCustomParam* r = Evaluate(expression, run_state);
  return r != nullptr ? r->GetAsStr() : std::string();
}

void WriteConverted(TParamCollectionItem& variable, uint8_t type, const TCustomParam& value) {
  switch (type) {
    case PT_INT: variable.SetAsInt(value.GetAsInt()); break;
    case PT_FLOAT: variable.SetAsFloat(value.GetAsFloat()); break;
    case PT_BOOL: variable.SetAsFlag(value.GetAsFlag()); break;
    case PT_STR: variable.SetAsStr(value.GetAsStr()); break;
    default: break;
  }
}

namespace {

// Finds a jump's target page; when it cannot be loaded the command is left
// behind (PC at Resume, after it), so that the failure neither restarts the
// running page nor repeats the command for ever.
template <typename TFind>
TPage* PageOrResume(int32_t& pc, int32_t resume, TFind find) {
  try {
    return find();
  } catch (...) {  // cleaned up, then rethrown
    pc = resume;
    throw;
  }
}

// Brings the target page to the front of the cache (loading sets the program
// counter to 0).
TPage* LoadTargetPage(TCallMan& run_state, const std::string& name, int32_t& pc, int32_t resume) {
  return PageOrResume(pc, resume, [&] { return run_state.GetPage(name, true); });
}

// Starts a new main flow at the target page.
TPage* StartTargetPage(TCallMan& run_state, const std::string& name, int32_t& pc, int32_t resume) {
  return PageOrResume(pc, resume, [&] { return run_state.Start(name); });
}

// Skips the commands nested deeper than Depth, starting at PC.
void SkipDeeper(const TPage& page, int32_t depth, int32_t& pc) {
  while (pc < page.Commands.Count() && page.Commands.GetItem(pc)->Depth > depth) ++pc;
}

}  // namespace

// ---- conditional blocks ----------------------------------------------------------

void TComIf::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  if (EvalCondition(Condition, *run_state)) return;
  while (pc < page->Commands.Count()) {
    TCommand* c = page->Commands.GetItem(pc);
    if (c->Depth > Depth) {
      ++pc;
      continue;
    }
    if (c->Depth < Depth) return;
    if (c->GetOpcode() == OP_Elseif) {
      ++pc;
      if (EvalCondition(static_cast<TComElseif*>(c)->Condition, *run_state)) return;
      continue;
    }
    if (c->GetOpcode() == OP_Else) ++pc;
    return;
  }
}

// Reached when the branch before has run to its end: the rest of the block
// is passed over.
void TComElseif::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  SkipDeeper(*page, Depth, pc);
}

void TComElse::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  SkipDeeper(*page, Depth, pc);
}

// ---- jumps, calls and returns ------------------------------------------------------

void TComJump::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  const int32_t next = ++pc;
  if (!EvalCondition(Condition, *run_state) || !run_state->Host().FileAvailable(PageName)) return;
  page = LoadTargetPage(*run_state, PageName, pc, next);
  pc = Target;
}

void TComCall::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  TCallMan& rs = *run_state;
  const int32_t next = ++pc;
  if (!EvalCondition(Condition, rs) || !rs.Host().FileAvailable(PageName)) return;
  // Each argument's text is copied once, straight from the value that holds
  // it, and the list is handed on whole: thousands of long texts must not
  // be copied again and again within the one step.
  TArrayString args;
  for (auto& argument : Arguments) {
    const TCustomParam* r = Evaluate(*argument, rs);
    if (r == nullptr) continue;
    std::string made;
    const std::string& text = TextOf(*r, made);
    ClaimValueRoom(static_cast<int64_t>(text.size()));
    args.Add(text);
    argument->Result.reset();  // the copy in the list is the one kept
  }
  // A call past the deepest nesting fails as the command's error (traced
  // by the step); the caller goes on after it.
  if (rs.Frames.Count() >= kMaxCallDepth)
    throw EScriptError("Call:" + PageName + ": calls nest deeper than " + std::to_string(kMaxCallDepth));
  // The called page is loaded before the frame is pushed, so that a page
  // that cannot be loaded leaves the stack as it was.
  TPage* target = LoadTargetPage(rs, PageName, pc, next);
  TStack& frame = rs.Frames.Push();
  frame.PageName = Page->Name;
  frame.PC = next;
  frame.ResultVar = ResultVar;
  frame.Continue = rs.Continue;
  frame.Sender = rs.Sender;
  frame.Args = std::move(rs.Args);
  rs.Args = std::move(args);
  page = target;
  pc = Target;
  if (target->ResultType >= PT_INT && target->ResultType <= PT_STR)
    frame.Result = CreateParamByType(target->ResultType);
}

void TComExit::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  if (EvalCondition(Condition, *run_state))
    page = nullptr;
  else
    ++pc;
}

void TComBreak::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  if (!EvalCondition(Condition, *run_state)) {
    ++pc;
  } else if (Target < 0) {
    page = nullptr;
  } else {
    pc = Target;
  }
}

void TComContinue::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  if (!EvalCondition(Condition, *run_state)) return;
  if (Target < 0)
    page = nullptr;
  else
    pc = Target;
}

// ---- loops ----------------------------------------------------------------------------

void TComWhile::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  if (!EvalCondition(Condition, *run_state)) pc = ExitTarget;
}

void TComWhileInit::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  Evaluate(Init, *run_state);
}

void TComWhileLoop::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  pc = LoopTarget;
  Evaluate(Init, *run_state);
}

// ---- waiting ------------------------------------------------------------------------------

void TComWait::Start(TCallMan* run_state) {
  Remaining = EvalInt(Time, *run_state);
  Delay = 1;
  Hold = EvalCondition(HoldEvents, *run_state) ? 1 : 0;
}

void TComWait::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  const TCustomParam* r = Evaluate(Condition, *run_state);
  if (r != nullptr && !r->GetAsFlag()) {
    ++pc;
    return;
  }
  if (Remaining == 0) {
    run_state->Continue = 0;  // waits while the condition holds
    return;
  }
  if (Delay > 0) {
    --Delay;  // the tick in which the wait starts is not counted
    run_state->Continue = 0;
    return;
  }
  const int64_t left = static_cast<int64_t>(Remaining) - FrameTime;
  Remaining = static_cast<int32_t>(std::max<int64_t>(left, std::numeric_limits<int32_t>::min()));
  if (Remaining > 0)
    run_state->Continue = 0;
  else
    ++pc;
}

void TComWait::SaveState(std::unique_ptr<TKsMemoryStream>& stream) {
  if (!stream) stream = std::make_unique<TKsMemoryStream>();
  WriteVersionHeader(*stream);
  WriteStreamInt(*stream, Remaining);
  WriteStreamInt(*stream, Delay);
  WriteStreamByte(*stream, Hold);
}

void TComWait::RestoreState(TKsBigStream& stream) {
  const int32_t version = ReadVersionHeader(stream);
  const int32_t remaining = ReadStreamInt(stream);
  const int32_t delay = ReadStreamInt(stream);
  if (version >= kCommandStateFlagsVersion) Hold = ReadByteVal(stream);
  Remaining = remaining;
  Delay = delay;
}

// ---- save, load and timer requests ----------------------------------------------------------

void TComGameSave::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  const int32_t slot = EvalInt(Slot, *run_state);
  const std::string caption = EvalStr(Caption, *run_state);
  run_state->Host().RequestSave(slot, OnLoadPage, OnLoadTarget, caption);
}

void TComGameLoad::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  run_state->Host().RequestLoad(EvalInt(Slot, *run_state));
}

void TComTimer::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  run_state->Objects().CreateTimer(*this);
}

// ---- variables ----------------------------------------------------------------------------------

void TComCalc::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  Evaluate(Expression, *run_state);
}

void TComVarNew::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  if (Name.empty()) throw EScriptError(kMsgNoVarName);
  TParamCollection& store = run_state->Store();
  TParamCollectionItem* item = store.FindScoped(Name, Scope == 2);
  if (item == nullptr) {
    item = store.AddVar(Type);
    try {
      item->SetName(Name);
    } catch (...) {  // cleaned up, then rethrown
      store.FreeVar(item);
      throw;
    }
    const int32_t depth = run_state->Frames.Count();
    switch (Scope) {
      case 1: item->FrameId = depth; break;
      case 2: item->FrameId = depth; item->Local = 1; break;
      case 3: item->Persistent = 1; break;
      default: break;
    }
  } else if (item->Persistent != 0) {
    return;  // a status variable keeps its value
  }
  const std::string name = item->Name();
  if (const TCustomParam* r = Evaluate(Initial, *run_state)) {
    // The initial expression may have freed the variable; look it up again.
    if (TParamCollectionItem* again = store.FindScoped(name, Scope == 2)) WriteConverted(*again, Type, *r);
  }
}

void TComVarDel::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  if (Name.empty()) return;
  TParamCollection& store = run_state->Store();
  if (TParamCollectionItem* item = store.Find(Name)) store.FreeVar(item);
}

// ---- run state --------------------------------------------------------------------------------------

void TComPCReset::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  TCallMan& rs = *run_state;
  TParamCollection& store = rs.Store();
  const int32_t depth = rs.Frames.Count();
  const int32_t next = pc + 1;
  store.DeleteFrameVars(depth);
  if (ClearStack != 0) {
    for (int32_t i = depth - 1; i >= 0; --i) {
      store.DeleteFrameVars(i);
      const TStack& frame = rs.Frames.GetItem(i);
      if (frame.Sender || frame.Started == 0) continue;
      // The interrupted command of a caller in the main flow is told to stop.
      try {
        TPage* caller = rs.GetPage(frame.PageName, true);
        if (frame.PC >= 0 && frame.PC < caller->Commands.Count()) caller->Commands.GetItem(frame.PC)->Abort();
      } catch (...) {  // traced
        // A caller's page that cannot be loaded has nothing to abort.
        TraceCaught("call: no command to stop in caller page " + frame.PageName);
      }
    }
    page = StartTargetPage(rs, PageName, pc, next);
    pc = PC;
    if (TTimerList* events = rs.Events()) events->Clear();
    return;
  }
  // Without ClearStack the flow that the running event interrupted is sent
  // to the new place; the handler itself goes on.
  int32_t handler = -1;
  for (int32_t i = 0; i < depth; ++i) {
    if (rs.Frames.GetItem(i).Sender) {
      handler = i;
      break;
    }
  }
  if (handler < 0) {
    std::string sender;
    rs.GetSenderName(sender);
    if (!sender.empty()) handler = depth;
  }
  bool rewritten = false;
  for (int32_t i = handler - 1; i >= 0; --i) {
    TStack& frame = rs.Frames.GetItem(i);
    if (frame.Sender) continue;
    store.DeleteFrameVars(i);
    frame.PageName = PageName;
    frame.PC = PC;
    frame.Started = 0;
    frame.ResultVar.clear();
    frame.Args.Clear();
    frame.StateStream.reset();
    pc = next;
    rewritten = true;
    break;
  }
  if (!rewritten) {
    page = LoadTargetPage(rs, PageName, pc, next);
    pc = PC;
  }
  if (TTimerList* events = rs.Events()) events->DeleteNested();
}

void TComReset::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  TCallMan& rs = *run_state;
  const int32_t next = pc + 1;
  rs.Objects().ResetObjects();
  rs.Store().Clear();
  rs.Host().ClearGameTables();
  rs.Host().ClearHistoryFormats();
  page = StartTargetPage(rs, PageName, pc, next);
  pc = PC;
}

void TComTerminate::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  QuitFlag = 1;
  run_state->Host().PostClose();
}

}  // namespace orba

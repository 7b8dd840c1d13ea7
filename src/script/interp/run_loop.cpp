// The interpreter's per-tick work: single steps of the running page, the
// return from a finished page, the start of event calls, and the run loop
// that chooses between them by the run-loop state.
#include <chrono>
#include <cstdint>

#include "core/game_clock.h"
#include "core/system/heap_watch.h"
#include "core/system/quit_request.h"
#include "core/system/trace.h"
#include "core/strings/text_utils.h"
#include "script/interp/call_man.h"
#include "script/interp/com_run.h"
#include "script/interp/event_queue.h"
#include "script/interp/page.h"
#include "script/interp/trace.h"
#include "script/values/param_collection.h"

namespace orba {

TCommandStep StepCommand(TCallMan& run_state, TRunCursor at) {
  TCommandStep step{.Cursor = at};
  TRunCursor& cur = step.Cursor;
  TPage* const page = at.Page;
  if (at.PC < 0 || at.PC >= page->Commands.Count()) {
    cur.Page = nullptr;
    return step;
  }
  bool raised = false;
  TCommand* command = page->Commands.GetItem(at.PC);
  try {
    if (ScriptLoggerLoaded() && command != run_state.LastTraced) {
      ScriptLogWrite(FormatStepTrace(GameClock, page->Name, command->Line));
      run_state.LastTraced = command;
    }
    if (cur.Started == 0 && command->GetSkip()) {
      ++cur.PC;
    } else {
      if (cur.Started == 0) {
        command->Start(&run_state);
        cur.Started = 1;
      }
      run_state.Continue = command->GetContinue() ? 1 : 0;
      step.Yield = command->GetYield();
      command->Execute(&run_state, cur.Page, cur.PC);
    }
  } catch (...) {  // traced once per failure
    // A failing command ends its step; what it did before stands.
    raised = true;
    if (TraceEnabled())
      TraceOnce("command failed: " + page->Name + " line " + std::to_string(command->Line) + ": " + CaughtMessage());
  }
  // Whether or not the command raised: a command left behind is started
  // anew when it is reached again.
  if (cur.Page != at.Page || cur.PC != at.PC)
    cur.Started = 0;
  else if (raised)
    step.Stalled = true;
  return step;
}

int32_t TCallMan::RunStep() {
  bool yield = false;
  if (CurrentPage != nullptr) {
    const TCommandStep step = StepCommand(*this, TRunCursor{.Page = CurrentPage, .PC = PC, .Started = Started});
    PC = step.Cursor.PC;
    Started = step.Cursor.Started;
    yield = step.Yield;
    if (step.Stalled) stalled_ = true;
    if (step.Cursor.Page != nullptr) {
      CurrentPage = step.Cursor.Page;
      return yield ? SR_YIELD : SR_NONE;
    }
  } else if (Frames.Count() == 0) {
    // Nothing to run: the tick's run of this flow ends here.
    Continue = 0;
    stalled_ = true;
    return SR_NONE;
  }
  // The page has ended (or there is none): return to the caller's frame.
  if (Frames.Count() == 0) {
    // Every later step ends again at once (events still run): the flow is
    // stalled, so a handler whose caller's frame was deleted ends its tick
    // here instead of repeating its last command for the whole budget.
    Continue = 0;
    stalled_ = true;
    return yield ? SR_YIELD : SR_NONE;
  }
  Store().DeleteFrameVars(Frames.Count());
  TStack& frame = Frames.Pop();
  DeliverResult(frame);
  TPage* caller = nullptr;
  try {
    caller = GetPage(frame.PageName, true);
  } catch (...) {  // traced
    // The caller's page cannot be loaded: its flow ends too, and the next
    // step returns further.
    TraceCaught("return: caller page " + frame.PageName + " not loaded");
    caller = nullptr;
  }
  CurrentPage = caller;
  PC = frame.PC;
  Started = caller != nullptr ? frame.Started : 0;
  Continue = frame.Continue;
  // Moved back, not copied: the popped frame is a scratch record that no
  // load reads, and a list of long texts is not made twice.
  Args = std::move(frame.Args);
  frame.Args.Clear();
  Sender = frame.Sender;
  if (frame.StateStream) {
    if (TCommand* command = CurrentCommand()) {
      frame.StateStream->SetPosition(0);
      try {
        command->RestoreState(*frame.StateStream);
      } catch (...) {  // traced
        // A damaged state leaves the command's fields as they were.
        TraceCaught("return: the command's state in " + frame.PageName + " not restored");
      }
    }
  }
  if (!Sender) return SR_RETURN_MAIN;
  return yield ? SR_YIELD : SR_RETURN;
}

void TCallMan::DeliverResult(const TStack& frame) {
  if (frame.ResultVar.empty() || !frame.Result) return;
  TParamCollection& store = Store();
  if (TParamCollectionItem* item = store.Find(frame.ResultVar)) {
    const uint8_t type = item->GetParamType();
    WriteConverted(*item, type >= PT_INT && type <= PT_STR ? type : frame.Result->GetParamType(), *frame.Result);
    return;
  }
  // A missing variable is created holding the value as text.
  TParamCollectionItem* item = store.AddVar(PT_STR);
  try {
    item->SetName(frame.ResultVar);
  } catch (...) {  // traced
    store.FreeVar(item);
    TraceCaught("return: no result variable " + frame.ResultVar);
    return;
  }
  item->SetAsStr(frame.Result->GetAsStr());
}

void TCallMan::UndoEventCall() {
  TStack& frame = Frames.GetItem(Frames.Count() - 1);
  PC = frame.PC;
  Args = std::move(frame.Args);
  Frames.RemoveFrame(Frames.Count() - 1);
}

int32_t TCallMan::CallEvent(int32_t level) {
  TCommand* current = Started != 0 ? CurrentCommand() : nullptr;
  if (current != nullptr && current->GetEventLock()) return 0;
  TTimerList* events = Events();
  if (events == nullptr) return 0;
  TTimerData* entry = events->FirstReady();
  if (entry == nullptr) return 0;

  std::string page_name = entry->Label;
  const std::string label = SplitLabelSuffix(page_name);
  page_name = (page_name.size() > 3 ? page_name.substr(0, page_name.size() - 3) : std::string()) + "osb";
  if (!host_.FileAvailable(page_name)) return 0;  // it waits, and so do the events behind it
  // Handlers nested as deep as calls may go wait until one returns.
  if (Frames.Count() >= kMaxCallDepth) {
    TraceOnce("event: " + page_name + " waits: calls nest " + std::to_string(kMaxCallDepth) + " deep");
    return 0;
  }

  TStack& frame = Frames.Push();
  frame.PageName = CurrentPage != nullptr ? CurrentPage->Name : std::string();
  frame.PC = PC;
  frame.Started = Started;
  frame.Args = std::move(Args);
  frame.Sender = Sender;
  frame.Continue = Continue;
  if (current != nullptr) {
    try {
      current->SaveState(frame.StateStream);
    } catch (...) {  // traced
      TraceCaught("event: the interrupted command's state not saved");
      frame.StateStream.reset();
    }
  }
  TPage* page = nullptr;
  try {
    page = GetPage(page_name, true);
  } catch (...) {  // traced
    TraceCaught("event: handler page " + page_name + " not loaded");
    // A handler page that exists but cannot be read: the event is dropped
    // and the interrupted flow goes on as if it had never been offered.
    UndoEventCall();
    events->Delete(events->IndexOf(entry));
    return 0;
  }
  CurrentPage = page;
  const int32_t at = label.empty() ? -1 : page->FindLabel(label);
  PC = at >= 0 ? at : 0;
  if (ScriptLoggerLoaded() && PC < page->Commands.Count())
    ScriptLogWrite(FormatEventTrace(GameClock, page->Name, page->Commands.GetItem(PC)->Line));
  Started = 0;
  events->SetLevel(*entry, static_cast<uint32_t>(level));
  Args.Assign(entry->Args);
  Sender = entry->Sender;
  State = RS_HANDLER;
  return 1;
}

bool TCallMan::Run() {
  stalled_ = false;
  int32_t steps = 0;
  // Steps may grow slow (each one adding to a list that the next searches):
  // the tick also ends once it has taken TimeBudgetMs, and at once when
  // the player is asked to quit (the exit page, run while shutting down,
  // still runs).
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeBudgetMs);
  do {
    ReportProgress();  // the quit watchdog's heartbeat: the exit page runs here too
    if (++steps > StepBudget || (QuitRequested() && !Terminating) || std::chrono::steady_clock::now() > deadline)
      return true;
    // What the script holds in sum is watched while it runs, not only
    // between ticks: one tick of a loop may otherwise fill the memory.
    if (CheckHeapCeiling()) return true;
    switch (State) {
      case RS_MAIN:
        if (CallEvent(1) == 0) {
          const TPage* page = CurrentPage;
          const int32_t pc = PC;
          // A command that holds the program counter and yields (MovieStop
          // waiting for its sound) ends the tick even with its Continue flag
          // set: run again at once it would spin within one tick for ever.
          const bool held = RunStep() == SR_YIELD && CurrentPage == page && PC == pc;
          if (stalled_ || held) Continue = 0;
        }
        break;
      case RS_HANDLER: {
        const int32_t r = RunStep();
        if (r == SR_RETURN_MAIN) {
          DropEvents(1);
          State = RS_MAIN;
          Continue = 1;
        } else if (r == SR_YIELD) {
          NextLevel = 2;
          State = RS_YIELDED;
          return true;
        } else if (State != RS_HANDLER) {
          Continue = 1;  // a command restarted the interpreter
        } else if (stalled_) {
          return true;
        }
        break;
      }
      case RS_YIELDED:
        if (CallEvent(NextLevel) == 1) {
          if (NextLevel < INT32_MAX) ++NextLevel;  // a damaged save may hold any level
          State = RS_NESTED;
        } else {
          State = NextLevel > 2 ? RS_NESTED : RS_HANDLER;
        }
        break;
      case RS_NESTED: {
        const int32_t r = RunStep();
        if (r == SR_RETURN_MAIN || r == SR_RETURN) {
          if (NextLevel > INT32_MIN) --NextLevel;
          DropEvents(static_cast<uint32_t>(NextLevel));
          if (NextLevel <= 2) State = RS_YIELDED;
        } else if (r == SR_YIELD) {
          State = RS_YIELDED;
          return true;
        } else if (stalled_) {
          return true;
        }
        break;
      }
      default:
        State = RS_MAIN;  // a state that no run makes (a damaged save)
        break;
    }
  } while (!((Continue == 0 && State == RS_MAIN) || QuitFlag != 0));
  return true;
}

}  // namespace orba

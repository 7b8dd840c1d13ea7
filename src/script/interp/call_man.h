// The script interpreter's run state: the page being executed and its
// program counter, the call stack, the arguments of the running page, the
// screen object whose event is being handled, the page cache, and the run
// loop that the project calls once per tick (run_loop.cpp). The whole run
// state is written into and read from game saves.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/containers.h"
#include "core/streams/big_stream.h"
#include "script/functions/sys_func.h"
#include "script/interp/object_services.h"
#include "script/interp/page_cache.h"
#include "script/values/params.h"
#include "script/values/system_var_host.h"

namespace orba {

class TFolderDiskList;
class TParamCollection;
class TTimerList;
class TVrFileManager;

// What the interpreter asks of the open project.
class TCallManHost {
 public:
  virtual ~TCallManHost() = default;
  // Whether a packaged file can be opened now (a multi-disc game may ask
  // for another disc). Without a project every non-empty name is offered.
  virtual bool FileAvailable(const std::string& name) { return !name.empty(); }
  // A game save or load, carried out after the tick's run loop.
  virtual void RequestSave(int32_t slot, const std::string& on_load_page, int32_t on_load_target,
                           const std::string& caption) {}
  virtual void RequestLoad(int32_t slot) {}
  // Parts of the game state that Reset clears: the game-slot tables and the
  // backlog formats.
  virtual void ClearGameTables() {}
  virtual void ClearHistoryFormats() {}
  // Asks the main window to close (the quit flag is already set).
  virtual void PostClose() {}
};

// The project's availability rule: a name the file layer finds is
// available; otherwise a name in a folder that the disc list places on disc
// n > 0 is asked for (RequestDisk) unless its extension is one of the
// streamed media extensions (".wav.wma.ogg.mid": each with its dot,
// compared in lower case).
bool IsFileAvailable(TVrFileManager& files, const TFolderDiskList& disks,
                     const std::string& streamed_extensions, const std::string& name);

// One call frame: what a call or event call restores on return.
class TStack {
 public:
  std::string PageName;
  int32_t PC = 0;
  uint8_t Started = 0;
  std::string ResultVar;
  TArrayString Args;
  TObjectHandle Sender;
  uint8_t Continue = 0;
  std::unique_ptr<TKsMemoryStream> StateStream;  // running state of the interrupted command
  std::unique_ptr<TCustomParam> Result;          // the called page's return value

  // Copies every field; the stream and the result become copies of their own.
  void Assign(const TStack& source);
  void Clear();

  // Frame record: page name, PC, Started, Continue, ResultVar, arguments,
  // sender name, int32 state size and bytes, u8 result type and value.
  void SaveToStream(TKsBigStream& stream, const TObjectServices& objects) const;
  void LoadFromStream(TKsBigStream& stream, const TObjectServices& objects);
};

// The call stack, bottom first. Its depth is the variable store's current
// frame, which decides the frame of new scoped variables.
// How deep page calls may nest. A page that calls itself without end would
// otherwise grow the call stack (and its locals) until memory runs out; a
// real game's calls nest a few dozen deep.
inline constexpr int32_t kMaxCallDepth = 10000;

class TStackList {
 public:
  explicit TStackList(TParamCollection& store) : store_(store) {}

  TStack Popped;  // the frame that the last Pop removed

  int32_t Count() const { return static_cast<int32_t>(frames_.size()); }
  TStack& GetItem(int32_t index) const { return *frames_.at(static_cast<size_t>(index)); }
  TStack& Push();
  // Raises "スタックエラー" on an empty stack.
  TStack& Pop();
  void Clear();
  // Takes one frame out (0 is the bottom frame).
  void RemoveFrame(int32_t index);

 private:
  void SyncDepth();
  TParamCollection& store_;
  std::vector<std::unique_ptr<TStack>> frames_;
};

// The run state as a game slot stores it, up to the running command's own
// state, which only that command of its page can read: page name, PC,
// Continue, Started, state, sender name, arguments, the popped frame, the
// frames bottom first and (from version 116) the next event level.
struct TRunStateRecord {
  std::string PageName;
  int32_t PC = 0;
  uint8_t Continue = 0;
  uint8_t Started = 0;
  int32_t State = 0;
  std::string Sender;
  TArrayString Args;
  TStack Popped;
  std::vector<TStack> Frames;
  int32_t NextLevel = 2;
  // Reads the whole record or raises; senders are looked up in Objects.
  void LoadFromStream(TKsBigStream& stream, int32_t version, const TObjectServices& objects);
};

inline constexpr char kMsgStackError[] = "\x83X\x83^\x83" "b\x83N\x83G\x83\x89\x81[";  // スタックエラー

// Run-loop states.
enum TRunState : int32_t {
  RS_MAIN = 0,      // the main flow
  RS_HANDLER = 1,   // an event handler of level 1 runs over the main flow
  RS_YIELDED = 2,   // a handler has yielded; a nested event may start
  RS_NESTED = 3,    // a nested handler (level 2 or above) runs
};

// What a step of the run state reports.
enum TStepResult : int32_t {
  SR_NONE = 0,         // a command ran (or nothing could)
  SR_YIELD = 2,        // the command yields the rest of the tick
  SR_RETURN_MAIN = 1,  // a page returned to a frame without a sender
  SR_RETURN = -1,      // a page returned to a frame with a sender
};

class TCallMan : public TCallStackService {
 public:
  TCallMan(TSysFuncMan& funcs, TObjectServices& objects, TCallManHost& host);
  ~TCallMan() override;
  TCallMan(const TCallMan&) = delete;
  TCallMan& operator=(const TCallMan&) = delete;

  TPage* CurrentPage = nullptr;
  int32_t PC = 0;
  uint8_t Continue = 0;
  TStackList Frames;
  uint8_t Started = 0;
  TArrayString Args;
  int32_t State = RS_MAIN;
  TObjectHandle Sender;
  int32_t NextLevel = 2;

  TSysFuncMan& Funcs() const { return funcs_; }
  TParamCollection& Store() const { return funcs_.Store(); }
  TObjectServices& Objects() const { return objects_; }
  TCallManHost& Host() const { return host_; }
  // The object manager's event queue, nullptr while there is none.
  TTimerList* Events() const { return objects_.EventQueue(); }

  // Restarts at the first command of a page: empty stack, no arguments, the
  // main flow, and the queued events of every running level dropped.
  TPage* Start(const std::string& page_name);
  // The page cache; with MoveToFront PC is set to 0 first.
  TPage* GetPage(const std::string& name, bool move_to_front);
  int32_t GetCount() const { return pages_.Count(); }
  TPage* GetItem(int32_t index) const { return pages_.GetItem(index); }

  // The tick's run: takes events and runs commands until the work of the
  // tick is done, or until it has run kRunStepBudget steps or for
  // kRunTimeBudgetMs (a flow that never yields, such as a loop with
  // Continue set, then goes on in the next tick), or a quit was requested.
  // Returns true.
  bool Run();
  static constexpr int32_t kRunStepBudget = 100000;
  // Far above what a tick of any game takes (100,000 steps run in well
  // under a second), so that where a tick ends never depends on the
  // machine's speed but for a flow whose steps have grown pathologically
  // slow.
  static constexpr int32_t kRunTimeBudgetMs = 10000;
  // The budgets in force: kRunStepBudget and kRunTimeBudgetMs, lowered by
  // the whole-player fuzzer so that each of its games runs fast.
  static inline int32_t StepBudget = kRunStepBudget;
  static inline int32_t TimeBudgetMs = kRunTimeBudgetMs;
  // One step of the run state (a TStepResult).
  int32_t RunStep();
  // Starts the first waiting event as an event call of Level; 1 when one
  // was started, else 0.
  int32_t CallEvent(int32_t level);

  int32_t GetArgCount() const { return Args.Count(); }
  void GetArg(int32_t index, std::string& s) const;
  void GetSenderName(std::string& s) const;
  TCustomParam* GetFrameResult() const;

  void SaveToStream(TKsBigStream& stream);
  void LoadFromStream(TKsBigStream& stream, int32_t version);

  // For the DeleteStack function.
  int32_t FrameCount() override { return Frames.Count(); }
  void RemoveFrame(int32_t index) override { Frames.RemoveFrame(index); }

  // The command of the current page at PC, or nullptr.
  TCommand* CurrentCommand() const;
  // The last command handed to the trace, so that a command that stays on
  // its place over several steps is traced once.
  const TCommand* LastTraced = nullptr;

 private:
  void DropEvents(uint32_t level);
  void DeliverResult(const TStack& frame);
  // Leaves the event call whose frame was just pushed, when its page could
  // not be loaded.
  void UndoEventCall();

  TSysFuncMan& funcs_;
  TObjectServices& objects_;
  TCallManHost& host_;
  TPageCache pages_;
  // Set by a step that made no progress (a command raised without moving,
  // or there is no page to run): the tick's run ends there.
  bool stalled_ = false;
};

// Where a flow stands: its page, the index of its command and whether that
// command was started.
struct TRunCursor {
  TPage* Page = nullptr;
  int32_t PC = 0;
  uint8_t Started = 0;
};

// What one step did: where the flow stands after it (Page null when the
// page has ended), whether the command asked to end the tick's run, and
// whether it raised and stayed where it was.
struct TCommandStep {
  TRunCursor Cursor;
  bool Yield = false;
  bool Stalled = false;
};

// One step at the cursor (its page not null): start the command at PC when
// it was not started, then execute it. An exception of the command ends the
// step (traced once); Started is cleared whenever the page or PC moved,
// whether or not the command raised.
TCommandStep StepCommand(TCallMan& run_state, TRunCursor at);

// Answers the call-stack and clock questions of the "@" system variables
// from a call manager and the timing globals; the project derives from it
// for the rest.
class TCallManVarHost : public TSystemVarHost {
 public:
  explicit TCallManVarHost(TCallMan* call_man = nullptr) : call_man_(call_man) {}
  void SetCallMan(TCallMan* call_man) { call_man_ = call_man; }
  TCustomParam* GetFrameResult() override;
  int32_t GetParamCount() override;
  std::string GetArg(int32_t index) override;
  std::string GetSenderName() override;
  int32_t GetStackCount() override;
  // The clock: game time, the system timer and the tick count.
  int32_t GetTickCount() override;
  int32_t GetPCTickCount() override;
  int32_t GetUpdateCount() override;

 private:
  TCallMan* call_man_;
};

}  // namespace orba

// A small interpreter world for tests: pages written with the page writer
// and served from memory, a stand-in object manager with its event queue,
// a project that records requests, and a clock that ticks 15 ms at a time.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/errors.h"
#include "core/game_clock.h"
#include "script/expr/expr_compiler.h"
#include "script/interp/call_man.h"
#include "script/interp/com_component.h"
#include "script/interp/com_flow.h"
#include "script/interp/event_queue.h"
#include "script/interp/page.h"
#include "script/interp/trace.h"
#include "script/values/param_collection.h"

namespace orba::test {

class TMemoryPages : public TPageHost {
 public:
  std::map<std::string, std::vector<uint8_t>> Files;
  int32_t Loads = 0;
  void LoadToStream(const std::string& name, TKsMemoryStream& stream) override {
    auto it = Files.find(name);
    if (it == Files.end()) throw EOrbaError(name + ":missing");
    ++Loads;
    stream.MutableBytes() = it->second;
    stream.SetPosition(0);
  }
};

class TFakeObjects : public TObjectServices {
 public:
  TTimerList Queue{this};
  std::map<uint32_t, std::string> Live;
  uint32_t NextId = 1;
  int32_t Timers = 0;
  int32_t Resets = 0;

  TObjectHandle Add(const std::string& name) {
    Live[NextId] = name;
    return TObjectHandle{NextId++};
  }
  void Free(TObjectHandle object) {
    Queue.RemoveSender(object);
    Live.erase(object.Id);
  }
  bool IsAlive(TObjectHandle object) const override { return Live.count(object.Id) != 0; }
  std::string GetObjectName(TObjectHandle object) const override {
    auto it = Live.find(object.Id);
    return it != Live.end() ? it->second : std::string();
  }
  TObjectHandle FindObject(const std::string& name) const override {
    for (const auto& [id, n] : Live)
      if (n == name) return TObjectHandle{id};
    return TObjectHandle{};
  }
  TTimerList* EventQueue() override { return &Queue; }
  void ResetObjects() override {
    Live.clear();
    Queue.Clear();
    ++Resets;
  }
  void CreateTimer(TComComponent& command) override { ++Timers; }
};

class TFakeHost : public TCallManHost {
 public:
  explicit TFakeHost(TMemoryPages& pages) : pages_(pages) {}
  std::set<std::string> Unavailable;
  std::vector<std::string> Requests;

  bool FileAvailable(const std::string& name) override {
    return !name.empty() && Unavailable.count(name) == 0 && pages_.Files.count(name) != 0;
  }
  void RequestSave(int32_t slot, const std::string& page, int32_t target, const std::string& caption) override {
    Requests.push_back("save " + std::to_string(slot) + " " + page + " " + std::to_string(target) + " " + caption);
  }
  void RequestLoad(int32_t slot) override { Requests.push_back("load " + std::to_string(slot)); }
  void ClearGameTables() override { Requests.push_back("tables"); }
  void ClearHistoryFormats() override { Requests.push_back("backlog"); }
  void PostClose() override { Requests.push_back("close"); }

 private:
  TMemoryPages& pages_;
};

inline void Compile(TOrbaParser& parser, const std::string& text) {
  parser.Clear();
  if (!text.empty()) {
    ASSERT_TRUE(CompileText(text, parser)) << text;
  }
}

// Builds a page; each command's Line is its index + 1, and each goes on
// within the tick unless said otherwise. Depth is set with Nest.
class TPageBuilder {
 public:
  TPage Page;
  int32_t Depth = 0;

  explicit TPageBuilder(uint8_t result_type = PT_INT) {
    Page.ResultType = result_type;
    Page.Version = 115;
  }

  template <typename T>
  T& Add(uint8_t opcode, uint8_t cont = 1) {
    T& c = dynamic_cast<T&>(*Page.AddCommand(opcode));
    c.Depth = Depth;
    c.Continue = cont;
    c.Line = Page.Commands.Count();
    return c;
  }
  TPageBuilder& Nest(int32_t depth) {
    Depth = depth;
    return *this;
  }
  TPageBuilder& If(const std::string& cond) { Compile(Add<TComIf>(OP_If).Condition, cond); return *this; }
  TPageBuilder& Elseif(const std::string& cond) { Compile(Add<TComElseif>(OP_Elseif).Condition, cond); return *this; }
  TPageBuilder& Else() { Add<TComElse>(OP_Else); return *this; }
  TPageBuilder& Label(const std::string& name) { Add<TComLabel>(OP_Label).Name = name; return *this; }
  TPageBuilder& Calc(const std::string& text, uint8_t cont = 1) {
    Compile(Add<TComCalc>(OP_Calc, cont).Expression, text);
    return *this;
  }
  // Appends Text to the string variable "log".
  TPageBuilder& Log(const std::string& text, uint8_t cont = 1) { return Calc("log = log ++ \"" + text + "\"", cont); }
  TPageBuilder& Jump(const std::string& page, int32_t target, const std::string& cond = "TRUE") {
    auto& c = Add<TComJump>(OP_Jump);
    std::tie(c.PageName, c.Target) = std::tie(page, target);
    Compile(c.Condition, cond);
    return *this;
  }
  TPageBuilder& Call(const std::string& page, int32_t target, const std::string& result_var,
                     const std::vector<std::string>& args, const std::string& cond = "TRUE") {
    auto& c = Add<TComCall>(OP_Call);
    std::tie(c.PageName, c.Target, c.ResultVar) = std::tie(page, target, result_var);
    Compile(c.Condition, cond);
    for (const std::string& a : args) {
      c.Arguments.push_back(std::make_unique<TOrbaParser>());
      Compile(*c.Arguments.back(), a);
    }
    return *this;
  }
  TPageBuilder& Exit(const std::string& cond = "TRUE") { Compile(Add<TComExit>(OP_Exit).Condition, cond); return *this; }
  // A command of a condition and a target.
  template <typename T>
  TPageBuilder& Targeted(uint8_t opcode, const std::string& cond, int32_t T::*field, int32_t target) {
    auto& c = Add<T>(opcode);
    Compile(c.Condition, cond);
    c.*field = target;
    return *this;
  }
  TPageBuilder& Break(const std::string& cond, int32_t target) {
    return Targeted(OP_Break, cond, &TComBreak::Target, target);
  }
  TPageBuilder& Continue(const std::string& cond, int32_t target) {
    return Targeted(OP_Continue, cond, &TComContinue::Target, target);
  }
  TPageBuilder& While(const std::string& cond, int32_t exit_target) {
    return Targeted(OP_While, cond, &TComWhile::ExitTarget, exit_target);
  }
  TPageBuilder& WhileInit(const std::string& text) { Compile(Add<TComWhileInit>(OP_WhileInit).Init, text); return *this; }
  TPageBuilder& WhileLoop(const std::string& step, int32_t loop_target) {
    auto& c = Add<TComWhileLoop>(OP_WhileLoop);
    Compile(c.Step(), step);
    c.LoopTarget = loop_target;
    return *this;
  }
  TPageBuilder& Wait(const std::string& time, const std::string& cond = "", const std::string& hold = "",
                     uint8_t cont = 1) {
    auto& c = Add<TComWait>(OP_Wait, cont);
    Compile(c.Time, time);
    Compile(c.Condition, cond);
    Compile(c.HoldEvents, hold);
    return *this;
  }
  TPageBuilder& DoEvent() { Add<TComDoEvent>(OP_DoEvent); return *this; }
  TPageBuilder& VarNew(const std::string& name, uint8_t type, const std::string& init, uint8_t scope) {
    auto& c = Add<TComVarNew>(OP_VarNew);
    std::tie(c.Name, c.Type, c.Scope) = std::tie(name, type, scope);
    Compile(c.Initial, init);
    return *this;
  }
  TPageBuilder& VarDel(const std::string& name) { Add<TComVarDel>(OP_VarDel).Name = name; return *this; }
  TPageBuilder& PCReset(const std::string& page, int32_t pc, bool clear_stack) {
    auto& c = Add<TComPCReset>(OP_PCReset);
    std::tie(c.PageName, c.PC, c.ClearStack) = std::make_tuple(page, pc, uint8_t{clear_stack});
    return *this;
  }
  TPageBuilder& Reset(const std::string& page, int32_t pc) {
    auto& c = Add<TComReset>(OP_Reset);
    std::tie(c.PageName, c.PC) = std::tie(page, pc);
    return *this;
  }

  TPageBuilder& Terminate() { Add<TComTerminate>(OP_Terminate); return *this; }

  // The page file, as the page writer stores it.
  std::vector<uint8_t> Bytes() const {
    TKsMemoryStream s;
    Page.SaveToStream(s);
    return s.Bytes();
  }
};

using TStatus = std::tuple<std::string, int32_t, int32_t, int32_t>;

// The interpreter over the fakes above. The string variable "log" collects
// what the scripts append to it; Trace the script trace lines.
class TInterp {
 public:
  TParamCollection Store;
  TSysFuncMan Funcs{Store};
  TMemoryPages Pages;
  TFakeObjects Objects;
  TFakeHost Host{Pages};
  TCallMan Cm{Funcs, Objects, Host};
  TCallManVarHost VarHost{&Cm};
  std::vector<std::string> Trace;

  TInterp() {
    // A run loop that spins inside one tick ends the test program instead
    // of hanging it.
    alarm(30);
    ResetPlayerGlobals();
    FrameTime = 15;
    SetPageHost(&Pages);
    Store.SetHost(&VarHost);
    Funcs.SetCallStack(&Cm);
    Store.AddVar(PT_STR)->SetName("log");
    SetScriptLogger([this](const std::string& line) { Trace.push_back(line); });
  }
  ~TInterp() {
    SetScriptLogger(TScriptLogger());
    Store.SetHost(nullptr);
    SetPageHost(nullptr);
    ResetPlayerGlobals();
    alarm(0);
  }

  void Put(const std::string& name, const TPageBuilder& page) { Pages.Files[name] = page.Bytes(); }
  // Puts the page "main.osb" and starts it.
  void Start(const TPageBuilder& main) {
    Put("main.osb", main);
    Cm.Start("main.osb");
  }
  // One tick of 15 ms.
  void Tick() {
    GameClock += static_cast<uint32_t>(FrameTime);
    ++TickCount;
    Cm.Run();
  }
  void Ticks(int32_t n) {
    for (int32_t i = 0; i < n; ++i) Tick();
  }
  // Ticks until "log" is Expected, at most Limit ticks; answers the tick
  // count it took, or -1.
  int32_t TicksUntil(const std::string& expected, int32_t limit = 50) {
    for (int32_t i = 1; i <= limit; ++i) {
      Tick();
      if (Var("log") == expected) return i;
    }
    return -1;
  }
  std::string Var(const std::string& name) const {
    const TParamCollectionItem* item = Store.Find(name);
    return item != nullptr ? item->GetAsStr() : "<none>";
  }
  std::string Log() const { return Var("log"); }
  // The log, the run state, the frame count and the number of waiting events.
  TStatus Status() const { return {Log(), Cm.State, Cm.Frames.Count(), Objects.Queue.Count()}; }
  TObjectHandle Raise(const std::string& sender, const std::string& label, uint8_t code = PR_ONLBTNDOWN,
                      const std::vector<std::string>& args = {}) {
    TObjectHandle h = Objects.FindObject(sender);
    if (!h) h = Objects.Add(sender);
    TArrayString list;
    for (const auto& a : args) list.Add(a);
    Objects.Queue.QueueEvent(h, label, &list, code);
    return h;
  }
};

}  // namespace orba::test

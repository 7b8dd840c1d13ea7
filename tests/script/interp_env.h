// A small interpreter world for tests: pages assembled from listings and
// served from memory, a stand-in object manager with its event queue,
// a project that records requests, and a clock that ticks 15 ms at a time.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "authoring/page_asm.h"
#include "core/errors.h"
#include "core/game_clock.h"
#include "script/interp/call_man.h"
#include "script/interp/com_component.h"
#include "script/interp/com_flow.h"
#include "script/interp/event_queue.h"
#include "script/interp/page.h"
#include "script/interp/trace.h"
#include "script/values/param_collection.h"

namespace orba::test {

// Serves pages from memory and records what the pages tell the program.
class TMemoryPages : public TPageHost {
 public:
  std::map<std::string, std::vector<uint8_t>> Files;
  int32_t Loads = 0;
  std::vector<std::pair<std::string, std::string>> Warnings;
  std::vector<std::string> Freed;
  void LoadToStream(const std::string& name, TKsMemoryStream& stream) override {
    auto it = Files.find(name);
    if (it == Files.end()) throw EFOpenError(name);
    ++Loads;
    stream.MutableBytes() = it->second;
    stream.SetPosition(0);
  }
  void PageTooOld(const std::string& caption, const std::string& text) override { Warnings.emplace_back(caption, text); }
  void PageFreed(const std::string& name) override { Freed.push_back(name); }
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

// The page of a listing (see docs/page-assembler.md) as the page writer
// stores it. A line "Log X ..." stands for "Calc Expression={log = log ++
// "X"} ...": it appends X to the string variable "log".
inline std::vector<uint8_t> PageBytes(const std::string& listing, const std::string& name = "main.osb") {
  std::string text, line;
  std::istringstream in(listing);
  while (std::getline(in, line)) {
    const size_t at = line.find_first_not_of(' ');
    if (at != std::string::npos && line.compare(at, 4, "Log ") == 0) {
      const size_t end = std::min(line.find(' ', at + 4), line.size());
      line = line.substr(0, at) + "Calc Expression={log = log ++ \"" + line.substr(at + 4, end - at - 4) + "\"}" +
             line.substr(end);
    }
    text += line + "\n";
  }
  TKsMemoryStream s;
  AssemblePage(ParsePageListing(text, name + ".txt", name))->SaveToStream(s);
  return s.Bytes();
}

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

  void Put(const std::string& name, const std::string& listing) { Pages.Files[name] = PageBytes(listing, name); }
  // Puts the page "main.osb" and starts it.
  void Start(const std::string& main) {
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

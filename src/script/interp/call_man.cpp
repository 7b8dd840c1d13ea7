#include "script/interp/call_man.h"

#include "core/files/disk_path.h"
#include "core/files/install_record.h"
#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "script/interp/event_queue.h"
#include "script/save/save_versions.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"

namespace orba {

bool IsFileAvailable(TVrFileManager& files, const TFolderDiskList& disks,
                     const std::string& streamed_extensions, const std::string& name) {
  if (name.empty()) return false;
  if (files.Exists(name)) return true;
  const int32_t disk = disks.DiskOf(name);
  if (disk <= 0) return false;
  // No disc is asked for streamed media: they are played from where they are.
  const std::string ext = SjisLowerCase(SjisExtractFileExt(name)) + ".";
  if ((SjisLowerCase(streamed_extensions) + ".").find(ext) != std::string::npos) return false;
  return files.RequestDisk(disk);
}

// ---- frames ----------------------------------------------------------------

void TStack::Assign(const TStack& source) {
  PageName = source.PageName;
  PC = source.PC;
  Started = source.Started;
  ResultVar = source.ResultVar;
  Args.Assign(source.Args);
  Sender = source.Sender;
  Continue = source.Continue;
  if (source.StateStream) {
    if (!StateStream) StateStream = std::make_unique<TKsMemoryStream>();
    StateStream->MutableBytes() = source.StateStream->Bytes();
    StateStream->SetPosition(0);
  } else {
    StateStream.reset();
  }
  Result.reset();
  if (source.Result) {
    Result = CreateParamByType(source.Result->GetParamType());
    if (Result) Result->Assign(*source.Result);
  }
}

void TStack::Clear() {
  TStack empty;
  Assign(empty);
}

void TStack::SaveToStream(TKsBigStream& stream, const TObjectServices& objects) const {
  WriteStreamString(stream, PageName);
  WriteStreamInt(stream, PC);
  WriteStreamByte(stream, Started);
  WriteStreamByte(stream, Continue);
  WriteStreamString(stream, ResultVar);
  Args.SaveToStream(stream);
  WriteStreamString(stream, Sender && objects.IsAlive(Sender) ? objects.GetObjectName(Sender) : std::string());
  if (StateStream) {
    const auto& bytes = StateStream->Bytes();
    WriteStreamInt(stream, static_cast<int32_t>(bytes.size()));
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  } else {
    WriteStreamInt(stream, 0);
  }
  if (Result) {
    WriteStreamByte(stream, Result->GetParamType());
    Result->SaveToStream(stream);
  } else {
    WriteStreamByte(stream, PT_NONE);
  }
}

void TStack::LoadFromStream(TKsBigStream& stream, const TObjectServices& objects) {
  PageName = ReadStreamString(stream);
  PC = ReadStreamInt(stream);
  Started = ReadByteVal(stream);
  Continue = ReadByteVal(stream);
  ResultVar = ReadStreamString(stream);
  Args.LoadFromStream(stream);
  const std::string sender = ReadStreamString(stream);
  Sender = sender.empty() ? TObjectHandle{} : objects.FindObject(sender);
  const int32_t size = ReadStreamInt(stream);
  if (size < 0) throw EReadError();
  StateStream.reset();
  if (size > 0) {
    CheckStoredCount(stream, size, 1);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    stream.ReadBuffer(bytes.data(), size);
    StateStream = std::make_unique<TKsMemoryStream>(std::move(bytes));
  }
  const uint8_t type = ReadByteVal(stream);
  Result.reset();
  if (type != PT_NONE) {
    if (type > PT_STR) throw EReadError();
    Result = CreateParamByType(type);
    Result->LoadFromStream(stream);
  }
}

TStack& TStackList::Push() {
  frames_.push_back(std::make_unique<TStack>());
  SyncDepth();
  return *frames_.back();
}

TStack& TStackList::Pop() {
  if (frames_.empty()) throw EScriptError(kMsgStackError);
  // Moved, not copied: the frame may hold a call's many long arguments.
  Popped = std::move(*frames_.back());
  frames_.pop_back();
  SyncDepth();
  return Popped;
}

void TStackList::Clear() {
  frames_.clear();
  SyncDepth();
}

void TStackList::RemoveFrame(int32_t index) {
  if (index < 0 || index >= Count()) return;
  frames_.erase(frames_.begin() + index);
  SyncDepth();
}

void TStackList::SyncDepth() { store_.CurrentFrame = Count(); }

// ---- the run state -----------------------------------------------------------

TCallMan::TCallMan(TSysFuncMan& funcs, TObjectServices& objects, TCallManHost& host)
    : Frames(funcs.Store()), funcs_(funcs), objects_(objects), host_(host) {}

TCallMan::~TCallMan() = default;

TPage* TCallMan::GetPage(const std::string& name, bool move_to_front) {
  if (move_to_front) PC = 0;
  return pages_.GetPage(name, move_to_front, CurrentPage);
}

TPage* TCallMan::Start(const std::string& page_name) {
  CurrentPage = GetPage(page_name, true);
  PC = 0;
  Started = 0;
  Args.Clear();
  State = RS_MAIN;
  Frames.Clear();
  Sender = TObjectHandle{};
  if (TTimerList* events = Events()) {
    for (int32_t level = 1; level <= NextLevel; ++level) events->DeleteLevel(static_cast<uint32_t>(level));
  }
  NextLevel = 2;
  return CurrentPage;
}

void TCallMan::DropEvents(uint32_t level) {
  if (TTimerList* events = Events()) events->DeleteLevel(level);
}

TCommand* TCallMan::CurrentCommand() const {
  if (CurrentPage == nullptr || PC < 0 || PC >= CurrentPage->Commands.Count()) return nullptr;
  return CurrentPage->Commands.GetItem(PC);
}

void TCallMan::GetArg(int32_t index, std::string& s) const {
  s = index >= 0 && index < Args.Count() ? Args.Get(index) : std::string();
}

void TCallMan::GetSenderName(std::string& s) const {
  s.clear();
  if (State == RS_MAIN || !Sender || !objects_.IsAlive(Sender)) return;
  s = objects_.GetObjectName(Sender);
}

TCustomParam* TCallMan::GetFrameResult() const {
  if (Frames.Count() == 0) return nullptr;
  return Frames.GetItem(Frames.Count() - 1).Result.get();
}

void TCallMan::SaveToStream(TKsBigStream& stream) {
  WriteStreamString(stream, CurrentPage != nullptr ? CurrentPage->Name : std::string());
  WriteStreamInt(stream, PC);
  WriteStreamByte(stream, Continue);
  WriteStreamByte(stream, Started);
  WriteStreamInt(stream, State);
  WriteStreamString(stream, Sender && objects_.IsAlive(Sender) ? objects_.GetObjectName(Sender) : std::string());
  Args.SaveToStream(stream);
  Frames.Popped.SaveToStream(stream, objects_);
  WriteStreamInt(stream, Frames.Count());
  for (int32_t i = 0; i < Frames.Count(); ++i) Frames.GetItem(i).SaveToStream(stream, objects_);
  WriteStreamInt(stream, NextLevel);
  if (Started != 0) {
    if (TCommand* command = CurrentCommand()) {
      // The command writes its running state as it would into a frame.
      std::unique_ptr<TKsMemoryStream> state;
      command->SaveState(state);
      if (state) stream.WriteBuffer(state->Bytes().data(), state->GetSize());
    }
  }
}

void TRunStateRecord::LoadFromStream(TKsBigStream& stream, int32_t version, const TObjectServices& objects) {
  PageName = ReadStreamString(stream);
  PC = ReadStreamInt(stream);
  Continue = ReadByteVal(stream);
  Started = ReadByteVal(stream);
  State = ReadStreamInt(stream);
  Sender = ReadStreamString(stream);
  Args.LoadFromStream(stream);
  Popped.LoadFromStream(stream, objects);
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  // A frame record holds at least its strings' counts and its fixed fields.
  CheckStoredCount(stream, count, 4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1);
  Frames = std::vector<TStack>(static_cast<size_t>(count));
  for (auto& frame : Frames) frame.LoadFromStream(stream, objects);
  NextLevel = version >= kSlotNextLevelVersion ? ReadStreamInt(stream) : 2;
}

void TCallMan::LoadFromStream(TKsBigStream& stream, int32_t version) {
  // Everything is read before the run state changes.
  TRunStateRecord r;
  r.LoadFromStream(stream, version, objects_);

  const int32_t old_pc = PC;  // loading a page sets PC to 0
  TPage* page = nullptr;
  try {
    page = r.PageName.empty() ? nullptr : GetPage(r.PageName, true);
    if (r.Started != 0 && page != nullptr && r.PC >= 0 && r.PC < page->Commands.Count())
      page->Commands.GetItem(r.PC)->RestoreState(stream);
  } catch (...) {  // cleaned up, then rethrown
    PC = old_pc;
    throw;
  }

  CurrentPage = page;
  PC = r.PC;
  Continue = r.Continue;
  Started = r.Started;
  State = r.State;
  Sender = r.Sender.empty() ? TObjectHandle{} : objects_.FindObject(r.Sender);
  Args.Assign(r.Args);
  Frames.Clear();
  Frames.Popped.Assign(r.Popped);
  for (const auto& frame : r.Frames) Frames.Push().Assign(frame);
  NextLevel = r.NextLevel;
  LastTraced = nullptr;
  stalled_ = false;
}

// ---- "@" system variables ------------------------------------------------------

TCustomParam* TCallManVarHost::GetFrameResult() {
  return call_man_ != nullptr ? call_man_->GetFrameResult() : nullptr;
}

int32_t TCallManVarHost::GetParamCount() { return call_man_ != nullptr ? call_man_->GetArgCount() : 0; }

std::string TCallManVarHost::GetArg(int32_t index) {
  std::string s;
  if (call_man_ != nullptr) call_man_->GetArg(index, s);
  return s;
}

std::string TCallManVarHost::GetSenderName() {
  std::string s;
  if (call_man_ != nullptr) call_man_->GetSenderName(s);
  return s;
}

int32_t TCallManVarHost::GetStackCount() { return call_man_ != nullptr ? call_man_->Frames.Count() : 0; }

// The millisecond counters wrap as 32-bit numbers, as scripts see them.
int32_t TCallManVarHost::GetTickCount() { return static_cast<int32_t>(GameClock); }
int32_t TCallManVarHost::GetPCTickCount() { return static_cast<int32_t>(SystemMilliseconds()); }
int32_t TCallManVarHost::GetUpdateCount() { return TickCount; }

}  // namespace orba

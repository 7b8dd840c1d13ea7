// Commands on existing screen objects (GetProp, SetProp, ObjDel, MovieStop,
// MenuClose, MediaPlay, PropMotion), the screen transition command Flip, and
// the message and backlog commands (TextIns, TextClr, CallHist, ClrHist,
// FormatHist, ClrRead).
//
// GetProp, SetProp, ObjDel, MediaPlay, MenuClose, MovieStop and the message
// and backlog commands act through the object manager (object_services.h),
// holding objects by handle; the others only step past themselves here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/vocab/vocab.h"
#include "script/interp/com_flow.h"
#include "script/interp/object_services.h"

namespace orba {

class TComGetProp final : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  ORBA_OPCODE_OF(OP_GetProp)
  TOrbaParser ObjectName;
  TOrbaParser PropId;
  std::string VarName;
  void Fields(TRecordIO& io) override;
};

class TComSetProp final : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  ORBA_OPCODE_OF(OP_SetProp)
  TOrbaParser ObjectName;
  TOrbaParser PropId;
  TOrbaParser Value;
  void Fields(TRecordIO& io) override;
};

// ObjDel and MediaPlay: one object name.
class TComObjDel final : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  ORBA_OPCODE_OF(OP_ObjDel)
  TOrbaParser ObjectName;
  void Fields(TRecordIO& io) override { io.Expr("ObjectName", ObjectName); }
};

class TComMediaPlay final : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  ORBA_OPCODE_OF(OP_MediaPlay)
  TOrbaParser ObjectName;
  void Fields(TRecordIO& io) override { io.Expr("ObjectName", ObjectName); }
};

class TComMovieStop final : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  ORBA_OPCODE_OF(OP_MovieStop)
  TOrbaParser ObjectName;
  TOrbaParser FadeTime;
  TOrbaParser Wait;
  TOrbaParser EventLock;  // stored from page version 107
  // Running state.
  TObjectHandle Target;
  uint8_t WaitFlag = 0;
  uint8_t EventLockFlag = 0;
  bool GetEventLock() const override { return EventLockFlag != 0; }
  bool GetYield() const override { return WaitFlag != 0; }
  void Start(TCallMan* run_state) override;
  void SaveState(std::unique_ptr<TKsMemoryStream>& stream) override;
  void RestoreState(TKsBigStream& stream) override;
  void Fields(TRecordIO& io) override;

 private:
  TCallMan* run_state_ = nullptr;  // the interpreter that runs the command
  std::string restored_target_;    // a restored target name, looked up at the next step
};

class TComMenuClose final : public TCommand {
 public:
  using TCommand::TCommand;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  ORBA_OPCODE_OF(OP_MenuClose)
  TOrbaParser MenuName;
  TObjectHandle Menu;  // the menu found last
  void Fields(TRecordIO& io) override { io.Expr("MenuName", MenuName); }
};

class TComPropMotion final : public TCommand {
 public:
  using TCommand::TCommand;
  // Creates the property motion; a property id expression without a value
  // raises after the motion was made (it then ends on its first update).
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  ORBA_OPCODE_OF(OP_PropMotion)
  TOrbaParser MotionName;
  TOrbaParser TargetName;
  TOrbaParser PropId;
  TOrbaParser TargetValue;
  TOrbaParser Duration;
  TOrbaParser Mode;
  TOrbaParser Paused;  // stored from page version 108
  void Fields(TRecordIO& io) override;
};

class TComFlip final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_Flip)
  TOrbaParser Kind;
  TOrbaParser Time;
  TOrbaParser Reverse;
  TOrbaParser Select;
  std::vector<std::unique_ptr<TOrbaParser>> Names;
  TOrbaParser ClearOld;
  TOrbaParser Param0;
  TOrbaParser Param1;
  TOrbaParser Mask;       // stored from page version 101
  TOrbaParser EventLock;  // stored from page version 107
  // Running state: 0 started, 1 first step done, 2 transition running,
  // 3 finish at the next step.
  int32_t State = 0;
  int32_t StartTime = 0;  // game clock when the transition began
  uint8_t EventLockFlag = 0;
  uint8_t ClearOldFlag = 0;
  // The kinds run from 1 to this; any other kind means none.
  static constexpr int32_t kLastKind = 38;
  bool GetEventLock() const override { return EventLockFlag != 0; }
  // Each step yields while a time was given, so the transition advances once
  // a tick.
  bool GetYield() const override;
  void Start(TCallMan* run_state) override;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  // Abandoned midway: the screens are changed and cleared as at the end.
  void Abort() override;
  // Only EventLock and ClearOld are kept: a loaded game has no transition
  // running, so the command finishes without one.
  void SaveState(std::unique_ptr<TKsMemoryStream>& stream) override;
  void RestoreState(TKsBigStream& stream) override;
  void Fields(TRecordIO& io) override;

 private:
  void Finish(TObjectServices& objects);
  TCallMan* run_state_ = nullptr;
  bool running_ = false;  // started and not finished
};

class TComTextIns final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_TextIns)
  // The precompiled message ("KsWord" glyph stream), kept as stored.
  TKsMemoryStream Text;
  TOrbaParser Window;
  TOrbaParser ReadMark;
  TOrbaParser Wait;
  TOrbaParser EventLock;  // stored from page version 107
  // Running state.
  TObjectHandle Target;
  uint8_t WaitFlag = 0;
  uint8_t EventLockFlag = 0;
  bool GetEventLock() const override { return EventLockFlag != 0; }
  bool GetYield() const override { return WaitFlag != 0; }
  void Start(TCallMan* run_state) override;
  // Holds the program counter while waiting and the window has pages.
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  void SaveState(std::unique_ptr<TKsMemoryStream>& stream) override;
  void RestoreState(TKsBigStream& stream) override;
  void Fields(TRecordIO& io) override;

 private:
  TCallMan* run_state_ = nullptr;
  std::string restored_target_;  // a restored window name, looked up at the next step
};

class TComTextClr final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_TextClr)
  TOrbaParser Window;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  void Fields(TRecordIO& io) override { io.Expr("Window", Window); }
};

class TComCallHist final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_CallHist)
  TOrbaParser Window;
  TOrbaParser StartIndex;  // the record's Start (the name is taken by the Start operation)
  TOrbaParser Count;
  TOrbaParser Mode;
  TOrbaParser Format;  // stored from page version 111
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  void Fields(TRecordIO& io) override;
};

class TComClrHist final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_ClrHist)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
};

// FormatHist: defines a backlog format from a window's text settings.
class TComEntryHist final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_FormatHist)
  TOrbaParser Window;
  TOrbaParser Format;  // stored from page version 111
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  void Fields(TRecordIO& io) override;
};

class TComClrRead final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_ClrRead)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
};

}  // namespace orba

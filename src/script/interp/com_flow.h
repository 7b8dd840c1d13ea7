// Flow-control, save/load and variable/run-state commands: conditional
// blocks, labels, jumps, calls, loops, returns, waits and yields; GameSave and
// GameLoad; Calc, VarNew, VarDel, PCReset, Reset and Terminate.
//
// Targets are command indices inside the target page, filled in by the
// authoring tool. What the commands do when they run is in com_run_flow.cpp.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/vocab/vocab.h"
#include "script/interp/command.h"

namespace orba {

#define ORBA_OPCODE_OF(op) \
  uint8_t GetOpcode() const override { return op; }

class TComIf : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_If)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  TOrbaParser Condition;
  void Fields(TRecordIO& io) override { io.Expr("Condition", Condition); }
};

class TComElseif final : public TComIf {
 public:
  using TComIf::TComIf;
  ORBA_OPCODE_OF(OP_Elseif)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
};

class TComElse final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_Else)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  bool GetContinue() const override { return true; }
};

class TComLabel : public TCommand {
 public:
  // A new label goes on within the tick until its record says otherwise.
  explicit TComLabel(TPage* page) : TCommand(page) { Continue = 1; }
  ORBA_OPCODE_OF(OP_Label)
  std::string Name;
  bool MatchLabel(const std::string& name) const override { return name == Name; }
  void Fields(TRecordIO& io) override { io.Str("Name", Name); }
};

// A comment shares the label's record; its one string is the comment text.
class TComComment final : public TComLabel {
 public:
  using TComLabel::TComLabel;
  ORBA_OPCODE_OF(OP_Comment)
  bool GetSkip() const override { return true; }
  bool GetContinue() const override { return false; }
  // The text is kept in Name; MatchLabel stays the label's.
  void Fields(TRecordIO& io) override { io.Str("Text", Name); }
};

class TComJump final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_Jump)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  std::string PageName;
  int32_t Target = 0;
  TOrbaParser Condition;
  void Fields(TRecordIO& io) override;
};

class TComCall final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_Call)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  std::string PageName;
  int32_t Target = 0;
  std::string ResultVar;
  TOrbaParser Condition;
  std::vector<std::unique_ptr<TOrbaParser>> Arguments;
  void Fields(TRecordIO& io) override;
};

class TComExit : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_Exit)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  TOrbaParser Condition;
  void Fields(TRecordIO& io) override { io.Expr("Condition", Condition); }
};

class TComBreak : public TComExit {
 public:
  using TComExit::TComExit;
  ORBA_OPCODE_OF(OP_Break)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  int32_t Target = 0;
  void Fields(TRecordIO& io) override;
};

class TComContinue final : public TComBreak {
 public:
  using TComBreak::TComBreak;
  ORBA_OPCODE_OF(OP_Continue)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
};

class TComWhile final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_While)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  TOrbaParser Condition;
  int32_t ExitTarget = 0;
  void Fields(TRecordIO& io) override;
};

// An intermediate class without behaviour of its own.
class TComRuntime : public TCommand {
 public:
  using TCommand::TCommand;
};

class TComWhileInit : public TComRuntime {
 public:
  using TComRuntime::TComRuntime;
  ORBA_OPCODE_OF(OP_WhileInit)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  TOrbaParser Init;
  bool GetContinue() const override { return true; }
  void Fields(TRecordIO& io) override { io.Expr("Init", Init); }
};

class TComWhileLoop final : public TComWhileInit {
 public:
  using TComWhileInit::TComWhileInit;
  ORBA_OPCODE_OF(OP_WhileLoop)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  // The loop step is kept in the inherited Init expression.
  TOrbaParser& Step() { return Init; }
  int32_t LoopTarget = 0;
  void Fields(TRecordIO& io) override;
};

class TComWait final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_Wait)
  void Start(TCallMan* run_state) override;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  void SaveState(std::unique_ptr<TKsMemoryStream>& stream) override;
  void RestoreState(TKsBigStream& stream) override;
  TOrbaParser Condition;
  TOrbaParser Time;
  TOrbaParser HoldEvents;  // stored from page version 107
  // Running state.
  int32_t Remaining = 0;
  int32_t Delay = 0;
  uint8_t Hold = 0;
  bool GetEventLock() const override { return Hold != 0; }
  bool GetYield() const override { return true; }
  void Fields(TRecordIO& io) override;
};

class TComDoEvent final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_DoEvent)
  bool GetContinue() const override { return false; }
  bool GetYield() const override { return true; }
};

class TComGameSave final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_GameSave)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  TOrbaParser Slot;
  std::string OnLoadPage;
  int32_t OnLoadTarget = 0;  // stored from page version 105
  TOrbaParser Caption;
  bool GetContinue() const override { return false; }
  void Fields(TRecordIO& io) override;
};

class TComGameLoad final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_GameLoad)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  TOrbaParser Slot;
  bool GetContinue() const override { return false; }
  void Fields(TRecordIO& io) override { io.Expr("Slot", Slot); }
};

class TComCalc final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_Calc)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  TOrbaParser Expression;
  void Fields(TRecordIO& io) override { io.Expr("Expression", Expression); }
};

class TComVarNew final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_VarNew)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  std::string Name;
  uint8_t Type = PT_INT;
  TOrbaParser Initial;
  uint8_t Scope = 0;
  void Fields(TRecordIO& io) override;
};

class TComVarDel final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_VarDel)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  std::string Name;
  void Fields(TRecordIO& io) override { io.Str("Name", Name); }
};

class TComPCReset : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_PCReset)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
  std::string PageName;
  int32_t PC = 0;
  uint8_t ClearStack = 0;
  void Fields(TRecordIO& io) override;
};

// Reset reads the PCReset record; its ClearStack is not used.
class TComReset final : public TComPCReset {
 public:
  using TComPCReset::TComPCReset;
  ORBA_OPCODE_OF(OP_Reset)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
};

class TComTerminate final : public TCommand {
 public:
  using TCommand::TCommand;
  ORBA_OPCODE_OF(OP_Terminate)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
};

}  // namespace orba

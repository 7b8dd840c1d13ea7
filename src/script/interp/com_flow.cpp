#include "script/interp/com_flow.h"

namespace orba {

void TComJump::Fields(TRecordIO& io) {
  io.Str("PageName", PageName);
  io.Int("Target", Target);
  io.Expr("Condition", Condition);
}

void TComCall::Fields(TRecordIO& io) {
  io.Str("PageName", PageName);
  io.Int("Target", Target);
  io.Str("ResultVar", ResultVar);
  io.Expr("Condition", Condition);
  io.ExprList("Arguments", Arguments, false);
}

void TComBreak::Fields(TRecordIO& io) {
  io.Expr("Condition", Condition);
  io.Int("Target", Target);
}

void TComWhile::Fields(TRecordIO& io) {
  io.Expr("Condition", Condition);
  io.Int("ExitTarget", ExitTarget);
}

void TComWhileLoop::Fields(TRecordIO& io) {
  io.Expr("Step", Init);
  io.Int("LoopTarget", LoopTarget);
}

void TComWait::Fields(TRecordIO& io) {
  io.Expr("Condition", Condition);
  io.Expr("Time", Time);
  io.Expr("HoldEvents", HoldEvents, kPageEventLockVersion);
}

void TComGameSave::Fields(TRecordIO& io) {
  io.Expr("Slot", Slot);
  io.Str("OnLoadPage", OnLoadPage);
  io.Int("OnLoadTarget", OnLoadTarget, kPageOnLoadTargetVersion);
  io.Expr("Caption", Caption);
}

void TComVarNew::Fields(TRecordIO& io) {
  io.Str("Name", Name);
  io.Byte("Type", Type);
  io.Expr("Initial", Initial);
  io.Byte("Scope", Scope);
}

void TComPCReset::Fields(TRecordIO& io) {
  io.Str("PageName", PageName);
  io.Int("PC", PC);
  io.Byte("ClearStack", ClearStack);
}

}  // namespace orba

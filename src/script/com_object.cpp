#include "script/com_object.h"

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

}  // namespace orba

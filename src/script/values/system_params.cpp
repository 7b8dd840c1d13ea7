#include "script/values/system_params.h"

#include <cmath>

#include "script/script_errors.h"
#include "script/values/date_time.h"
#include "script/values/param_collection.h"
#include "script/values/param_text.h"

namespace orba {

namespace {

using TSysValue = TParamSystem::TSysValue;

constexpr int32_t kKeyStateCount = 258;  // 256 key codes, wheel down, wheel up

int32_t ToInt(const TSysValue& v) {
  switch (v.Type) {
    case PT_FLOAT: return FloatToInt(v.F);
    case PT_BOOL: return v.B ? 1 : 0;
    case PT_STR: return TextToIntOrZero(v.S);
    default: return v.I;
  }
}

long double ToFloat(const TSysValue& v) {
  switch (v.Type) {
    case PT_FLOAT: return v.F;
    case PT_BOOL: return v.B ? 1.0L : 0.0L;
    case PT_STR: return TextToIntOrZero(v.S);
    default: return v.I;
  }
}

bool ToFlag(const TSysValue& v) {
  switch (v.Type) {
    case PT_FLOAT: return v.F != 0.0L;
    case PT_BOOL: return v.B;
    case PT_STR: return !v.S.empty();
    default: return v.I != 0;
  }
}

std::string ToStr(const TSysValue& v) {
  switch (v.Type) {
    case PT_FLOAT: return FloatToText(v.F);
    case PT_BOOL: return FlagToText(v.B);
    case PT_STR: return v.S;
    default: return IntToText(v.I);
  }
}

TSysValue Given(int32_t i) { TSysValue v; v.Type = PT_INT; v.I = i; return v; }
TSysValue Given(long double f) { TSysValue v; v.Type = PT_FLOAT; v.F = f; return v; }
TSysValue Given(bool b) { TSysValue v; v.Type = PT_BOOL; v.B = b; return v; }
TSysValue Given(const std::string& s) { TSysValue v; v.Type = PT_STR; v.S = s; return v; }

}  // namespace

TCustomParam* TParamSystem::Alias() const {
  if (Index == SV_RESULT) return Store->Host().GetFrameResult();
  if (Index == SV_TEMP) {
    TParamCollectionItem* item = Store->Find(Store->TempTargetName);
    if (item == nullptr || item->Value.get() == this) return nullptr;
    return item->Value.get();
  }
  return nullptr;
}

uint8_t TParamSystem::OwnType() const {
  if (Index >= kSysVarCount) throw EScriptError(kMsgInternalError);
  return SysVarTypes[Index];
}

uint8_t TParamSystem::GetParamType() const {
  if (IsAlias()) {
    TCustomParam* a = Alias();
    if (a == nullptr) return PT_NONE;
    TForwardGuard guard;
    return a->GetParamType();
  }
  return OwnType();
}

TSysValue TParamSystem::ReadNative(int32_t item, bool is_item) const {
  TSystemVarHost& h = Store->Host();
  TSysValue v;
  v.Type = OwnType();
  switch (Index) {
    case SV_LCLICK: v.B = h.GetLClick(); break;
    case SV_RCLICK: v.B = h.GetRClick(); break;
    case SV_LPUSH: v.B = h.GetLPush(); break;
    case SV_RPUSH: v.B = h.GetRPush(); break;
    case SV_MOUSEX: v.I = h.GetMouseX(); break;
    case SV_MOUSEY: v.I = h.GetMouseY(); break;
    case SV_TEXTDELAY: v.I = Store->TextDelay; break;
    case SV_HISTORYCOUNT: v.I = h.GetHistoryCount(); break;
    case SV_PARAMCOUNT: v.I = h.GetParamCount(); break;
    case SV_PARAMSTR:
      if (is_item && item >= 0 && item < h.GetParamCount()) v.S = h.GetArg(item);
      break;
    case SV_SENDER: v.S = h.GetSenderName(); break;
    case SV_SCRWIDTH: v.I = h.GetScrWidth(); break;
    case SV_SCRHEIGHT: v.I = h.GetScrHeight(); break;
    case SV_TICKCOUNT: v.I = h.GetTickCount(); break;
    case SV_PCTICKCOUNT: v.I = h.GetPCTickCount(); break;
    case SV_UPDATECOUNT: v.I = h.GetUpdateCount(); break;
    case SV_YEAR: case SV_MONTH: case SV_DAY: case SV_WEEK: case SV_HOUR: case SV_MIN: case SV_SEC: {
      long double now = h.GetNow();
      // A clock beyond year 9999 either way is outside the calendar of
      // scripts; it reads as day 0.
      if (!std::isfinite(now) || now < -693594.0L || now > 2958466.0L) now = 0.0L;
      const TDecodedDateTime p = DecodeDateTimeValue(now);
      const int32_t parts[] = {p.Year, p.Month, p.Day, p.Week, p.Hour, p.Min, p.Sec};
      v.I = parts[Index - SV_YEAR];
      break;
    }
    case SV_FONTS: v.S = h.GetFontNames(false); break;
    case SV_FIXEDFONTS: v.S = h.GetFontNames(true); break;
    case SV_FULLSCR: v.B = h.GetFullScreen(); break;
    case SV_CURSOR: v.S = Store->CursorName; break;
    case SV_SELSTR: v.S = Store->SelStr; break;
    case SV_SELINDEX: v.I = Store->SelIndex; break;
    case SV_PI: v.F = 3.14159265358979323846264338327950288L; break;
    case SV_CGDITHER: v.B = h.GetCGDither(); break;
    case SV_1HOUR: v.F = 1.0L / 24.0L; break;
    case SV_1MIN: v.F = 1.0L / 1440.0L; break;
    case SV_1SEC: v.F = 1.0L / 86400.0L; break;
    case SV_KEYPUSH: case SV_KEYCLICK: case SV_KEYREPEAT:
      if (!is_item || item < 0 || item >= kKeyStateCount) break;
      if (item == 256) v.B = h.GetWheelDown();
      else if (item == 257) v.B = h.GetWheelUp();
      else if (Index == SV_KEYPUSH) v.B = h.GetKeyPush(item);
      else if (Index == SV_KEYCLICK) v.B = h.GetKeyClick(item);
      else v.B = h.GetKeyRepeat(item);
      break;
    case SV_DISPLAYMODECOUNT: v.I = h.GetDisplayModeCount(); break;
    case SV_DISPLAYMODEINDEX: v.I = h.GetDisplayModeIndex(); break;
    case SV_TITLE: v.S = h.GetTitle(); break;
    case SV_SOUNDON: v.B = h.GetSoundOn(); break;
    case SV_ACTIVECOMPO: v.S = h.GetActiveCompo(); break;
    case SV_HISTORYMAXCOUNT: v.I = h.GetHistoryMaxCount(); break;
    case SV_MIDIPORT: v.S = h.GetMidiPort(); break;
    case SV_MIDIPORTS: {
      const int32_t i = is_item ? item : 0;
      if (i >= 0 && i < h.GetMidiPortCount()) v.S = h.GetMidiPortName(i);
      break;
    }
    case SV_WHEELDOWN: v.B = h.GetWheelDown(); break;
    case SV_WHEELUP: v.B = h.GetWheelUp(); break;
    case SV_ISDEBUG: v.B = false; break;
    case SV_STACKCOUNT: v.I = h.GetStackCount(); break;
    default: break;
  }
  return v;
}

void TParamSystem::Write(const TSysValue& given, bool is_item) {
  TSysValue v;
  v.Type = OwnType();
  switch (v.Type) {
    case PT_INT:
      if (given.Type == PT_STR) {
        if (!TryTextToInt(given.S, v.I)) return;  // text that is no number is ignored
      } else {
        v.I = ToInt(given);
      }
      break;
    case PT_FLOAT:
      if (given.Type == PT_STR) {
        if (!TryTextToFloat(given.S, v.F)) return;
      } else {
        v.F = ToFloat(given);
      }
      break;
    case PT_BOOL:
      if (given.Type == PT_STR) {
        int32_t n = 0;
        v.B = is_item ? given.S == "TRUE" : (TryTextToInt(given.S, n) && n != 0);
      } else {
        v.B = ToFlag(given);
      }
      break;
    default:
      v.S = ToStr(given);
      break;
  }
  TSystemVarHost& h = Store->Host();
  switch (Index) {
    case SV_LCLICK: h.SetLClick(v.B); break;
    case SV_RCLICK: h.SetRClick(v.B); break;
    case SV_MOUSEX: h.SetMouseX(v.I); break;
    case SV_MOUSEY: h.SetMouseY(v.I); break;
    case SV_TEXTDELAY: Store->TextDelay = v.I; break;
    case SV_FULLSCR: h.SetFullScreen(v.B); break;
    case SV_CURSOR: Store->CursorName = v.S; break;
    case SV_SELSTR: Store->SelStr = v.S; break;
    case SV_SELINDEX: Store->SelIndex = v.I; break;
    case SV_CGDITHER: h.SetCGDither(v.B); break;
    case SV_DISPLAYMODEINDEX: h.SetDisplayModeIndex(v.I); break;
    case SV_SOUNDON: h.SetSoundOn(v.B); break;
    case SV_ACTIVECOMPO:
      if (!v.S.empty()) h.SetActiveCompo(v.S);
      break;
    case SV_HISTORYMAXCOUNT: h.SetHistoryMaxCount(v.I); break;
    case SV_MIDIPORT: h.SetMidiPort(v.S); break;
    default: break;  // read-only
  }
}

// "@Result" and "@Temp" hand every operation to the value they stand for.
#define ORBA_ALIAS(expr, fallback)         \
  if (IsAlias()) {                         \
    TCustomParam* a = Alias();             \
    if (a == nullptr) return fallback;     \
    TForwardGuard guard;                   \
    return a->expr;                        \
  }

int32_t TParamSystem::GetCount() const {
  ORBA_ALIAS(GetCount(), 1);
  switch (Index) {
    case SV_KEYPUSH: case SV_KEYCLICK: case SV_KEYREPEAT: return kKeyStateCount;
    case SV_PARAMSTR: return Store->Host().GetParamCount();
    case SV_MIDIPORTS: return Store->Host().GetMidiPortCount();
    default: return 1;
  }
}

bool TParamSystem::GetAsFlag() const { ORBA_ALIAS(GetAsFlag(), false); return ToFlag(ReadNative(0, false)); }
long double TParamSystem::GetAsFloat() const { ORBA_ALIAS(GetAsFloat(), 0.0L); return ToFloat(ReadNative(0, false)); }
int32_t TParamSystem::GetAsInt() const { ORBA_ALIAS(GetAsInt(), 0); return ToInt(ReadNative(0, false)); }
std::string TParamSystem::GetAsStr() const { ORBA_ALIAS(GetAsStr(), std::string()); return ToStr(ReadNative(0, false)); }
void TParamSystem::SetAsFlag(bool value) { ORBA_ALIAS(SetAsFlag(value), ); Write(Given(value), false); }
void TParamSystem::SetAsFloat(long double value) { ORBA_ALIAS(SetAsFloat(value), ); Write(Given(value), false); }
void TParamSystem::SetAsInt(int32_t value) { ORBA_ALIAS(SetAsInt(value), ); Write(Given(value), false); }
void TParamSystem::SetAsStr(const std::string& value) { ORBA_ALIAS(SetAsStr(value), ); Write(Given(value), false); }
int32_t TParamSystem::GetIntItem(int32_t i) const { ORBA_ALIAS(GetIntItem(i), 0); return ToInt(ReadNative(i, true)); }
long double TParamSystem::GetFloatItem(int32_t i) const { ORBA_ALIAS(GetFloatItem(i), 0.0L); return ToFloat(ReadNative(i, true)); }
bool TParamSystem::GetFlagItem(int32_t i) const { ORBA_ALIAS(GetFlagItem(i), false); return ToFlag(ReadNative(i, true)); }
std::string TParamSystem::GetStrItem(int32_t i) const { ORBA_ALIAS(GetStrItem(i), std::string()); return ToStr(ReadNative(i, true)); }
void TParamSystem::SetIntItem(int32_t i, int32_t value) { ORBA_ALIAS(SetIntItem(i, value), ); Write(Given(value), true); }
void TParamSystem::SetFloatItem(int32_t i, long double value) { ORBA_ALIAS(SetFloatItem(i, value), ); Write(Given(value), true); }
void TParamSystem::SetFlagItem(int32_t i, bool value) { ORBA_ALIAS(SetFlagItem(i, value), ); Write(Given(value), true); }
void TParamSystem::SetStrItem(int32_t i, const std::string& value) { ORBA_ALIAS(SetStrItem(i, value), ); Write(Given(value), true); }
int32_t TParamSystem::GetDimCount() const { ORBA_ALIAS(GetDimCount(), 1); return TCustomParam::GetDimCount(); }
int32_t TParamSystem::GetDimSize(int32_t i) const { ORBA_ALIAS(GetDimSize(i), 1); return TCustomParam::GetDimSize(i); }
void TParamSystem::SetCount(int32_t count) { ORBA_ALIAS(SetCount(count), ); }
void TParamSystem::Assign(const TCustomParam& source) { ORBA_ALIAS(Assign(source), ); }
void TParamSystem::SetDims(const std::vector<int32_t>& sizes) { ORBA_ALIAS(SetDims(sizes), ); }
void TParamSystem::FillInt(int32_t value) { ORBA_ALIAS(FillInt(value), ); }
void TParamSystem::FillFloat(long double value) { ORBA_ALIAS(FillFloat(value), ); }
void TParamSystem::FillFlag(bool value) { ORBA_ALIAS(FillFlag(value), ); }
void TParamSystem::FillStr(const std::string& value) { ORBA_ALIAS(FillStr(value), ); }
void TParamSystem::CopyMem(const TCustomParam& source) { ORBA_ALIAS(CopyMem(source), ); }
void TParamSystem::MakeScalar() { ORBA_ALIAS(MakeScalar(), ); }
const TCustomParam& TParamSystem::Target() const { ORBA_ALIAS(Target(), *this); return *this; }

#undef ORBA_ALIAS

}  // namespace orba

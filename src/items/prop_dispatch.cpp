#include "items/prop_dispatch.h"

#include "items/base_list.h"
#include "script/expr/expr_exec.h"
#include "script/interp/com_component.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"

namespace orba {

namespace {

// Handing a getter's answer to the variable, by kind.
void PutINT(TCustomParam& v, int32_t x) { v.SetAsInt(x); }
void PutBYTE(TCustomParam& v, uint8_t x) { v.SetAsInt(x); }
void PutFLAG(TCustomParam& v, bool x) { v.SetAsFlag(x); }
void PutFLOAT(TCustomParam& v, long double x) { v.SetAsFloat(x); }
void PutSTR(TCustomParam& v, const std::string& x) { v.SetAsStr(x); }
void PutSTYLE(TCustomParam& v, const TFontStyle& x) { v.SetAsInt(FontStyleToInt(x)); }

// Reading a value in the kind a setter takes.
int32_t TakeINT(const TCustomParam& p) { return p.GetAsInt(); }
uint8_t TakeBYTE(const TCustomParam& p) { return static_cast<uint8_t>(p.GetAsInt() & 0xFF); }
bool TakeFLAG(const TCustomParam& p) { return p.GetAsFlag(); }
long double TakeFLOAT(const TCustomParam& p) { return p.GetAsFloat(); }
std::string TakeSTR(const TCustomParam& p) { return p.GetAsStr(); }
TFontStyle TakeSTYLE(const TCustomParam& p) { return IntToFontStyle(p.GetAsInt()); }

constexpr int32_t KindINT = PT_INT, KindBYTE = PT_INT, KindFLAG = PT_BOOL, KindFLOAT = PT_FLOAT,
                  KindSTR = PT_STR, KindSTYLE = PT_INT;

std::string ParentName(const TOrbaObject& object) {
  const TOrbaControl* parent = object.GetParent();
  return parent != nullptr ? parent->GetName() : std::string();
}

// PR_PARENT by name; a name that finds nothing leaves the parent unchanged,
// unless a fallback (the current screen root) is given.
void SetParentByName(TOrbaObject& object, const std::string& name, bool to_root_when_missing) {
  if (object.IsScreenRoot() || object.GetManager() == nullptr) return;
  TOrbaControl* parent = name.empty() && to_root_when_missing ? nullptr : object.GetManager()->FindControl(name);
  if (parent == nullptr && to_root_when_missing) parent = object.GetManager()->ActiveBase();
  if (parent != nullptr) object.SetParent(parent);
}

enum class TWriteMode { Script, Command };

void WriteProp(TOrbaObject& object, uint8_t prop_id, const TCustomParam& value, TWriteMode mode) {
  // A script's text write returns a message window to plain text display.
  if (prop_id == PR_TEXT && mode == TWriteMode::Script) object.ResetTextMode();
  switch (prop_id) {
#define ORBA_PROPDEF(id, kind, acc, def) \
  case id: object.Set##acc(Take##kind(value)); return;
#define ORBA_PROPDEF_IDX(id, kind, acc, index) \
  case id: object.Set##acc(index, Take##kind(value)); return;
#define ORBA_PROPDEF_RO(id, kind, acc, def) \
  case id: return;
#define ORBA_PROPDEF_CARET(id, kind, coord) \
  case id: return;
#include "items/prop_defs.def"
    case PR_NAME: {
      const std::string name = value.GetAsStr();
      if (mode == TWriteMode::Script || !name.empty()) object.SetName(name);
      return;
    }
    case PR_PARENT: SetParentByName(object, value.GetAsStr(), mode == TWriteMode::Command); return;
    case PR_PRIORITY: object.SetPriority(value.GetAsInt()); return;
    case PR_TAG: object.SetTag(value.GetAsStr()); return;
    default: throw EScriptError(kMsgSetPropError);  // PR_APPEARX, PR_APPEARY, 165 and above
  }
}

}  // namespace

int32_t PropKind(uint8_t prop_id) {
  switch (prop_id) {
#define ORBA_PROPDEF(id, kind, acc, def) case id: return Kind##kind;
#define ORBA_PROPDEF_RO(id, kind, acc, def) case id: return Kind##kind;
#define ORBA_PROPDEF_IDX(id, kind, acc, index) case id: return Kind##kind;
#define ORBA_PROPDEF_CARET(id, kind, coord) case id: return Kind##kind;
#define ORBA_PROPDEF_FIELD(id, kind, what) case id: return Kind##kind;
#include "items/prop_defs.def"
    default: return -1;
  }
}

void DoGetProp(TCustomParam& variable, TOrbaObject& object, uint8_t prop_id) {
  switch (prop_id) {
#define ORBA_PROPDEF(id, kind, acc, def) \
  case id: Put##kind(variable, object.Get##acc()); return;
#define ORBA_PROPDEF_RO(id, kind, acc, def) \
  case id: Put##kind(variable, object.Get##acc()); return;
#define ORBA_PROPDEF_IDX(id, kind, acc, index) \
  case id: Put##kind(variable, object.Get##acc(index)); return;
#define ORBA_PROPDEF_CARET(id, kind, coord) \
  case id: PutINT(variable, object.GetCaretPos().coord); return;
#include "items/prop_defs.def"
    case PR_NAME: variable.SetAsStr(object.GetName()); return;
    case PR_PARENT: variable.SetAsStr(ParentName(object)); return;
    case PR_PRIORITY: variable.SetAsInt(object.GetPriority()); return;
    case PR_TAG: variable.SetAsStr(object.GetTag()); return;
    case PR_APPEARX:
    case PR_APPEARY: variable.SetAsInt(0); return;
    default: throw EScriptError(kMsgGetPropError);
  }
}

void DoSetProp(TOrbaObject& object, uint8_t prop_id, const TCustomParam& value) {
  WriteProp(object, prop_id, value, TWriteMode::Script);
}

namespace {

// The value an object-creating command writes when a present expression
// leaves no value.
std::unique_ptr<TCustomParam> CreationDefault(uint8_t prop_id) {
  const int32_t kind = PropKind(prop_id);
  auto param = CreateParamByType(static_cast<uint8_t>(kind));
  switch (prop_id) {
    case PR_ZOOMX: case PR_ZOOMY: case PR_TEXTDELAY: param->SetAsInt(256); break;
    case PR_COLOR: case PR_BORDERCOLOR: case PR_HOVERCOLOR: param->SetAsInt(-1); break;
    case PR_ALPHA: param->SetAsInt(255); break;
    case PR_FONTHEIGHT: param->SetAsInt(16); break;
    case PR_VOLUME: param->SetAsInt(1000); break;
    case PR_WAVELEN: param->SetAsInt(100); break;
    case PR_COLCOUNT: case PR_ROWCOUNT: case PR_AMP: case PR_SMALLCHANGE: case PR_LARGECHANGE:
    case PR_GLYPHWIDTH: case PR_GLYPHHEIGHT: param->SetAsInt(1); break;
    case PR_VISIBLE: case PR_OVERLAY: param->SetAsFlag(true); break;
    default: break;
  }
  return param;
}

bool NeverApplied(uint8_t prop_id) {
  switch (prop_id) {
    case PR_CARETX: case PR_CARETY: case PR_CARETHEIGHT: case PR_PLAYING: case PR_COMPOTYPE:
    case PR_APPEARX: case PR_APPEARY: case PR_PLUSX: case PR_PLUSY: return true;
    default: return false;
  }
}

}  // namespace

void ApplyProperties(TOrbaObject& item, TComComponent& command, TSysFuncMan& funcs) {
  for (int step = 0; step < kPropCount; ++step) {
    const uint8_t id = PropApplyOrder[static_cast<size_t>(step)];
    TOrbaParser* expression = command.Expressions[id].get();
    if (expression == nullptr || NeverApplied(id)) continue;
    if (id == PR_LEFT && item.GetResizePending()) item.UpdateSize();
    ExecuteParser(*expression, funcs);
    if (expression->Result != nullptr) {
      WriteProp(item, id, *expression->Result, TWriteMode::Command);
    } else {
      WriteProp(item, id, *CreationDefault(id), TWriteMode::Command);
    }
  }
  item.Invalidate();
}

}  // namespace orba

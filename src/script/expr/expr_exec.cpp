#include "script/expr/expr_exec.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/strings/sjis_case.h"
#include "script/functions/sys_func.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"
#include "script/values/param_text.h"
#include "script/values/value_room.h"

namespace orba {

namespace {

const char kArgName[] = "____arg";

// A temporary created by a run. The watcher is bound to its variable and is
// unbound by the store when something else (PopVar, a frame's end) frees it.
struct TRunTemp {
  std::string Name;
  std::unique_ptr<TParamVar> Watch;
};

struct TRun {
  TRun* Parent = nullptr;
  TParamCollection* Store = nullptr;
  TSysFuncMan* Funcs = nullptr;
  bool DeclareMissing = false;
  std::vector<TRunTemp> Temps;
};

thread_local TRun* current_run = nullptr;
thread_local int32_t run_depth = 0;

bool IsOuterTemp(const TRun& run, const TParamCollectionItem* item) {
  for (const TRun* r = run.Parent; r != nullptr; r = r->Parent) {
    for (const TRunTemp& t : r->Temps) {
      if (t.Watch->GetBound() == item) return true;
    }
  }
  return false;
}

// A variable as this run sees it: its own temporaries first; the
// temporaries of enclosing runs are invisible.
TParamCollectionItem* FindVar(const TRun& run, const std::string& name) {
  if (!IsTempName(name)) return run.Store->Find(name);
  for (const TRunTemp& t : run.Temps) {
    if (t.Watch->GetBound() != nullptr && SjisSameText(t.Name, name)) return t.Watch->GetBound();
  }
  TParamCollectionItem* item = run.Store->Find(name);
  return item != nullptr && !IsOuterTemp(run, item) ? item : nullptr;
}

void BindOperand(const TRun& run, TParamVar& ref) {
  ref.Store = run.Store;
  TParamCollectionItem* item = FindVar(run, ref.Name);
  if (item == nullptr) throw EScriptError(NoVariableMessage(ref.Name));
  ref.Bind(item);
  // An operand naming an element temporary reads and writes that element.
  const auto* element = dynamic_cast<const TParamVar*>(item->Value.get());
  ref.Index = element != nullptr ? element->Index : 0;
}

const TCustomParam& Operand(const TOpeData& op, size_t index) {
  if (index >= op.Operands.size()) throw EScriptError(kMsgInternalError);
  return *op.Operands[index];
}

std::string BadExpressionMessage(const TOpeData& op) {
  // 不正な式\r\n\r\n代入先:
  std::string text = "\x95s\x90\xb3\x82\xc8\x8e\xae\r\n\r\n\x91\xe3\x93\xfc\x90\xe6:" + op.Dest;
  text += "\x89\x89\x8eZ\x83^\x83" "C\x83v:";  // 演算タイプ:
  text += op.Op < kOperatorCount ? std::string(OperatorNames[op.Op]) : IntToText(op.Op);
  for (const auto& operand : op.Operands) text += "\r\n" + operand->GetAsStr();
  return text;
}

std::string BadGetPropMessage() {
  return "GetProp\x82\xcc\x88\xf8\x90\x94\x82\xaa\x88\xe1\x82\xa2\x82\xdc\x82\xb7";  // GetPropの引数が違います
}

// The type code of a new temporary for an operation.
uint8_t TempTypeCode(const TOpeData& op) {
  switch (op.Op) {
    case ocTo: return Operand(op, 0).GetParamType();
    case ocPlus: {
      const uint8_t a = Operand(op, 0).GetParamType();
      return a == PT_STR ? PT_STR : a == PT_FLOAT ? PT_FLOAT : PT_INT;
    }
    case ocMinus: case ocMul: case ocDiv:
      return Operand(op, 0).GetParamType() == PT_FLOAT ? PT_FLOAT : PT_INT;
    case ocMod: case ocOr: case ocAnd: case ocXor: case ocShiftL: case ocShiftR: return PT_INT;
    case ocDimTo: return PT_NONE;
    case ocFunc: {
      // A stored id beyond the table is an error of the run, never an index.
      if (op.FuncId >= kFuncCount) throw EScriptError(kMsgInternalError);
      if (op.FuncId != FN_GetProp) return FuncResultTypes[op.FuncId];
      if (op.Operands.size() < 2) throw EScriptError(BadGetPropMessage());
      const int32_t prop = op.Operands[1]->GetAsInt();
      if (prop < 0 || prop >= kPropCount) throw EScriptError(BadGetPropMessage());
      return PropTypes[static_cast<size_t>(prop)];
    }
    case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual: return PT_BOOL;
    case ocComboStr: return PT_STR;
    default: throw EScriptError(BadExpressionMessage(op));
  }
}

TParamCollectionItem* CreateDest(TRun& run, const TOpeData& op) {
  const uint8_t code = TempTypeCode(op);
  TParamCollectionItem* item = run.Store->AddVar(code);
  try {
    item->SetName(op.Dest);
  } catch (...) {  // cleaned up, then rethrown
    run.Store->FreeVar(item);
    throw;
  }
  if (IsTempName(op.Dest)) {
    auto watch = std::make_unique<TParamVar>(run.Store);
    watch->Bind(item);
    run.Temps.push_back(TRunTemp{op.Dest, std::move(watch)});
  }
  if (op.Op == ocDimTo) {
    std::vector<int32_t> subscripts;
    for (size_t k = 1; k < op.Operands.size(); ++k) subscripts.push_back(op.Operands[k]->GetAsInt());
    const auto* array = op.Operands.empty() ? nullptr : dynamic_cast<const TParamVar*>(op.Operands[0].get());
    const std::string target =
        array != nullptr && array->GetBound() != nullptr ? array->GetBound()->Name() : std::string();
    item->SetReference(target, subscripts);
  }
  return item;
}

// Float results: an infinite result is an overflow and a NaN an invalid
// operation. Both raise a math error instead of being stored, so every float
// a script holds is finite.
long double CheckedFloat(long double v) {
  if (std::isnan(v)) throw EInvalidOpError();
  if (std::isinf(v)) throw EOverflowError();
  return v;
}

int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }

int32_t IntDivide(int32_t a, int32_t b, bool remainder) {
  if (b == 0) throw EZeroDivideError();
  if (a == std::numeric_limits<int32_t>::min() && b == -1) throw EOverflowError();
  return remainder ? a % b : a / b;
}

// -1, 0 or 1 comparing A with B by A's type.
int Compare(const TCustomParam& a, const TCustomParam& b) {
  switch (a.GetParamType()) {
    case PT_STR: {
      const int c = a.GetAsStr().compare(b.GetAsStr());  // std::string compares bytes unsigned
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    case PT_FLOAT: {
      const long double x = a.GetAsFloat(), y = b.GetAsFloat();
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case PT_BOOL: {
      const int x = a.GetAsFlag() ? 1 : 0, y = b.GetAsFlag() ? 1 : 0;
      return x - y;
    }
    default: {
      const int32_t x = a.GetAsInt(), y = b.GetAsInt();
      return x < y ? -1 : x > y ? 1 : 0;
    }
  }
}

bool Equal(const TCustomParam& a, const TCustomParam& b) {
  switch (a.GetParamType()) {
    case PT_STR: return a.GetAsStr() == b.GetAsStr();
    case PT_FLOAT: return a.GetAsFloat() == b.GetAsFloat();
    case PT_BOOL: return a.GetAsFlag() == b.GetAsFlag();
    default: return a.GetAsInt() == b.GetAsInt();
  }
}

void ExecOpe(TRun& run, const TOpeData& op, TParamCollectionItem* dest) {
  if (dest == nullptr) throw EScriptError(NoVariableMessage(op.Dest));
  TCustomParam& d = *dest->Value;
  const uint8_t code = d.GetParamType();
  switch (op.Op) {
    case ocTo: {
      const TCustomParam& a = Operand(op, 0);
      switch (code) {
        case PT_INT: d.SetAsInt(a.GetAsInt()); break;
        case PT_FLOAT: d.SetAsFloat(a.GetAsFloat()); break;
        case PT_BOOL: d.SetAsFlag(a.GetAsFlag()); break;
        case PT_STR: {
          std::string made;
          SetTextResult(d, TextOf(a, made));
          break;
        }
        default: break;
      }
      return;
    }
    case ocPlus: case ocMinus: case ocMul: case ocDiv: {
      const TCustomParam& a = Operand(op, 0);
      const TCustomParam& b = Operand(op, 1);
      if (code == PT_FLOAT) {
        const long double x = a.GetAsFloat(), y = b.GetAsFloat();
        long double r = 0.0L;
        switch (op.Op) {
          case ocPlus: r = x + y; break;
          case ocMinus: r = x - y; break;
          case ocMul: r = x * y; break;
          default:
            if (y == 0.0L) {
              if (x == 0.0L) throw EInvalidOpError();
              throw EZeroDivideError();
            }
            r = x / y;
            break;
        }
        d.SetAsFloat(CheckedFloat(r));
        return;
      }
      const int64_t x = a.GetAsInt(), y = b.GetAsInt();
      switch (op.Op) {
        case ocPlus: d.SetAsInt(Wrap(x + y)); break;
        case ocMinus: d.SetAsInt(Wrap(x - y)); break;
        case ocMul: d.SetAsInt(Wrap(x * y)); break;
        default: d.SetAsInt(IntDivide(static_cast<int32_t>(x), static_cast<int32_t>(y), false)); break;
      }
      return;
    }
    case ocMod: d.SetAsInt(IntDivide(Operand(op, 0).GetAsInt(), Operand(op, 1).GetAsInt(), true)); return;
    case ocOr: d.SetAsInt(Operand(op, 0).GetAsInt() | Operand(op, 1).GetAsInt()); return;
    case ocAnd: d.SetAsInt(Operand(op, 0).GetAsInt() & Operand(op, 1).GetAsInt()); return;
    case ocXor: d.SetAsInt(Operand(op, 0).GetAsInt() ^ Operand(op, 1).GetAsInt()); return;
    case ocShiftL: case ocShiftR: {
      const uint32_t x = static_cast<uint32_t>(Operand(op, 0).GetAsInt());
      const uint32_t n = static_cast<uint32_t>(Operand(op, 1).GetAsInt()) & 31u;
      d.SetAsInt(static_cast<int32_t>(op.Op == ocShiftL ? x << n : x >> n));
      return;
    }
    case ocEqual: d.SetAsFlag(Equal(Operand(op, 0), Operand(op, 1))); return;
    case ocNEqual: d.SetAsFlag(!Equal(Operand(op, 0), Operand(op, 1))); return;
    case ocBig: d.SetAsFlag(Compare(Operand(op, 0), Operand(op, 1)) > 0); return;
    case ocSmall: d.SetAsFlag(Compare(Operand(op, 0), Operand(op, 1)) < 0); return;
    case ocEBig: d.SetAsFlag(Compare(Operand(op, 0), Operand(op, 1)) >= 0); return;
    case ocESmall: d.SetAsFlag(Compare(Operand(op, 0), Operand(op, 1)) <= 0); return;
    case ocComboStr: {
      // Joined from the texts the operands hold, without copies of them.
      std::string made_a, made_b;
      const std::string& a = TextOf(Operand(op, 0), made_a);
      const std::string& b = TextOf(Operand(op, 1), made_b);
      const int64_t length = static_cast<int64_t>(a.size() + b.size());
      CheckTextLength(length);
      ClaimValueRoom(length);
      d.SetAsStr(a + b);
      return;
    }
    case ocFunc: {
      std::vector<TCustomParam*> args;
      for (const auto& operand : op.Operands) args.push_back(operand.get());
      run.Funcs->CallSysFunc(d, op.FuncId, args);
      return;
    }
    default: return;  // ocDimTo bound its temporary when it was created
  }
}

void PrepareOpe(TRun& run, const TOpeData& op) {
  std::vector<TParamVar*> refs;
  for (const auto& operand : op.Operands) {
    if (auto* ref = dynamic_cast<TParamVar*>(operand.get())) refs.push_back(ref);
  }
  struct TUnbind {
    std::vector<TParamVar*>& refs;
    ~TUnbind() {
      for (TParamVar* ref : refs) ref->Unbind();
    }
  } unbind{refs};
  for (TParamVar* ref : refs) BindOperand(run, *ref);
  TParamCollectionItem* dest = FindVar(run, op.Dest);
  if (dest == nullptr && (IsTempName(op.Dest) || run.DeclareMissing)) dest = CreateDest(run, op);
  ExecOpe(run, op, dest);
}

bool IsDataValue(const TCustomParam& v) {
  return dynamic_cast<const TParamInt*>(&v) != nullptr || dynamic_cast<const TParamFloat*>(&v) != nullptr ||
         dynamic_cast<const TParamFlag*>(&v) != nullptr || dynamic_cast<const TParamStr*>(&v) != nullptr;
}

}  // namespace

bool IsTempName(const std::string& name) { return name.rfind("____", 0) == 0; }

int32_t ExprRunDepth() { return run_depth; }

void ExecuteParser(TOrbaParser& parser, TSysFuncMan& funcs, bool declare_missing, std::string* error) {
  parser.Result.reset();
  if (error != nullptr) error->clear();
  TRun run;
  run.Parent = current_run;
  run.Store = &funcs.Store();
  run.Funcs = &funcs;
  run.DeclareMissing = declare_missing;
  struct TScope {
    TRun& run;
    explicit TScope(TRun& r) : run(r) {
      current_run = &run;
      ++run_depth;
    }
    ~TScope() {
      // Free this run's temporaries, the last created first.
      for (auto it = run.Temps.rbegin(); it != run.Temps.rend(); ++it) {
        if (TParamCollectionItem* item = it->Watch->GetBound()) run.Store->FreeVar(item);
      }
      run.Temps.clear();
      current_run = run.Parent;
      --run_depth;
    }
  } scope(run);

  try {
    for (int32_t i = 0; i < parser.Count(); ++i) PrepareOpe(run, *parser.GetOp(i));
  } catch (const std::exception& e) {
    // The run ends at the failing operation; what was done before stays.
    if (error != nullptr) *error = e.what();
  }
  if (parser.Empty()) return;
  const TOpeData& last = *parser.GetOp(parser.Count() - 1);
  if (last.Op != ocTo || !SjisSameText(last.Dest, kArgName)) return;
  TParamCollectionItem* arg = FindVar(run, kArgName);
  if (arg == nullptr || !IsDataValue(*arg->Value)) return;
  const bool own = std::any_of(run.Temps.begin(), run.Temps.end(),
                               [arg](const TRunTemp& t) { return t.Watch->GetBound() == arg; });
  if (own) {
    // This run's own temporary, freed as the run ends: its value is taken,
    // not copied (a text may be of many megabytes).
    const uint8_t type = arg->Value->GetParamType();
    parser.Result = std::move(arg->Value);
    arg->Value = CreateParamByType(type);
    return;
  }
  auto copy = CreateParamByType(arg->Value->GetParamType());
  copy->Assign(*arg->Value);
  parser.Result = std::move(copy);
}

}  // namespace orba

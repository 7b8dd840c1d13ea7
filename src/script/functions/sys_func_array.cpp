// Array, variable and evaluation functions.
#include <algorithm>

#include "core/strings/sjis_case.h"
#include "core/strings/sjis_string.h"
#include "script/expr/expr_compiler.h"
#include "script/expr/expr_exec.h"
#include "script/functions/sys_func_args.h"
#include "script/values/param_collection.h"
#include "script/values/value_room.h"

namespace orba {

namespace {

// The variable a reference argument is bound to, or nullptr.
TParamCollectionItem* BoundVar(TCustomParam& arg) {
  auto* ref = dynamic_cast<TParamVar*>(&arg);
  return ref != nullptr ? ref->GetBound() : nullptr;
}

// The whole value an argument stands for: through references (and the
// element temporaries they name) to the variable's own value.
TCustomParam& Whole(TCustomParam& arg) {
  TCustomParam* value = &arg;
  for (int hops = 0; hops < 64; ++hops) {
    TParamCollectionItem* item = BoundVar(*value);
    if (item == nullptr) return *value;
    value = item->Value.get();
  }
  throw EScriptError(kMsgInternalError);
}

// "<function>:変数が見つかりません" unless the argument is a bound reference.
TCustomParam& MustExist(TCustomParam& arg, const char* function) {
  if (BoundVar(arg) == nullptr) {
    throw EScriptError(std::string(function) + ":\x95\xcf\x90\x94\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
  }
  return arg;
}

bool IsDataType(uint8_t type) { return type >= PT_INT && type <= PT_STR; }

// Element From of Source into element To of Dest, through Type's accessors.
void CopyItem(TCustomParam& dest, int32_t to, const TCustomParam& source, int32_t from, uint8_t type) {
  switch (type) {
    case PT_INT: dest.SetIntItem(to, source.GetIntItem(from)); break;
    case PT_FLOAT: dest.SetFloatItem(to, source.GetFloatItem(from)); break;
    case PT_BOOL: dest.SetFlagItem(to, source.GetFlagItem(from)); break;
    case PT_STR: dest.SetStrItem(to, source.GetStrItem(from)); break;
    default: break;
  }
}

// Source's elements converted to Type, read before Dest changes, so that a
// source that is the destination itself gives its old elements.
std::unique_ptr<TCustomParam> Snapshot(const TCustomParam& source, uint8_t type) {
  if (!IsDataType(type)) return nullptr;
  auto copy = CreateParamByType(type);
  copy->AssignConverted(source);
  return copy;
}

int32_t CheckedSize(int64_t size) {
  if (size < 1 || size > kMaxArrayElements) throw EScriptError(ArraySizeMessage({static_cast<int32_t>(std::clamp<int64_t>(size, INT32_MIN, INT32_MAX))}));
  return static_cast<int32_t>(size);
}

// AddArray and InsertArray: Source's elements go in before element Index.
int32_t InsertElements(TCustomParam& dest, int64_t index, const TCustomParam& source) {
  const int32_t n1 = dest.GetCount(), n2 = source.GetCount();
  if (dest.GetDimCount() > 1 || source.GetDimCount() > 1) return n1;
  index = std::clamp<int64_t>(index, 0, n1);
  const uint8_t type = dest.GetParamType();
  const auto snapshot = Snapshot(source, type);
  const int32_t total = CheckedSize(int64_t{n1} + n2);
  dest.SetDims({total});
  if (snapshot == nullptr) return total;
  for (int64_t j = total - 1; j >= index + n2; --j) {
    CopyItem(dest, static_cast<int32_t>(j), dest, static_cast<int32_t>(j - n2), type);
  }
  for (int32_t i = 0; i < n2; ++i) CopyItem(dest, static_cast<int32_t>(index + i), *snapshot, i, type);
  return total;
}

int32_t DeleteElements(TCustomParam& arr, int32_t index, int32_t count) {
  const int32_t n = arr.GetCount();
  // More than one dimension, or a negative count: nothing changes.
  if (arr.GetDimCount() > 1 || count < 0) return n;
  if (index < 0) index = 0;
  if (index >= n) index = n - 1;
  if (int64_t{index} + count > n) count = n - index;
  const uint8_t type = arr.GetParamType();
  for (int32_t j = index; j < n - count; ++j) CopyItem(arr, j, arr, j + count, type);
  arr.SetDims({n - count});
  return n - count;
}

std::vector<std::string> SplitLines(const std::string& text) {
  const std::string s = text.substr(0, text.find('\0'));
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < s.size()) {
    const size_t end = s.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(s.substr(start));
      break;
    }
    lines.push_back(s.substr(start, end - start));
    start = end + (s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

std::vector<std::string> SplitPieces(const std::string& text, const std::string& separator) {
  if (separator == "\r\n") return SplitLines(text);
  std::vector<std::string> pieces;
  std::string rest = text;
  while (!rest.empty()) pieces.push_back(JFetchToken(rest, separator));
  return pieces;
}

}  // namespace

void CallArrayFunc(TSysFuncMan& funcs, TCustomParam& result, uint8_t id, TFuncArgs args) {
  const TFuncArgReader a(args);
  TParamCollection& store = funcs.Store();
  switch (id) {
    case FN_GetArraySize: {
      TCustomParam& arr = MustExist(a.At(0), "GetArraySize");
      if (!a.Has(1)) {
        result.SetAsInt(arr.GetCount());
        break;
      }
      const int64_t dim = int64_t{arr.GetDimCount()} - 1 - a.Int(1);
      result.SetAsInt(dim < 0 || dim >= arr.GetDimCount() ? 1 : arr.GetDimSize(static_cast<int32_t>(dim)));
      break;
    }
    case FN_SetArray: {
      TCustomParam& arr = MustExist(a.At(0), "SetArray");
      std::vector<int32_t> sizes;
      for (size_t i = 1; i < a.Count(); ++i) sizes.push_back(a.Int(i));
      arr.SetDims(sizes);
      break;
    }
    case FN_FillMem: {
      TCustomParam& arr = MustExist(a.At(0), "FillMem");
      switch (arr.GetParamType()) {
        case PT_INT: arr.FillInt(a.Int(1)); break;
        case PT_FLOAT: arr.FillFloat(a.Float(1)); break;
        case PT_BOOL: arr.FillFlag(a.Flag(1)); break;
        default: arr.FillStr(a.Str(1)); break;
      }
      break;
    }
    case FN_CopyMem: {
      TCustomParam& dest = MustExist(a.At(0), "CopyMem");
      TCustomParam& source = MustExist(a.At(1), "CopyMem");
      dest.CopyMem(Whole(source));
      break;
    }
    case FN_CopyArray:
      Whole(a.At(0)).AssignConverted(a.At(1));
      result.SetAsFlag(true);
      break;
    case FN_AddArray: {
      TCustomParam& dest = Whole(a.At(0));
      result.SetAsInt(InsertElements(dest, dest.GetCount(), a.At(1)));
      break;
    }
    case FN_InsertArray: result.SetAsInt(InsertElements(Whole(a.At(0)), a.Int(1), a.At(2))); break;
    case FN_DeleteArray: result.SetAsInt(DeleteElements(Whole(a.At(0)), a.Int(1), a.Int(2))); break;
    case FN_ArrayToString: {
      const TCustomParam& arr = a.At(0);
      const std::string separator = a.StrOr(1, "\r\n");
      std::string out;
      for (int32_t i = 0; i < arr.GetCount(); ++i) {
        const std::string item = arr.GetStrItem(i);
        const size_t grown = (i > 0 ? separator.size() : 0) + item.size();
        CheckTextLength(static_cast<int64_t>(out.size() + grown));
        ClaimValueRoom(static_cast<int64_t>(grown));
        if (i > 0) out += separator;
        out += item;
      }
      result.SetAsStr(out);
      break;
    }
    case FN_StringToArray: {
      const std::vector<std::string> pieces = SplitPieces(a.Str(0), a.StrOr(2, "\r\n"));
      TCustomParam& arr = Whole(a.At(1));
      if (pieces.empty()) {
        arr.SetAsStr(std::string());
        break;
      }
      arr.SetDims({CheckedSize(static_cast<int64_t>(pieces.size()))});
      for (size_t i = 0; i < pieces.size(); ++i) arr.SetStrItem(static_cast<int32_t>(i), pieces[i]);
      break;
    }
    case FN_IndexOfStr:
      result.SetAsInt(a.At(0).IndexOfStr(a.Str(1), a.FlagOr(2, true), a.FlagOr(3, false)));
      break;
    case FN_SortStr: {
      TCustomParam& arr = a.At(0);
      std::vector<std::string> texts;
      for (int32_t i = 0; i < arr.GetCount(); ++i) texts.push_back(arr.GetStrItem(i));
      std::sort(texts.begin(), texts.end(),
                [](const std::string& x, const std::string& y) { return SjisCompareText(x, y) < 0; });
      for (size_t i = 0; i < texts.size(); ++i) arr.SetStrItem(static_cast<int32_t>(i), texts[i]);
      break;
    }
    case FN_VarExists: result.SetAsFlag(store.Find(a.Str(0)) != nullptr); break;
    case FN_GetVarType: result.SetAsInt(a.At(0).GetParamType()); break;
    case FN_AssignTemp: {
      const std::string name = a.Str(0);
      const bool found = !name.empty() && store.Find(name) != nullptr;
      if (found) store.TempTargetName = name;
      result.SetAsFlag(found);
      break;
    }
    case FN_PushVar: {
      std::vector<std::string> names;
      for (size_t i = 0; i < a.Count(); ++i) names.push_back(a.Str(i));
      store.PushVar(names);
      result.SetAsFlag(true);
      break;
    }
    case FN_PopVar:
      // Written first: the pop may free the variable that holds the result.
      result.SetAsFlag(true);
      store.PopVar();
      break;
    case FN_DeleteStack: {
      const int32_t n = a.Int(0);
      TCallStackService& stack = funcs.CallStack();
      if (n < 0 || n >= stack.FrameCount()) {
        result.SetAsFlag(false);
        break;
      }
      result.SetAsFlag(true);
      store.DeleteFrameVars(n);
      stack.RemoveFrame(n);
      for (int32_t i = 0; i < store.Count(); ++i) {
        TParamCollectionItem* item = store.GetItem(i);
        if (item->FrameId > n) --item->FrameId;
      }
      break;
    }
    case FN_Calc: {
      // Nested evaluation is bounded: a text that calls Calc on itself ends
      // at this depth instead of exhausting the stack.
      if (ExprRunDepth() >= kMaxCalcDepth) break;
      TOrbaParser parser;
      if (!CompileText(a.Str(0), parser)) break;
      // Written first: the run may free the variable that holds the result.
      result.SetAsFlag(true);
      ExecuteParser(parser, funcs);
      break;
    }
    default: break;
  }
}

}  // namespace orba

#include "items/object_funcs.h"

#include <string>
#include <vector>

#include "core/strings/sjis_case.h"
#include "core/strings/text_utils.h"
#include "items/base_list.h"
#include "items/orba_globals.h"
#include "items/prop_dispatch.h"
#include "script/functions/sys_func_args.h"
#include "script/functions/sys_func_file.h"
#include "script/script_errors.h"
#include "script/values/param_text.h"

namespace orba {

namespace {

// A property id as the dispatch takes it; an id beyond a byte raises the
// dispatch's own error instead of wrapping onto another property.
uint8_t PropId(int32_t id, const char* error) {
  if (id < 0 || id > 255) throw EScriptError(error);
  return static_cast<uint8_t>(id);
}

// ListCompo's type filter: the low 8 bits, and a code beyond the last
// component type means any type.
uint8_t ListedType(int32_t type) {
  const int32_t low = type & 0xFF;
  return static_cast<uint8_t>(low > CT_CABINET ? 0 : low);
}

// The index of the first line of the object's text equal to Text, letter
// case ignored; -1 when none.
int32_t IndexOfLine(const TOrbaObject& object, const std::string& text) {
  const std::vector<std::string> lines = SplitTextLines(TrimControls(object.GetText()));
  for (size_t i = 0; i < lines.size(); ++i)
    if (SjisSameText(lines[i], text)) return static_cast<int32_t>(i);
  return -1;
}

// Names becomes the array of the listed names, or, with none, a scalar
// holding the empty text in its own type.
void StoreNames(TCustomParam& names, const std::vector<std::string>& listed) {
  if (listed.empty()) {
    names.MakeScalar();
    names.SetStrItem(0, std::string());
    return;
  }
  names.SetDims({static_cast<int32_t>(listed.size())});
  for (size_t i = 0; i < listed.size(); ++i) names.SetStrItem(static_cast<int32_t>(i), listed[i]);
}

}  // namespace

int32_t ItemIndex(const TOrbaObject& object, const TCustomParam& item) {
  if (item.GetParamType() == PT_STR && object.GetCompoType() == CT_PREVMENU) {
    const std::string text = item.GetAsStr();
    int32_t index = 0;
    return TryTextToInt(text, index) ? index : object.IndexOfButton(text);
  }
  return item.GetAsInt();
}

void TObjectFuncService::CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args) {
  if (FuncFamily(id) != TFuncFamily::Object) return;
  const TFuncArgReader a(args);
  switch (id) {
    case FN_ListCompo: {
      const TOrbaObject* parent = a.Has(2) ? manager_.FindObject(a.Str(2)) : &manager_;
      std::vector<std::string> listed;
      manager_.ListCompo(listed, ListedType(a.Has(1) ? a.Int(1) : 0), parent);
      StoreNames(a.At(0), listed);
      result.SetAsInt(static_cast<int32_t>(listed.size()));
      return;
    }
    // Backlog formats by their exact name; -1 (or false) for a name that no
    // format has.
    case FN_GetHistoryCount:
    case FN_GetHistoryMaxCount:
    case FN_SetHistoryMaxCount: {
      TOrbaHistoryFormat* format = TextHistoryFormats != nullptr ? TextHistoryFormats->Find(a.Str(0)) : nullptr;
      if (id == FN_SetHistoryMaxCount) {
        if (format != nullptr) format->History.Limit = a.Int(1);
        result.SetAsFlag(format != nullptr);
      } else if (format == nullptr) {
        result.SetAsInt(-1);
      } else {
        result.SetAsInt(id == FN_GetHistoryCount ? format->History.GetSize() : format->History.Limit);
      }
      return;
    }
    // Looked up as visual objects; the empty name is never one.
    case FN_InPrimary:
    case FN_InCabinet: {
      const std::string name = a.Str(0);
      const TOrbaControl* control = name.empty() ? nullptr : manager_.FindControl(name);
      if (control == nullptr) return;
      const bool in_cabinet = control->InCabinet();
      result.SetAsFlag(id == FN_InCabinet ? in_cabinet
                                          : control->GetScreen() == manager_.ActiveBase() && !in_cabinet);
      return;
    }
    default: break;
  }

  const std::string name = a.Str(0);
  TOrbaObject* object = id == FN_Exists && name.empty() ? nullptr : manager_.FindObject(name);
  if (object == nullptr) {
    switch (id) {
      case FN_ToClientX: case FN_ToClientY: case FN_ToScreenX: case FN_ToScreenY: result.SetAsInt(a.Int(1)); break;
      case FN_IndexOfMenu: result.SetAsInt(-1); break;
      default: break;
    }
    return;
  }
  switch (id) {
    case FN_GetProp: DoGetProp(result, *object, PropId(a.Int(1), kMsgGetPropError)); break;
    case FN_SetProp: DoSetProp(*object, PropId(a.Int(1), kMsgSetPropError), a.At(2)); break;
    case FN_Exists: result.SetAsFlag(true); break;
    case FN_ToClientX: result.SetAsInt(object->ScreenToClient(TPoint{a.Int(1), 0}).X); break;
    case FN_ToClientY: result.SetAsInt(object->ScreenToClient(TPoint{0, a.Int(1)}).Y); break;
    case FN_ToScreenX: result.SetAsInt(object->ClientToScreen(TPoint{a.Int(1), 0}).X); break;
    case FN_ToScreenY: result.SetAsInt(object->ClientToScreen(TPoint{0, a.Int(1)}).Y); break;
    case FN_IndexOfMenu: result.SetAsInt(IndexOfLine(*object, a.Str(1))); break;
    case FN_GetCheck: result.SetAsFlag(object->GetItemCheck(a.Int(1))); break;
    case FN_SetCheck: object->SetItemCheck(a.Int(1), a.Flag(2)); break;
    case FN_GetEnabled: result.SetAsFlag(object->GetItemEnabled(ItemIndex(*object, a.At(1)))); break;
    case FN_SetEnabled: object->SetItemEnabled(ItemIndex(*object, a.At(1)), a.Flag(2)); break;
    case FN_GetVisible: result.SetAsFlag(object->GetItemVisible(ItemIndex(*object, a.At(1)))); break;
    case FN_SetVisible: object->SetItemVisible(ItemIndex(*object, a.At(1)), a.Flag(2)); break;
    case FN_GetSelected: result.SetAsFlag(object->GetItemSelected(ItemIndex(*object, a.At(1)))); break;
    case FN_SetSelected: object->SetItemSelected(ItemIndex(*object, a.At(1)), a.Flag(2)); break;
    case FN_GetGroupIndex: result.SetAsInt(object->GetItemGroupIndex(ItemIndex(*object, a.At(1)))); break;
    default: break;
  }
}

}  // namespace orba

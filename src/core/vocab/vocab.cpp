#include "core/vocab/vocab.h"

namespace orba {

namespace {

constexpr std::array<uint8_t, kPropCount> BuildApplyOrder() {
  constexpr uint8_t kSteps[] = {
#define ORBA_PROP(id, name, type, step) step,
#include "core/vocab/vocab_props.def"
#undef ORBA_PROP
  };
  std::array<uint8_t, kPropCount> order{};
  for (int id = 0; id < kPropCount; ++id) order[kSteps[id]] = static_cast<uint8_t>(id);
  return order;
}

}  // namespace

const std::array<const char*, kPropCount> PropNames = {
#define ORBA_PROP(id, name, type, step) #name,
#include "core/vocab/vocab_props.def"
#undef ORBA_PROP
};
const std::array<uint8_t, kPropCount> PropTypes = {
#define ORBA_PROP(id, name, type, step) type,
#include "core/vocab/vocab_props.def"
#undef ORBA_PROP
};
const std::array<uint8_t, kPropCount> PropApplyOrder = BuildApplyOrder();

const std::array<const char*, kFuncCount> FuncNames = {
#define ORBA_FUNC(id, name, mn, mx, result) #name,
#include "core/vocab/vocab_funcs.def"
#undef ORBA_FUNC
};
const std::array<int32_t, kFuncCount> FuncMinArgs = {
#define ORBA_FUNC(id, name, mn, mx, result) mn,
#include "core/vocab/vocab_funcs.def"
#undef ORBA_FUNC
};
const std::array<int32_t, kFuncCount> FuncMaxArgs = {
#define ORBA_FUNC(id, name, mn, mx, result) mx,
#include "core/vocab/vocab_funcs.def"
#undef ORBA_FUNC
};
const std::array<uint8_t, kFuncCount> FuncResultTypes = {
#define ORBA_FUNC(id, name, mn, mx, result) result,
#include "core/vocab/vocab_funcs.def"
#undef ORBA_FUNC
};

const std::array<const char*, kSysVarCount> SysVarNames = {
#define ORBA_SYSVAR(index, ident, name, type) name,
#include "core/vocab/vocab_sysvars.def"
#undef ORBA_SYSVAR
};
const std::array<uint8_t, kSysVarCount> SysVarTypes = {
#define ORBA_SYSVAR(index, ident, name, type) type,
#include "core/vocab/vocab_sysvars.def"
#undef ORBA_SYSVAR
};

const std::array<const char*, kOperatorCount> OperatorNames = {
#define ORBA_OPER(code, name, text) #name,
#include "core/vocab/vocab_operators.def"
#undef ORBA_OPER
};
const std::array<const char*, kOperatorCount> OperatorTexts = {
#define ORBA_OPER(code, name, text) text,
#include "core/vocab/vocab_operators.def"
#undef ORBA_OPER
};
const std::array<const char*, kOpcodeCount> OpcodeNames = {
#define ORBA_OPCODE(code, name) #name,
#include "core/vocab/vocab_opcodes.def"
#undef ORBA_OPCODE
};
const std::array<const char*, kCompoTypeCount> CompoTypeNames = {
#define ORBA_COMPO(code, name) #name,
#include "core/vocab/vocab_compotypes.def"
#undef ORBA_COMPO
};
const std::array<const char*, kWipeKindCount> WipeKindNames = {
#define ORBA_WIPE(code, name) #name,
#include "core/vocab/vocab_wipes.def"
#undef ORBA_WIPE
};
const std::array<const char*, kKeyNameCount> KeyNames = {
#define ORBA_KEY(name) #name,
#include "core/vocab/vocab_keys.def"
#undef ORBA_KEY
};

bool FindBuiltinFunction(const std::string& name, uint8_t& id) {
  for (int i = 0; i < kFuncCount; ++i) {
    if (name == FuncNames[i]) {
      id = static_cast<uint8_t>(i);
      return true;
    }
  }
  return false;
}

bool FuncArgCountValid(uint8_t id, int32_t arg_count) {
  if (id >= kFuncCount) return false;
  const int32_t lo = FuncMinArgs[id], hi = FuncMaxArgs[id];
  if (lo >= 0 && lo > arg_count) return false;
  if (hi >= 0 && hi < arg_count) return false;
  return true;
}

std::string FuncArgCountMessage(uint8_t id) {
  const std::string name = id < kFuncCount ? FuncNames[id] : "";
  return name + " \x88\xf8\x90\x94\x82\xcc\x90\x94\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";  //  引数の数が不正です
}

int32_t FontStyleToInt(const TFontStyle& style) {
  return (style.Bold ? 1 << FS_BOLD : 0) | (style.Italic ? 1 << FS_ITALIC : 0) |
         (style.Underline ? 1 << FS_UNDERLINE : 0) | (style.StrikeOut ? 1 << FS_STRIKEOUT : 0);
}

TFontStyle IntToFontStyle(int32_t value) {
  TFontStyle s;
  s.Bold = (value & (1 << FS_BOLD)) != 0;
  s.Italic = (value & (1 << FS_ITALIC)) != 0;
  s.Underline = (value & (1 << FS_UNDERLINE)) != 0;
  s.StrikeOut = (value & (1 << FS_STRIKEOUT)) != 0;
  return s;
}

}  // namespace orba

// The fixed vocabulary shared by compiled pages, saved games and the player:
// value types, expression operators, script properties, built-in functions,
// "@" system variables, command opcodes, component types, wipe kinds and key
// names. Compiled pages store only the numbers, so every number here is part
// of the page and save formats. Each table is listed once in a vocab_*.def
// file and expanded here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace orba {

// Value type codes (one byte where stored).
enum TParamType : uint8_t { PT_NONE = 0, PT_INT = 1, PT_FLOAT = 2, PT_BOOL = 3, PT_STR = 4 };

// Expression operator codes.
enum TOpeCode : uint8_t {
#define ORBA_OPER(code, name, text) name = code,
#include "core/vocab/vocab_operators.def"
#undef ORBA_OPER
};

// Script property ids.
enum TPropId : uint8_t {
#define ORBA_PROP(id, name, type, step) name = id,
#include "core/vocab/vocab_props.def"
#undef ORBA_PROP
};

// Built-in function ids, named FN_ plus the function's script name.
enum TFuncId : uint8_t {
#define ORBA_FUNC(id, name, mn, mx, result) FN_##name = id,
#include "core/vocab/vocab_funcs.def"
#undef ORBA_FUNC
};

// Indexes of the "@" system variables in the variable store.
enum TSysVarIndex : uint8_t {
#define ORBA_SYSVAR(index, ident, name, type) ident = index,
#include "core/vocab/vocab_sysvars.def"
#undef ORBA_SYSVAR
};

// Command opcodes, named OP_ plus the command name.
enum TOpcode : uint8_t {
#define ORBA_OPCODE(code, name) OP_##name = code,
#include "core/vocab/vocab_opcodes.def"
#undef ORBA_OPCODE
};

// Component (item) types.
enum TCompoType : uint8_t {
#define ORBA_COMPO(code, name) name = code,
#include "core/vocab/vocab_compotypes.def"
#undef ORBA_COMPO
};

// Screen transition kinds.
enum TWipeKind : uint8_t {
#define ORBA_WIPE(code, name) name = code,
#include "core/vocab/vocab_wipes.def"
#undef ORBA_WIPE
};

#define ORBA_COUNT_ENTRY(...) +1
constexpr int kOperatorCount = 0
#define ORBA_OPER ORBA_COUNT_ENTRY
#include "core/vocab/vocab_operators.def"
#undef ORBA_OPER
    ;
constexpr int kPropCount = 0
#define ORBA_PROP ORBA_COUNT_ENTRY
#include "core/vocab/vocab_props.def"
#undef ORBA_PROP
    ;
constexpr int kFuncCount = 0
#define ORBA_FUNC ORBA_COUNT_ENTRY
#include "core/vocab/vocab_funcs.def"
#undef ORBA_FUNC
    ;
constexpr int kSysVarCount = 0
#define ORBA_SYSVAR ORBA_COUNT_ENTRY
#include "core/vocab/vocab_sysvars.def"
#undef ORBA_SYSVAR
    ;
constexpr int kOpcodeCount = 0
#define ORBA_OPCODE ORBA_COUNT_ENTRY
#include "core/vocab/vocab_opcodes.def"
#undef ORBA_OPCODE
    ;
constexpr int kCompoTypeCount = 0
#define ORBA_COMPO ORBA_COUNT_ENTRY
#include "core/vocab/vocab_compotypes.def"
#undef ORBA_COMPO
    ;
constexpr int kWipeKindCount = 0
#define ORBA_WIPE ORBA_COUNT_ENTRY
#include "core/vocab/vocab_wipes.def"
#undef ORBA_WIPE
    ;
constexpr int kKeyNameCount = 0
#define ORBA_KEY ORBA_COUNT_ENTRY
#include "core/vocab/vocab_keys.def"
#undef ORBA_KEY
    ;
#undef ORBA_COUNT_ENTRY

// Property tables, indexed by id (0 .. kPropCount - 1).
extern const std::array<const char*, kPropCount> PropNames;
extern const std::array<uint8_t, kPropCount> PropTypes;
// The id applied at each step when a command applies its properties.
extern const std::array<uint8_t, kPropCount> PropApplyOrder;

// Built-in function tables, indexed by id. A negative bound means no limit.
extern const std::array<const char*, kFuncCount> FuncNames;
extern const std::array<int32_t, kFuncCount> FuncMinArgs;
extern const std::array<int32_t, kFuncCount> FuncMaxArgs;
extern const std::array<uint8_t, kFuncCount> FuncResultTypes;

// "@" system variable names and their fixed value types (PT_NONE for the two
// that follow the variable they stand for).
extern const std::array<const char*, kSysVarCount> SysVarNames;
extern const std::array<uint8_t, kSysVarCount> SysVarTypes;

extern const std::array<const char*, kOperatorCount> OperatorNames;
extern const std::array<const char*, kOperatorCount> OperatorTexts;
extern const std::array<const char*, kOpcodeCount> OpcodeNames;
extern const std::array<const char*, kCompoTypeCount> CompoTypeNames;
extern const std::array<const char*, kWipeKindCount> WipeKindNames;
extern const std::array<const char*, kKeyNameCount> KeyNames;

// Exact, case-sensitive search of the built-in function names in id order.
bool FindBuiltinFunction(const std::string& name, uint8_t& id);

// Rejects a call of function `id` with `arg_count` arguments: true when the
// count is within the function's bounds. `id` must be below kFuncCount.
bool FuncArgCountValid(uint8_t id, int32_t arg_count);
// The message of a rejected call: the function's name, " 引数の数が不正です".
std::string FuncArgCountMessage(uint8_t id);

// Font style elements; as an integer, element k is bit k.
enum TFontStyleElement : uint8_t { FS_BOLD = 0, FS_ITALIC = 1, FS_UNDERLINE = 2, FS_STRIKEOUT = 3 };
struct TFontStyle {
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  bool operator==(const TFontStyle&) const = default;
};
int32_t FontStyleToInt(const TFontStyle& style);
TFontStyle IntToFontStyle(int32_t value);

enum THAlign : uint8_t { HA_LEFT = 0, HA_CENTER = 1, HA_RIGHT = 2 };
enum TVAlign : uint8_t { VA_TOP = 0, VA_CENTER = 1, VA_BOTTOM = 2 };
enum TOrientation : uint8_t { OT_HORIZONTAL = 0, OT_VERTICAL = 1 };
enum TMotionType : uint8_t { MT_NORMAL = 0, MT_INC = 1, MT_DEC = 2 };
enum TParticleMotion : uint8_t { PM_NONE = 0, PM_SNOW = 1, PM_STAR = 2, PM_FLUFF = 3, PM_TWISTER = 4 };
enum TIgnoreMouse : uint8_t { IM_NONE = 0, IM_ALL = 1, IM_CLICK = 2, IM_LCLICK = 3, IM_RCLICK = 4 };
enum TPlayMode : uint8_t { LP_PLAY = 0, LP_PLAYFADE = 1, LP_STOP = 2, LP_STOPFADE = 3 };
enum TFlipMode : uint8_t { FL_OUT = 0, FL_STAY = 1 };

// Separators of packed name lists.
inline constexpr char kNameSep1[] = "\x01";
inline constexpr char kNameSep2[] = "\x01\x01";
inline constexpr char kNameSep3[] = "\x02";

// Shared constants.
constexpr int32_t kNewPageVersion = 104;
constexpr int32_t kNewestPageVersion = 115;
// The game-state version a game slot and its scene are written at.
constexpr int32_t kGameSaveVersion = 141;
inline constexpr char kPrevMenuMagic[] = "OrbaPrevMenu106";
inline constexpr char kCinemaMagic[] = "OrbaCinema109";
inline constexpr char kMotionMagic[] = "OrbaMotion109";
constexpr int32_t kFrameWait = 16;
constexpr int32_t kTickAllowance = 15;
constexpr int32_t kKeyRepeatDelay = 300;
constexpr int32_t kKeyRepeatInterval = 50;
constexpr int32_t kDefaultTextDelay = 50;

}  // namespace orba

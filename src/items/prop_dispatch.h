// Property dispatch: reading and writing a script property of a screen
// object by id, and applying the property expressions of an object-creating
// command. The switches are generated from prop_defs.def.
#pragma once

#include <cstdint>
#include <string>

#include "items/orba_object.h"

namespace orba {

class TCustomParam;
class TComComponent;
class TSysFuncMan;

// "GetPropエラー", "SetPropエラー"
inline constexpr char kMsgGetPropError[] = "GetProp\x83G\x83\x89\x81[";
inline constexpr char kMsgSetPropError[] = "SetProp\x83G\x83\x89\x81[";

// Reads property PropId of Object into Variable (a variable's value or a
// function's result) through the property's getter, converted to Variable's
// type; ids above 164 raise kMsgGetPropError.
void DoGetProp(TCustomParam& variable, TOrbaObject& object, uint8_t prop_id);
// Writes Value into property PropId through its setter, converted to the
// property's kind. Ids above 164, PR_APPEARX and PR_APPEARY raise
// kMsgSetPropError; read-only properties ignore the write.
void DoSetProp(TOrbaObject& object, uint8_t prop_id, const TCustomParam& value);

// The value kind of a property in the dispatch (PT_INT, PT_BOOL, PT_FLOAT,
// PT_STR); -1 for ids above 164.
int32_t PropKind(uint8_t prop_id);

// Evaluates the present expressions of Command in PropApplyOrder and writes
// them into Item, then invalidates it. An expression that leaves no value
// gives the property's creation default.
void ApplyProperties(TOrbaObject& item, TComComponent& command, TSysFuncMan& funcs);

}  // namespace orba

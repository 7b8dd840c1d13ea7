// Helpers of the commands' run-time operations: evaluating a compiled
// expression in the interpreter's variable store and reading its result.
// An expression that leaves no result counts as false, 0 or the empty text.
#pragma once

#include <cstdint>
#include <string>

#include "script/expr/parser_record.h"

namespace orba {

class TCallMan;
class TParamCollectionItem;

// Runs the expression; its result, or nullptr when it left none.
TCustomParam* Evaluate(TOrbaParser& expression, TCallMan& run_state);
bool EvalCondition(TOrbaParser& expression, TCallMan& run_state);
int32_t EvalInt(TOrbaParser& expression, TCallMan& run_state);
std::string EvalStr(TOrbaParser& expression, TCallMan& run_state);

// Writes Value into the variable through the setter of a type code (1 to 4),
// converting it; any other code writes nothing.
void WriteConverted(TParamCollectionItem& variable, uint8_t type, const TCustomParam& value);

}  // namespace orba

// Running compiled expressions: each operation binds its variable operands
// by name, creates its temporary destination when needed, and computes one
// operator, built-in function call or array-element binding. Temporaries are
// ordinary variables of the store while the run lasts and belong to that run
// alone: a run started from inside another (the Calc function) creates and
// frees its own, whatever names the outer run uses.
#pragma once

#include <cstdint>
#include <string>

#include "script/expr/parser_record.h"

namespace orba {

class TSysFuncMan;

// Runs the operations of Parser in order over the store of Funcs. An error
// of any operation ends the run silently; the effects of the operations done
// before it stay. Afterwards Parser.Result holds a copy of "____arg" when the
// last operation assigns to it. With DeclareMissing, a destination that names
// no variable is declared (kept after the run) instead of failing. Error,
// when given, receives the message of the error that ended the run ("" when
// none did).
void ExecuteParser(TOrbaParser& parser, TSysFuncMan& funcs, bool declare_missing = false,
                   std::string* error = nullptr);

// The number of runs in progress on this thread (1 inside a run, 2 inside a
// run started from a function of that run, ...).
int32_t ExprRunDepth();

// Whether a name is a temporary of the compiled expressions ("____" first).
bool IsTempName(const std::string& name);

}  // namespace orba

// The expression compiler: turns script text into a flat list of
// three-address operations, each writing its result into a named temporary
// ("____%d" for values, "____d_%d" for array-element references, "____arg"
// for the expression's result). The order of the rewriting steps, the
// precedence levels and the temporary numbering decide the bytes of the
// compiled records, which must match those the authoring editor stores in
// pages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "script/expr/parser_record.h"

namespace orba {

class TSysFuncMan;

// Reads the string literal whose opening quote is at Open into Literal:
// "\"" and "\\" stand for the quote and the backslash, "\n" for CR LF.
// Returns the position of the closing quote, npos when there is none.
size_t ReadStringLiteral(const std::string& s, size_t open, std::string& literal);

// One operation as text: the operand texts exactly as written (names,
// numbers, quoted strings, "TRUE", "FALSE"); for ocFunc the first operand is
// the function name, for ocDimTo the array's name.
struct TBuildOpeData {
  uint8_t Op = ocNone;
  std::string Dest;
  std::vector<std::string> Operands;
};

// The longest text the compiler takes (a Calc of a generated text may be
// far longer than any expression a script writes).
constexpr size_t kMaxExpressionText = 1 << 20;
// What one compilation may spend on the steps that scan a text again for
// each piece they cut out (nested calls and array elements, long chains of
// operators and signs), counted in characters and tokens scanned: a fraction
// of a second, and over a hundred times what an expression of a hundred
// calls in three kilobytes takes. Groups and literals compile in time linear in the
// text and spend little of it.
constexpr int64_t kMaxCompileWork = int64_t{1} << 25;

class TBuildOrbaParser {
 public:
  std::vector<TBuildOpeData> Ops;
  // Numbers both kinds of temporaries, so their numbers never repeat.
  int32_t TempCounter = 0;

  // Appends the operations of Text, then removes the assignments of one
  // value temporary to another. Raises EScriptError with "構文エラー" (also,
  // with a trace line, for a text longer than kMaxExpressionText or one
  // that would spend more than kMaxCompileWork),
  // "配列の添え字が不正です"; the operations appended so far stay.
  void Compile(const std::string& text);
  // Compiles one assignment or expression text.
  void Parse(const std::string& text);

  // The compiled record list. Operand texts are typed as integer, float,
  // flag or string constants, function names and variable names; an unknown
  // function raises "\"%s\" 関数名がありません", a call outside the
  // function's argument bounds "<name> 引数の数が不正です".
  void SaveToStream(TKsBigStream& stream) const;
  // The same list as a compiled expression.
  void BuildParser(TOrbaParser& parser) const;

  void Clear() { Ops.clear(); }
  std::string NewTemp();
  std::string NewRefTemp();

 private:
  void AddOp(uint8_t op, const std::string& dest, std::vector<std::string> operands);
  std::string PrepareOperand(const std::string& piece);
  // Step 4 of Parse: cuts every group out of S (the last "(" first) and
  // compiles it as "T = inner".
  void ReplaceGroups(std::string& s);
  void RemoveTempAssignments();
  // Counts Amount against kMaxCompileWork; past it, raises "構文エラー".
  void Spend(size_t amount);
  int64_t work_ = 0;
};

// Compiles a trimmed, non-blank text into Parser through its stored record
// form, as a page's expression would arrive; false for a blank text or any
// error of compiling (Parser is then left empty).
bool CompileText(const std::string& text, TOrbaParser& parser);

// Compiles and runs a text at once: true when Text was not blank and both
// compiling and running finished without an error escaping. The run uses
// the variable store and function library of Funcs.
bool CalcText(const std::string& text, TSysFuncMan& funcs);

// "構文エラー"
std::string SyntaxErrorMessage();

}  // namespace orba

// A variable store with its function library for expression tests.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "core/files/vr_file_manager.h"
#include "script/expr/expr_compiler.h"
#include "script/expr/expr_exec.h"
#include "script/functions/sys_func.h"
#include "script/functions/sys_func_file.h"
#include "script/values/param_collection.h"

namespace orba::test {

struct TExprEnv {
  TParamCollection store;
  TSysFuncMan funcs{store};

  // Runs the statements in order, declaring the variables they assign; each
  // must compile. Answers the text of the last statement's result, or
  // "<nil>" when it leaves none.
  std::string Run(const std::vector<std::string>& statements) {
    std::string last = "<nil>";
    for (const std::string& text : statements) {
      TOrbaParser parser;
      if (!CompileText(text, parser)) return "<compile error>";
      ExecuteParser(parser, funcs, true);
      last = parser.Result != nullptr ? parser.Result->GetAsStr() : "<nil>";
    }
    return last;
  }
  // Runs each statement in turn and expects the text of its result.
  void Expect(const std::vector<std::pair<std::string, std::string>>& steps) {
    for (const auto& [text, result] : steps) EXPECT_EQ(Run({text}), result) << text;
  }
  // The text of a variable, or "<none>".
  std::string Var(const std::string& name) const {
    const TParamCollectionItem* item = store.Find(name);
    return item != nullptr ? item->GetAsStr() : "<none>";
  }
  // The variables' texts joined by "|".
  std::string Vars(const std::vector<std::string>& names) const {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) out += (i == 0 ? "" : "|") + Var(names[i]);
    return out;
  }
  TParamCollectionItem* Declare(const std::string& name, uint8_t type) {
    TParamCollectionItem* item = store.AddVar(type);
    item->SetName(name);
    return item;
  }
};

// Statements run in order in a fresh store, and the text of the last result
// ("<nil>" when the last run ended early or assigned).
struct RunCase {
  std::vector<std::string> statements;
  const char* result;
};
class ScriptRuns : public ::testing::TestWithParam<RunCase> {};

// Game files served from memory.
class TMemoryGameFiles : public TGameFileSource {
 public:
  std::map<std::string, std::string> files;
  bool FileAvailable(const std::string& name) override { return files.count(name) > 0; }
  std::vector<uint8_t> LoadFile(const std::string& name, int64_t max_size) override {
    const std::string& text = files.at(name);
    if (static_cast<int64_t>(text.size()) > max_size) throw EFileTooLarge(name, max_size);
    return std::vector<uint8_t>(text.begin(), text.end());
  }
};

// The operations of a compiler as "dest=op(operand,...)" joined by ";".
inline std::string DumpOps(const TBuildOrbaParser& compiler) {
  std::string out;
  for (const TBuildOpeData& op : compiler.Ops) {
    if (!out.empty()) out += ';';
    out += op.Dest + "=" + OperatorNames[op.Op] + "(";
    for (size_t i = 0; i < op.Operands.size(); ++i) out += (i > 0 ? "," : "") + op.Operands[i];
    out += ")";
  }
  return out;
}

}  // namespace orba::test

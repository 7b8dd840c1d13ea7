// orbatool calc: compiles and runs script expressions over a fresh variable
// store. Assignment targets that name no variable are declared on the way;
// an expression that assigns nothing ("1+2*3") prints its value.
#include <cstdio>

#include "core/streams/stream_encoding.h"
#include "orbatool.h"
#include "platform/text_convert.h"
#include "script/expr/expr_compiler.h"
#include "script/expr/expr_exec.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

namespace {

constexpr char kUsage[] =
    "usage: orbatool calc EXPR... [--print a,b]\n"
    "       orbatool calc --bytes EXPR...\n"
    "  Runs the script expressions in order over fresh variables; a name that\n"
    "  is assigned to and not declared yet is declared. An expression that\n"
    "  assigns nothing prints its value: orbatool calc \"1+2*3\" prints 7.\n"
    "  --print a,b prints the named variables afterwards, one a line.\n"
    "  --bytes prints each expression's compiled records in hex instead.\n";

std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t comma = list.find(',', start);
    const size_t end = comma == std::string::npos ? list.size() : comma;
    if (end > start) names.push_back(list.substr(start, end - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return names;
}

int CalcCommand(const std::vector<std::string>& args) {
  std::vector<std::string> texts, names;
  bool bytes = false;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--bytes") {
      bytes = true;
    } else if (args[i] == "--print") {
      if (i + 1 >= args.size()) orbatool::BadUsage("--print needs a list of names");
      names = SplitNames(orba::Utf8ToSjis(args[++i]));
    } else {
      texts.push_back(orba::Utf8ToSjis(args[i]));
    }
  }
  if (texts.empty()) orbatool::BadUsage();

  orba::TParamCollection store;
  orba::TSysFuncMan funcs(store);
  for (const std::string& text : texts) {
    orba::TBuildOrbaParser compiler;
    compiler.Compile(text);
    orba::TKsMemoryStream stream;
    compiler.SaveToStream(stream);
    if (bytes) {
      std::string hex;
      for (uint8_t b : stream.Bytes()) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02x", b);
        if (!hex.empty()) hex += ' ';
        hex += buf;
      }
      std::printf("%s\n", hex.c_str());
      continue;
    }
    orba::TOrbaParser parser;
    stream.SetPosition(0);
    parser.LoadFromStream(stream);
    std::string error;
    orba::ExecuteParser(parser, funcs, true, &error);
    if (!error.empty()) return orbatool::Fail(orba::SjisToUtf8(text) + ": " + orba::SjisToUtf8(error));
    // A bare expression leaves its value as the run's result.
    if (parser.Result) std::printf("%s\n", orba::SjisToUtf8(parser.Result->GetAsStr()).c_str());
  }
  for (const std::string& name : names) {
    const orba::TParamCollectionItem* item = store.Find(name);
    if (item == nullptr) return orbatool::Fail("no variable " + orba::SjisToUtf8(name));
    std::printf("%s\n", orba::SjisToUtf8(item->GetAsStr()).c_str());
  }
  return 0;
}

const orbatool::OrbaToolCommand kCalc("calc", "compile and run script expressions", kUsage, CalcCommand);

}  // namespace

// Script expressions, one a line: each is compiled, stored, read back and
// run over one variable store (names it assigns are declared).
#include <string>

#include "core/streams/stream_encoding.h"
#include "fuzz_support.h"
#include "script/expr/expr_compiler.h"
#include "script/expr/expr_exec.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  orba::TParamCollection store;
  orba::TSysFuncMan funcs(store);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    orba::fuzz::Refused([&] {
      orba::TBuildOrbaParser compiler;
      compiler.Compile(line);
      orba::TKsMemoryStream stream;
      compiler.SaveToStream(stream);
      orba::TOrbaParser parser;
      stream.SetPosition(0);
      parser.LoadFromStream(stream);
      orba::ExecuteParser(parser, funcs, true);
    });
  }
  return 0;
}

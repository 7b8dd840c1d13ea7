// Reading the arguments of a built-in function call.
#pragma once

#include <string>

#include "script/functions/sys_func.h"
#include "script/script_errors.h"

namespace orba {

class TFuncArgReader {
 public:
  explicit TFuncArgReader(TFuncArgs args) : args_(args) {}

  size_t Count() const { return args_.size(); }
  bool Has(size_t i) const { return i < args_.size(); }
  // A required argument that a stored call lacks ends the run.
  TCustomParam& At(size_t i) const {
    if (i >= args_.size() || args_[i] == nullptr) throw EScriptError(kMsgInternalError);
    return *args_[i];
  }
  std::string Str(size_t i) const { return At(i).GetAsStr(); }
  int32_t Int(size_t i) const { return At(i).GetAsInt(); }
  long double Float(size_t i) const { return At(i).GetAsFloat(); }
  bool Flag(size_t i) const { return At(i).GetAsFlag(); }
  std::string StrOr(size_t i, const std::string& fallback) const { return Has(i) ? Str(i) : fallback; }
  bool FlagOr(size_t i, bool fallback) const { return Has(i) ? Flag(i) : fallback; }

 private:
  TFuncArgs args_;
};

}  // namespace orba

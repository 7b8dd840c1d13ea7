// A compiled expression as data: a list of operations (TOpeData), each an
// operator or built-in function call over constant and variable operands,
// writing into a named destination variable. Pages store every expression of
// their commands in this record form; the expression compiler writes it and
// the interpreter runs it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "script/values/params.h"

namespace orba {

// Operand codes of the stored form: 0 a variable name, 1 to 4 a constant of
// that value type. Any other code reads as a variable name.
enum TOperandCode : uint8_t { OPD_VAR = 0, OPD_INT = 1, OPD_FLOAT = 2, OPD_FLAG = 3, OPD_STR = 4 };

class TOpeData {
 public:
  TOpeData() = default;
  TOpeData(const TOpeData&) = delete;
  TOpeData& operator=(const TOpeData&) = delete;

  uint8_t Op = 0;        // ocNone .. ocNEqual
  std::string Dest;      // destination variable
  uint8_t FuncId = 0;    // built-in function id, for ocFunc only
  // Constants (TParamInt, TParamFloat, TParamFlag, TParamStr) and variable
  // references (TParamVar, unbound outside execution). For ocFunc these are
  // the arguments.
  std::vector<std::unique_ptr<TCustomParam>> Operands;

  // The code an operand was stored with; a reference read from an unusual
  // code keeps it here for listings (it is written back as 0).
  uint8_t OperandCode(size_t index) const;

  void LoadFromStream(TKsBigStream& stream);
  void SaveToStream(TKsBigStream& stream) const;
  void Assign(const TOpeData& source);

  // Appends operands (used by writers and tests).
  void AddInt(int32_t value);
  void AddFloat(long double value);
  void AddFlag(bool value);
  void AddStr(const std::string& value);
  void AddVar(const std::string& name);

 private:
  std::vector<uint8_t> stored_codes_;  // parallel to Operands after a load
};

class TOrbaParser {
 public:
  TOrbaParser() = default;
  TOrbaParser(const TOrbaParser&) = delete;
  TOrbaParser& operator=(const TOrbaParser&) = delete;

  // A detached copy of "____arg" after the last run (nullptr when none).
  std::unique_ptr<TCustomParam> Result;

  int32_t Count() const { return static_cast<int32_t>(ops_.size()); }
  bool Empty() const { return ops_.empty(); }
  TOpeData* GetOp(int32_t index) const { return ops_.at(static_cast<size_t>(index)).get(); }
  TOpeData* AddOp();
  // Frees every operation; Result stays.
  void Clear() { ops_.clear(); }

  // Replaces the list with the stored one; nothing changes when it fails.
  void LoadFromStream(TKsBigStream& stream);
  void SaveToStream(TKsBigStream& stream) const;
  void Assign(const TOrbaParser& source);

 private:
  std::vector<std::unique_ptr<TOpeData>> ops_;
};

// The smallest stored sizes, for checking counts against the bytes left.
constexpr int64_t kMinOpeRecordBytes = 1 + 4 + 4;
constexpr int64_t kMinOperandBytes = 1 + 1;
constexpr int64_t kMinExpressionBytes = 4;

}  // namespace orba

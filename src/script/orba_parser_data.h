// A compiled expression: a list of operations that run in order, each
// computing one operator, built-in function call or array-element binding
// into a named destination variable. Script pages store every expression of
// their commands in the record form below, so this form is part of the page
// file format and of the saved command state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/big_stream.h"
#include "script/params.h"

namespace orba {

// One operation.
class TOpeData {
 public:
  uint8_t Op = ocNone;   // operator code, ocNone .. ocNEqual
  std::string Dest;      // destination variable name
  uint8_t FuncId = 0;    // built-in function id, meaningful for ocFunc only
  // Constants and variable references (unbound outside a run); for ocFunc
  // the arguments only.
  std::vector<std::unique_ptr<TCustomParam>> Operands;

  // Record: u8 Op, string Dest, int32 operand count, u8 FuncId (ocFunc
  // only), then each operand as u8 code and its value (int32, 10-byte float,
  // u8 flag, string) or, for a reference, its name.
  void SaveToStream(TKsBigStream& stream) const;
  void LoadFromStream(TKsBigStream& stream);
  // Copies Op, Dest, FuncId and new operands of the same classes and values
  // (references by name, unbound).
  void Assign(const TOpeData& source);
};

// Copy of one operand: same class and value; a reference keeps only its name.
std::unique_ptr<TCustomParam> CopyOperand(const TCustomParam& operand);

class TOrbaParser {
 public:
  TOrbaParser() = default;
  TOrbaParser(const TOrbaParser&) = delete;
  TOrbaParser& operator=(const TOrbaParser&) = delete;

  std::vector<std::unique_ptr<TOpeData>> Ops;
  // A detached copy of the "____arg" variable after the last run, when the
  // last operation assigns to it; nullptr otherwise.
  std::unique_ptr<TCustomParam> Result;

  int32_t Count() const { return static_cast<int32_t>(Ops.size()); }
  TOpeData* GetOp(int32_t index) const;
  TOpeData* AddOp();
  // Frees the operations; Result stays.
  void Clear() { Ops.clear(); }

  // int32 record count, then the records. Loading reads the whole list
  // before it replaces the operations, so a failed load changes nothing.
  void LoadFromStream(TKsBigStream& stream);
  void SaveToStream(TKsBigStream& stream) const;
  void Assign(const TOrbaParser& source);
};

}  // namespace orba

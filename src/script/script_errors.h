// Errors of the script engine. Messages are Shift-JIS, as the player shows them.
#pragma once

#include <string>

#include "core/errors.h"

namespace orba {

// The shared failure of script values, variables and expressions.
class EScriptError : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};

// Arithmetic faults of scripts: an invalid operation (a float result that is
// not a number, or a float that cannot become an integer), a division by
// zero, an overflow.
class EMathError : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};
class EInvalidOpError : public EMathError {
 public:
  EInvalidOpError() : EMathError("Invalid floating point operation") {}
};
class EZeroDivideError : public EMathError {
 public:
  EZeroDivideError() : EMathError("Division by zero") {}
};
class EOverflowError : public EMathError {
 public:
  EOverflowError() : EMathError("Overflow") {}
};

// "内部エラー"
inline constexpr char kMsgInternalError[] = "\x93\xe0\x95\x94\x83G\x83\x89\x81[";

}  // namespace orba

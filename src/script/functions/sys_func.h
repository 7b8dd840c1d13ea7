// The built-in function library: one TSysFuncMan carries out every call of a
// built-in function by its id. The text, number, date, random, array,
// variable and evaluation functions are carried out here; the functions of
// files, save slots, dialogs and the system, of the table store and of screen
// objects and the backlog go to service interfaces that those subsystems
// implement and register. Without a service they answer the initial value of
// their result type and change nothing.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "script/values/params.h"

namespace orba {

class TParamCollection;

// The arguments of one call in call order: constants of the compiled
// expression, temporaries, or references bound to variables of the store.
using TFuncArgs = std::span<TCustomParam* const>;

// A family of functions served by another subsystem. Result is the call's
// destination, initially 0, 0.0, false or the empty text. A function that
// may free variables (a game load, for example) writes its result first.
class TSysFuncService {
 public:
  virtual ~TSysFuncService() = default;
  virtual void CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args) {}
};

// The call stack, as the DeleteStack function needs it.
class TCallStackService {
 public:
  virtual ~TCallStackService() = default;
  virtual int32_t FrameCount() { return 0; }
  // Removes frame Index (0 is the bottom frame) from the stack and frees it.
  virtual void RemoveFrame(int32_t index) {}
};

// Which subsystem serves a function id.
enum class TFuncFamily : uint8_t { Text, Number, Array, File, Table, Object, None };
TFuncFamily FuncFamily(uint8_t id);

class TSysFuncMan {
 public:
  explicit TSysFuncMan(TParamCollection& store) : store_(store) {}
  TSysFuncMan(const TSysFuncMan&) = delete;
  TSysFuncMan& operator=(const TSysFuncMan&) = delete;

  TParamCollection& Store() const { return store_; }

  // Registers the services; nullptr restores the defaults.
  void SetFileService(TSysFuncService* service) { file_ = service != nullptr ? service : &none_; }
  void SetTableService(TSysFuncService* service) { table_ = service != nullptr ? service : &none_; }
  void SetObjectService(TSysFuncService* service) { object_ = service != nullptr ? service : &none_; }
  void SetCallStack(TCallStackService* stack) { stack_ = stack != nullptr ? stack : &no_stack_; }
  TCallStackService& CallStack() const { return *stack_; }

  // Carries out function Id with Result as its destination. An id above the
  // table does nothing. Errors of a function are raised as EScriptError (or
  // an arithmetic error) and end the expression's run.
  void CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args);

 private:
  TParamCollection& store_;
  TSysFuncService none_;
  TCallStackService no_stack_;
  TSysFuncService* file_ = &none_;
  TSysFuncService* table_ = &none_;
  TSysFuncService* object_ = &none_;
  TCallStackService* stack_ = &no_stack_;
};

// The families carried out by the library itself (sys_func_text.cpp,
// sys_func_number.cpp, sys_func_array.cpp).
void CallTextFunc(TCustomParam& result, uint8_t id, TFuncArgs args);
void CallNumberFunc(TCustomParam& result, uint8_t id, TFuncArgs args);
void CallArrayFunc(TSysFuncMan& funcs, TCustomParam& result, uint8_t id, TFuncArgs args);

// Nested Calc runs beyond this depth answer the empty text.
constexpr int32_t kMaxCalcDepth = 32;
// Longest text any operation or built-in function of an expression gives;
// a longer one fails the expression (CheckTextLength) before it is built.
constexpr int64_t kMaxTextResult = 16 * 1024 * 1024;
// Raises the executor's error when a text of `length` bytes is longer than
// kMaxTextResult.
void CheckTextLength(int64_t length);
// Text result of a function: checked, then stored.
void SetTextResult(TCustomParam& result, const std::string& text);
// Most digits IntToStr and IntToHex pad to.
constexpr int32_t kMaxFormatDigits = 255;

// Day names by day of week 1 (Sunday) to 7 (Saturday); "" outside.
std::string DayNameEn(int32_t week);
std::string DayNameJa(int32_t week);

}  // namespace orba

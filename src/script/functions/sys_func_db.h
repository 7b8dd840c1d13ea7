// The DB functions of scripts: the table store reached through the built-in
// function library. Most of them work on the active table; none raises an
// error of its own, a missing table, row or column giving the default answer.
#pragma once

#include <cstdint>

#include "script/functions/sys_func.h"

namespace orba {

class TDBManager;
class TGameFileSource;

class TDBFuncService : public TSysFuncService {
 public:
  // Files is what DBLoadTsvFile reads through; without one no file is
  // available.
  explicit TDBFuncService(TDBManager& db, TGameFileSource* files = nullptr) : db_(db), files_(files) {}

  void SetFileSource(TGameFileSource* files) { files_ = files; }

  // Functions 87 to 124; other ids do nothing.
  void CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args) override;

 private:
  TDBManager& db_;
  TGameFileSource* files_;
};

}  // namespace orba

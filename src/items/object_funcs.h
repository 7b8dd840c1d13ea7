// The screen object and backlog functions of scripts (GetProp, Exists,
// ListCompo, ToScreenX, InPrimary, GetEnabled ...), answered by the object
// manager. Objects are named as the manager's FindObject finds them; a name
// that finds nothing leaves the result at its initial value, except for the
// coordinate functions, which answer their coordinate unchanged, and
// IndexOfMenu, which answers -1.
#pragma once

#include <cstdint>

#include "script/functions/sys_func.h"

namespace orba {

class TOrbaBaseList;
class TOrbaObject;

class TObjectFuncService final : public TSysFuncService {
 public:
  explicit TObjectFuncService(TOrbaBaseList& manager) : manager_(manager) {}

  // The functions of the object family; other ids do nothing.
  void CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args) override;

 private:
  TOrbaBaseList& manager_;
};

// The item an Item argument of GetEnabled .. GetGroupIndex names: for a
// preview menu a text is a number by the integer text rule or else the name
// of a button (-1 when no button has it); otherwise the argument read as an
// integer.
int32_t ItemIndex(const TOrbaObject& object, const TCustomParam& item);

}  // namespace orba

// A running screen transition of the object manager: the picture of the
// screen being left turns into the new one. The kinds are installed through a
// factory at start-up.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/containers/rect_utils.h"

namespace orba {

class TCustomDIBX;

class TCustomWipe {
 public:
  virtual ~TCustomWipe() = default;
  virtual void SetReverse(bool reverse) = 0;
  virtual int32_t GetLength() const = 0;
  virtual void SetLength(int32_t length) = 0;
  virtual void SetPosition(int32_t position) = 0;
  virtual TRect CurrentRect() const = 0;
  virtual void Step() = 0;
  // Set-up before the first step, in this order: the two kind-specific
  // parameters, the name of the mask picture (mask-driven kinds), Prepare.
  virtual void SetParam(int32_t index, int32_t value) = 0;
  virtual void SetMaskName(const std::string &name) = 0;
  virtual void Prepare() = 0;
};
using TWipeFactory = std::unique_ptr<TCustomWipe> (*)(int32_t kind, TCustomDIBX &dest,
                                                      TCustomDIBX &new_page, TCustomDIBX &old_page);
void SetWipeFactory(TWipeFactory factory);
// A transition of Kind from the installed factory; nullptr without one (or
// when the factory has no such kind).
std::unique_ptr<TCustomWipe> MakeTransition(int32_t kind, TCustomDIBX &dest, TCustomDIBX &new_page,
                                            TCustomDIBX &old_page);

}  // namespace orba

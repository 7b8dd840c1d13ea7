// A running screen transition of the object manager: the picture of the
// screen being left turns into the new one. The film layer supplies the kinds
// through a factory.
#pragma once

#include <cstdint>
#include <memory>

#include "core/containers/rect_utils.h"

namespace orba {

class TCustomDIBX;

class TOrbaTransition {
 public:
  virtual ~TOrbaTransition() = default;
  virtual void SetReverse(bool reverse) = 0;
  virtual int32_t GetLength() const = 0;
  virtual void SetLength(int32_t length) = 0;
  virtual void SetPosition(int32_t position) = 0;
  virtual TRect CurrentRect() const = 0;
  virtual void Step() = 0;
};
using TWipeFactory = std::unique_ptr<TOrbaTransition> (*)(int32_t kind, TCustomDIBX& dest,
                                                          TCustomDIBX& new_page,
                                                          TCustomDIBX& old_page);
void SetWipeFactory(TWipeFactory factory);
// A transition of Kind from the installed factory; nullptr without one (or
// when the factory has no such kind).
std::unique_ptr<TOrbaTransition> MakeTransition(int32_t kind, TCustomDIBX& dest, TCustomDIBX& new_page,
                                                TCustomDIBX& old_page);

}  // namespace orba

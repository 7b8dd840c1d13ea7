// The headless pointer: no cursor is shown; the one that would be is
// recorded and named in the trace.
#pragma once

#include <string>

#include "platform/cursors.h"

namespace orba {

// Records the cursor shown ("" for the system's) and traces "cursor NAME"
// or "cursor default" at each change.
class TRecordedCursors final : public TCursorService {
 public:
  std::string Shown;
  int32_t Changes = 0;
  void ShowCustom(const TCursorImage& image) override;
  void ShowDefault() override;
};

}  // namespace orba

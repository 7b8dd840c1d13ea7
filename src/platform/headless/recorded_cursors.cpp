#include "platform/headless/recorded_cursors.h"

#include "core/system/trace.h"
#include "platform/text_convert.h"

namespace orba {

void TRecordedCursors::ShowCustom(const TCursorImage& image) {
  Shown = image.Name;
  ++Changes;
  Trace("cursor " + SjisToUtf8(image.Name) + " " + std::to_string(image.Width) + "x" + std::to_string(image.Height));
}

void TRecordedCursors::ShowDefault() {
  Shown.clear();
  ++Changes;
  Trace("cursor default");
}

}  // namespace orba

// The object manager's unit globals beside the manager "Bases": the backlog
// formats, the read marks, the clip manager, the selection pattern and the
// grey ramps of the transitions. InitOrbaGlobals (base_list.h) creates them
// with the manager and the picture cache; DoneOrbaGlobals frees them, naming
// each step to the trace.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/containers/rect_utils.h"
#include "graphics/dibx.h"
#include "text/backlog.h"
#include "text/read_marks.h"

namespace orba {

// Two lists of rectangles; the clip manager owns a list of them.
struct TClipData {
  std::vector<TRect> First, Second;
};
using TClipManager = std::vector<std::unique_ptr<TClipData>>;

extern TOrbaHistoryFormatManager* TextHistoryFormats;
extern TOrbaReadList* TextRead;
extern TClipManager* ClipMan;
// 2 x 2 pixels of 32 bits: white at (0, 0) and (1, 1), black elsewhere.
extern TDIBX* SelRectDIB;
// The pixel value of grey (g, g, g) at index g, in the 16-bit form of the
// screen (5-6-5, or 5-5-5 on a 15-bit screen) and in the 32-bit form.
extern std::array<uint32_t, 256> GreyRamp16, GreyRamp32;

}  // namespace orba

// The object manager's unit globals beside the manager "Bases": the backlog
// formats, the read marks, the clip manager, the selection pattern and the
// grey ramps of the transitions. InitOrbaGlobals (base_list.h) creates them
// with the manager and the picture cache; DoneOrbaGlobals frees them, naming
// each step to the trace.
//
// The backlog formats and the read marks hold only their starting state
// here: the message backlog and the read-mark store fill them in.
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

namespace orba {

// The backlog's formats by name; the default format (name "") is always
// first.
class TOrbaHistoryFormatManager {
 public:
  TOrbaHistoryFormatManager() { Clear(); }
  void Clear() { Names.assign(1, std::string()); }
  std::vector<std::string> Names;
};

// The messages already shown: per key (the script page), the pairs of
// command index and message page.
class TOrbaReadList {
 public:
  std::map<std::string, std::set<std::pair<int32_t, int32_t>>> Marks;
};

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

// Where the scene's pictures live, as text: the picture the screen is
// drawn into, each screen root's own picture,
// each object's own bitmap, and each frame of the picture cache, named with
// the kind of surface that holds it ("DirectDraw" for a DirectDraw surface,
// "memory" for a memory bitmap). `orba --headless --tree` appends it to the
// object tree, so that a run shows whether the screen ran accelerated.
#pragma once

#include <string>

namespace orba {

class TOrbaBaseList;
class TCustomDIBX;

// "DirectDraw", "memory", or "none" for no surface.
const char* SurfaceKind(const TCustomDIBX* surface);

// "[surfaces]", "  screen = KIND" for the manager's drawing target, then
// one "  NAME = KIND" line per screen root and object
// that has a bitmap of its own (captioned as in the object tree), then
// "  picture KEY frame N = KIND" per cached frame, in cache order.
std::string SurfaceKindsText(const TOrbaBaseList& manager);

}  // namespace orba

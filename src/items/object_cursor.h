// The pointer's look over the objects: the cursor file of the object under
// the pointer, else the script's cursor setting ("@Cursor"), else the
// system's arrow. A custom cursor, once shown, stays until the pointer is
// over an object without a cursor file (and "@Cursor" is empty).
#pragma once

#include <string>

#include "platform/cursors.h"

namespace orba {

class TOrbaBaseList;
class TOrbaObject;

// Reads a cursor (or icon) file through the picture cache's file layer;
// false when it is missing or cannot be read.
bool LoadCursorImage(const std::string& name, TCursorImage& image);

// The cursor step of the pointer tracking for the object under the pointer.
void ShowObjectCursor(TOrbaBaseList& manager, const TOrbaObject& target);

}  // namespace orba

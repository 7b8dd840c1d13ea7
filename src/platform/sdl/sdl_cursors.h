// Colour cursors on SDL: a game's cursor picture with its hotspot, or the
// system's arrow.
#pragma once

#include "platform/cursors.h"

struct SDL_Cursor;

namespace orba {

class TSdlCursors final : public TCursorService {
 public:
  TSdlCursors() = default;
  ~TSdlCursors() override;
  TSdlCursors(const TSdlCursors&) = delete;
  TSdlCursors& operator=(const TSdlCursors&) = delete;

  // A picture SDL cannot make a cursor of leaves the cursor as it was.
  void ShowCustom(const TCursorImage& image) override;
  void ShowDefault() override;

 private:
  SDL_Cursor* custom_ = nullptr;
};

}  // namespace orba

#include "platform/sdl/sdl_cursors.h"

#include <SDL.h>

namespace orba {

TSdlCursors::~TSdlCursors() {
  if (custom_ != nullptr) SDL_FreeCursor(custom_);
}

void TSdlCursors::ShowCustom(const TCursorImage& image) {
  if (image.Width <= 0 || image.Height <= 0 ||
      image.Rgba.size() != static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height) * 4)
    return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(image.Rgba.data()), image.Width,
                                                            image.Height, 32, image.Width * 4, SDL_PIXELFORMAT_RGBA32);
  if (surface == nullptr) return;
  SDL_Cursor* cursor = SDL_CreateColorCursor(surface, image.HotX, image.HotY);
  SDL_FreeSurface(surface);
  if (cursor == nullptr) return;
  SDL_SetCursor(cursor);
  if (custom_ != nullptr) SDL_FreeCursor(custom_);
  custom_ = cursor;
}

void TSdlCursors::ShowDefault() {
  SDL_SetCursor(SDL_GetDefaultCursor());
  if (custom_ != nullptr) SDL_FreeCursor(custom_);
  custom_ = nullptr;
}

}  // namespace orba

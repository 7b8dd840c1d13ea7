// Fitting the game picture into a window of another size: the picture is
// scaled by the largest factor that fits, its aspect kept, and centred
// between bars. Placing the window in the work area of its display.
#pragma once

#include <cstdint>

namespace orba {

struct TLetterbox {
  int32_t GameWidth = 0, GameHeight = 0;
  // Where the picture lies in the window.
  int32_t X = 0, Y = 0, Width = 0, Height = 0;
  bool operator==(const TLetterbox&) const = default;
};

// Window sizes of 0 or less (a minimised window) give a picture of size 0.
TLetterbox FitLetterbox(int32_t game_width, int32_t game_height, int32_t window_width,
                        int32_t window_height);

// A window position to the game pixel under it. Positions on the bars map to
// coordinates outside the game screen (below 0 or at least its size), so
// that nothing on the screen takes them for its own.
void WindowToGame(const TLetterbox& box, int32_t wx, int32_t wy, int32_t& gx, int32_t& gy);

// A game pixel to the window position at the middle of its scaled picture.
void GameToWindow(const TLetterbox& box, int32_t gx, int32_t gy, int32_t& wx, int32_t& wy);

// The top-left corner of a window of Width x Height (its frame included)
// placed in the work area (right and bottom exclusive): centred where it
// fits, else against the area's left or top edge, so that its title bar is
// never under a panel or off the screen.
void PlaceInWorkArea(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width, int32_t height,
                     int32_t& x, int32_t& y);

}  // namespace orba

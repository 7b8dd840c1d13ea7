#include "platform/sdl/letterbox.h"

#include <algorithm>
#include <limits>

namespace orba {
namespace {

// Rounds toward minus infinity; D > 0.
int64_t FloorDiv(int64_t n, int64_t d) {
  int64_t q = n / d;
  if (n % d != 0 && n < 0) --q;
  return q;
}

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int32_t ToWindow(int32_t g, int32_t offset, int32_t scaled, int32_t size) {
  // Scripts may ask for any position; far outside the screen it only has to
  // stay far outside, so G is bounded to keep the products in 64 bits.
  const int64_t bounded = std::clamp<int64_t>(g, -(int64_t{1} << 24), int64_t{1} << 24);
  // The middle of pixel G: (G + 1/2) * Scaled / Size.
  return Clamp32(offset + FloorDiv((2 * bounded + 1) * scaled, 2 * int64_t{size}));
}

int32_t ToGame(int32_t w, int32_t offset, int32_t scaled, int32_t size) {
  if (scaled <= 0) return -1;
  // The game pixel under the middle of window pixel W.
  return Clamp32(FloorDiv((2 * (int64_t{w} - offset) + 1) * size, 2 * int64_t{scaled}));
}

}  // namespace

TLetterbox FitLetterbox(int32_t game_width, int32_t game_height, int32_t window_width,
                        int32_t window_height) {
  TLetterbox box;
  box.GameWidth = game_width;
  box.GameHeight = game_height;
  if (game_width <= 0 || game_height <= 0 || window_width <= 0 || window_height <= 0) return box;
  // Compare WindowWidth / GameWidth with WindowHeight / GameHeight without
  // division: the smaller factor decides.
  if (int64_t{window_width} * game_height <= int64_t{window_height} * game_width) {
    box.Width = window_width;
    box.Height = static_cast<int32_t>(int64_t{game_height} * window_width / game_width);
  } else {
    box.Height = window_height;
    box.Width = static_cast<int32_t>(int64_t{game_width} * window_height / game_height);
  }
  box.X = (window_width - box.Width) / 2;
  box.Y = (window_height - box.Height) / 2;
  return box;
}

void WindowToGame(const TLetterbox& box, int32_t wx, int32_t wy, int32_t& gx, int32_t& gy) {
  gx = ToGame(wx, box.X, box.Width, box.GameWidth);
  gy = ToGame(wy, box.Y, box.Height, box.GameHeight);
}

void GameToWindow(const TLetterbox& box, int32_t gx, int32_t gy, int32_t& wx, int32_t& wy) {
  if (box.GameWidth <= 0 || box.GameHeight <= 0) {
    wx = box.X;
    wy = box.Y;
    return;
  }
  wx = ToWindow(gx, box.X, box.Width, box.GameWidth);
  wy = ToWindow(gy, box.Y, box.Height, box.GameHeight);
}

void PlaceInWorkArea(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t width, int32_t height,
                     int32_t& x, int32_t& y) {
  x = left + std::max<int32_t>(0, (right - left - width) / 2);
  y = top + std::max<int32_t>(0, (bottom - top - height) / 2);
}

}  // namespace orba

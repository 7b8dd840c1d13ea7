#include "platform/sdl/vk_map.h"

#include <SDL_keyboard.h>
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace orba {
namespace {

TEST(VkMap, SpotChecksOfTheKeysGamesTestFor) {
  const std::vector<std::pair<SDL_Keycode, int32_t>> cases = {
      {SDLK_a, 0x41},         {SDLK_z, 0x5A},          {SDLK_0, 0x30},        {SDLK_9, 0x39},
      {SDLK_RETURN, 0x0D},    {SDLK_KP_ENTER, 0x0D},   {SDLK_ESCAPE, 0x1B},   {SDLK_SPACE, 0x20},
      {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09},        {SDLK_LSHIFT, 0x10},   {SDLK_RSHIFT, 0x10},
      {SDLK_LCTRL, 0x11},     {SDLK_RCTRL, 0x11},      {SDLK_LALT, 0x12},     {SDLK_RALT, 0x12},
      {SDLK_PAGEUP, 0x21},    {SDLK_PAGEDOWN, 0x22},   {SDLK_END, 0x23},      {SDLK_HOME, 0x24},
      {SDLK_LEFT, 0x25},      {SDLK_UP, 0x26},         {SDLK_RIGHT, 0x27},    {SDLK_DOWN, 0x28},
      {SDLK_INSERT, 0x2D},    {SDLK_DELETE, 0x2E},     {SDLK_F1, 0x70},       {SDLK_F12, 0x7B},
      {SDLK_F13, 0x7C},       {SDLK_F24, 0x87},        {SDLK_KP_0, 0x60},     {SDLK_KP_1, 0x61},
      {SDLK_KP_9, 0x69},      {SDLK_KP_MULTIPLY, 0x6A}, {SDLK_KP_PLUS, 0x6B}, {SDLK_KP_MINUS, 0x6D},
      {SDLK_KP_PERIOD, 0x6E}, {SDLK_KP_DIVIDE, 0x6F},  {SDLK_PAUSE, 0x13},    {SDLK_CAPSLOCK, 0x14},
      {SDLK_NUMLOCKCLEAR, 0x90}, {SDLK_SCROLLLOCK, 0x91}, {SDLK_PRINTSCREEN, 0x2C},
      {SDLK_SEMICOLON, 0xBA}, {SDLK_COMMA, 0xBC},      {SDLK_MINUS, 0xBD},    {SDLK_PERIOD, 0xBE},
      {SDLK_SLASH, 0xBF},     {SDLK_BACKQUOTE, 0xC0},  {SDLK_LEFTBRACKET, 0xDB}, {SDLK_BACKSLASH, 0xDC},
      {SDLK_RIGHTBRACKET, 0xDD}, {SDLK_QUOTE, 0xDE},   {SDLK_LGUI, 0x5B},     {SDLK_APPLICATION, 0x5D},
  };
  for (auto [key, vk] : cases) EXPECT_EQ(SdlKeyToVk(key), vk) << SDL_GetKeyName(key);
}

TEST(VkMap, UnknownKeysGiveZeroAndKnownOnesStayInRange) {
  EXPECT_EQ(SdlKeyToVk(SDLK_UNKNOWN), 0);
  EXPECT_EQ(SdlKeyToVk(SDLK_BRIGHTNESSUP), 0);
  EXPECT_EQ(SdlKeyToVk(-1), 0);
  EXPECT_EQ(SdlKeyToVk('A'), 0);  // SDL names letters by their lower case
  // Every key code SDL knows maps into 0..255; letters and digits one to one.
  std::set<int32_t> letters;
  for (SDL_Keycode k = 0; k < 0x80; ++k) {
    const int32_t vk = SdlKeyToVk(k);
    EXPECT_GE(vk, 0);
    EXPECT_LE(vk, 255);
    if ((k >= SDLK_a && k <= SDLK_z) || (k >= SDLK_0 && k <= SDLK_9)) letters.insert(vk);
  }
  EXPECT_EQ(letters.size(), 36u);
  for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
    const int32_t vk = SdlKeyToVk(SDL_SCANCODE_TO_KEYCODE(s));
    EXPECT_GE(vk, 0);
    EXPECT_LE(vk, 255);
  }
}

}  // namespace
}  // namespace orba

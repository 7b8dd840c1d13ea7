// SDL key codes to the Windows virtual-key codes that games test for.
#pragma once

#include <cstdint>

namespace orba {

// Answers the virtual-key code (1..255) of an SDL_Keycode, or 0 for a key
// the games cannot name. Both Shift keys give VK_SHIFT (0x10), both Ctrl
// keys VK_CONTROL (0x11) and both Alt keys VK_MENU (0x12), as the window's
// key messages carry them.
int32_t SdlKeyToVk(int32_t sdl_keycode);

}  // namespace orba

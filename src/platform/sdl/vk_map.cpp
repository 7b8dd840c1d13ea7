#include "platform/sdl/vk_map.h"

#include <SDL_keycode.h>

namespace orba {

int32_t SdlKeyToVk(int32_t key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
  if (key >= SDLK_F13 && key <= SDLK_F24) return 0x7C + (key - SDLK_F13);
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);
  switch (key) {
    case SDLK_BACKSPACE: return 0x08;     // VK_BACK
    case SDLK_TAB: return 0x09;           // VK_TAB
    case SDLK_CLEAR: return 0x0C;         // VK_CLEAR
    case SDLK_RETURN:
    case SDLK_RETURN2:
    case SDLK_KP_ENTER: return 0x0D;      // VK_RETURN
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return 0x10;        // VK_SHIFT
    case SDLK_LCTRL:
    case SDLK_RCTRL: return 0x11;         // VK_CONTROL
    case SDLK_LALT:
    case SDLK_RALT: return 0x12;          // VK_MENU
    case SDLK_PAUSE: return 0x13;         // VK_PAUSE
    case SDLK_CAPSLOCK: return 0x14;      // VK_CAPITAL
    case SDLK_ESCAPE: return 0x1B;        // VK_ESCAPE
    case SDLK_SPACE: return 0x20;         // VK_SPACE
    case SDLK_PAGEUP: return 0x21;        // VK_PRIOR
    case SDLK_PAGEDOWN: return 0x22;      // VK_NEXT
    case SDLK_END: return 0x23;           // VK_END
    case SDLK_HOME: return 0x24;          // VK_HOME
    case SDLK_LEFT: return 0x25;          // VK_LEFT
    case SDLK_UP: return 0x26;            // VK_UP
    case SDLK_RIGHT: return 0x27;         // VK_RIGHT
    case SDLK_DOWN: return 0x28;          // VK_DOWN
    case SDLK_SELECT: return 0x29;        // VK_SELECT
    case SDLK_EXECUTE: return 0x2B;       // VK_EXECUTE
    case SDLK_PRINTSCREEN: return 0x2C;   // VK_SNAPSHOT
    case SDLK_INSERT: return 0x2D;        // VK_INSERT
    case SDLK_DELETE: return 0x2E;        // VK_DELETE
    case SDLK_HELP: return 0x2F;          // VK_HELP
    case SDLK_LGUI: return 0x5B;          // VK_LWIN
    case SDLK_RGUI: return 0x5C;          // VK_RWIN
    case SDLK_APPLICATION: return 0x5D;   // VK_APPS
    case SDLK_SLEEP: return 0x5F;         // VK_SLEEP
    case SDLK_KP_0: return 0x60;          // VK_NUMPAD0
    case SDLK_KP_MULTIPLY: return 0x6A;   // VK_MULTIPLY
    case SDLK_KP_PLUS: return 0x6B;       // VK_ADD
    case SDLK_KP_COMMA: return 0x6C;      // VK_SEPARATOR
    case SDLK_KP_MINUS: return 0x6D;      // VK_SUBTRACT
    case SDLK_KP_PERIOD:
    case SDLK_KP_DECIMAL: return 0x6E;    // VK_DECIMAL
    case SDLK_KP_DIVIDE: return 0x6F;     // VK_DIVIDE
    case SDLK_NUMLOCKCLEAR: return 0x90;  // VK_NUMLOCK
    case SDLK_SCROLLLOCK: return 0x91;    // VK_SCROLL
    case SDLK_AC_BACK: return 0xA6;       // VK_BROWSER_BACK
    case SDLK_AC_FORWARD: return 0xA7;    // VK_BROWSER_FORWARD
    case SDLK_MUTE: return 0xAD;          // VK_VOLUME_MUTE
    case SDLK_VOLUMEDOWN: return 0xAE;    // VK_VOLUME_DOWN
    case SDLK_VOLUMEUP: return 0xAF;      // VK_VOLUME_UP
    case SDLK_AUDIONEXT: return 0xB0;     // VK_MEDIA_NEXT_TRACK
    case SDLK_AUDIOPREV: return 0xB1;     // VK_MEDIA_PREV_TRACK
    case SDLK_AUDIOSTOP: return 0xB2;     // VK_MEDIA_STOP
    case SDLK_AUDIOPLAY: return 0xB3;     // VK_MEDIA_PLAY_PAUSE
    case SDLK_SEMICOLON: return 0xBA;     // VK_OEM_1
    case SDLK_EQUALS: return 0xBB;        // VK_OEM_PLUS
    case SDLK_COMMA: return 0xBC;         // VK_OEM_COMMA
    case SDLK_MINUS: return 0xBD;         // VK_OEM_MINUS
    case SDLK_PERIOD: return 0xBE;        // VK_OEM_PERIOD
    case SDLK_SLASH: return 0xBF;         // VK_OEM_2
    case SDLK_BACKQUOTE: return 0xC0;     // VK_OEM_3
    case SDLK_LEFTBRACKET: return 0xDB;   // VK_OEM_4
    case SDLK_BACKSLASH: return 0xDC;     // VK_OEM_5
    case SDLK_RIGHTBRACKET: return 0xDD;  // VK_OEM_6
    case SDLK_QUOTE: return 0xDE;         // VK_OEM_7
    default: return 0;
  }
}

}  // namespace orba

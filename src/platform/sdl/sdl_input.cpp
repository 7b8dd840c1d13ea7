#include "platform/sdl/sdl_input.h"

#include <SDL.h>

#include <limits>

#include "platform/sdl/sdl_text_controls.h"
#include "platform/sdl/vk_map.h"

namespace orba {
namespace {

bool IsEnter(SDL_Keycode key) { return key == SDLK_RETURN || key == SDLK_KP_ENTER; }

}  // namespace

void TSdlInput::Wait(uint32_t timeout_ms) {
  if (timeout_ms == 0) return;
  const int timeout = timeout_ms > static_cast<uint32_t>(std::numeric_limits<int>::max())
                          ? std::numeric_limits<int>::max()
                          : static_cast<int>(timeout_ms);
  SDL_WaitEventTimeout(nullptr, timeout);
}

bool TSdlInput::NextEvent(TInputEvent& out) {
  // The controls changed since the last look (typing, the caret's blink, or
  // the game's ticks): the window shows them again even when the game's
  // picture did not change.
  if (controls_ != nullptr) {
    controls_->Blink(SDL_GetTicks());
    if (controls_->TakeChanged()) video_.Redraw();
  }
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (controls_ != nullptr && controls_->HandleEvent(e)) continue;
    out = TInputEvent();
    switch (e.type) {
      case SDL_QUIT:
        out.Kind = TInputKind::Close;
        return true;
      case SDL_SYSWMEVENT:
        video_.NoteEvent(e);
        break;
      case SDL_WINDOWEVENT:
        switch (e.window.event) {
          case SDL_WINDOWEVENT_CLOSE: out.Kind = TInputKind::Close; return true;
          case SDL_WINDOWEVENT_FOCUS_LOST: out.Kind = TInputKind::FocusLost; return true;
          case SDL_WINDOWEVENT_FOCUS_GAINED: out.Kind = TInputKind::FocusGained; return true;
          default:
            break;
        }
        break;
      case SDL_MOUSEMOTION:
        out.Kind = TInputKind::MouseMove;
        video_.WindowToGamePosition(e.motion.x, e.motion.y, out.X, out.Y);
        return true;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT) break;
        out.Kind = e.type == SDL_MOUSEBUTTONDOWN ? TInputKind::ButtonDown : TInputKind::ButtonUp;
        out.Button = e.button.button == SDL_BUTTON_LEFT ? TMouseButton::Left : TMouseButton::Right;
        video_.WindowToGamePosition(e.button.x, e.button.y, out.X, out.Y);
        return true;
      case SDL_MOUSEWHEEL: {
        const int32_t notches = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
        if (notches == 0) break;
        out.Kind = TInputKind::Wheel;
        out.Notches = notches;
        return true;
      }
      case SDL_KEYDOWN:
        if (IsEnter(e.key.keysym.sym) && (e.key.keysym.mod & KMOD_ALT) != 0) {
          if (!e.key.repeat) video_.SetFullScreen(!video_.FullScreen());
          break;
        }
        [[fallthrough]];
      case SDL_KEYUP: {
        const int32_t vk = SdlKeyToVk(e.key.keysym.sym);
        if (vk == 0) break;
        out.Kind = e.type == SDL_KEYDOWN ? TInputKind::KeyDown : TInputKind::KeyUp;
        out.Key = vk;
        out.Repeat = e.type == SDL_KEYDOWN && e.key.repeat != 0;
        return true;
      }
      default:
        break;
    }
  }
  if (video_.WindowDestroyed() && !destroyed_told_) {
    destroyed_told_ = true;
    out = TInputEvent();
    out.Kind = TInputKind::WindowDestroyed;
    return true;
  }
  return false;
}

}  // namespace orba

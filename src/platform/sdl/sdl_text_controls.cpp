#include "platform/sdl/sdl_text_controls.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/sdl/vk_map.h"
#include "platform/text_controls_view.h"
#include "platform/text_convert.h"

namespace orba {

TSdlTextControls::TSdlTextControls(TSdlVideo& video) : video_(video) {
  SDL_StopTextInput();
  video_.SetOverlay(this);
}

TSdlTextControls::~TSdlTextControls() {
  video_.SetOverlay(nullptr);
  SDL_StopTextInput();
  if (ibeam_ != nullptr) {
    if (SDL_GetCursor() == ibeam_ && replaced_ != nullptr) SDL_SetCursor(replaced_);
    SDL_FreeCursor(ibeam_);
  }
}

std::unique_ptr<TTextControl> TSdlTextControls::Create(bool multi_line) {
  return std::make_unique<TTextControl>(*this, multi_line);
}

void TSdlTextControls::SetClipboardText(const std::string& sjis) { SDL_SetClipboardText(SjisToUtf8(sjis).c_str()); }

std::string TSdlTextControls::ClipboardText() {
  char* utf8 = SDL_GetClipboardText();
  if (utf8 == nullptr) return std::string();
  const std::string sjis = TypedUtf8ToSjis(utf8);
  SDL_free(utf8);
  return sjis;
}

void TSdlTextControls::FocusChanged() {
  TTextControl* focused = FocusedControl();
  if (focused == nullptr) {
    SDL_StopTextInput();
    return;
  }
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  video_.GameToWindowPosition(focused->Left(), focused->Top(), x0, y0);
  video_.GameToWindowPosition(static_cast<int32_t>(std::min<int64_t>(int64_t{focused->Left()} + focused->Width(), INT32_MAX)),
                              static_cast<int32_t>(std::min<int64_t>(int64_t{focused->Top()} + focused->Height(), INT32_MAX)),
                              x1, y1);
  SDL_Rect r{x0, y0, std::max(x1 - x0, 1), std::max(y1 - y0, 1)};
  SDL_SetTextInputRect(&r);
  SDL_StartTextInput();
}

void TSdlTextControls::ShowPointer(bool over_text) {
  if (over_text) {
    if (ibeam_ == nullptr) ibeam_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_IBEAM);
    if (ibeam_ == nullptr || SDL_GetCursor() == ibeam_) return;
    replaced_ = SDL_GetCursor();
    SDL_SetCursor(ibeam_);
  } else if (ibeam_ != nullptr && SDL_GetCursor() == ibeam_) {
    // The cursor the game showed, unless it changed it meanwhile.
    SDL_SetCursor(replaced_ != nullptr ? replaced_ : SDL_GetDefaultCursor());
  }
}

bool TSdlTextControls::HandleEvent(const SDL_Event& e) {
  TTextControl* focused = FocusedControl();
  switch (e.type) {
    case SDL_MOUSEBUTTONDOWN: {
      if (e.button.button != SDL_BUTTON_LEFT && e.button.button != SDL_BUTTON_RIGHT) return false;
      int32_t gx = 0, gy = 0;
      video_.WindowToGamePosition(e.button.x, e.button.y, gx, gy);
      return MouseDown(gx, gy, e.button.button == SDL_BUTTON_LEFT, (SDL_GetModState() & KMOD_SHIFT) != 0,
                       e.button.timestamp);
    }
    case SDL_MOUSEMOTION: {
      int32_t gx = 0, gy = 0;
      video_.WindowToGamePosition(e.motion.x, e.motion.y, gx, gy);
      ShowPointer(OverText(gx, gy));
      return MouseMove(gx, gy);
    }
    case SDL_MOUSEBUTTONUP:
      return MouseUp();
    case SDL_MOUSEWHEEL: {
      int wx = 0, wy = 0;
      int32_t gx = 0, gy = 0;
      SDL_GetMouseState(&wx, &wy);
      video_.WindowToGamePosition(wx, wy, gx, gy);
      return Wheel(gx, gy, e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
    }
    case SDL_KEYDOWN: {
      if (focused == nullptr) return false;
      const SDL_Keycode sym = e.key.keysym.sym;
      if ((sym == SDLK_RETURN || sym == SDLK_KP_ENTER) && (e.key.keysym.mod & KMOD_ALT) != 0) return false;
      // While an input method composes, the keys are its own.
      if (!Composing().empty()) return true;
      const int32_t vk = SdlKeyToVk(sym);
      if (vk != 0) KeyDown(vk, (e.key.keysym.mod & KMOD_SHIFT) != 0, (e.key.keysym.mod & KMOD_CTRL) != 0);
      return true;
    }
    case SDL_KEYUP:
      return focused != nullptr;
    case SDL_TEXTINPUT:
      if (focused == nullptr) return false;
      SetComposing(std::string());
      focused->TypeText(TypedUtf8ToSjis(e.text.text));
      return true;
    case SDL_TEXTEDITING:
      if (focused == nullptr) return false;
      SetComposing(TypedUtf8ToSjis(e.edit.text));
      return true;
    default:
      return false;
  }
}

void TSdlTextControls::Render(SDL_Renderer* renderer, const TLetterbox& box) {
  if (box.GameWidth <= 0 || box.GameHeight <= 0) return;
  const SDL_Rect picture{box.X, box.Y, box.Width, box.Height};
  SDL_RenderSetClipRect(renderer, &picture);
  auto scale = [](int32_t v, int32_t size, int32_t game) { return static_cast<int32_t>(int64_t{v} * size / game); };
  std::vector<uint32_t> pixels;
  for (TTextControl* control : Controls()) {
    TTextControl& c = *control;
    if (!c.Visible()) continue;
    // Only the part on the game screen is drawn.
    const int32_t left = std::max(c.Left(), 0), top = std::max(c.Top(), 0);
    const auto right = static_cast<int32_t>(std::min<int64_t>(int64_t{c.Left()} + c.Width(), box.GameWidth));
    const auto bottom = static_cast<int32_t>(std::min<int64_t>(int64_t{c.Top()} + c.Height(), box.GameHeight));
    if (right <= left || bottom <= top) continue;
    pixels.assign(static_cast<size_t>(right - left) * static_cast<size_t>(bottom - top), 0);
    PaintTextControl(c, *this,
                     TControlCanvas{pixels.data(), right - left, static_cast<int32_t>(int64_t{left} - c.Left()),
                                    static_cast<int32_t>(int64_t{top} - c.Top()), right - left, bottom - top});
    SDL_Texture* texture =
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STATIC, right - left, bottom - top);
    if (texture == nullptr) continue;
    SDL_UpdateTexture(texture, nullptr, pixels.data(), (right - left) * 4);
    const int32_t x0 = box.X + scale(left, box.Width, box.GameWidth);
    const int32_t y0 = box.Y + scale(top, box.Height, box.GameHeight);
    const SDL_Rect target{x0, y0, box.X + scale(right, box.Width, box.GameWidth) - x0,
                          box.Y + scale(bottom, box.Height, box.GameHeight) - y0};
    SDL_RenderCopy(renderer, texture, nullptr, &target);
    SDL_DestroyTexture(texture);
  }
  SDL_RenderSetClipRect(renderer, nullptr);
}

}  // namespace orba

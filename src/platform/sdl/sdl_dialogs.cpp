#include "platform/sdl/sdl_dialogs.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/sdl/sdl_choice_window.h"
#include "platform/sdl/sdl_message_box.h"
#include "platform/text_controls.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

bool IsDriverWithoutScreen(const char* driver) {
  return IsSet(driver) && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

// Why a box cannot be shown, or null when it can.
const char* WhyNotShown() {
  // Without a display the window would open where nobody sees it, and wait.
  if (!SdlDisplayReachable()) return "no display";
  if (ControlGlyphs() == nullptr) return "no glyphs to write with";
  return nullptr;
}

void PrintNotShown(const TDialogRequest& request, const char* why) {
  std::fprintf(stderr, "orba: %s: %s (%s)\n", SjisToUtf8(request.Title).c_str(), SjisToUtf8(request.Text).c_str(), why);
}

}  // namespace

bool SdlDisplayReachable() {
  if (const char* running = SDL_GetCurrentVideoDriver()) return !IsDriverWithoutScreen(running);
  if (IsDriverWithoutScreen(SDL_getenv("SDL_VIDEODRIVER"))) return false;
  return IsSet(SDL_getenv("DISPLAY")) || IsSet(SDL_getenv("WAYLAND_DISPLAY"));
}

TDialogResult TSdlMessageBoxes::Show(const TDialogRequest& request) {
  if (Ending()) return EscapeAnswer(request);
  const char* why = WhyNotShown();
  if (why == nullptr) {
    TSdlMessageBox box(parent_, request);
    if (box.IsOpen()) return box.Run(ending_);
    why = "no window";
  }
  PrintNotShown(request, why);
  if (request.Buttons == TDialogButtons::OkCancel) {
    const std::string asked = request.Title + '\0' + request.Text;
    const bool again = answered_ok_ == asked;
    answered_ok_ = again ? std::string() : asked;
    std::fprintf(stderr, "orba: no message box can be shown: answered %s\n", again ? "Cancel" : "OK");
    return TDialogResult{again ? TDialogAnswer::Cancel : TDialogAnswer::Ok, -1};
  }
  return EscapeAnswer(request);
}

int TSdlMessageBoxes::Choose(const TChoiceRequest& request) {
  // The lines (and the picture of the selected one) in the chooser's
  // window; a list that cannot be shown keeps the line it opens with. A
  // list with a picture opens its window on any video driver, as the
  // player's own window does.
  if (request.Lines.empty() || Ending()) return 0;
  if (!request.Preview && !SdlDisplayReachable()) {
    std::fprintf(stderr, "orba: %s (no display)\n", SjisToUtf8(request.Title).c_str());
    return 0;
  }
  TSdlChoiceWindow window(parent_, request);
  return window.IsOpen() ? window.Run(ending_) : 0;
}

}  // namespace orba

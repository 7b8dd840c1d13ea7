#include "platform/sdl/sdl_dialogs.h"

#include <SDL.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sdl/sdl_choice_window.h"
#include "platform/text_convert.h"

namespace orba {
namespace {

struct TButton {
  std::string Label;  // UTF-8
  TDialogResult Result;
};

std::vector<TButton> ButtonsOf(const TDialogRequest& request) {
  auto answer = [](TDialogAnswer a) { return TDialogResult{a, -1}; };
  switch (request.Buttons) {
    case TDialogButtons::Ok: return {{"OK", answer(TDialogAnswer::Ok)}};
    case TDialogButtons::OkCancel:
      return {{"OK", answer(TDialogAnswer::Ok)}, {"Cancel", answer(TDialogAnswer::Cancel)}};
    case TDialogButtons::YesNo:
      return {{"Yes", answer(TDialogAnswer::Yes)}, {"No", answer(TDialogAnswer::No)}};
    case TDialogButtons::RetryCancel:
      return {{"Retry", answer(TDialogAnswer::Retry)}, {"Cancel", answer(TDialogAnswer::Cancel)}};
    case TDialogButtons::Custom: {
      std::vector<TButton> buttons;
      for (size_t i = 0; i < request.Labels.size(); ++i)
        buttons.push_back({SjisToUtf8(request.Labels[i]), TDialogResult{TDialogAnswer::Custom, static_cast<int>(i)}});
      if (buttons.empty()) buttons.push_back({"OK", answer(TDialogAnswer::Ok)});
      return buttons;
    }
  }
  return {{"OK", answer(TDialogAnswer::Ok)}};
}

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

bool IsDriverWithoutScreen(const char* driver) {
  return IsSet(driver) && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

// Whether a box can reach a person: SDL's video runs on a real display, or
// (before it runs) a display is named and no screenless driver chosen.
// Without one SDL would still try its own fallbacks, and one that runs a
// dialog program (zenity) which fails for want of a display can come back
// as a pressed button; the box's caller must hear "not shown" instead.
bool BoxesCanBeShown() {
  if (const char* running = SDL_GetCurrentVideoDriver()) return !IsDriverWithoutScreen(running);
  if (IsDriverWithoutScreen(SDL_getenv("SDL_VIDEODRIVER"))) return false;
  return IsSet(SDL_getenv("DISPLAY")) || IsSet(SDL_getenv("WAYLAND_DISPLAY"));
}

// Shows an SDL box with the buttons (UTF-8) and answers with the index of
// the pressed one, -1 when it was closed without one; false (with the
// reason on standard error) when it could not be shown.
bool RunBox(SDL_Window* parent, const std::string& title, const std::string& text,
            const std::vector<std::string>& labels, int& chosen) {
  std::vector<SDL_MessageBoxButtonData> data(labels.size());
  for (size_t i = 0; i < labels.size(); ++i) {
    data[i].flags = 0;
    if (i == 0) data[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (i + 1 == labels.size() && labels.size() > 1) data[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    data[i].buttonid = static_cast<int>(i);
    data[i].text = labels[i].c_str();
  }
  SDL_MessageBoxData box{};
  box.flags = SDL_MESSAGEBOX_INFORMATION;
  box.window = parent;
  box.title = title.c_str();
  box.message = text.c_str();
  box.numbuttons = static_cast<int>(data.size());
  box.buttons = data.data();
  chosen = -1;
  if (!BoxesCanBeShown()) {
    std::fprintf(stderr, "orba: %s: %s (no display)\n", title.c_str(), text.c_str());
    return false;
  }
  if (SDL_ShowMessageBox(&box, &chosen) != 0) {
    std::fprintf(stderr, "orba: %s: %s (%s)\n", title.c_str(), text.c_str(), SDL_GetError());
    return false;
  }
  if (chosen < 0 || static_cast<size_t>(chosen) >= labels.size()) chosen = -1;
  return true;
}

}  // namespace

TDialogResult TSdlMessageBoxes::Show(const TDialogRequest& request) {
  const std::vector<TButton> buttons = ButtonsOf(request);
  std::vector<std::string> labels;
  for (const TButton& b : buttons) labels.push_back(b.Label);
  int chosen = -1;
  if (!RunBox(parent_, SjisToUtf8(request.Title), SjisToUtf8(request.Text), labels, chosen)) {
    if (request.Buttons == TDialogButtons::OkCancel) {
      const std::string asked = request.Title + '\0' + request.Text;
      const bool again = answered_ok_ == asked;
      answered_ok_ = again ? std::string() : asked;
      std::fprintf(stderr, "orba: no message box can be shown: answered %s\n", again ? "Cancel" : "OK");
      return TDialogResult{again ? TDialogAnswer::Cancel : TDialogAnswer::Ok, -1};
    }
    return buttons.back().Result;
  }
  // Closed without a button: the last button is the cautious answer
  // (Cancel, No), as closing a box means.
  if (chosen < 0) return buttons.back().Result;
  return buttons[static_cast<size_t>(chosen)].Result;
}

int TSdlMessageBoxes::Choose(const TChoiceRequest& request) {
  // With a picture: the list and the picture in a window of their own.
  if (request.Preview && !request.Lines.empty()) {
    TSdlChoiceWindow window(parent_, request);
    if (window.IsOpen()) return window.Run();
  }
  // A small box listing the lines, one button each; closed without one,
  // or not shown at all, it keeps the first line.
  std::vector<std::string> labels;
  for (const std::string& line : request.Lines) labels.push_back(SjisToUtf8(line));
  if (labels.empty()) return 0;
  int chosen = -1;
  if (!RunBox(parent_, SjisToUtf8(request.Title), "", labels, chosen) || chosen < 0) return 0;
  return chosen;
}

}  // namespace orba

#include "platform/sdl/sdl_choice_window.h"

namespace orba {

TSdlChoiceWindow::TSdlChoiceWindow(SDL_Window* parent, const TChoiceRequest& request)
    : view_(request), window_(parent, request.Title, TChoiceWindow::kWidth, TChoiceWindow::kHeight) {}

int TSdlChoiceWindow::Run(const std::function<bool()>& ending) {
  TModalInput input;
  input.Ending = ending;
  input.Close = input.Quit = [this] { view_.Close(); };
  input.Press = [this](int32_t x, int32_t y) { view_.Press(x, y); };
  input.Wheel = [this](int32_t notches) { view_.Wheel(notches); };
  input.Key = [this](int32_t vk, bool) { view_.Key(vk); };
  window_.Run(input, [this] { return view_.Closed(); }, [this] { return view_.Paint(); });
  return view_.Selected();
}

}  // namespace orba

#include "platform/sdl/sdl_message_box.h"

namespace orba {

TSdlMessageBox::TSdlMessageBox(SDL_Window* parent, const TDialogRequest& request)
    : view_(request, TSdlModalWindow::ScreenWidth(parent)),
      window_(parent, request.Title, view_.Width(), view_.Height()) {}

TDialogResult TSdlMessageBox::Run(const std::function<bool()>& ending) {
  TModalInput input;
  input.Ending = ending;
  input.Close = [this] { view_.Close(); };
  input.Press = [this](int32_t x, int32_t y) { view_.Press(x, y); };
  input.Release = [this](int32_t x, int32_t y) { view_.Release(x, y); };
  input.Key = [this](int32_t vk, bool shift) { view_.Key(vk, shift); };
  window_.Run(input, [this] { return view_.Answered(); }, [this] { return view_.Paint(); });
  // A wait that failed, or a window that was never made, closes the box.
  view_.Close();
  return view_.Answer();
}

}  // namespace orba

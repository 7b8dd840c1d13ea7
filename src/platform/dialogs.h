// Message boxes the player shows over its main window: a disc request, a
// quit question, an error naming a file; and the list of the images of an
// icon file to choose one from. The interface knows nothing of how
// a box is drawn; the window back end shows a real one, the headless back
// ends answer from a script or with the first button.
//
// Titles and texts are Shift-JIS, as everywhere inside the player; a back
// end converts them where they leave the program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orba {

// The button sets a message box can offer.
enum class TDialogButtons { Ok, OkCancel, YesNo, RetryCancel, Custom };

// The answer: which button closed the box. For TDialogButtons::Custom the
// answer is Custom and TDialogResult::CustomIndex says which label.
enum class TDialogAnswer { Ok, Cancel, Yes, No, Retry, Custom };

struct TDialogResult {
  TDialogAnswer Answer = TDialogAnswer::Ok;
  int CustomIndex = -1;  // index into the labels of a Custom box
};

struct TDialogRequest {
  std::string Title;
  std::string Text;
  TDialogButtons Buttons = TDialogButtons::Ok;
  std::vector<std::string> Labels;  // only for TDialogButtons::Custom
};

// A picture shown beside a list: red, green, blue bytes, rows top first.
struct TChoicePicture {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Rgb;
};

// A list of lines to choose one from (the icon chooser "Select One from
// Multiple Icons"): the first line is selected when the list opens. With a
// Preview, the back end shows the list in a window of its own beside the
// picture of the selected line (platform/choice_window.h), asked for anew
// at each change of the selection.
struct TChoiceRequest {
  TChoiceRequest() = default;
  TChoiceRequest(std::string title, std::vector<std::string> lines,
                 std::function<TChoicePicture(int line)> preview = nullptr)
      : Title(std::move(title)), Lines(std::move(lines)), Preview(std::move(preview)) {}

  std::string Title;
  std::vector<std::string> Lines;
  std::function<TChoicePicture(int line)> Preview;
};

// The answer of a box whose first button was pressed.
TDialogResult FirstButtonAnswer(TDialogButtons buttons);
// The answer of a box closed without a button (Escape, its close button):
// Cancel where the box has it, OK for a box of that one button, No for a
// Yes/No box; a box of its own labels answers its only label, or else
// Cancel (no label), which never picks a label such as "overwrite all".
TDialogResult EscapeAnswer(const TDialogRequest& request);

class TMessageBoxService {
 public:
  virtual ~TMessageBoxService() = default;
  // Shows the box and waits for a button.
  virtual TDialogResult Show(const TDialogRequest& request) = 0;
  // Shows the list and waits; the index of the line selected when it
  // closed. A closed list keeps its selection, so an answer is always a
  // line: the first unless the user picked another (this default picks
  // none).
  virtual int Choose(const TChoiceRequest& request);

  // Short forms of the common boxes.
  void ShowMessage(const std::string& title, const std::string& text);
  TDialogAnswer Ask(const std::string& title, const std::string& text, TDialogButtons buttons);
};

// The service every message box of the player goes through: the back end the
// program installed at start-up (std::logic_error when it installed none).
TMessageBoxService& MessageBoxes();
// Installs a back end (nullptr removes it) and returns the previous one.
std::shared_ptr<TMessageBoxService> SetMessageBoxService(std::shared_ptr<TMessageBoxService> service);

// The title of the application, used by boxes that carry it.
const std::string& ApplicationTitle();
void SetApplicationTitle(const std::string& title);

}  // namespace orba

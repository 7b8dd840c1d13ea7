// Copying a picture to the clipboard and pasting one from it, as a
// program's clipboard object does: the clipboard is opened, emptied and
// given the picture's clipboard form (a picture may set forms of its own
// meanwhile, as the GIF picture does), or read in a format, and closed
// again whatever happens. Any picture with the two clipboard operations
// (TDIB, TGIFImage) goes through it.
#pragma once

#include "graphics/graphic_errors.h"
#include "graphics/palette.h"
#include "platform/clipboard.h"

namespace orba {

// The clipboard could not be opened (another user holds it).
inline constexpr const char* kCannotOpenClipboardText = "Cannot open clipboard";

namespace detail {
// Closes the clipboard when it goes.
class TOpenClipboard {
 public:
  explicit TOpenClipboard(TClipboard& clipboard) : clipboard_(clipboard) {
    if (!clipboard_.Open()) throw EOutOfResources(kCannotOpenClipboardText);
  }
  ~TOpenClipboard() { clipboard_.Close(); }
  TOpenClipboard(const TOpenClipboard&) = delete;
  TOpenClipboard& operator=(const TOpenClipboard&) = delete;

 private:
  TClipboard& clipboard_;
};
}  // namespace detail

// Puts the picture on the clipboard in use (Clipboard()). A form the
// clipboard refuses is freed and fails with EOutOfResources; the picture's
// own errors pass on.
template <typename TPicture>
void CopyPictureToClipboard(TPicture& picture) {
  TClipboard& clipboard = Clipboard();
  const detail::TOpenClipboard open(clipboard);
  clipboard.Empty();
  TClipFormat format = 0;
  TDataBlock data = 0;
  TPaletteHandle palette = 0;
  picture.SaveToClipboardFormat(format, data, palette);
  if (data != 0 && clipboard.SetData(format, data) == 0) {
    clipboard.FreeBlock(data);
    throw EOutOfResources("the clipboard refused the picture");
  }
}

// Reads the picture from the clipboard's block of `format`; the picture
// says what it makes of a format it does not read, or of no block.
template <typename TPicture>
void PastePictureFromClipboard(TPicture& picture, TClipFormat format) {
  TClipboard& clipboard = Clipboard();
  const detail::TOpenClipboard open(clipboard);
  picture.LoadFromClipboardFormat(format, clipboard.GetData(format), 0);
}

}  // namespace orba

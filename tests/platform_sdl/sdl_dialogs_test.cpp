// Without a display a box cannot be shown; the player must then take the
// cautious answer (the last button) rather than proceed as if confirmed,
// except that OK/Cancel boxes take Cancel and OK in turn so that a disc
// request and a close request cannot ask for ever.
#include "platform/sdl/sdl_dialogs.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace orba {
namespace {

TEST(SdlMessageBoxes, WithoutADisplayTheLastButtonAnswers) {
  SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
  TSdlMessageBoxes boxes;
  TDialogRequest ask{"t", "q", TDialogButtons::YesNo, {}};
  EXPECT_EQ(boxes.Show(ask).Answer, TDialogAnswer::No);
  TDialogRequest disc{"t", "d", TDialogButtons::RetryCancel, {}};
  EXPECT_EQ(boxes.Show(disc).Answer, TDialogAnswer::Cancel);
  TDialogRequest custom{"t", "c", TDialogButtons::Custom, {"a", "b", "\x82\xa0"}};  // あ
  const TDialogResult r = boxes.Show(custom);
  EXPECT_EQ(r.Answer, TDialogAnswer::Custom);
  EXPECT_EQ(r.CustomIndex, 2);
  TDialogRequest quit{"t", "quit?", TDialogButtons::OkCancel, {}};
  EXPECT_EQ(boxes.Show(quit).Answer, TDialogAnswer::Cancel);
  EXPECT_EQ(boxes.Show(quit).Answer, TDialogAnswer::Ok);
  EXPECT_EQ(boxes.Show(quit).Answer, TDialogAnswer::Cancel);
}

}  // namespace
}  // namespace orba

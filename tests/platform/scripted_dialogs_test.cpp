#include "platform/headless/scripted_dialogs.h"

#include <gtest/gtest.h>

#include "platform/headless/silent_dialogs.h"

namespace orba {
namespace {

TEST(ScriptedDialogs, AnswersFromTheQueueAndRecordsEveryBox) {
  auto boxes = std::make_shared<TScriptedMessageBoxes>();
  auto previous = SetMessageBoxService(boxes);
  boxes->Push(TDialogAnswer::No);
  boxes->Push(TDialogAnswer::Custom, 2);
  EXPECT_EQ(MessageBoxes().Ask("t", "question", TDialogButtons::YesNo), TDialogAnswer::No);
  const TDialogResult custom = MessageBoxes().Show(TDialogRequest{"t", "pick", TDialogButtons::Custom, {"a", "b", "c"}});
  EXPECT_EQ(custom.Answer, TDialogAnswer::Custom);
  EXPECT_EQ(custom.CustomIndex, 2);
  // With the queue empty each box takes its first button.
  EXPECT_EQ(MessageBoxes().Ask("t", "again?", TDialogButtons::RetryCancel), TDialogAnswer::Retry);
  MessageBoxes().ShowMessage("title", "done");
  ASSERT_EQ(boxes->Shown().size(), 4u);
  EXPECT_EQ(boxes->Shown()[1].Labels.size(), 3u);
  EXPECT_TRUE(boxes->Shown()[3].Title == "title" && boxes->Shown()[3].Buttons == TDialogButtons::Ok);
  // The silent back end answers without showing anything; with no back end
  // installed, asking is a fault of the program.
  SetMessageBoxService(std::make_shared<TSilentMessageBoxes>());
  EXPECT_EQ(MessageBoxes().Ask("t", "q", TDialogButtons::OkCancel), TDialogAnswer::Ok);
  EXPECT_EQ(boxes->Shown().size(), 4u);
  SetMessageBoxService(nullptr);
  EXPECT_THROW(MessageBoxes(), std::logic_error);
  SetMessageBoxService(previous);
}

}  // namespace
}  // namespace orba

#include "platform/headless/silent_dialogs.h"

#include <memory>

namespace orba {

void InstallSilentDialogs() {
  SetMessageBoxService(std::make_shared<TSilentMessageBoxes>());
  SetFileDialogService(std::make_shared<TCancelledFileDialogs>());
}

}  // namespace orba

// The main of every test program. Like a player without a screen, it installs
// its platform back ends first: message boxes that answer with their first
// button, file dialogs that are cancelled, and the Linux host.
#include <gtest/gtest.h>

#include <memory>

#include "platform/headless/silent_dialogs.h"
#include "platform/linux/host_linux.h"
#include "platform/linux/registry_linux.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  orba::InstallSilentDialogs();
  orba::SetHostServices(std::make_shared<orba::TLinuxHost>());
  orba::SetRegistry(std::make_shared<orba::TLinuxRegistry>());
  return RUN_ALL_TESTS();
}

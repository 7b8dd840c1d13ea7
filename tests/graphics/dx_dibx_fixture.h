// The fixture of the DirectDraw drawing-surface tests: a screen manager
// holding one memory DirectDraw object, installed for the test's length.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "platform/direct_draw_memory.h"
#include "platform/screen_manager.h"

namespace orba {

class TDxTestScreen final : public TScreenManager {
 public:
  bool GetFullScreen() const override { return false; }
  void SetFullScreen(bool) override {}

 private:
  std::vector<TDisplayMode> CollectModes() override { return {}; }
  void ApplyMode(const TDisplayMode*) override {}
};

// Installs a screen manager holding one memory DirectDraw object as the
// first generation, as 7, or as both, for the test's length.
class DxDIBXTest : public ::testing::Test {
 protected:
  enum class TGenerations { First, Seven, Both, None };
  void Install(TGenerations generations) {
    auto screen = std::make_shared<TDxTestScreen>();
    const bool first = generations == TGenerations::First || generations == TGenerations::Both;
    const bool seven = generations == TGenerations::Seven || generations == TGenerations::Both;
    screen->SetDirectDraw(first ? draw_ : nullptr, seven ? draw_ : nullptr);
    std::shared_ptr<TScreenManager> before = SetScreenManager(screen);
    // A test installing again keeps the manager to restore at its end.
    if (!installed_) previous_ = std::move(before);
    installed_ = true;
  }
  void SetUp() override { Install(TGenerations::Both); }
  void TearDown() override { SetScreenManager(previous_); }

  std::shared_ptr<TMemoryDirectDraw> draw_ = std::make_shared<TMemoryDirectDraw>();
  std::shared_ptr<TScreenManager> previous_;
  bool installed_ = false;
};

}  // namespace orba

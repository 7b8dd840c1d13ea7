// A test game played inside the test's own process, so that the test's
// back ends (scripted choosers and boxes, a filled registry) answer it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/game_clock.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_input.h"
#include "platform/text_convert.h"
#include "script/values/param_collection.h"
#include "shell/game_client.h"
#include "shell/shell_runner.h"

namespace orba::test {

// Plays one run of the game in the folder Game for three ticks, calling
// BeforeTicks once it has started (false when it did not start); the value
// of its variable "log" (UTF-8) at the end, "?" without one.
inline std::string PlayLoggedRun(const std::string& game, const std::function<void()>& before_ticks = {}) {
  TFakeClock clock{1000};
  TMemoryVideo video;
  TScriptedInput input;
  TGameClient client(game, TScriptedEvents());
  TShellRunner runner(clock, video, input, client);
  const bool started = runner.StartUp();
  EXPECT_TRUE(started);
  if (started && before_ticks) before_ticks();
  RunSteps(runner, clock, 3, 15);
  const TParamCollectionItem* log = client.Store() != nullptr ? client.Store()->Find("log") : nullptr;
  const std::string text = log != nullptr ? SjisToUtf8(log->GetAsStr()) : "?";
  runner.ShutDown();
  ResetPlayerGlobals();
  return text;
}

}  // namespace orba::test

// One minute of game time of the demo game (examples/demo), played headless
// at 1280 x 720 in this process: 4,000 ticks of 15 ms. The first half stays
// on the title with its two timers running; then the start button is
// clicked and the second page is played with a click every 100 ticks
// (moves, one save and one load). Prints the CPU time per tick, and
// saved = 1 when the save reached the disk (the run went as scripted).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_input.h"
#include "platform/headless/silent_dialogs.h"
#include "platform/fonts.h"
#include "platform/linux/freetype_fonts.h"
#include "platform/linux/host_linux.h"
#include "script/interp/run_loop_events.h"
#include "shell/game_client.h"
#include "shell/shell_runner.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kTicks = 4000;
constexpr uint32_t kTickMs = 15;

std::string Click(int32_t tick, const char* at) {
  return "tick " + std::to_string(tick) + ": lbutton down " + at + "\ntick " + std::to_string(tick + 1) +
         ": lbutton up " + at + "\n";
}

std::string InputScript() {
  std::string script = Click(kTicks / 2, "600 520");  // start
  for (int32_t tick = kTicks / 2 + 100; tick < kTicks; tick += 100) {
    if (tick == 2500) script += Click(tick, "640 560");       // save
    else if (tick == 3500) script += Click(tick, "1000 560");  // load
    else script += Click(tick, "280 560");                     // move
  }
  return script;
}

void BM_DemoOneMinute(benchmark::State& state) {
  // A private copy: the run writes save.dat beside the game.
  char folder[] = "/tmp/orba-demo-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    state.SkipWithError("cannot make a temporary folder");
    return;
  }
  fs::copy_file(ORBA_DEMO_GAME, std::string(folder) + "/game.dat");
  orba::InstallSilentDialogs();
  orba::SetHostServices(std::make_shared<orba::TLinuxHost>());
  orba::SetFontEngine(std::make_shared<orba::TFreeTypeFonts>());  // the message window's text
  for (auto _ : state) {
    orba::TFakeClock clock;
    orba::TMemoryVideo video;
    orba::TScriptedInput input = orba::TScriptedInput::FromText(InputScript());
    orba::TGameClient game(folder, orba::TScriptedEvents());
    orba::TShellRunner runner(clock, video, input, game);
    if (!runner.StartUp()) {
      state.SkipWithError("the demo did not start");
      break;
    }
    const std::clock_t start = std::clock();
    orba::RunSteps(runner, clock, kTicks, kTickMs);
    const double cpu_ms = 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    runner.ShutDown();
    state.counters["cpu_ms_per_tick"] = cpu_ms / kTicks;
    state.counters["game_seconds"] = kTicks * kTickMs / 1000.0;
    // The save button of the second page was reached and worked.
    state.counters["saved"] = fs::exists(std::string(folder) + "/save.dat") ? 1 : 0;
  }
  fs::remove_all(folder);
}
BENCHMARK(BM_DemoOneMinute)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

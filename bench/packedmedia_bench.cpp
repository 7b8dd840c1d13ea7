// The longest tick of a game that starts a long sound or movie stored packed
// (a package of directory version 0, as older games have), against the
// same file stored loose beside the game: a WAVE file of 106 MB as
// background music, a raw AVI of 300 MB with its sound and an ASF movie of
// 300 MB (Windows Media video and sound). The game is built with orbatool
// and played headless in this process, ticks of 16 ms for three seconds of
// game time; each tick's wall time is measured and the longest printed
// (longest_tick_ms), beside the tick it was (longest_at). Making and
// packing the files takes a minute or two; they are made once in a
// temporary folder, removed at the end (but see ORBA_BENCH_MEDIA).
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_registry.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/scripted_input.h"
#include "platform/headless/silent_dialogs.h"
#include "platform/linux/host_linux.h"
#include "platform/registry.h"
#include "script/interp/run_loop_events.h"
#include "shell/game_client.h"
#include "shell/shell_runner.h"

namespace {

namespace fs = std::filesystem;

constexpr int32_t kTicks = 3000 / 16;
constexpr uint32_t kTickMs = 16;
constexpr int64_t kWavBytes = 106000000;
constexpr int64_t kMovieBytes = 300000000;
constexpr const char* kFiles[] = {"long.wav", "long.avi", "long.asf"};

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

std::string Fixture(const std::string& args) {
  return "/usr/bin/python3 " ORBA_SOURCE_DIR "/tests/fixtures/packed_media.py " + args;
}

// ORBA_BENCH_MEDIA names a folder in which the files are made once and
// kept: each case may then run in a process of its own (--benchmark_filter),
// unmoved by what the cases before it left (their freed memory, the files
// they wrote back).
const char* KeptFolder() { return std::getenv("ORBA_BENCH_MEDIA"); }

// The folder holding game.dat, with the files of kFiles packed, and the
// same files loose.
const std::string& Package() {
  static const std::string folder = [] {
    char name[] = "/tmp/orba-packedmedia-bench-XXXXXX";
    if (KeptFolder() != nullptr) {
      fs::create_directories(KeptFolder());
      if (fs::exists(std::string(KeptFolder()) + "/game.dat")) return std::string(KeptFolder());
    } else if (mkdtemp(name) == nullptr) {
      return std::string();
    }
    const std::string top = KeptFolder() != nullptr ? KeptFolder() : name;
    const bool made = Run(Fixture("wav " + top + "/long.wav " + std::to_string(kWavBytes))) &&
                      Run(Fixture("movie " + top + "/long.avi " + std::to_string(kMovieBytes))) &&
                      Run(Fixture("movie " + top + "/long.asf " + std::to_string(kMovieBytes) + " asf")) &&
                      Run(Fixture("package " + top + "/game.dat long.wav=" + top + "/long.wav long.avi=" + top +
                                  "/long.avi long.asf=" + top + "/long.asf"));
    return made ? top : std::string();
  }();
  return folder;
}

// A game whose start page is Page, with the packed files beside it, or
// (Loose) the files themselves.
std::string BuildGame(const std::string& page, const std::string& out, bool loose) {
  const std::string source = Package() + "/source";
  fs::remove_all(source);
  fs::create_directories(source);
  std::ofstream(source + "/orba.opb.txt") << "Title = packedmedia\nWidth = 64\nHeight = 48\nStartPage = main.osb\n";
  std::ofstream(source + "/main.osb.txt") << page;
  // A fresh folder: nothing of another case (its package, its saves).
  fs::remove_all(out);
  fs::create_directories(out);
  if (!Run(std::string(ORBA_TOOL) + " game build --folder " + source + " -o " + out + " > /dev/null")) return "";
  if (!loose) {
    fs::copy_file(Package() + "/game.dat", out + "/game.dat", fs::copy_options::overwrite_existing);
    return out;
  }
  for (const char* file : kFiles) {
    fs::create_hard_link(Package() + "/" + file, out + "/" + file);
  }
  return out;
}

void PlayMeasured(benchmark::State& state, const std::string& page, const char* name, bool loose) {
  if (Package().empty()) {
    state.SkipWithError("the packed files could not be made (python3, ffmpeg)");
    return;
  }
  const std::string game = BuildGame(page, Package() + "/" + name + (loose ? "-loose" : ""), loose);
  if (game.empty()) {
    state.SkipWithError("orbatool could not build the game");
    return;
  }
  orba::InstallSilentDialogs();
  orba::SetHostServices(std::make_shared<orba::TLinuxHost>());
  orba::SetRegistry(std::make_shared<orba::TMemoryRegistry>());
  for (auto _ : state) {
    // The unpacked files of the case before are written back first: their
    // write-back would otherwise stall this case's first ticks.
    ::sync();
    orba::TFakeClock clock;
    orba::TMemoryVideo video;
    orba::TScriptedInput input = orba::TScriptedInput::FromText("");
    orba::TGameClient client(game, orba::TScriptedEvents());
    orba::TShellRunner runner(clock, video, input, client);
    if (!runner.StartUp()) {
      state.SkipWithError("the game did not start");
      break;
    }
    double longest = 0;
    int32_t longest_at = 0;
    for (int32_t tick = 0; tick < kTicks; ++tick) {
      const auto start = std::chrono::steady_clock::now();
      orba::RunSteps(runner, clock, 1, kTickMs);
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (ms > longest) {
        longest = ms;
        longest_at = tick;
      }
    }
    runner.ShutDown();
    state.counters["longest_tick_ms"] = longest;
    state.counters["longest_at"] = longest_at;
  }
}

// Arg 1: packed; 0: loose.
void BM_BgmStart(benchmark::State& state) {
  PlayMeasured(state, "Sound Name=\"m\" Source=\"long.wav\"\nWait Time=5000\n", "bgm", state.range(0) == 0);
}
BENCHMARK(BM_BgmStart)->ArgName("packed")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_MovieStart(benchmark::State& state) {
  PlayMeasured(state, "Movie Name=\"v\" Source=\"long.avi\" Overlay=FALSE\nWait Time=5000\n", "movie",
               state.range(0) == 0);
}
BENCHMARK(BM_MovieStart)->ArgName("packed")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_AsfStart(benchmark::State& state) {
  PlayMeasured(state, "Movie Name=\"v\" Source=\"long.asf\" Overlay=FALSE\nWait Time=5000\n", "asf",
               state.range(0) == 0);
}
BENCHMARK(BM_AsfStart)->ArgName("packed")->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!Package().empty() && KeptFolder() == nullptr) fs::remove_all(Package());
  return 0;
}

// What the whole-player fuzzer's kPlantHttpFlood plants: many HTTP items in
// the running game, all fetching from a server of the fuzzing process on
// 127.0.0.1 whose every answer is a body that does not end (each connection
// bounded in bytes and time). The HTTP client the game gets fetches from
// that server only: a script that points an item elsewhere, or through a
// proxy, gets a failed transfer, so no fuzzed game reaches any other host.
#pragma once

#include <string>

namespace orba::fuzz {

// How many items the plant makes ("http1", "http2", ...).
inline constexpr int kPlantedHttpItems = 64;

// Installs the sandbox's client (game_fuzz_http.cpp) before a game plays,
// for the items of other plants and of the script; the flood plant's
// server installs it again with its own address.
void InstallSandboxHttpClient();
// Starts the server (once per process), installs the client limited to it
// and makes the items in the game the shell has started.
void PlantHttpFlood();
// After the game's shut-down: waits (at most 2 s) until no worker runs and
// the server serves no connection, and their threads have ended, so that
// what they allocated is freed before libFuzzer counts a run's allocations
// (an imbalance there makes it look for leaks).
void AwaitHttpQuiet();

}  // namespace orba::fuzz

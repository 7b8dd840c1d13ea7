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

// Starts the server (once per process), installs the client limited to it
// and makes the items in the game the shell has started.
void PlantHttpFlood();

}  // namespace orba::fuzz

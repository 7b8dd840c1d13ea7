#include "script/functions/script_random.h"

#include <chrono>

namespace orba {

uint32_t RandSeed = 0;

int32_t ScriptRandom(int32_t n) {
  RandSeed = RandSeed * 134775813u + 1u;
  const uint64_t product = static_cast<uint64_t>(RandSeed) * static_cast<uint32_t>(n);
  return static_cast<int32_t>(static_cast<uint32_t>(product >> 32));
}

double ScriptRandomReal() {
  RandSeed = RandSeed * 134775813u + 1u;
  return static_cast<double>(RandSeed) * (1.0 / 4294967296.0);
}

uint32_t SeedFromTimeOfDay(int32_t hour, int32_t minute, int32_t second, int32_t msec) {
  return static_cast<uint32_t>(((hour * 60 + minute) * 60 + second) * 1000 + msec);
}

void SeedRandomFromClock() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  const int64_t ms_of_day = duration_cast<milliseconds>(now).count() % 86400000;
  const int32_t ms = static_cast<int32_t>(ms_of_day);
  RandSeed = SeedFromTimeOfDay(ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

}  // namespace orba

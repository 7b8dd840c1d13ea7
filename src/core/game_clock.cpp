#include "core/game_clock.h"

#include <chrono>
#include <ctime>
#include <utility>

#include "core/vocab/wipe_defaults.h"

namespace orba {

uint32_t GameClock = 0;
int32_t FrameTime = 0;
int32_t TickCount = 0;
uint8_t QuitFlag = 0;
int32_t FrameInterval = 16;
bool Terminating = false;

namespace {

TClock* system_clock = nullptr;
std::function<void()> message_processor;

TDateTimeSource date_time_source = nullptr;
bool cached_valid = false;
uint32_t cached_clock = 0;
double cached_now = 0;

}  // namespace

void ResetPlayerGlobals() {
  GameClock = 0;
  FrameTime = 0;
  TickCount = 0;
  QuitFlag = 0;
  FrameInterval = 16;
  Terminating = false;
  cached_valid = false;
  ResetWipeDefaultParams();
}

void SetSystemClock(TClock* clock) { system_clock = clock; }

uint32_t SystemMilliseconds() { return system_clock ? system_clock->NowMs() : 0; }

void SetMessageProcessor(std::function<void()> processor) {
  message_processor = std::move(processor);
}

void ProcessMessages() {
  if (message_processor) message_processor();
}

int32_t DaysSince1899(int32_t year, int32_t month, int32_t day) {
  // Days from 1 March of year 0, counted in 400-year eras.
  auto from_civil = [](int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
  };
  return static_cast<int32_t>(from_civil(year, month, day) - from_civil(1899, 12, 30));
}

double LocalNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  const double day_ms = ((local.tm_hour * 60.0 + local.tm_min) * 60.0 + local.tm_sec) * 1000.0 +
                        static_cast<double>(ms.count() < 0 ? ms.count() + 1000 : ms.count());
  return DaysSince1899(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) + day_ms / 86400000.0;
}

double CachedNow() {
  if (!cached_valid || cached_clock != GameClock) {
    cached_now = date_time_source ? date_time_source() : LocalNow();
    cached_clock = GameClock;
    cached_valid = true;
  }
  return cached_now;
}

void SetDateTimeSource(TDateTimeSource source) {
  date_time_source = source;
  cached_valid = false;
}

}  // namespace orba

#include "script/values/date_time.h"

#include <cmath>

#include "script/script_errors.h"
#include "script/values/param_text.h"

namespace orba {

namespace {

constexpr int64_t kMsPerDay = 86400000;
// Days from 1 January of year 1 (day 1) to 30 December 1899.
constexpr int64_t kDateDelta = 693594;

const int32_t kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                   {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Year, month and day of a day number counted from 1 January of year 1 (0).
void SplitDays(int64_t days, int32_t& year, int32_t& month, int32_t& day) {
  constexpr int64_t kDays400 = 146097, kDays100 = 36524, kDays4 = 1461;
  int64_t y = 1 + days / kDays400 * 400;
  days %= kDays400;
  int64_t centuries = days / kDays100;
  if (centuries == 4) centuries = 3;  // the last day of a 400-year cycle
  y += centuries * 100;
  days -= centuries * kDays100;
  y += days / kDays4 * 4;
  days %= kDays4;
  int64_t years = days / 365;
  if (years == 4) years = 3;  // the last day of a leap cycle
  y += years;
  days -= years * 365;
  year = static_cast<int32_t>(y);
  const int32_t* lengths = kMonthDays[IsLeapYear(year) ? 1 : 0];
  month = 1;
  while (days >= lengths[month - 1]) {
    days -= lengths[month - 1];
    ++month;
  }
  day = static_cast<int32_t>(days) + 1;
}

}  // namespace

bool IsLeapYear(int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

long double EncodeDate(int32_t year, int32_t month, int32_t day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1]) {
    // 日付に変換できない値が渡されました
    throw EScriptError(
        "\x93\xfa\x95t\x82\xc9\x95\xcf\x8a\xb7\x82\xc5\x82\xab\x82\xc8\x82\xa2\x92l\x82\xaa\x93n\x82\xb3\x82\xea"
        "\x82\xdc\x82\xb5\x82\xbd");
  }
  int64_t days = day;
  for (int32_t m = 1; m < month; ++m) days += kMonthDays[IsLeapYear(year) ? 1 : 0][m - 1];
  const int64_t y = year - 1;
  days += y * 365 + y / 4 - y / 100 + y / 400;
  return static_cast<long double>(days - kDateDelta);
}

long double EncodeTime(int32_t hour, int32_t minute, int32_t second) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    // 時刻に変換できない値が渡されました
    throw EScriptError(
        "\x8e\x9e\x8d\x8f\x82\xc9\x95\xcf\x8a\xb7\x82\xc5\x82\xab\x82\xc8\x82\xa2\x92l\x82\xaa\x93n\x82\xb3\x82\xea"
        "\x82\xdc\x82\xb5\x82\xbd");
  }
  const int64_t ms = int64_t{hour} * 3600000 + int64_t{minute} * 60000 + int64_t{second} * 1000;
  return static_cast<long double>(ms) / static_cast<long double>(kMsPerDay);
}

TDecodedDateTime DecodeDateTimeValue(long double t) {
  // Rounded to nearest, halves to even, as the arithmetic unit rounds.
  const int64_t ms = FloatToInt64(std::nearbyintl(static_cast<long double>(static_cast<double>(t)) * kMsPerDay));
  const int64_t days = ms / kMsPerDay;  // toward zero
  int64_t time = ms - days * kMsPerDay;
  if (time < 0) time = -time;
  TDecodedDateTime out;
  out.Hour = static_cast<int32_t>(time / 3600000);
  out.Min = static_cast<int32_t>(time / 60000 % 60);
  out.Sec = static_cast<int32_t>(time / 1000 % 60);
  out.MSec = static_cast<int32_t>(time % 1000);
  const int64_t ordinal = days + kDateDelta;  // 1 January of year 1 is day 1
  out.Week = static_cast<int32_t>(ordinal % 7 + 1);
  if (ordinal > 0) SplitDays(ordinal - 1, out.Year, out.Month, out.Day);
  return out;
}

}  // namespace orba

// Script date-times: floats counting days since 30 December 1899 at
// midnight, the fraction being the time of day, over the proleptic
// Gregorian calendar.
#pragma once

#include <cstdint>

namespace orba {

// Days from 30 December 1899 to the date; raises "日付に変換できない値が渡され
// ました" outside year 1..9999, month 1..12 or the month's days.
long double EncodeDate(int32_t year, int32_t month, int32_t day);
// The fraction of a day of the time; raises "時刻に変換できない値が渡されました"
// outside hour 0..23, minute 0..59, second 0..59.
long double EncodeTime(int32_t hour, int32_t minute, int32_t second);

struct TDecodedDateTime {
  int32_t Year = 0, Month = 0, Day = 0;  // all 0 before 1 January of year 1
  int32_t Hour = 0, Min = 0, Sec = 0, MSec = 0;
  int32_t Week = 0;  // 1 Sunday .. 7 Saturday
};
// Rounds T x 86400000 to whole milliseconds, takes the whole days toward
// zero for the date and the remainder's magnitude for the time of day.
// A value whose milliseconds do not fit 64 bits raises EInvalidOpError.
TDecodedDateTime DecodeDateTimeValue(long double t);

bool IsLeapYear(int32_t year);

}  // namespace orba

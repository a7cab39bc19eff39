#include "oracle/session/oracle_date.h"

#include <cmath>

#include "runtime/exception.h"

namespace kvell {

namespace {

// 1 January of year 1 in the date-time scale whose day 0 is 30 December 1899.
constexpr double kFirstDayOfYearOne = -693594.0;
constexpr double kFirstDayAfterYear9999 = 2958466.0;

uint8_t byte_of(int value) { return static_cast<uint8_t>(value); }

}  // namespace

void DateTimeToOracleDate(TDateTime value, uint8_t* date7) {
  // Beyond these bounds the century byte would wrap and store another date.
  if (!std::isfinite(value) || value < kFirstDayOfYearOne || value >= kFirstDayAfterYear9999) {
    throw EVariantError("Invalid date");
  }
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, millisecond);
  date7[0] = byte_of(year / 100 + 100);
  date7[1] = byte_of(year % 100 + 100);
  date7[2] = byte_of(month);
  date7[3] = byte_of(day);
  date7[4] = byte_of(hour + 1);
  date7[5] = byte_of(minute + 1);
  date7[6] = byte_of(second + 1);
}

namespace {

// Days before each month of a common year.
constexpr int kDaysBeforeMonth[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
constexpr int64_t kDaysBeforeYearOne = 693594;  // from 1 January of year 1 to 30 December 1899

// TryEncodeDate's result in constant time, as fetches convert a date for every row read.
bool encode_date(int year, int month, int day, int64_t& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const int leap_day = IsLeapYear(year) ? 1 : 0;
  const int in_month = kDaysBeforeMonth[month] - kDaysBeforeMonth[month - 1] + (month == 2 ? leap_day : 0);
  if (day > in_month) return false;
  const int64_t y = year - 1;
  const int64_t days = y * 365 + y / 4 - y / 100 + y / 400 + kDaysBeforeMonth[month - 1] + (month > 2 ? leap_day : 0) + day;
  result = days - kDaysBeforeYearOne;
  return true;
}

// Milliseconds of the day; an invalid time of day is midnight.
int64_t time_of_day(const uint8_t* date7) {
  const int hour = date7[4] - 1, minute = date7[5] - 1, second = date7[6] - 1;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return 0;
  return ((hour * int64_t{60} + minute) * 60 + second) * 1000;
}

}  // namespace

TDayAndTime OracleDateToDayAndTime(const uint8_t* date7) {
  const int year = date7[0] * 100 + date7[1] - 10100;
  int64_t days = 0;
  if (year <= 0 || !encode_date(year, date7[2], date7[3], days)) days = static_cast<int64_t>(kFirstDayOfYearOne);
  return {days, time_of_day(date7)};
}

TDateTime OracleDateToDateTime(const uint8_t* date7) {
  const TDayAndTime value = OracleDateToDayAndTime(date7);
  const auto date_part = static_cast<double>(value.Days);
  const double time_part = static_cast<double>(value.MSecs) / MSecsPerDay;
  return date_part < 0 ? date_part - time_part : date_part + time_part;
}

}  // namespace kvell

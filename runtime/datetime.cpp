#include "runtime/datetime.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "runtime/exception.h"

namespace kvell {
namespace {

// Days from 0001-01-01 to 1899-12-30 in the proleptic Gregorian calendar.
constexpr int64_t DateDelta = 693594;

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month))
    return false;
  int64_t days = day;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  int64_t y = year - 1;
  days += y * 365 + y / 4 - y / 100 + y / 400;
  result = static_cast<double>(days - DateDelta);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999)
    return false;
  result = ((hour * 3600000.0) + minute * 60000.0 + second * 1000.0 + millisecond) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result;
  if (!TryEncodeDate(year, month, day, result)) throw EConvertError("Invalid argument to date encode");
  return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  TDateTime result;
  if (!TryEncodeTime(hour, minute, second, millisecond, result))
    throw EConvertError("Invalid argument to time encode");
  return result;
}

namespace {

void date_of_day(int64_t days, int& year, int& month, int& day) {
  // Civil-from-days (Howard Hinnant), shifted to the 1899-12-30 epoch.
  int64_t z = days - 25569 + 719468;  // 25569 = days from 1899-12-30 to 1970-01-01
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

void time_of_day(int64_t msecs, int& hour, int& minute, int& second, int& millisecond) {
  if (msecs == 0) {  // most dates shown carry no time
    hour = minute = second = millisecond = 0;
    return;
  }
  hour = static_cast<int>(msecs / 3600000);
  minute = static_cast<int>(msecs / 60000 % 60);
  second = static_cast<int>(msecs / 1000 % 60);
  millisecond = static_cast<int>(msecs % 1000);
}

}  // namespace

TDayAndTime SplitDateTime(TDateTime value) {
  const double whole = std::trunc(value);
  TDayAndTime split{static_cast<int64_t>(whole), std::llround(std::fabs(value - whole) * MSecsPerDay)};
  if (split.MSecs >= static_cast<int64_t>(MSecsPerDay)) {
    split.MSecs -= static_cast<int64_t>(MSecsPerDay);
    split.Days += value < 0 ? -1 : 1;
  }
  return split;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  date_of_day(SplitDateTime(value).Days, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond) {
  time_of_day(SplitDateTime(value).MSecs, hour, minute, second, millisecond);
}

void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond) {
  DecodeDateTime(SplitDateTime(value), year, month, day, hour, minute, second, millisecond);
}

void DecodeDateTime(TDayAndTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond) {
  date_of_day(value.Days, year, month, day);
  time_of_day(value.MSecs, hour, minute, second, millisecond);
}

int DayOfWeek(TDateTime value) { return DayOfWeek(SplitDateTime(value)); }

int DayOfWeek(TDayAndTime value) {
  // 1899-12-30 was a Saturday (7).
  int64_t dow = (value.Days + 6) % 7;
  if (dow < 0) dow += 7;
  return static_cast<int>(dow) + 1;
}

TDateTime Now() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
         EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms));
}

TDateTime Date() { return std::trunc(Now()); }

}  // namespace kvell

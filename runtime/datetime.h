// Date-time values as the host runtime keeps them: a double counting days
// since 30 December 1899, the fraction being the time of day. Encoding and
// decoding use the proleptic Gregorian calendar.
#pragma once

#include <cstdint>

namespace kvell {

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// Raise EConvertError for an invalid date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
// False (and nothing written) for an invalid date or time.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result);

// A date-time as whole days since 30 December 1899 and milliseconds of that
// day (0 to 86399999): what decoding reads a TDateTime into, and what callers
// that keep integer milliseconds can give without passing through a double.
struct TDayAndTime {
  int64_t Days = 0;
  int64_t MSecs = 0;
};
// Rounds to the nearest millisecond; a negative value's time counts away
// from zero, as the host runtime does (-1.25 is 29 Dec 1899 06:00).
TDayAndTime SplitDateTime(TDateTime value);

void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);
// DecodeDate and DecodeTime at once.
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond);
void DecodeDateTime(TDayAndTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond);
// Day of week, 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime value);
int DayOfWeek(TDayAndTime value);

TDateTime Now();
TDateTime Date();

}  // namespace kvell

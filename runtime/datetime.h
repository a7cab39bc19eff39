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

void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);
// DecodeDate and DecodeTime at once.
void DecodeDateTime(TDateTime value, int& year, int& month, int& day, int& hour, int& minute, int& second,
                    int& millisecond);
// Day of week, 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime value);

TDateTime Now();
TDateTime Date();

}  // namespace kvell

// The process-wide locale settings that number and date-time texts follow.
// Thread-safe: no; set them at start-up (or in a test's set-up) before use.
#pragma once

#include <array>
#include <string>

namespace kvell {

struct TFormatSettings {
  char DecimalSeparator = '.';
  char DateSeparator = '.';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "d.m.yyyy";
  std::string LongDateFormat = "d. mmmm yyyy";
  std::string ShortTimeFormat = "hh:nn";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames = {"January", "February", "March",     "April",
                                                "May",     "June",     "July",      "August",
                                                "September", "October", "November", "December"};
  std::array<std::string, 7> ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};
  // A two-digit year is placed within this many years before the current one.
  int TwoDigitYearCenturyWindow = 50;
};

// The one instance; created on first use, never destroyed before exit.
TFormatSettings& FormatSettings();

// Restores every setting to its default (tests call this in their set-up).
void ResetFormatSettings();

}  // namespace kvell

// The process-wide locale settings that number and date-time texts follow.
// Thread-safe: no; set them at start-up (or in a test's set-up) before use.
#pragma once

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
};

// The one instance; created on first use, never destroyed before exit.
TFormatSettings& FormatSettings();

// Restores every setting to its default (tests call this in their set-up).
void ResetFormatSettings();

}  // namespace kvell

// Date-time values as text in the process locale (FormatSettings):
// formatting by pattern and reading a date, a time or both.
// Thread-safe: as FormatSettings (read only here).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/datetime.h"

namespace kvell {

// Formats value by pattern. Patterns: d dd ddd dddd (day, names), ddddd (short
// date), dddddd (long date), m mm mmm mmmm (month; minutes right after h/hh),
// yy yyyy, h hh, n nn, s ss, z zzz, t (short time), tt (long time), c (short
// date and, when not midnight, long time), am/pm a/p ampm (12-hour clock),
// "/" and ":" (locale separators), text in '' or "" as is.
// Raises EConvertError for a value outside the years 1 to 9999.
std::string FormatDateTime(std::string_view pattern, TDateTime value);
// FormatDateTime's text appended to out.
void AppendDateTime(std::string& out, std::string_view pattern, TDateTime value);
// The same from a value already split into days and milliseconds.
void AppendDateTime(std::string& out, std::string_view pattern, TDayAndTime value);

// The short date, followed by a blank and the long time when value has a time of day.
std::string DateTimeToStr(TDateTime value);

// Reads "date", "date time" or "time" with the locale's separators and date
// order (taken from ShortDateFormat); a two-digit year follows the century
// window; the time is h:n[:s[.z]] with optional AM/PM marker.
std::optional<TDateTime> TryStrToDateTime(std::string_view text);

// As TryStrToDateTime; raises EConvertError "'<text>' is not a valid date and time".
TDateTime StrToDateTime(std::string_view text);

}  // namespace kvell

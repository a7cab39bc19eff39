// Display and edit formats of numeric and date-time fields: float patterns
// ("#,##0.00", "0.0;(0.0)") and date-time patterns ("dd.mm.yyyy hh:nn").
// Thread-safe: reads the process-wide format settings.
#pragma once

#include <string>

#include "runtime/datetime.h"

namespace kvell {

// Digits '0' (always shown) and '#' (shown when significant), '.' and ','
// (thousands) placeholders, literal text around them, and up to three
// sections for positive, negative and zero values.
std::string format_float_pattern(const std::string& pattern, double value);

// d dd m mm yy yyyy h hh n nn s ss zzz, ddddd (short date), tt (long time),
// c (both), / and : (locale separators), quoted literals.
std::string format_date_time_pattern(const std::string& pattern, TDateTime value);

}  // namespace kvell

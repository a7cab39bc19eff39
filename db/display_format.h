// Display and edit formats of numeric fields: float patterns such as
// "#,##0.00" or "0.0;(0.0)".
// Thread-safe: reads the process-wide format settings.
#pragma once

#include <string>

namespace kvell {

// Digits '0' (always shown) and '#' (shown when significant), '.' and ','
// (thousands) placeholders, literal text around them, and up to three
// sections for positive, negative and zero values.
std::string format_float_pattern(const std::string& pattern, double value);

}  // namespace kvell

// Interval values as ociemu keeps them (months for YEAR TO MONTH, nanoseconds
// for DAY TO SECOND) and their text: the strings of interval literals and of
// OCIIntervalFromText, and Oracle's '+YY-MM' and '+DD HH:MI:SS.FF' forms.
//
// Thread-safe: yes (pure functions).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ociemu::sql {

inline constexpr int64_t kNanosPerSecond = 1'000'000'000;
inline constexpr int64_t kSecondsPerDay = 86'400;

// '[+|-]Y-M' -> months; nullopt when malformed or out of range.
std::optional<int64_t> parse_year_month_text(std::string_view text);
// '[+|-]D HH:MI:SS[.F]' -> nanoseconds; nullopt when malformed or out of range.
std::optional<int64_t> parse_day_second_text(std::string_view text);

struct IntervalLiteral {
  bool year_month = false;
  int64_t value = 0;  // months, or nanoseconds
};
// The string of INTERVAL 'text' leading [TO trailing] (YEAR, MONTH, DAY, HOUR,
// MINUTE, SECOND; trailing empty for one field). Raises ORA-01867 for text
// that does not fit the qualifier, ORA-01873 for a value beyond the range kept.
IntervalLiteral parse_interval_literal(std::string_view text, std::string_view leading, std::string_view trailing);

std::string year_month_text(int64_t months, int leading_digits);
std::string day_second_text(int64_t nanos, int leading_digits, int fraction_digits);

}  // namespace ociemu::sql

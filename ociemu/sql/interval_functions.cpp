#include "ociemu/sql/interval_functions.h"

#include <cctype>
#include <cmath>
#include <string>

#include "ociemu/sql/errors.h"
#include "ociemu/sql/interval_value.h"
#include "ociemu/sql/sql_value.h"

namespace ociemu::sql {
namespace {

constexpr int kInvalidInterval = 1867;
constexpr int kIllegalArgument = 1760;
constexpr double kNanosPerDay = static_cast<double>(kSecondsPerDay * kNanosPerSecond);

struct IsoDuration {
  bool negative = false;
  int64_t months = 0;
  int64_t nanos = 0;
  bool has_months = false;  // Y or M before the T
  bool has_time = false;    // D, or anything after the T
};

// Reads the number before a designator: digits, and for seconds a fraction (as nanoseconds).
bool read_number(std::string_view text, size_t& at, int64_t& whole, int64_t& nanos) {
  const size_t start = at;
  whole = 0;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
    if (whole > 999'999'999) return false;
    whole = whole * 10 + (text[at++] - '0');
  }
  if (at == start) return false;
  nanos = 0;
  if (at < text.size() && text[at] == '.') {
    int64_t scale = kNanosPerSecond / 10;
    for (++at; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at, scale /= 10) {
      nanos += (text[at] - '0') * scale;
    }
  }
  return true;
}

std::optional<IsoDuration> parse_iso(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  IsoDuration duration;
  size_t at = 0;
  if (at < text.size() && text[at] == '-') duration.negative = true;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
  if (at >= text.size() || text[at++] != 'P') return std::nullopt;
  bool in_time = false;
  bool any = false;
  while (at < text.size()) {
    if (text[at] == 'T' && !in_time) {
      in_time = true;
      ++at;
      continue;
    }
    int64_t whole = 0, fraction = 0;
    if (!read_number(text, at, whole, fraction) || at >= text.size()) return std::nullopt;
    const char designator = text[at++];
    if (fraction != 0 && !(in_time && designator == 'S')) return std::nullopt;
    any = true;
    if (!in_time && designator == 'Y') {
      duration.months += whole * 12;
      duration.has_months = true;
    } else if (!in_time && designator == 'M') {
      duration.months += whole;
      duration.has_months = true;
    } else if (!in_time && designator == 'D') {
      duration.nanos += whole * kSecondsPerDay * kNanosPerSecond;
      duration.has_time = true;
    } else if (in_time && (designator == 'H' || designator == 'M' || designator == 'S')) {
      const int64_t unit = designator == 'H' ? 3600 : designator == 'M' ? 60 : 1;
      duration.nanos += whole * unit * kNanosPerSecond + fraction;
      duration.has_time = true;
    } else {
      return std::nullopt;
    }
  }
  if (!any) return std::nullopt;
  return duration;
}

// A day-to-second interval as ociemu keeps it: days with a fraction.
void set_days(sqlite3_context* context, int64_t nanos) {
  sqlite3_result_double(context, static_cast<double>(nanos) / kNanosPerDay);
}

std::string upper_text(sqlite3_value* value) {
  std::string text = text_argument(value);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::optional<int64_t> parse_iso_year_month(std::string_view text) {
  std::optional<IsoDuration> duration = parse_iso(text);
  if (!duration || duration->has_time) return std::nullopt;
  return duration->negative ? -duration->months : duration->months;
}

std::optional<int64_t> parse_iso_day_second(std::string_view text) {
  std::optional<IsoDuration> duration = parse_iso(text);
  if (!duration || duration->has_months) return std::nullopt;
  return duration->negative ? -duration->nanos : duration->nanos;
}

void to_yminterval(sqlite3_context* context, int, sqlite3_value** args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  const std::string text = text_argument(args[0]);
  std::optional<int64_t> months = parse_year_month_text(text);
  if (!months) months = parse_iso_year_month(text);
  if (!months) throw_oracle(kInvalidInterval);
  sqlite3_result_int64(context, *months);
}

void to_dsinterval(sqlite3_context* context, int, sqlite3_value** args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  const std::string text = text_argument(args[0]);
  std::optional<int64_t> nanos = parse_day_second_text(text);
  if (!nanos) nanos = parse_iso_day_second(text);
  if (!nanos) throw_oracle(kInvalidInterval);
  set_days(context, *nanos);
}

void numtoyminterval(sqlite3_context* context, int, sqlite3_value** args) {
  std::optional<Number> amount = number_argument(args[0]);
  if (!amount || is_null(args[1])) return sqlite3_result_null(context);
  const std::string unit = upper_text(args[1]);
  if (unit != "YEAR" && unit != "MONTH") throw_oracle(kIllegalArgument);
  const double months = amount->as_double() * (unit == "YEAR" ? 12 : 1);
  sqlite3_result_int64(context, static_cast<int64_t>(std::trunc(months)));
}

void numtodsinterval(sqlite3_context* context, int, sqlite3_value** args) {
  std::optional<Number> amount = number_argument(args[0]);
  if (!amount || is_null(args[1])) return sqlite3_result_null(context);
  const std::string unit = upper_text(args[1]);
  const double seconds = unit == "DAY" ? 86400 : unit == "HOUR" ? 3600 : unit == "MINUTE" ? 60 : unit == "SECOND" ? 1 : 0;
  if (seconds == 0) throw_oracle(kIllegalArgument);
  sqlite3_result_double(context, amount->as_double() * seconds / static_cast<double>(kSecondsPerDay));
}

}  // namespace ociemu::sql

#include "ociemu/sql/sql_value.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "ociemu/sql/dialect.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/exact_number.h"

namespace ociemu::sql {

Number Number::of(double value) {
  // 2^63 is exactly representable; anything below it in magnitude fits int64.
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9.2233720368547758e18)
    return Number{true, static_cast<int64_t>(value), 0};
  return Number{false, 0, value};
}

std::optional<Number> parse_number(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (begin == end) return std::nullopt;
  std::string trimmed(text.substr(begin, end - begin));
  // strtod also takes hex, "inf" and "nan", which Oracle does not.
  for (char c : trimmed) {
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '+' && c != '-' && c != 'e' && c != 'E')
      return std::nullopt;
  }
  char* stop = nullptr;
  const char* start = trimmed.c_str();
  bool integral = trimmed.find_first_of(".eE") == std::string::npos;
  if (integral) {
    errno = 0;
    long long value = std::strtoll(start, &stop, 10);
    if (stop == start + trimmed.size() && errno == 0) return Number{true, value, 0};
  }
  double value = std::strtod(start, &stop);
  if (stop != start + trimmed.size() || !std::isfinite(value)) return std::nullopt;
  return Number::of(value);
}

bool is_null(sqlite3_value* value) { return sqlite3_value_type(value) == SQLITE_NULL; }

std::optional<Number> number_argument(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      return std::nullopt;
    case SQLITE_INTEGER:
      return Number{true, sqlite3_value_int64(value), 0};
    case SQLITE_FLOAT:
      return Number::of(sqlite3_value_double(value));
    default: {
      const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      auto number = parse_number(text ? text : "");
      if (!number) throw_oracle(1722);
      return number;
    }
  }
}

std::string text_argument(sqlite3_value* value) {
  switch (sqlite3_value_type(value)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
      return format_number(static_cast<int64_t>(sqlite3_value_int64(value)));
    case SQLITE_FLOAT:
      return format_number(sqlite3_value_double(value));
    case SQLITE_BLOB: {
      // RAW converts to hex text; a NUMBER in the exact form to its digits.
      const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(value));
      int size = sqlite3_value_bytes(value);
      if (is_exact_number(bytes, static_cast<size_t>(size))) return std::string(exact_number_text(bytes, static_cast<size_t>(size)));
      std::string hex;
      hex.reserve(static_cast<size_t>(size) * 2);
      static constexpr char kHex[] = "0123456789ABCDEF";
      for (int i = 0; i < size; ++i) {
        hex.push_back(kHex[bytes[i] >> 4]);
        hex.push_back(kHex[bytes[i] & 15]);
      }
      return hex;
    }
    default: {
      const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
      return text ? std::string(text, static_cast<size_t>(sqlite3_value_bytes(value))) : std::string();
    }
  }
}

std::optional<DateTimeValue> date_argument(sqlite3_value* value) {
  if (sqlite3_value_type(value) != SQLITE_TEXT) return std::nullopt;
  const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  int size = sqlite3_value_bytes(value);
  // Cheap shape test before parsing: 'YYYY-MM-DD...'.
  if (size < 10 || text[4] != '-') {
    if (!(size >= 11 && text[0] == '-' && text[5] == '-')) return std::nullopt;
  }
  return parse_storage(std::string_view(text, static_cast<size_t>(size)));
}

void set_result(sqlite3_context* context, const Number& number) {
  if (number.is_integer) {
    sqlite3_result_int64(context, number.integer);
  } else {
    sqlite3_result_double(context, number.real);
  }
}

void set_result(sqlite3_context* context, std::string_view text) {
  if (text.empty()) {
    sqlite3_result_null(context);
  } else {
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
}

namespace {

// A value with no more decimals than `places`, which rounding and truncation keep as it is: the
// nearest double to whole / 10^places. Up to 15 digits, where the text path would read it back alike.
bool has_at_most_decimals(double value, int places) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (places < 0 || places > 22) return false;
  const double scale = kPowers[places];
  const double whole = std::nearbyint(value * scale);
  return std::fabs(whole) < 1e15 && whole / scale == value;
}

}  // namespace

double round_decimal(double value, int places, bool truncate) {
  if (!std::isfinite(value) || value == 0) return value;
  if (places > 300 || has_at_most_decimals(value, places)) return value;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15e", std::fabs(value));
  std::string text(buffer);
  size_t e = text.find('e');
  int exponent = std::atoi(text.c_str() + e + 1);
  std::string digits = text.substr(0, 1) + text.substr(2, e - 2);  // d.ddd... times 10^exponent
  // Keep the digits up to 10^-places: exponent + 1 + places of them.
  int keep = exponent + 1 + places;
  if (keep < 0) return 0.0 * value;
  if (keep >= static_cast<int>(digits.size())) return value;
  bool round_up = !truncate && digits[static_cast<size_t>(keep)] >= '5';
  std::string kept = digits.substr(0, static_cast<size_t>(keep));
  double magnitude = kept.empty() ? 0 : std::strtod(kept.c_str(), nullptr);
  if (round_up) magnitude += 1;
  double result = magnitude * std::pow(10.0, exponent + 1 - keep);
  // Re-read through text so that 0.1 * 3 style noise does not survive.
  std::snprintf(buffer, sizeof buffer, "%.15g", result);
  result = std::strtod(buffer, nullptr);
  return value < 0 ? -result : result;
}

}  // namespace ociemu::sql

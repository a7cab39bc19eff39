#include "ociemu/sql/interval_value.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "ociemu/sql/errors.h"

namespace ociemu::sql {
namespace {

constexpr int kInvalidInterval = 1867;
constexpr int kLeadingPrecision = 1873;
constexpr size_t kLeadingDigits = 9;  // Oracle's largest leading precision

struct Field {
  std::string_view name;
  char separator;      // before it, when it is not the leading field
  int64_t limit;       // largest value when not leading
  int64_t multiplier;  // in months or nanoseconds
  bool year_month;
};

constexpr std::array<Field, 6> kFields{{
    {"YEAR", 0, 0, 12, true},
    {"MONTH", '-', 11, 1, true},
    {"DAY", 0, 0, kSecondsPerDay * kNanosPerSecond, false},
    {"HOUR", ' ', 23, 3600 * kNanosPerSecond, false},
    {"MINUTE", ':', 59, 60 * kNanosPerSecond, false},
    {"SECOND", ':', 59, kNanosPerSecond, false},
}};

int field_index(std::string_view name) {
  for (size_t i = 0; i < kFields.size(); ++i) {
    if (kFields[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

// Reads the text of fields first..last; `error` gets the Oracle code when it does not fit.
std::optional<int64_t> read_fields(std::string_view text, int first, int last, int& error) {
  error = kInvalidInterval;
  size_t pos = 0;
  auto skip_blanks = [&] {
    while (pos < text.size() && text[pos] == ' ') ++pos;
  };
  auto digits = [&](size_t most, int64_t& out) {
    size_t start = pos;
    out = 0;
    while (pos < text.size() && pos - start < most && text[pos] >= '0' && text[pos] <= '9') out = out * 10 + (text[pos++] - '0');
    return pos > start;
  };
  skip_blanks();
  bool negative = pos < text.size() && text[pos] == '-';
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
  int64_t total = 0;
  for (int i = first; i <= last; ++i) {
    const Field& field = kFields[static_cast<size_t>(i)];
    if (i != first && (pos >= text.size() || text[pos++] != field.separator)) return std::nullopt;
    int64_t value = 0;
    if (!digits(i == first ? kLeadingDigits : 2, value)) return std::nullopt;
    if (i != first && value > field.limit) return std::nullopt;
    int64_t scaled = 0;
    if (__builtin_mul_overflow(value, field.multiplier, &scaled) || __builtin_add_overflow(total, scaled, &total)) {
      error = kLeadingPrecision;
      return std::nullopt;
    }
    if (field.name == "SECOND" && pos < text.size() && text[pos] == '.') {
      ++pos;
      size_t start = pos;
      int64_t fraction = 0, scale = kNanosPerSecond;
      while (pos < text.size() && pos - start < 9 && text[pos] >= '0' && text[pos] <= '9') {
        scale /= 10;
        fraction += (text[pos++] - '0') * scale;
      }
      if (pos == start || __builtin_add_overflow(total, fraction, &total)) return std::nullopt;
    }
  }
  skip_blanks();
  if (pos != text.size()) return std::nullopt;
  return negative ? -total : total;
}

std::optional<int64_t> read_quietly(std::string_view text, int first, int last) {
  int error = 0;
  return read_fields(text, first, last, error);
}

}  // namespace

std::optional<int64_t> parse_year_month_text(std::string_view text) {
  return read_quietly(text, field_index("YEAR"), field_index("MONTH"));
}

std::optional<int64_t> parse_day_second_text(std::string_view text) {
  return read_quietly(text, field_index("DAY"), field_index("SECOND"));
}

IntervalLiteral parse_interval_literal(std::string_view text, std::string_view leading, std::string_view trailing) {
  int first = field_index(leading);
  int last = trailing.empty() ? first : field_index(trailing);
  if (first < 0 || last < first || kFields[static_cast<size_t>(first)].year_month != kFields[static_cast<size_t>(last)].year_month) {
    throw_oracle(kInvalidInterval);
  }
  int error = 0;
  std::optional<int64_t> value = read_fields(text, first, last, error);
  if (!value) throw_oracle(error);
  return IntervalLiteral{kFields[static_cast<size_t>(first)].year_month, *value};
}

std::string year_month_text(int64_t months, int leading_digits) {
  char buffer[48];
  unsigned long long magnitude = months < 0 ? 0ULL - static_cast<unsigned long long>(months) : static_cast<unsigned long long>(months);
  std::snprintf(buffer, sizeof buffer, "%c%0*llu-%02llu", months < 0 ? '-' : '+', leading_digits, magnitude / 12,
                magnitude % 12);
  return buffer;
}

std::string day_second_text(int64_t nanos, int leading_digits, int fraction_digits) {
  char buffer[96];
  unsigned long long magnitude = nanos < 0 ? 0ULL - static_cast<unsigned long long>(nanos) : static_cast<unsigned long long>(nanos);
  unsigned long long seconds = magnitude / kNanosPerSecond;
  int length = std::snprintf(buffer, sizeof buffer, "%c%0*llu %02llu:%02llu:%02llu", nanos < 0 ? '-' : '+',
                             leading_digits, seconds / kSecondsPerDay, seconds / 3600 % 24, seconds / 60 % 60,
                             seconds % 60);
  if (fraction_digits > 0 && length > 0) {
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, "%09llu", magnitude % kNanosPerSecond);
    std::snprintf(buffer + length, sizeof buffer - static_cast<size_t>(length), ".%.*s", fraction_digits, fraction);
  }
  return buffer;
}

}  // namespace ociemu::sql

#include "runtime/float_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <limits>

#include "runtime/exception.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

constexpr int GeneralPrecision = 15;

// Significant digits (no trailing zeros, at least one) and the decimal
// exponent of value = d.ddd x 10^exponent.
struct DecimalDigits {
  char digits[GeneralPrecision + 2];
  size_t count = 0;
  int exponent = 0;
};

DecimalDigits to_decimal_digits(double magnitude) {
  // The same correctly rounded digits as printf's "%.14e", without stdio.
  // For a normal number the shortest exact digits are those whenever there
  // are no more than 15 of them, and are far cheaper to find.
  char buffer[40];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific);
  if (error != std::errc() || magnitude < std::numeric_limits<double>::min() ||
      std::find(buffer, end, 'e') - buffer > GeneralPrecision + 1)
    end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                        GeneralPrecision - 1).ptr;
  DecimalDigits result;
  const char* p = buffer;
  for (; p != end && *p != 'e'; ++p)
    if (*p != '.') result.digits[result.count++] = *p;
  std::from_chars(p + 1 + (p[1] == '+'), end, result.exponent);
  while (result.count > 1 && result.digits[result.count - 1] == '0') --result.count;
  return result;
}

char* put_zeros(char* out, size_t count) { return std::fill_n(out, count, '0'); }
char* put_digits(char* out, const char* digits, size_t count) { return std::copy_n(digits, count, out); }

char* fixed_text(const DecimalDigits& d, char separator, char* out) {
  if (d.exponent < 0) {
    *out++ = '0';
    *out++ = separator;
    out = put_zeros(out, static_cast<size_t>(-d.exponent - 1));
    return put_digits(out, d.digits, d.count);
  }
  const size_t integer_digits = static_cast<size_t>(d.exponent) + 1;
  if (d.count <= integer_digits) return put_zeros(put_digits(out, d.digits, d.count), integer_digits - d.count);
  out = put_digits(out, d.digits, integer_digits);
  *out++ = separator;
  return put_digits(out, d.digits + integer_digits, d.count - integer_digits);
}

char* scientific_text(const DecimalDigits& d, char separator, char* out) {
  *out++ = d.digits[0];
  if (d.count > 1) {
    *out++ = separator;
    out = put_digits(out, d.digits + 1, d.count - 1);
  }
  *out++ = 'E';
  return std::to_chars(out, out + 8, d.exponent).ptr;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Copies the number in text to out with "." as the separator; false when
// text is not a number. Sets negative_exponent when the exponent has a "-".
bool normalise_number(std::string_view text, std::string& out, bool& negative_exponent) {
  size_t pos = 0, end = text.size();
  while (pos < end && text[pos] == ' ') ++pos;
  while (end > pos && text[end - 1] == ' ') --end;
  if (pos < end && (text[pos] == '+' || text[pos] == '-')) {
    if (text[pos] == '-') out += '-';
    ++pos;
  }
  const char separator = FormatSettings().DecimalSeparator;
  bool any_digit = false, seen_separator = false;
  for (; pos < end && (is_digit(text[pos]) || (text[pos] == separator && !seen_separator)); ++pos) {
    if (text[pos] == separator) {
      seen_separator = true;
      out += '.';
    } else {
      any_digit = true;
      out += text[pos];
    }
  }
  if (!any_digit) return false;
  negative_exponent = false;
  if (pos < end && (text[pos] == 'e' || text[pos] == 'E')) {
    out += 'e';
    ++pos;
    if (pos < end && (text[pos] == '+' || text[pos] == '-')) {
      negative_exponent = text[pos] == '-';
      out += text[pos++];
    }
    if (pos == end || !is_digit(text[pos])) return false;
    while (pos < end && is_digit(text[pos])) out += text[pos++];
  }
  return pos == end;
}


// Values with up to four decimals (amounts, measures) are a whole number n
// over 10^k; with n below 10^15 their 15-digit text is exactly n's digits
// with k decimals, so no digit search is needed. nullptr otherwise.
char* short_decimal_text(double magnitude, char separator, char* out) {
  constexpr double kScales[] = {1, 10, 100, 1000, 10000};
  for (int decimals = 0; decimals < 5; ++decimals) {
    const double scaled = magnitude * kScales[decimals];
    if (scaled >= 1e15) return nullptr;
    if (scaled != std::trunc(scaled)) continue;
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, static_cast<int64_t>(scaled)).ptr;
    auto length = static_cast<int>(end - digits);
    while (decimals > 0 && end[-1] == '0') {
      --end;
      --decimals;
      --length;
    }
    const int integer_digits = length - decimals;
    if (integer_digits <= 0) {
      *out++ = '0';
      *out++ = separator;
      out = put_zeros(out, static_cast<size_t>(-integer_digits));
      return put_digits(out, digits, static_cast<size_t>(length));
    }
    out = put_digits(out, digits, static_cast<size_t>(integer_digits));
    if (decimals == 0) return out;
    *out++ = separator;
    return put_digits(out, digits + integer_digits, static_cast<size_t>(decimals));
  }
  return nullptr;
}

}  // namespace

size_t FloatToChars(double value, char* out) {
  auto literal = [out](std::string_view text) { return static_cast<size_t>(std::copy(text.begin(), text.end(), out) - out); };
  if (std::isnan(value)) return literal("NAN");
  if (std::isinf(value)) return literal(value < 0 ? "-INF" : "INF");
  if (value == 0) return literal("0");
  const char separator = FormatSettings().DecimalSeparator;
  char* at = out;
  if (value < 0) *at++ = '-';
  if (char* end = std::fabs(value) >= std::numeric_limits<double>::min() ? short_decimal_text(std::fabs(value), separator, at) : nullptr)
    return static_cast<size_t>(end - out);
  const DecimalDigits d = to_decimal_digits(std::fabs(value));
  at = d.exponent > -5 && d.exponent < GeneralPrecision ? fixed_text(d, separator, at) : scientific_text(d, separator, at);
  return static_cast<size_t>(at - out);
}

std::string FloatToStr(double value) {
  char text[kFloatTextSize];
  return std::string(text, FloatToChars(value, text));
}

std::optional<double> TryStrToFloat(std::string_view text) {
  std::string normal;
  bool negative_exponent = false;
  if (!normalise_number(text, normal, negative_exponent)) return std::nullopt;
  const char* first = normal.data();
  if (*first == '-') ++first;  // from_chars takes no plus, and no minus in general format
  double value = 0;
  auto [ptr, error] = std::from_chars(first, normal.data() + normal.size(), value);
  if (error == std::errc::result_out_of_range) {
    if (!negative_exponent) return std::nullopt;
    value = 0;
  } else if (error != std::errc() || ptr != normal.data() + normal.size()) {
    return std::nullopt;
  }
  return normal[0] == '-' ? -value : value;
}

double StrToFloat(std::string_view text) {
  if (auto value = TryStrToFloat(text)) return *value;
  throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

}  // namespace kvell

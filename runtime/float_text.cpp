#include "runtime/float_text.h"

#include <charconv>
#include <cmath>

#include "runtime/exception.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

constexpr int GeneralPrecision = 15;

struct DecimalDigits {
  std::string digits;  // significant digits, no trailing zeros, at least one
  int exponent = 0;    // value = d.ddd x 10^exponent
};

DecimalDigits to_decimal_digits(double magnitude) {
  // The same correctly rounded digits as printf's "%.14e", without stdio.
  char buffer[40];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                                    GeneralPrecision - 1);
  (void)error;  // 40 characters hold any double in this form
  DecimalDigits result;
  const char* p = buffer;
  for (; p != end && *p != 'e'; ++p)
    if (*p != '.') result.digits += *p;
  std::from_chars(p + 1 + (p[1] == '+'), end, result.exponent);
  while (result.digits.size() > 1 && result.digits.back() == '0') result.digits.pop_back();
  return result;
}

std::string fixed_text(const DecimalDigits& d, char separator) {
  if (d.exponent < 0) return "0" + std::string(1, separator) +
                             std::string(static_cast<size_t>(-d.exponent - 1), '0') + d.digits;
  size_t integer_digits = static_cast<size_t>(d.exponent) + 1;
  if (d.digits.size() <= integer_digits)
    return d.digits + std::string(integer_digits - d.digits.size(), '0');
  return d.digits.substr(0, integer_digits) + separator + d.digits.substr(integer_digits);
}

std::string scientific_text(const DecimalDigits& d, char separator) {
  std::string text = d.digits.substr(0, 1);
  if (d.digits.size() > 1) text += separator + d.digits.substr(1);
  return text + "E" + std::to_string(d.exponent);
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

}  // namespace

std::string FloatToStr(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  const char separator = FormatSettings().DecimalSeparator;
  DecimalDigits d = to_decimal_digits(std::fabs(value));
  std::string text = d.exponent > -5 && d.exponent < GeneralPrecision ? fixed_text(d, separator)
                                                                      : scientific_text(d, separator);
  return value < 0 ? "-" + text : text;
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

#include "runtime/str_convert.h"

#include "runtime/exception.h"

namespace kvell {
namespace {

int digit_value(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < base ? value : -1;
}

// Length of the hexadecimal prefix at the start of text ("$", "x", "0x"), or 0.
size_t hex_prefix_length(std::string_view text) {
  if (text.empty()) return 0;
  if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return 1;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return 2;
  return 0;
}

}  // namespace

std::optional<int32_t> TryStrToInt(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  int base = 10;
  if (size_t prefix = hex_prefix_length(text.substr(pos)); prefix > 0) {
    base = 16;
    pos += prefix;
  }
  if (pos >= text.size()) return std::nullopt;

  // Accumulate the magnitude; -2^31 is the one value whose magnitude exceeds INT32_MAX.
  const int64_t limit = negative ? int64_t{1} << 31 : (int64_t{1} << 31) - 1;
  int64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    int digit = digit_value(text[pos], base);
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int32_t StrToInt(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value;
  throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

int32_t StrToIntDef(std::string_view text, int32_t default_value) {
  return TryStrToInt(text).value_or(default_value);
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

}  // namespace kvell

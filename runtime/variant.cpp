#include "runtime/variant.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "runtime/exception.h"
#include "runtime/format_settings.h"
#include "runtime/str_convert.h"

namespace kvell {
namespace {

// General float text: 15 significant digits, locale separator, no trailing
// zeros, exponent without '+' or leading zeros.
std::string float_text(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string text(buffer);
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.') {
      result += FormatSettings().DecimalSeparator;
    } else if (c == 'E') {
      result += 'E';
      size_t j = i + 1;
      if (text[j] == '-') result += text[j];
      if (text[j] == '-' || text[j] == '+') ++j;
      while (j + 1 < text.size() && text[j] == '0') ++j;
      result += text.substr(j);
      break;
    } else {
      result += c;
    }
  }
  return result;
}

std::string two_digits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

// Expands the d/m/y/h/n/s letters of a short date or long time pattern.
std::string expand_pattern(const std::string& pattern, TDateTime value) {
  int year, month, day, hour, minute, second, msec;
  DecodeDate(value, year, month, day);
  DecodeTime(value, hour, minute, second, msec);
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i])));
    size_t run = 1;
    while (i + run < pattern.size() &&
           std::tolower(static_cast<unsigned char>(pattern[i + run])) == c)
      ++run;
    auto number = [&](int v) { out += run >= 2 ? two_digits(v) : std::to_string(v); };
    switch (c) {
      case 'd': number(day); break;
      case 'm': number(month); break;
      case 'y': out += run >= 3 ? std::to_string(year) : two_digits(year % 100); break;
      case 'h': number(hour); break;
      case 'n': number(minute); break;
      case 's': number(second); break;
      case '/': out += std::string(run, FormatSettings().DateSeparator); break;
      case ':': out += std::string(run, FormatSettings().TimeSeparator); break;
      default: out += pattern.substr(i, run); break;
    }
    i += run;
  }
  return out;
}

std::string date_time_text(TDateTime value) {
  std::string text = expand_pattern(FormatSettings().ShortDateFormat, value);
  if (value != std::trunc(value)) text += " " + expand_pattern(FormatSettings().LongTimeFormat, value);
  return text;
}

std::vector<int> numbers_in(const std::string& text, size_t& pos, char separator, size_t max) {
  std::vector<int> parts;
  while (parts.size() < max && pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    int value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])))
      value = value * 10 + (text[pos++] - '0');
    parts.push_back(value);
    if (pos < text.size() && text[pos] == separator) ++pos; else break;
  }
  return parts;
}

// Reads "date [time]" in the order of the short date pattern.
bool try_parse_date_time(const std::string& text, TDateTime& result) {
  const TFormatSettings& fs = FormatSettings();
  size_t pos = text.find_first_not_of(' ');
  if (pos == std::string::npos) return false;
  std::vector<int> date = numbers_in(text, pos, fs.DateSeparator, 3);
  if (date.size() != 3) return false;
  std::string order;
  for (char c : fs.ShortDateFormat) {
    char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if ((l == 'd' || l == 'm' || l == 'y') && order.find(l) == std::string::npos) order += l;
  }
  if (order.size() != 3) order = "dmy";
  int d = date[order.find('d')], m = date[order.find('m')], y = date[order.find('y')];
  if (y < 100) y += 2000;
  TDateTime day_part;
  if (!TryEncodeDate(y, m, d, day_part)) return false;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  TDateTime time_part = 0;
  if (pos < text.size()) {
    std::vector<int> time = numbers_in(text, pos, fs.TimeSeparator, 3);
    if (time.size() < 2) return false;
    if (!TryEncodeTime(time[0], time[1], time.size() > 2 ? time[2] : 0, 0, time_part)) return false;
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos != text.size()) return false;
  }
  result = day_part < 0 ? day_part - time_part : day_part + time_part;
  return true;
}

bool try_parse_float(const std::string& text, double& result) {
  std::string copy = text;
  for (char& c : copy) {
    if (c == FormatSettings().DecimalSeparator) c = '.';
    else if (c == '.') return false;
  }
  size_t start = copy.find_first_not_of(' ');
  if (start == std::string::npos) return false;
  const char* begin = copy.c_str() + start;
  char* end = nullptr;
  result = std::strtod(begin, &end);
  while (*end == ' ') ++end;
  return end != begin && *end == '\0' && std::isfinite(result);
}

bool equal_no_case(const std::string& a, const char* b) {
  size_t n = std::char_traits<char>::length(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

Variant Variant::Null() {
  Variant v;
  v.value_ = NullTag{};
  return v;
}

Variant Variant::FromDateTime(TDateTime value) {
  Variant v;
  v.value_ = DateValue{value};
  return v;
}

Variant Variant::FromBytes(std::vector<uint8_t> bytes) {
  Variant v;
  v.value_ = std::move(bytes);
  return v;
}

Variant Variant::FromArray(std::vector<Variant> items, int low_bound) {
  Variant v;
  v.value_ = ArrayValue{std::move(items), low_bound};
  return v;
}

uint16_t Variant::VarType() const {
  static constexpr uint16_t codes[] = {varEmpty,  varNull,   varBoolean, varInteger,
                                       varInt64,  varDouble, varDate,    varString,
                                       varArray | varVariant, varArray | varByte};
  return codes[value_.index()];
}

bool Variant::IsNumeric() const {
  return std::holds_alternative<int32_t>(value_) || std::holds_alternative<int64_t>(value_) ||
         std::holds_alternative<double>(value_) || std::holds_alternative<bool>(value_);
}

std::string VarTypeName(uint16_t var_type) {
  switch (var_type) {
    case varEmpty: return "Empty";
    case varNull: return "Null";
    case varInteger: return "Integer";
    case varDouble: return "Double";
    case varDate: return "Date";
    case varBoolean: return "Boolean";
    case varInt64: return "Int64";
    case varString: return "String";
    default: return "Array";
  }
}

void Variant::fail_conversion(const char* target) const {
  throw EVariantError("Could not convert variant of type (" + VarTypeName(VarType()) +
                      ") into type (" + target + ")");
}

double Variant::AsDouble() const {
  if (IsEmpty()) return 0;
  if (auto b = std::get_if<bool>(&value_)) return *b ? -1 : 0;
  if (auto i = std::get_if<int32_t>(&value_)) return *i;
  if (auto l = std::get_if<int64_t>(&value_)) return static_cast<double>(*l);
  if (auto d = std::get_if<double>(&value_)) return *d;
  if (auto t = std::get_if<DateValue>(&value_)) return t->value;
  if (auto s = std::get_if<std::string>(&value_)) {
    double result;
    if (try_parse_float(*s, result)) return result;
  }
  fail_conversion("Double");
}

int64_t Variant::AsInt64() const {
  if (auto i = std::get_if<int32_t>(&value_)) return *i;
  if (auto l = std::get_if<int64_t>(&value_)) return *l;
  if (auto s = std::get_if<std::string>(&value_)) {
    if (auto parsed = TryStrToInt(*s)) return *parsed;
  }
  if (IsNull() || IsArray() || IsBytes()) fail_conversion("Int64");
  double d = AsDouble();
  if (!(std::fabs(d) < 9.2e18)) fail_conversion("Int64");
  return static_cast<int64_t>(std::nearbyint(d));  // banker's rounding in the default mode
}

int32_t Variant::AsInteger() const {
  if (IsNull() || IsArray() || IsBytes()) fail_conversion("Integer");
  int64_t value = AsInt64();
  if (value < INT32_MIN || value > INT32_MAX) fail_conversion("Integer");
  return static_cast<int32_t>(value);
}

bool Variant::AsBoolean() const {
  if (auto b = std::get_if<bool>(&value_)) return *b;
  if (IsEmpty()) return false;
  if (auto s = std::get_if<std::string>(&value_)) {
    if (equal_no_case(*s, "True")) return true;
    if (equal_no_case(*s, "False")) return false;
    double d;
    if (try_parse_float(*s, d)) return d != 0;
    fail_conversion("Boolean");
  }
  if (IsNull() || IsArray() || IsBytes()) fail_conversion("Boolean");
  return AsDouble() != 0;
}

TDateTime Variant::AsDateTime() const {
  if (auto s = std::get_if<std::string>(&value_)) {
    TDateTime result;
    if (try_parse_date_time(*s, result)) return result;
    double d;
    if (try_parse_float(*s, d)) return d;
    fail_conversion("Date");
  }
  if (IsNull() || IsArray() || IsBytes()) fail_conversion("Date");
  return AsDouble();
}

std::string Variant::AsString() const {
  if (IsEmpty()) return "";
  if (auto s = std::get_if<std::string>(&value_)) return *s;
  if (auto b = std::get_if<bool>(&value_)) return *b ? "True" : "False";
  if (auto i = std::get_if<int32_t>(&value_)) return IntToStr(*i);
  if (auto l = std::get_if<int64_t>(&value_)) return IntToStr(*l);
  if (auto d = std::get_if<double>(&value_)) return float_text(*d);
  if (auto t = std::get_if<DateValue>(&value_)) return date_time_text(t->value);
  if (auto bytes = std::get_if<std::vector<uint8_t>>(&value_))
    return std::string(bytes->begin(), bytes->end());
  fail_conversion("String");
}

std::vector<uint8_t> Variant::AsBytes() const {
  if (auto bytes = std::get_if<std::vector<uint8_t>>(&value_)) return *bytes;
  if (auto s = std::get_if<std::string>(&value_)) return std::vector<uint8_t>(s->begin(), s->end());
  if (IsEmpty()) return {};
  fail_conversion("Array");
}

const Variant::ArrayValue& Variant::array() const {
  if (auto a = std::get_if<ArrayValue>(&value_)) return *a;
  throw EVariantError("Variant is not an array");
}

int Variant::ArrayLowBound() const { return array().low_bound; }

int Variant::ArrayHighBound() const {
  return array().low_bound + static_cast<int>(array().items.size()) - 1;
}

const Variant& Variant::operator[](int index) const {
  const ArrayValue& a = array();
  int position = index - a.low_bound;
  if (position < 0 || position >= static_cast<int>(a.items.size()))
    throw EVariantError("Variant or safe array index out of bounds");
  return a.items[position];
}

Variant& Variant::operator[](int index) {
  return const_cast<Variant&>(static_cast<const Variant&>(*this)[index]);
}

bool operator==(const Variant& left, const Variant& right) {
  if (left.IsNull() || right.IsNull()) return left.IsNull() && right.IsNull();
  if (left.IsArray() || right.IsArray()) {
    if (!left.IsArray() || !right.IsArray()) return false;
    const auto& a = left.array();
    const auto& b = right.array();
    return a.low_bound == b.low_bound && a.items == b.items;
  }
  if (left.IsString() && right.IsString()) return left.AsString() == right.AsString();
  if (left.IsBytes() || right.IsBytes()) return left.AsBytes() == right.AsBytes();
  if (left.IsEmpty() && right.IsEmpty()) return true;
  if (left.IsString() || right.IsString()) {
    double l, r;
    if (try_parse_float(left.AsString(), l) && try_parse_float(right.AsString(), r)) return l == r;
    return left.AsString() == right.AsString();
  }
  return left.AsDouble() == right.AsDouble();
}

std::string VarToStr(const Variant& v) { return v.IsNull() ? std::string() : v.AsString(); }

}  // namespace kvell

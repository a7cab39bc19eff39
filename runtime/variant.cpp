#include "runtime/variant.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "runtime/date_text.h"
#include "runtime/exception.h"
#include "runtime/float_text.h"
#include "runtime/str_convert.h"

namespace kvell {
namespace {

bool try_parse_float(const std::string& text, double& result) {
  std::optional<double> value = TryStrToFloat(text);
  if (value) result = *value;
  return value.has_value();
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
    if (std::optional<TDateTime> result = TryStrToDateTime(*s)) return *result;
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
  if (auto d = std::get_if<double>(&value_)) return FloatToStr(*d);
  if (auto t = std::get_if<DateValue>(&value_)) return DateTimeToStr(t->value);
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
    double l = 0, r = 0;
    if (try_parse_float(left.AsString(), l) && try_parse_float(right.AsString(), r)) return l == r;
    return left.AsString() == right.AsString();
  }
  return left.AsDouble() == right.AsDouble();
}

std::string VarToStr(const Variant& v) { return v.IsNull() ? std::string() : v.AsString(); }

}  // namespace kvell

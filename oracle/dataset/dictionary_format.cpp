#include "oracle/dataset/dictionary_format.h"

#include <cmath>

#include "db/field.h"

namespace kvell {
namespace {

// The integer part: "#" for every digit but the last, which is "0".
std::string integer_part(int precision, int scale) {
  if (scale >= precision) return "0";
  return std::string(static_cast<size_t>(precision - scale - 1), '#') + "0";
}

std::string fraction_part(int scale) { return "." + std::string(static_cast<size_t>(scale), '0'); }

std::string grouped(const std::string& digits) {
  std::string result;
  const size_t count = digits.size();
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && (count - i) % 3 == 0) result += ',';
    result += digits[i];
  }
  return result;
}

}  // namespace

std::string NumberDisplayFormat(int precision, int scale) {
  return grouped(integer_part(precision, scale)) + fraction_part(scale);
}

std::string NumberEditFormat(int precision, int scale) { return integer_part(precision, scale) + fraction_part(scale); }

void ApplyRange(TField& field, int precision, int scale) {
  if (precision <= 0) return;
  const double limit = (std::pow(10.0, precision) - 1) / std::pow(10.0, scale);
  if (auto* integer = dynamic_cast<TIntegerField*>(&field)) {
    if (integer->MinValue != 0 || integer->MaxValue != 0) return;
    integer->MaxValue = static_cast<int64_t>(std::llround(limit));
    integer->MinValue = -integer->MaxValue;
  } else if (auto* floating = dynamic_cast<TFloatField*>(&field)) {
    if (floating->MinValue != 0 || floating->MaxValue != 0) return;
    floating->MaxValue = limit;
    floating->MinValue = -limit;
  }
}

void ApplyDisplayFormat(TField& field, int precision, int scale) {
  auto* number = dynamic_cast<TNumericField*>(&field);
  if (!number || !number->DisplayFormat.empty() || !number->EditFormat.empty()) return;
  if (precision > 0 && scale > 0) {
    number->DisplayFormat = NumberDisplayFormat(precision, scale);
    number->EditFormat = NumberEditFormat(precision, scale);
    field.SetDisplayWidth(static_cast<int>(number->DisplayFormat.size()) + 1);
  } else if (precision > 0) {
    field.SetDisplayWidth(precision + 1);
  }
}

}  // namespace kvell

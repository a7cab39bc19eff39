#include "ociemu/sql/number_format.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "ociemu/sql/errors.h"

namespace ociemu::sql {
namespace {

struct Model {
  bool fill_mode = false;
  bool leading_sign = false;   // S at the start
  bool trailing_sign = false;  // S or MI at the end
  bool minus_only = false;     // MI: blank for positive values
  bool dollar = false;
  bool hex = false;
  bool upper_hex = true;
  std::string integer_part;    // 9, 0, ',' and 'G' of the integer digits
  int fraction_digits = 0;     // digits after '.' or 'D'
  bool has_point = false;
};

Model read_model(std::string_view text) {
  Model model;
  std::string upper;
  for (char c : text) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  std::string_view rest = upper;
  auto take = [&](std::string_view prefix) {
    if (rest.substr(0, prefix.size()) != prefix) return false;
    rest.remove_prefix(prefix.size());
    return true;
  };
  if (take("FM")) model.fill_mode = true;
  if (take("S")) model.leading_sign = true;
  if (take("$")) model.dollar = true;
  if (rest.size() >= 2 && rest.substr(rest.size() - 2) == "MI") {
    model.trailing_sign = model.minus_only = true;
    rest.remove_suffix(2);
  } else if (!model.leading_sign && !rest.empty() && rest.back() == 'S') {
    model.trailing_sign = true;
    rest.remove_suffix(1);
  }
  if (!rest.empty() && rest.find_first_not_of("0X") == std::string_view::npos && rest.find('X') != std::string_view::npos) {
    model.hex = true;
    model.upper_hex = text.find('x') == std::string_view::npos;
    model.integer_part = std::string(rest);
    return model;
  }
  for (char c : rest) {
    if (c == '.' || c == 'D') {
      if (model.has_point) throw_oracle(1481);
      model.has_point = true;
    } else if (c == '9' || c == '0') {
      if (model.has_point) {
        ++model.fraction_digits;
      } else {
        model.integer_part.push_back(c);
      }
    } else if ((c == ',' || c == 'G') && !model.has_point) {
      model.integer_part.push_back(',');
    } else if (c == '$') {
      model.dollar = true;
    } else {
      throw_oracle(1481);
    }
  }
  return model;
}

std::string format_hex(const Number& number, const Model& model) {
  double value = std::round(number.as_double());
  if (value < 0 || value > 1.8e19) return std::string(model.integer_part.size() + 1, '#');
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, model.upper_hex ? "%llX" : "%llx", static_cast<unsigned long long>(value));
  std::string digits = buffer;
  size_t width = model.integer_part.size();
  if (digits.size() > width) return std::string(width + 1, '#');
  bool zero_pad = model.integer_part[0] == '0';
  if (zero_pad) digits.insert(0, width - digits.size(), '0');
  if (model.fill_mode) return digits;
  return std::string(width + 1 - digits.size(), ' ') + digits;
}

}  // namespace

std::string format_number_model(const Number& number, std::string_view model_text) {
  Model model = read_model(model_text);
  if (model.hex) return format_hex(number, model);
  double value = number.as_double();
  bool negative = value < 0;
  double rounded = round_decimal(std::fabs(value), model.fraction_digits, false);
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", model.fraction_digits, rounded);
  std::string fixed = buffer;
  size_t point = fixed.find('.');
  std::string integer_digits = fixed.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : fixed.substr(point + 1);
  if (integer_digits == "0") integer_digits.clear();

  // Lay the integer digits into the model right to left.
  const std::string& slots = model.integer_part;
  size_t digit_slots = 0;
  for (char c : slots) digit_slots += c != ',';
  size_t first_zero = slots.find('0');
  size_t forced = 0;  // digits that must show because a 0 sits at or left of them
  if (first_zero != std::string::npos) {
    for (size_t i = first_zero; i < slots.size(); ++i) forced += slots[i] != ',';
  }
  if (integer_digits.size() > digit_slots) {
    size_t width = slots.size() + (model.has_point ? 1 + static_cast<size_t>(model.fraction_digits) : 0) + 1;
    return std::string(width, '#');
  }
  std::string shown_digits = integer_digits;
  if (shown_digits.size() < forced) shown_digits.insert(0, forced - shown_digits.size(), '0');
  if (shown_digits.empty() && !model.has_point) shown_digits = "0";
  if (shown_digits.empty() && model.has_point && model.fraction_digits == 0) shown_digits = "0";
  std::string integer_text;
  size_t remaining = shown_digits.size();
  for (size_t i = slots.size(); i-- > 0;) {
    if (slots[i] == ',') {
      if (remaining > 0 && remaining < shown_digits.size() + 1 && integer_text.size() > 0) integer_text.insert(0, ",");
      continue;
    }
    if (remaining == 0) break;
    integer_text.insert(0, 1, shown_digits[--remaining]);
  }
  if (!integer_text.empty() && integer_text[0] == ',') integer_text.erase(0, 1);
  std::string body = (model.dollar ? "$" : "") + integer_text + (model.has_point ? "." + fraction : "");
  std::string sign;
  if (model.leading_sign) body = (negative ? "-" : "+") + body;
  if (model.trailing_sign) body += negative ? "-" : (model.minus_only ? (model.fill_mode ? "" : " ") : "+");
  if (!model.leading_sign && !model.trailing_sign) body = (negative ? "-" : "") + body;
  if (model.fill_mode) return body;
  // Without FM the result is padded to the model's width plus a sign position.
  size_t width = slots.size() + (model.has_point ? 1 + static_cast<size_t>(model.fraction_digits) : 0) +
                 (model.dollar ? 1 : 0) + (model.leading_sign || model.trailing_sign ? 1 : 1);
  if (model.trailing_sign && !model.leading_sign) width = std::max(width, body.size());
  if (body.size() < width) body.insert(0, width - body.size(), ' ');
  return body;
}

Number parse_number_model(std::string_view text, std::string_view model_text) {
  Model model = read_model(model_text);
  std::string cleaned;
  for (char c : text) {
    if (c == ',' || c == '$' || std::isspace(static_cast<unsigned char>(c))) continue;
    cleaned.push_back(c);
  }
  if (model.hex) {
    char* stop = nullptr;
    unsigned long long value = std::strtoull(cleaned.c_str(), &stop, 16);
    if (cleaned.empty() || *stop != '\0') throw_oracle(1722);
    return Number::of(static_cast<double>(value));
  }
  if (!cleaned.empty() && cleaned.back() == '-') cleaned = "-" + cleaned.substr(0, cleaned.size() - 1);
  if (!cleaned.empty() && cleaned.back() == '+') cleaned.pop_back();
  auto number = parse_number(cleaned);
  if (!number) throw_oracle(1722);
  return *number;
}

}  // namespace ociemu::sql

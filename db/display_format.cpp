#include "db/display_format.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

#include "runtime/format_settings.h"

namespace kvell {
namespace {

std::vector<std::string> split_sections(const std::string& pattern) {
  std::vector<std::string> sections(1);
  char quote = 0;
  for (char c : pattern) {
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

std::string unquote(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '"' && c != '\'') out += c;
  return out;
}

std::string group_thousands(const std::string& digits) {
  std::string out;
  int count = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (count > 0 && count % 3 == 0) out.insert(out.begin(), ',');
    out.insert(out.begin(), *it);
    ++count;
  }
  return out;
}

std::string format_section(const std::string& section, double value) {
  size_t first = section.find_first_of("0#.,");
  if (first == std::string::npos) return unquote(section);
  size_t last = section.find_last_of("0#.,");
  std::string placeholders = section.substr(first, last - first + 1);
  size_t point = placeholders.find('.');
  std::string int_part = placeholders.substr(0, point);
  std::string frac_part = point == std::string::npos ? "" : placeholders.substr(point + 1);
  int min_int = 0, min_frac = 0, max_frac = 0;
  for (char c : int_part) min_int += c == '0';
  for (char c : frac_part) {
    if (c == '0') min_frac = ++max_frac;
    else if (c == '#') ++max_frac;
  }
  bool thousands = int_part.find(',') != std::string::npos;
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.*f", max_frac, std::fabs(value));
  std::string number(buffer);
  size_t dot = number.find('.');
  std::string whole = number.substr(0, dot);
  std::string fraction = dot == std::string::npos ? "" : number.substr(dot + 1);
  while (static_cast<int>(fraction.size()) > min_frac && fraction.back() == '0') fraction.pop_back();
  if (whole == "0" && min_int == 0) whole.clear();
  while (static_cast<int>(whole.size()) < min_int) whole.insert(whole.begin(), '0');
  if (thousands) whole = group_thousands(whole);
  std::string text = whole;
  if (!fraction.empty()) text += FormatSettings().DecimalSeparator + fraction;
  return unquote(section.substr(0, first)) + text + unquote(section.substr(last + 1));
}

}  // namespace

std::string format_float_pattern(const std::string& pattern, double value) {
  std::vector<std::string> sections = split_sections(pattern);
  if (value < 0 && sections.size() > 1 && !sections[1].empty())
    return format_section(sections[1], value);
  if (value == 0 && sections.size() > 2 && !sections[2].empty())
    return format_section(sections[2], value);
  std::string text = format_section(sections[0], value);
  bool shows_digit = text.find_first_of("123456789") != std::string::npos;
  return value < 0 && shows_digit ? "-" + text : text;
}

}  // namespace kvell

// TO_CHAR and TO_DATE format models for DATE and TIMESTAMP values.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/errors.h"

namespace ociemu::sql {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",
                                                      "MAY",     "JUNE",     "JULY",      "AUGUST",
                                                      "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
constexpr std::array<std::string_view, 7> kDays = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                                   "THURSDAY", "FRIDAY", "SATURDAY"};

// Elements longest first so that a prefix never shadows a longer element.
constexpr std::array<std::string_view, 45> kElements = {
    "SYYYY", "YYYY", "RRRR", "MONTH", "SSSSS", "HH24", "HH12", "A.M.", "P.M.", "A.D.", "B.C.", "YYY", "MON",
    "DDD",   "DAY",  "FF1",  "FF2",   "FF3",   "FF4",  "FF5",  "FF6",  "FF7",  "FF8",  "FF9",  "TZH", "TZM", "TZR",
    "YY",    "RR",   "MM",   "DD",    "DY",    "HH",   "MI",   "SS",   "AM",   "PM",   "AD",   "BC",  "FF",
    "FM",    "Y",    "D",    "J",     "X"};

enum class Case { Upper, Capitalised, Lower };

struct Element {
  std::string_view name;  // empty for literal text
  std::string literal;
  Case letter_case = Case::Upper;
};

Case case_of(std::string_view original) {
  if (original.empty() || std::isupper(static_cast<unsigned char>(original[0])) == 0) return Case::Lower;
  if (original.size() > 1 && std::islower(static_cast<unsigned char>(original[1]))) return Case::Capitalised;
  return Case::Upper;
}

std::string apply_case(std::string_view upper_text, Case letter_case) {
  std::string text(upper_text);
  for (size_t i = 0; i < text.size(); ++i) {
    bool lower = letter_case == Case::Lower || (letter_case == Case::Capitalised && i > 0);
    if (lower) text[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
  }
  return text;
}

std::vector<Element> split_model(std::string_view model) {
  std::vector<Element> elements;
  size_t pos = 0;
  while (pos < model.size()) {
    if (model[pos] == '"') {
      size_t end = model.find('"', pos + 1);
      if (end == std::string_view::npos) throw_oracle(1821);
      elements.push_back({"", std::string(model.substr(pos + 1, end - pos - 1))});
      pos = end + 1;
      continue;
    }
    bool matched = false;
    for (std::string_view element : kElements) {
      if (pos + element.size() > model.size()) continue;
      bool same = std::equal(element.begin(), element.end(), model.begin() + static_cast<std::ptrdiff_t>(pos),
                             [](char a, char b) { return a == std::toupper(static_cast<unsigned char>(b)); });
      if (!same) continue;
      elements.push_back({element, "", case_of(model.substr(pos, element.size()))});
      pos += element.size();
      matched = true;
      break;
    }
    if (matched) continue;
    char c = model[pos];
    if (std::isalnum(static_cast<unsigned char>(c))) throw_oracle(1821);
    elements.push_back({"", std::string(1, c)});
    ++pos;
  }
  return elements;
}

// As "%lld", or "%0*lld" outside fill mode, without printf: every fetched date passes here.
std::string number_text(long long value, int width, bool fill_mode) {
  char digits[24];
  size_t count = 0;
  unsigned long long rest = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    digits[count++] = static_cast<char>('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  std::string text;
  if (value < 0) text += '-';
  const size_t used = count + text.size();
  if (!fill_mode && width > 0 && used < static_cast<size_t>(width)) text.append(static_cast<size_t>(width) - used, '0');
  while (count > 0) text += digits[--count];
  return text;
}

std::string padded_name(std::string_view name, size_t width, bool fill_mode, Case letter_case) {
  std::string text = apply_case(name, letter_case);
  if (!fill_mode && text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

int hour12(int hour) { return hour % 12 == 0 ? 12 : hour % 12; }

std::string format_element(const Element& e, const DateTimeValue& v, bool fm, int fraction_digits) {
  std::string_view n = e.name;
  int year = std::abs(v.year);
  if (n == "YYYY" || n == "RRRR") return number_text(year, 4, false);
  if (n == "SYYYY") return (v.year < 0 ? "-" : " ") + number_text(year, 4, false);
  if (n == "YYY") return number_text(year % 1000, 3, fm);
  if (n == "YY" || n == "RR") return number_text(year % 100, 2, fm);
  if (n == "Y") return number_text(year % 10, 1, fm);
  if (n == "MM") return number_text(v.month, 2, fm);
  if (n == "MON") return apply_case(kMonths[static_cast<size_t>(v.month - 1)].substr(0, 3), e.letter_case);
  if (n == "MONTH") return padded_name(kMonths[static_cast<size_t>(v.month - 1)], 9, fm, e.letter_case);
  if (n == "DD") return number_text(v.day, 2, fm);
  if (n == "DDD") return number_text(v.day_of_year(), 3, fm);
  if (n == "D") return number_text(v.day_of_week(), 1, fm);
  if (n == "DY") return apply_case(kDays[static_cast<size_t>(v.day_of_week() - 1)].substr(0, 3), e.letter_case);
  if (n == "DAY") return padded_name(kDays[static_cast<size_t>(v.day_of_week() - 1)], 9, fm, e.letter_case);
  if (n == "HH" || n == "HH12") return number_text(hour12(v.hour), 2, fm);
  if (n == "HH24") return number_text(v.hour, 2, fm);
  if (n == "MI") return number_text(v.minute, 2, fm);
  if (n == "SS") return number_text(v.second, 2, fm);
  if (n == "SSSSS") return number_text(v.hour * 3600 + v.minute * 60 + v.second, 5, fm);
  if (n == "AM" || n == "PM") return apply_case(v.hour < 12 ? "AM" : "PM", e.letter_case);
  if (n == "A.M." || n == "P.M.") return apply_case(v.hour < 12 ? "A.M." : "P.M.", e.letter_case);
  if (n == "AD" || n == "BC") return apply_case(v.year < 0 ? "BC" : "AD", e.letter_case);
  if (n == "A.D." || n == "B.C.") return apply_case(v.year < 0 ? "B.C." : "A.D.", e.letter_case);
  if (n == "J") return number_text(v.day_number() + 2440588, 7, fm);
  if (n == "X") return ".";
  if (n.substr(0, 2) == "FF") {
    int digits = n.size() == 3 ? n[2] - '0' : fraction_digits;
    std::string all = number_text(v.nanoseconds, 9, false);
    return all.substr(0, static_cast<size_t>(digits));
  }
  if (n == "TZH") return (v.zone_minutes < 0 ? "-" : "+") + number_text(std::abs(v.zone_minutes) / 60, 2, false);
  if (n == "TZM") return number_text(std::abs(v.zone_minutes) % 60, 2, false);
  if (n == "TZR") return time_zone_text(v.zone_minutes);  // only offsets are known
  return "";
}

// Reading a value against a model: Oracle is lenient about separators and
// about numbers shorter than their element.
class DateReader {
 public:
  DateReader(std::string_view text) : text_(text) {}

  DateTimeValue read(const std::vector<Element>& elements) {
    DateTimeValue now = current_local_time();
    DateTimeValue value;
    value.year = now.year;
    value.month = now.month;
    bool pm = false, twelve_hour = false;
    for (const Element& e : elements) {
      if (e.name.empty()) {
        skip_literal(e.literal);
        continue;
      }
      if (e.name == "FM" || e.name == "X") {
        if (e.name == "X") skip_literal(".");
        continue;
      }
      if (pos_ >= text_.size()) break;  // a shorter value leaves the remaining defaults
      read_element(e, value, now, pm, twelve_hour);
    }
    skip_blanks();
    if (pos_ < text_.size()) throw_oracle(1830);
    if (twelve_hour) {
      if (value.hour < 1 || value.hour > 12) throw_oracle(1849);
      value.hour = value.hour % 12 + (pm ? 12 : 0);
    }
    check_ranges(value);
    return value;
  }

 private:
  void skip_blanks() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }

  void skip_literal(std::string_view literal) {
    // Punctuation in the value need not match the model's punctuation.
    for (char c : literal) {
      if (pos_ < text_.size() && (text_[pos_] == c || std::ispunct(static_cast<unsigned char>(text_[pos_])) ||
                                  std::isspace(static_cast<unsigned char>(text_[pos_])))) {
        ++pos_;
      } else if (!std::ispunct(static_cast<unsigned char>(c)) && !std::isspace(static_cast<unsigned char>(c))) {
        throw_oracle(1861);
      }
    }
  }

  int read_number(size_t max_digits, bool allow_sign = false) {
    skip_separators();
    bool negative = false;
    if (allow_sign && pos_ < text_.size() && (text_[pos_] == '-' || text_[pos_] == '+')) negative = text_[pos_++] == '-';
    size_t start = pos_;
    long long value = 0;
    while (pos_ < text_.size() && pos_ - start < max_digits && std::isdigit(static_cast<unsigned char>(text_[pos_])))
      value = value * 10 + (text_[pos_++] - '0');
    if (pos_ == start) throw_oracle(1858);
    return static_cast<int>(negative ? -value : value);
  }

  void skip_separators() {
    while (pos_ < text_.size() && (std::isspace(static_cast<unsigned char>(text_[pos_])))) ++pos_;
  }

  template <size_t N>
  int read_name(const std::array<std::string_view, N>& names, size_t abbreviation, int error) {
    skip_separators();
    for (size_t i = 0; i < N; ++i) {
      for (size_t length : {names[i].size(), abbreviation}) {
        if (pos_ + length > text_.size()) continue;
        bool same = true;
        for (size_t k = 0; k < length && same; ++k)
          same = std::toupper(static_cast<unsigned char>(text_[pos_ + k])) == names[i][k];
        if (same) {
          pos_ += length;
          return static_cast<int>(i) + 1;
        }
      }
    }
    throw_oracle(error);
  }

  bool read_word(std::string_view first, std::string_view second) {
    skip_separators();
    for (std::string_view word : {first, second}) {
      if (pos_ + word.size() > text_.size()) continue;
      bool same = true;
      for (size_t k = 0; k < word.size() && same; ++k)
        same = std::toupper(static_cast<unsigned char>(text_[pos_ + k])) == word[k];
      if (same) {
        pos_ += word.size();
        return word == second;
      }
    }
    throw_oracle(1855);
  }

  static int two_digit_year(int yy, const DateTimeValue& now, bool rr) {
    int century = now.year / 100 * 100;
    if (!rr) return century + yy;
    int current = now.year % 100;
    if (yy < 50) return current < 50 ? century + yy : century + 100 + yy;
    return current < 50 ? century - 100 + yy : century + yy;
  }

  void read_element(const Element& e, DateTimeValue& v, const DateTimeValue& now, bool& pm, bool& twelve_hour) {
    std::string_view n = e.name;
    if (n == "YYYY" || n == "SYYYY" || n == "RRRR") {
      size_t start = pos_;
      int year = read_number(4, n == "SYYYY");
      if ((n == "RRRR") && pos_ - start <= 2) year = two_digit_year(year, now, true);
      v.year = year;
    } else if (n == "YYY") {
      v.year = now.year / 1000 * 1000 + read_number(3);
    } else if (n == "YY" || n == "RR") {
      size_t start = pos_;
      int year = read_number(4);
      v.year = pos_ - start <= 2 ? two_digit_year(year, now, n == "RR") : year;
    } else if (n == "Y") {
      v.year = now.year / 10 * 10 + read_number(1);
    } else if (n == "MM") {
      v.month = read_number(2);
      if (v.month < 1 || v.month > 12) throw_oracle(1843);
    } else if (n == "MON" || n == "MONTH") {
      v.month = read_name(kMonths, 3, 1843);
    } else if (n == "DD") {
      v.day = read_number(2);
    } else if (n == "DY" || n == "DAY") {
      read_name(kDays, 3, 1846);
    } else if (n == "DDD") {
      int day_of_year = read_number(3);
      DateTimeValue first;
      first.year = v.year;
      DateTimeValue date = DateTimeValue::from_days(static_cast<double>(first.day_number() + day_of_year - 1));
      v.month = date.month;
      v.day = date.day;
    } else if (n == "J") {
      DateTimeValue date = DateTimeValue::from_days(static_cast<double>(read_number(7) - 2440588));
      v.year = date.year;
      v.month = date.month;
      v.day = date.day;
    } else if (n == "HH24") {
      v.hour = read_number(2);
      if (v.hour > 23) throw_oracle(1850);
    } else if (n == "HH" || n == "HH12") {
      v.hour = read_number(2);
      twelve_hour = true;
    } else if (n == "MI") {
      v.minute = read_number(2);
      if (v.minute > 59) throw_oracle(1851);
    } else if (n == "SS") {
      v.second = read_number(2);
      if (v.second > 59) throw_oracle(1852);
    } else if (n == "SSSSS") {
      int seconds = read_number(5);
      v.hour = seconds / 3600;
      v.minute = seconds / 60 % 60;
      v.second = seconds % 60;
    } else if (n == "AM" || n == "PM") {
      pm = read_word("AM", "PM");
    } else if (n == "A.M." || n == "P.M.") {
      pm = read_word("A.M.", "P.M.");
    } else if (n == "AD" || n == "BC" || n == "A.D." || n == "B.C.") {
      bool bc = n.size() == 2 ? read_word("AD", "BC") : read_word("A.D.", "B.C.");
      if (bc) v.year = -std::abs(v.year);
    } else if (n.substr(0, 2) == "FF") {
      size_t start = pos_;
      int64_t fraction = 0;
      while (pos_ < text_.size() && pos_ - start < 9 && std::isdigit(static_cast<unsigned char>(text_[pos_])))
        fraction = fraction * 10 + (text_[pos_++] - '0');
      for (size_t digits = pos_ - start; digits < 9; ++digits) fraction *= 10;
      v.nanoseconds = fraction;
      v.has_fraction = true;
    } else if (n == "TZH") {
      int hours = read_number(2, true);
      v.zone_minutes = hours * 60;
      v.has_time_zone = true;
    } else if (n == "TZM") {
      int minutes = read_number(2);
      v.zone_minutes += v.zone_minutes < 0 ? -minutes : minutes;
    } else if (n == "TZR") {
      size_t start = pos_;
      while (pos_ < text_.size() && text_[pos_] != ' ') ++pos_;
      ZoneParse zone = parse_time_zone(text_.substr(start, pos_ - start));
      if (zone.error) throw_oracle(zone.error);
      v.zone_minutes = zone.minutes;
      v.has_time_zone = true;
    }
  }

  static void check_ranges(const DateTimeValue& v) {
    if (v.year == 0 || v.year < -4712 || v.year > 9999)
      throw_oracle(1841);
    if (v.day < 1 || v.day > days_in_month(v.year, v.month))
      throw_oracle(1847);
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// A fetch formats every row with the session's one model: it is split once per thread, not per value.
const std::vector<Element>& split_model_kept(std::string_view model) {
  thread_local std::string kept_model;
  thread_local std::vector<Element> kept_elements;
  if (kept_model != model || kept_elements.empty()) {
    kept_elements = split_model(model);
    kept_model.assign(model);
  }
  return kept_elements;
}

}  // namespace

std::string format_datetime(std::string_view storage_text, std::string_view format_model, int fraction_digits) {
  std::optional<DateTimeValue> value = parse_storage(storage_text);
  if (!value) throw_oracle(1858);
  std::string text;
  bool fill_mode = false;
  for (const Element& element : split_model_kept(format_model)) {
    if (element.name.empty()) {
      text += element.literal;
    } else if (element.name == "FM") {
      fill_mode = !fill_mode;
    } else {
      text += format_element(element, *value, fill_mode, fraction_digits);
    }
  }
  return text;
}

std::string parse_datetime(std::string_view text, std::string_view format_model) {
  std::vector<Element> elements = split_model(format_model);
  DateTimeValue value = DateReader(text).read(elements);
  return to_storage(value, value.has_fraction);
}

}  // namespace ociemu::sql

#include "runtime/date_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/exception.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

// 0001-01-01 and 10000-01-01 as day counts.
constexpr double FirstDay = -693593.0;
constexpr double EndDay = 2958466.0;
// Locale formats may name others ("c", "ddddd"); a bad locale must not recurse forever.
constexpr int MaxFormatDepth = 4;

char upper_ascii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool starts_with_nocase(std::string_view text, size_t pos, std::string_view prefix) {
  if (prefix.empty() || text.size() - pos < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (upper_ascii(text[pos + i]) != upper_ascii(prefix[i])) return false;
  return true;
}

// Collects a date's many short pieces in a local buffer for one append.
class TextSink {
 public:
  explicit TextSink(std::string& out) : out_(out) {}
  TextSink& operator+=(char c) {
    if (used_ == kSize) flush();
    buffer_[used_++] = c;
    return *this;
  }
  TextSink& operator+=(std::string_view text) {
    if (text.size() > kSize - used_) {
      flush();
      if (text.size() > kSize) {
        out_.append(text);
        return *this;
      }
    }
    std::memcpy(buffer_ + used_, text.data(), text.size());
    used_ += text.size();
    return *this;
  }
  void flush() {
    out_.append(buffer_, used_);
    used_ = 0;
  }

 private:
  static constexpr size_t kSize = 64;
  std::string& out_;
  char buffer_[kSize];
  size_t used_ = 0;
};

// Every date shown goes through here several times: no printf, no temporaries.
void append_padded(TextSink& out, int value, int width) {
  char digits[24];
  char* start = digits + 8;  // room for the padding
  const auto [end, error] = std::to_chars(start, digits + sizeof digits, value < 0 ? -static_cast<long long>(value) : value);
  const int length = static_cast<int>(end - start);
  const int zeros = std::clamp(width - length - (value < 0 ? 1 : 0), 0, 8);
  start -= zeros;
  std::fill_n(start, zeros, '0');
  if (value < 0) out += '-';
  out += std::string_view(start, static_cast<size_t>(end - start));
}

class DateFormatter {
 public:
  DateFormatter(TDateTime value, std::string& out) : value_(value), out_(out) {
    DecodeDate(value, year_, month_, day_);
    DecodeTime(value, hour_, minute_, second_, msec_);
  }

  void finish() { out_.flush(); }

  void format(std::string_view pattern, int depth) {
    if (depth > MaxFormatDepth) return;
    char last_token = 0;
    size_t i = 0;
    while (i < pattern.size()) {
      char c = pattern[i];
      if (c == '\'' || c == '"') {
        size_t close = pattern.find(c, i + 1);
        if (close == std::string_view::npos) close = pattern.size();
        out_ += pattern.substr(i + 1, close - i - 1);
        i = close + 1;
        continue;
      }
      char token = upper_ascii(c);
      if (token == 'A') {
        i += format_ampm(pattern, i);
        continue;
      }
      size_t count = 1;
      while (i + count < pattern.size() && upper_ascii(pattern[i + count]) == token) ++count;
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && last_token == 'H') token = 'N';
        last_token = token;
      }
      if (!format_token(token, count, pattern, i, depth)) {
        out_ += c;
        count = 1;
      }
      i += count;
    }
  }

 private:
  // Writes the field for a run of count token letters; false for a literal.
  bool format_token(char token, size_t count, std::string_view pattern, size_t pos, int depth) {
    const TFormatSettings& fs = FormatSettings();
    int width = count >= 2 ? 2 : 1;
    switch (token) {
      case 'D':
        if (count <= 2) append_padded(out_, day_, width);
        else if (count == 3) out_ += fs.ShortDayNames[static_cast<size_t>(DayOfWeek(value_) - 1)];
        else if (count == 4) out_ += fs.LongDayNames[static_cast<size_t>(DayOfWeek(value_) - 1)];
        else format(count == 5 ? fs.ShortDateFormat : fs.LongDateFormat, depth + 1);
        return true;
      case 'M':
        if (count <= 2) append_padded(out_, month_, width);
        else out_ += (count == 3 ? fs.ShortMonthNames : fs.LongMonthNames)[static_cast<size_t>(month_ - 1)];
        return true;
      case 'Y': append_padded(out_, count <= 2 ? year_ % 100 : year_, count <= 2 ? 2 : 4); return true;
      case 'H': append_padded(out_, twelve_hour_clock(pattern, pos) ? (hour_ + 11) % 12 + 1 : hour_, width); return true;
      case 'N': append_padded(out_, minute_, width); return true;
      case 'S': append_padded(out_, second_, width); return true;
      case 'Z': append_padded(out_, msec_, count >= 2 ? 3 : 1); return true;
      case 'T': format(count == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, depth + 1); return true;
      case 'C':
        format(fs.ShortDateFormat, depth + 1);
        if (has_time()) {
          out_ += ' ';
          format(fs.LongTimeFormat, depth + 1);
        }
        return true;
      case '/': out_ += fs.DateSeparator; return true;
      case ':': out_ += fs.TimeSeparator; return true;
      default: return false;
    }
  }

  // Writes an am/pm marker at pos (or a plain "a") and returns the length used.
  size_t format_ampm(std::string_view pattern, size_t pos) {
    bool pm = hour_ >= 12;
    if (starts_with_nocase(pattern, pos, "AM/PM")) {
      out_ += pattern.substr(pos + (pm ? 3 : 0), 2);
      return 5;
    }
    if (starts_with_nocase(pattern, pos, "A/P")) {
      out_ += pattern[pos + (pm ? 2 : 0)];
      return 3;
    }
    if (starts_with_nocase(pattern, pos, "AMPM")) {
      out_ += pm ? FormatSettings().TimePMString : FormatSettings().TimeAMString;
      return 4;
    }
    out_ += pattern[pos];
    return 1;
  }

  static bool twelve_hour_clock(std::string_view pattern, size_t pos) {
    for (size_t i = pos; i < pattern.size(); ++i)
      if (starts_with_nocase(pattern, i, "AM/PM") || starts_with_nocase(pattern, i, "A/P") ||
          starts_with_nocase(pattern, i, "AMPM"))
        return true;
    return false;
  }

  bool has_time() const { return hour_ != 0 || minute_ != 0 || second_ != 0 || msec_ != 0; }

  TDateTime value_;
  int year_, month_, day_, hour_, minute_, second_, msec_;
  TextSink out_;
};

// Reads dates and times with the locale's separators; a single read position.
class DateTimeScanner {
 public:
  explicit DateTimeScanner(std::string_view text) : text_(text) {}

  bool at_end() {
    skip_blanks();
    return pos_ == text_.size();
  }
  void restart() { pos_ = 0; }

  bool scan_date(TDateTime& result) {
    int n[3];
    int digits[3];
    int count = 0;
    if (!scan_number(n[0], digits[0]) || !scan_char(FormatSettings().DateSeparator) ||
        !scan_number(n[1], digits[1]))
      return false;
    count = 2;
    if (scan_char(FormatSettings().DateSeparator)) {
      if (!scan_number(n[2], digits[2])) return false;
      count = 3;
    }
    int year, month, day;
    if (!assign_date_parts(n, digits, count, year, month, day)) return false;
    return TryEncodeDate(year, month, day, result);
  }

  bool scan_time(TDateTime& result) {
    const TFormatSettings& fs = FormatSettings();
    int hour, minute = 0, second = 0, msec = 0, digits;
    if (!scan_number(hour, digits)) return false;
    if (scan_char(fs.TimeSeparator)) {
      if (!scan_number(minute, digits)) return false;
      if (scan_char(fs.TimeSeparator)) {
        if (!scan_number(second, digits)) return false;
        if (scan_char(fs.DecimalSeparator) && !scan_number(msec, digits)) return false;
      }
    }
    int base_hour = scan_ampm();
    if (base_hour >= 0) {
      if (hour == 0 || hour > 12) return false;
      hour = hour % 12 + base_hour;
    }
    return TryEncodeTime(hour, minute, second, msec, result);
  }

 private:
  enum DateOrder { doDMY, doMDY, doYMD };

  static DateOrder date_order() {
    for (char c : FormatSettings().ShortDateFormat) {
      char u = upper_ascii(c);
      if (u == 'Y') return doYMD;
      if (u == 'M') return doMDY;
      if (u == 'D') return doDMY;
    }
    return doDMY;
  }

  static bool assign_date_parts(const int* n, const int* digits, int count, int& year, int& month,
                                int& day) {
    DateOrder order = date_order();
    int year_digits = 4;
    if (count == 2) {
      int today_month, today_day;
      DecodeDate(kvell::Date(), year, today_month, today_day);
      if (order == doDMY) day = n[0], month = n[1];
      else month = n[0], day = n[1];
    } else if (order == doDMY) {
      day = n[0], month = n[1], year = n[2], year_digits = digits[2];
    } else if (order == doMDY) {
      month = n[0], day = n[1], year = n[2], year_digits = digits[2];
    } else {
      year = n[0], month = n[1], day = n[2], year_digits = digits[0];
    }
    if (year <= 99 && year_digits <= 2) year = expand_two_digit_year(year);
    return true;
  }

  static int expand_two_digit_year(int year) {
    int window = FormatSettings().TwoDigitYearCenturyWindow;
    int this_year, month, day;
    DecodeDate(kvell::Date(), this_year, month, day);
    int century_base = this_year - window;
    year += century_base / 100 * 100;
    if (window > 0 && year < century_base) year += 100;
    return year;
  }

  void skip_blanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }

  bool scan_number(int& value, int& digits) {
    skip_blanks();
    size_t start = pos_;
    value = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9' && pos_ - start < 9)
      value = value * 10 + (text_[pos_++] - '0');
    digits = static_cast<int>(pos_ - start);
    return digits > 0;
  }

  bool scan_char(char c) {
    skip_blanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool scan_string(std::string_view s) {
    if (!starts_with_nocase(text_, pos_, s)) return false;
    pos_ += s.size();
    return true;
  }

  // 0 after an AM marker, 12 after a PM marker, -1 without one.
  int scan_ampm() {
    skip_blanks();
    const TFormatSettings& fs = FormatSettings();
    if (scan_string(fs.TimeAMString) || scan_string("AM")) return 0;
    if (scan_string(fs.TimePMString) || scan_string("PM")) return 12;
    return -1;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

void AppendDateTime(std::string& out, std::string_view pattern, TDateTime value) {
  if (!(value >= FirstDay && value < EndDay))  // also rejects NaN
    throw EConvertError("Invalid argument to date encode");
  DateFormatter formatter(value, out);
  formatter.format(pattern, 0);
  formatter.finish();
}

std::string FormatDateTime(std::string_view pattern, TDateTime value) {
  std::string text;
  AppendDateTime(text, pattern, value);
  return text;
}

std::string DateTimeToStr(TDateTime value) {
  return FormatDateTime(value == std::trunc(value) ? "ddddd" : "ddddd tt", value);
}

std::optional<TDateTime> TryStrToDateTime(std::string_view text) {
  DateTimeScanner scanner(text);
  TDateTime date = 0, time = 0;
  if (scanner.scan_date(date) && (scanner.at_end() || scanner.scan_time(time)) && scanner.at_end())
    return date >= 0 ? date + time : date - time;
  scanner.restart();
  if (scanner.scan_time(time) && scanner.at_end()) return time;
  return std::nullopt;
}

TDateTime StrToDateTime(std::string_view text) {
  if (auto value = TryStrToDateTime(text)) return *value;
  throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
}

}  // namespace kvell

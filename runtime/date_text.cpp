#include "runtime/date_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "runtime/exception.h"
#include "runtime/format_settings.h"

namespace kvell {
namespace {

// 0001-01-01 and 10000-01-01 as day counts.
constexpr int64_t FirstDay = -693593;
constexpr int64_t EndDay = 2958466;
// Locale formats may name others ("c", "ddddd"); a bad locale must not recurse forever.
constexpr int MaxFormatDepth = 4;
constexpr const char* kInvalidDate = "Invalid argument to date encode";

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
  // Where the next n (at most kSize) characters go; Wrote says where they ended.
  // A number is written as one piece: a write through a char pointer would
  // otherwise make every next character reload the count.
  char* Room(size_t n) {
    if (n > kSize - used_) flush();
    return buffer_ + used_;
  }
  void Wrote(const char* end) { used_ = static_cast<size_t>(end - buffer_); }
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
  if (value >= 0 && value < 100 && width <= 2) {  // days, months, hours, minutes, seconds
    char* at = out.Room(2);
    if (value >= 10 || width == 2) *at++ = static_cast<char>('0' + value / 10);
    *at++ = static_cast<char>('0' + value % 10);
    out.Wrote(at);
    return;
  }
  if (value >= 1000 && value < 10000) {  // years
    char* at = out.Room(4);
    at[0] = static_cast<char>('0' + value / 1000);
    at[1] = static_cast<char>('0' + value / 100 % 10);
    at[2] = static_cast<char>('0' + value / 10 % 10);
    at[3] = static_cast<char>('0' + value % 10);
    out.Wrote(at + 4);
    return;
  }
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

// A pattern read into steps once, then run for every value with the same
// pattern: reading a pattern costs more than writing a date.
class CompiledPattern {
 public:
  // Whether the steps still say what the pattern says under the current locale.
  bool Current(std::string_view pattern, const TFormatSettings& settings) const {
    if (!compiled_ || pattern != pattern_) return false;
    for (const auto& [format, text] : locale_formats_)
      if (settings.*format != text) return false;
    return true;
  }
  void Compile(std::string_view pattern);
  void Run(TextSink& out, TDayAndTime value) const;

 private:
  enum class Op : uint8_t { Text, Char, Number, ShortDayName, LongDayName, ShortMonthName, LongMonthName,
                            DateSeparator, TimeSeparator, AmPm, LocaleAmPm, IfTime };
  enum class Part : uint8_t { Day, Month, ShortYear, Year, Hour, Hour12, Minute, Second, Millisecond };
  struct Step {
    Op op;
    char ch = 0;            // Char
    Part part = Part::Day;  // Number
    int width = 0;          // Number
    // Text: the range in text_; AmPm: the AM text's range; IfTime: steps to skip without a time.
    size_t first = 0, length = 0;
    size_t pm_first = 0, pm_length = 0;  // AmPm: the PM text's range
  };
  using LocaleFormat = std::string TFormatSettings::*;
  friend class PatternReader;

  void add(Step step) { steps_.push_back(step); }
  void add_text(std::string_view text) {
    if (text.size() == 1) add({.op = Op::Char, .ch = text[0]});  // most literals are one separator
    else add({.op = Op::Text, .first = add_range(text), .length = text.size()});
  }
  size_t add_range(std::string_view text) {
    const size_t first = text_.size();
    text_ += text;
    return first;
  }
  std::string_view range(size_t first, size_t length) const { return std::string_view(text_).substr(first, length); }
  void take_locale_format(LocaleFormat format) {
    for (const auto& taken : locale_formats_)
      if (taken.first == format) return;
    locale_formats_.emplace_back(format, FormatSettings().*format);
  }

  std::string pattern_;
  bool compiled_ = false;
  std::vector<Step> steps_;
  std::string text_;  // the literal texts the steps write
  std::vector<std::pair<LocaleFormat, std::string>> locale_formats_;  // as read into the steps
};

// Reads a pattern into a CompiledPattern's steps, token by token.
class PatternReader {
 public:
  explicit PatternReader(CompiledPattern& target) : target_(target) {}

  void read(std::string_view pattern, int depth) {
    if (depth > MaxFormatDepth) return;
    char last_token = 0;
    size_t i = 0;
    while (i < pattern.size()) {
      char c = pattern[i];
      if (c == '\'' || c == '"') {
        size_t close = pattern.find(c, i + 1);
        if (close == std::string_view::npos) close = pattern.size();
        target_.add_text(pattern.substr(i + 1, close - i - 1));
        i = close + 1;
        continue;
      }
      char token = upper_ascii(c);
      if (token == 'A') {
        i += read_ampm(pattern, i);
        continue;
      }
      size_t count = 1;
      while (i + count < pattern.size() && upper_ascii(pattern[i + count]) == token) ++count;
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && last_token == 'H') token = 'N';
        last_token = token;
      }
      if (!read_token(token, count, pattern, i, depth)) {
        target_.add_text(std::string_view(&c, 1));
        count = 1;
      }
      i += count;
    }
  }

 private:
  using Op = CompiledPattern::Op;
  using Part = CompiledPattern::Part;

  void number(Part part, int width) { target_.add({.op = Op::Number, .part = part, .width = width}); }
  void step(Op kind) { target_.add({.op = kind}); }
  void nested(CompiledPattern::LocaleFormat format, int depth) {
    target_.take_locale_format(format);
    read(FormatSettings().*format, depth + 1);
  }

  // Reads a run of count token letters; false for a literal.
  bool read_token(char token, size_t count, std::string_view pattern, size_t pos, int depth) {
    int width = count >= 2 ? 2 : 1;
    switch (token) {
      case 'D':
        if (count <= 2) number(Part::Day, width);
        else if (count == 3) step(Op::ShortDayName);
        else if (count == 4) step(Op::LongDayName);
        else nested(count == 5 ? &TFormatSettings::ShortDateFormat : &TFormatSettings::LongDateFormat, depth);
        return true;
      case 'M':
        if (count <= 2) number(Part::Month, width);
        else step(count == 3 ? Op::ShortMonthName : Op::LongMonthName);
        return true;
      case 'Y': number(count <= 2 ? Part::ShortYear : Part::Year, count <= 2 ? 2 : 4); return true;
      case 'H': number(twelve_hour_clock(pattern, pos) ? Part::Hour12 : Part::Hour, width); return true;
      case 'N': number(Part::Minute, width); return true;
      case 'S': number(Part::Second, width); return true;
      case 'Z': number(Part::Millisecond, count >= 2 ? 3 : 1); return true;
      case 'T': nested(count == 1 ? &TFormatSettings::ShortTimeFormat : &TFormatSettings::LongTimeFormat, depth); return true;
      case 'C': {
        nested(&TFormatSettings::ShortDateFormat, depth);
        const size_t condition = target_.steps_.size();
        step(Op::IfTime);
        target_.add_text(" ");
        nested(&TFormatSettings::LongTimeFormat, depth);
        target_.steps_[condition].length = target_.steps_.size() - condition - 1;
        return true;
      }
      case '/': step(Op::DateSeparator); return true;
      case ':': step(Op::TimeSeparator); return true;
      default: return false;
    }
  }

  // Reads an am/pm marker at pos (or a plain "a") and returns the length used.
  size_t read_ampm(std::string_view pattern, size_t pos) {
    if (starts_with_nocase(pattern, pos, "AM/PM")) {
      ampm(pattern.substr(pos, 2), pattern.substr(pos + 3, 2));
      return 5;
    }
    if (starts_with_nocase(pattern, pos, "A/P")) {
      ampm(pattern.substr(pos, 1), pattern.substr(pos + 2, 1));
      return 3;
    }
    if (starts_with_nocase(pattern, pos, "AMPM")) {
      step(Op::LocaleAmPm);
      return 4;
    }
    target_.add_text(pattern.substr(pos, 1));
    return 1;
  }

  void ampm(std::string_view am, std::string_view pm) {
    const size_t am_first = target_.add_range(am);
    const size_t pm_first = target_.add_range(pm);
    target_.add({.op = Op::AmPm, .first = am_first, .length = am.size(), .pm_first = pm_first, .pm_length = pm.size()});
  }

  static bool twelve_hour_clock(std::string_view pattern, size_t pos) {
    for (size_t i = pos; i < pattern.size(); ++i)
      if (starts_with_nocase(pattern, i, "AM/PM") || starts_with_nocase(pattern, i, "A/P") ||
          starts_with_nocase(pattern, i, "AMPM"))
        return true;
    return false;
  }

  CompiledPattern& target_;
};

void CompiledPattern::Compile(std::string_view pattern) {
  compiled_ = false;
  pattern_.assign(pattern);
  steps_.clear();
  text_.clear();
  locale_formats_.clear();
  PatternReader(*this).read(pattern, 0);
  compiled_ = true;
}

void CompiledPattern::Run(TextSink& out, TDayAndTime value) const {
  int year, month, day, hour, minute, second, msec;
  DecodeDateTime(value, year, month, day, hour, minute, second, msec);
  const TFormatSettings& fs = FormatSettings();
  const int parts[] = {day, month, year % 100, year, hour, (hour + 11) % 12 + 1, minute, second, msec};
  for (size_t i = 0; i < steps_.size(); ++i) {
    const Step& step = steps_[i];
    switch (step.op) {
      case Op::Text: out += range(step.first, step.length); break;
      case Op::Char: out += step.ch; break;
      case Op::Number: append_padded(out, parts[static_cast<size_t>(step.part)], step.width); break;
      case Op::ShortDayName: out += fs.ShortDayNames[static_cast<size_t>(DayOfWeek(value) - 1)]; break;
      case Op::LongDayName: out += fs.LongDayNames[static_cast<size_t>(DayOfWeek(value) - 1)]; break;
      case Op::ShortMonthName: out += fs.ShortMonthNames[static_cast<size_t>(month - 1)]; break;
      case Op::LongMonthName: out += fs.LongMonthNames[static_cast<size_t>(month - 1)]; break;
      case Op::DateSeparator: out += fs.DateSeparator; break;
      case Op::TimeSeparator: out += fs.TimeSeparator; break;
      case Op::AmPm:
        out += hour >= 12 ? range(step.pm_first, step.pm_length) : range(step.first, step.length);
        break;
      case Op::LocaleAmPm: out += hour >= 12 ? fs.TimePMString : fs.TimeAMString; break;
      case Op::IfTime:
        if (hour == 0 && minute == 0 && second == 0 && msec == 0) i += step.length;
        break;
    }
  }
}

// The patterns in use on this thread, each read once; a few, since views
// show date, time and date-time fields side by side.
const CompiledPattern& compiled(std::string_view pattern) {
  thread_local std::array<CompiledPattern, 4> patterns;
  thread_local size_t next = 0;
  const TFormatSettings& settings = FormatSettings();
  for (const CompiledPattern& entry : patterns)
    if (entry.Current(pattern, settings)) return entry;
  CompiledPattern& entry = patterns[next];
  next = (next + 1) % patterns.size();
  entry.Compile(pattern);
  return entry;
}

void append_date_time(std::string& out, std::string_view pattern, TDayAndTime value);

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
  if (!(value >= static_cast<double>(FirstDay) && value < static_cast<double>(EndDay)))  // also rejects NaN
    throw EConvertError(kInvalidDate);
  append_date_time(out, pattern, SplitDateTime(value));
}

void AppendDateTime(std::string& out, std::string_view pattern, TDayAndTime value) {
  // The range the TDateTime form has: a negative value's time lies before its day.
  const bool in_range = (value.Days > FirstDay || (value.Days == FirstDay && value.MSecs == 0)) && value.Days < EndDay;
  if (!in_range || value.MSecs < 0 || value.MSecs >= static_cast<int64_t>(MSecsPerDay))
    throw EConvertError(kInvalidDate);
  append_date_time(out, pattern, value);
}

namespace {

void append_date_time(std::string& out, std::string_view pattern, TDayAndTime value) {
  TextSink sink(out);
  compiled(pattern).Run(sink, value);
  sink.flush();
}

}  // namespace

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

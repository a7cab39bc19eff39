#include "ociemu/sql/datetime_value.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace ociemu::sql {
namespace {

// Oracle years skip 0: 1 BC is year -1. The civil algorithm counts 1 BC as 0.
int to_astronomical(int year) { return year < 0 ? year + 1 : year; }
int from_astronomical(int year) { return year <= 0 ? year - 1 : year; }

int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

bool read_digits(std::string_view text, size_t& pos, size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return true;
}

bool expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

int days_in_month(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  int y = to_astronomical(year);
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

bool is_valid_date(int year, int month, int day) {
  return year != 0 && year >= -4712 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= days_in_month(year, month);
}

int64_t DateTimeValue::day_number() const {
  return days_from_civil(to_astronomical(year), static_cast<unsigned>(month), static_cast<unsigned>(day));
}

double DateTimeValue::to_days() const {
  double seconds = hour * 3600.0 + minute * 60.0 + static_cast<double>(second) + static_cast<double>(nanoseconds) / 1e9;
  return static_cast<double>(day_number()) + seconds / 86400.0;
}

DateTimeValue DateTimeValue::from_days(double days) {
  double whole = std::floor(days);
  // Round to the nearest microsecond first so that 1/24 steps land on the hour.
  int64_t micros = std::llround((days - whole) * 86400e6);
  if (micros >= 86400LL * 1000000) {
    whole += 1;
    micros -= 86400LL * 1000000;
  }
  DateTimeValue value;
  int year = 0;
  civil_from_days(static_cast<int64_t>(whole), year, value.month, value.day);
  value.year = from_astronomical(year);
  int64_t seconds = micros / 1000000;
  value.hour = static_cast<int>(seconds / 3600);
  value.minute = static_cast<int>(seconds / 60 % 60);
  value.second = static_cast<int>(seconds % 60);
  value.nanoseconds = micros % 1000000 * 1000;
  return value;
}

int DateTimeValue::day_of_week() const {
  // 1970-01-01 was a Thursday (5 when Sunday is 1).
  int64_t n = (day_number() + 4) % 7;
  if (n < 0) n += 7;
  return static_cast<int>(n) + 1;
}

int DateTimeValue::day_of_year() const {
  DateTimeValue first;
  first.year = year;
  return static_cast<int>(day_number() - first.day_number()) + 1;
}

bool parse_stored_date(std::string_view text, DateTimeValue& value) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' || text[16] != ':')
    return false;
  bool digits = true;
  auto two = [&](size_t at) {
    const unsigned high = static_cast<unsigned char>(text[at]) - unsigned{'0'};
    const unsigned low = static_cast<unsigned char>(text[at + 1]) - unsigned{'0'};
    digits = digits && high < 10 && low < 10;
    return static_cast<int>(high * 10 + low);
  };
  value = DateTimeValue{};
  value.year = two(0) * 100 + two(2);
  value.month = two(5);
  value.day = two(8);
  value.hour = two(11);
  value.minute = two(14);
  value.second = two(17);
  return digits && is_valid_date(value.year, value.month, value.day) && value.hour <= 23 && value.minute <= 59 &&
         value.second <= 59;
}

std::optional<DateTimeValue> parse_storage(std::string_view text) {
  if (DateTimeValue stored; parse_stored_date(text, stored)) return stored;
  DateTimeValue value;
  size_t pos = 0;
  bool negative = !text.empty() && text[0] == '-';
  if (negative) pos = 1;
  if (!read_digits(text, pos, 4, value.year) || !expect(text, pos, '-') || !read_digits(text, pos, 2, value.month) ||
      !expect(text, pos, '-') || !read_digits(text, pos, 2, value.day))
    return std::nullopt;
  if (negative) value.year = -value.year;
  if (pos < text.size()) {
    if (!expect(text, pos, ' ') || !read_digits(text, pos, 2, value.hour) || !expect(text, pos, ':') ||
        !read_digits(text, pos, 2, value.minute) || !expect(text, pos, ':') ||
        !read_digits(text, pos, 2, value.second))
      return std::nullopt;
  }
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    value.has_fraction = true;
    int64_t scale = 100000000;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      value.nanoseconds += (text[pos++] - '0') * scale;
      scale /= 10;
    }
  }
  if (pos < text.size() && text[pos] == ' ' && pos + 6 < text.size() + 1) {
    ++pos;
    if (pos >= text.size() || (text[pos] != '+' && text[pos] != '-')) return std::nullopt;
    int sign = text[pos++] == '-' ? -1 : 1;
    int hours = 0, minutes = 0;
    if (!read_digits(text, pos, 2, hours) || !expect(text, pos, ':') || !read_digits(text, pos, 2, minutes))
      return std::nullopt;
    value.has_time_zone = true;
    value.zone_minutes = sign * (hours * 60 + minutes);
  }
  if (pos != text.size() || !is_valid_date(value.year, value.month, value.day) || value.hour > 23 ||
      value.minute > 59 || value.second > 59)
    return std::nullopt;
  return value;
}

std::string to_storage(const DateTimeValue& v, bool with_fraction) {
  char buffer[64];
  int length = std::snprintf(buffer, sizeof buffer, "%s%04d-%02d-%02d %02d:%02d:%02d", v.year < 0 ? "-" : "",
                             std::abs(v.year), v.month, v.day, v.hour, v.minute, v.second);
  std::string text(buffer, static_cast<size_t>(length));
  if (with_fraction) {
    std::snprintf(buffer, sizeof buffer, ".%09lld", static_cast<long long>(v.nanoseconds));
    text += buffer;
  }
  if (v.has_time_zone) {
    int offset = std::abs(v.zone_minutes);
    std::snprintf(buffer, sizeof buffer, " %c%02d:%02d", v.zone_minutes < 0 ? '-' : '+', offset / 60, offset % 60);
    text += buffer;
  }
  return text;
}

DateTimeValue add_months(const DateTimeValue& value, int months) {
  DateTimeValue result = value;
  int64_t index = static_cast<int64_t>(to_astronomical(value.year)) * 12 + (value.month - 1) + months;
  int64_t year = index >= 0 ? index / 12 : (index - 11) / 12;
  result.year = from_astronomical(static_cast<int>(year));
  result.month = static_cast<int>(index - year * 12) + 1;
  int last = days_in_month(result.year, result.month);
  if (value.day == days_in_month(value.year, value.month) || result.day > last) result.day = last;
  return result;
}

DateTimeValue current_local_time() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  DateTimeValue value;
  value.year = local.tm_year + 1900;
  value.month = local.tm_mon + 1;
  value.day = local.tm_mday;
  value.hour = local.tm_hour;
  value.minute = local.tm_min;
  value.second = local.tm_sec;
  auto since_second = now - std::chrono::system_clock::from_time_t(seconds);
  value.nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since_second).count() % 1000000000;
  if (value.nanoseconds < 0) value.nanoseconds = 0;
  value.zone_minutes = static_cast<int>(local.tm_gmtoff / 60);
  return value;
}

ZoneParse parse_time_zone(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::string upper;
  for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "UTC" || upper == "GMT" || upper == "Z") return {0, 0};
  if (!upper.empty() && std::isalpha(static_cast<unsigned char>(upper[0]))) return {0, 1882};  // no region names
  if (upper.empty() || (upper[0] != '+' && upper[0] != '-')) return {0, 1857};
  size_t pos = 1;
  int hours = 0, minutes = 0, digits = 0;
  while (pos < upper.size() && std::isdigit(static_cast<unsigned char>(upper[pos])) && digits < 2) {
    hours = hours * 10 + (upper[pos++] - '0');
    ++digits;
  }
  if (digits == 0) return {0, 1857};
  if (pos < upper.size()) {
    if (upper[pos++] != ':') return {0, 1857};
    digits = 0;
    while (pos < upper.size() && std::isdigit(static_cast<unsigned char>(upper[pos])) && digits < 2) {
      minutes = minutes * 10 + (upper[pos++] - '0');
      ++digits;
    }
    if (digits == 0 || pos != upper.size()) return {0, 1857};
  }
  if (hours > 15) return {0, 1874};
  if (minutes > 59) return {0, 1875};
  int total = hours * 60 + minutes;
  return {upper[0] == '-' ? -total : total, 0};
}

std::string time_zone_text(int minutes) {
  char buffer[16];
  int offset = std::abs(minutes);
  std::snprintf(buffer, sizeof buffer, "%c%02d:%02d", minutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return buffer;
}

namespace {

// Seconds since 1970-01-01 00:00 UTC of the wall clock reading in its zone.
int64_t utc_seconds(const DateTimeValue& v) {
  int64_t local = v.day_number() * 86400 + v.hour * 3600 + v.minute * 60 + v.second;
  return local - (v.has_time_zone ? v.zone_minutes : 0) * 60;
}

}  // namespace

DateTimeValue shift_to_zone(const DateTimeValue& value, int zone_minutes) {
  int64_t local = utc_seconds(value) + zone_minutes * 60;
  int64_t days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
  int64_t seconds = local - days * 86400;
  DateTimeValue result = DateTimeValue::from_days(static_cast<double>(days));
  result.hour = static_cast<int>(seconds / 3600);
  result.minute = static_cast<int>(seconds / 60 % 60);
  result.second = static_cast<int>(seconds % 60);
  result.nanoseconds = value.nanoseconds;
  result.has_fraction = value.has_fraction;
  result.has_time_zone = true;
  result.zone_minutes = zone_minutes;
  return result;
}

DateTimeValue round_fraction(const DateTimeValue& value, int digits) {
  int64_t unit = 1;
  for (int d = std::clamp(digits, 0, 9); d < 9; ++d) unit *= 10;
  DateTimeValue result = value;
  result.nanoseconds = (value.nanoseconds + unit / 2) / unit * unit;
  if (result.nanoseconds < 1000000000) return result;
  result.nanoseconds = 0;
  result.second += 1;
  DateTimeValue carried = shift_to_zone(result, value.has_time_zone ? value.zone_minutes : 0);
  carried.has_time_zone = value.has_time_zone;
  return carried;
}

int compare_instants(const DateTimeValue& a, const DateTimeValue& b) {
  int64_t sa = utc_seconds(a), sb = utc_seconds(b);
  if (sa != sb) return sa < sb ? -1 : 1;
  if (a.nanoseconds != b.nanoseconds) return a.nanoseconds < b.nanoseconds ? -1 : 1;
  return 0;
}

}  // namespace ociemu::sql

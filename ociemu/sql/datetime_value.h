// DATE and TIMESTAMP values as ociemu stores them ('YYYY-MM-DD HH:MM:SS' with
// an optional '.FFFFFFFFF' and ' +HH:MM'), with the calendar arithmetic the
// Oracle date functions need.
//
// Thread-safe: yes (values and pure functions).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ociemu::sql {

struct DateTimeValue {
  int year = 1;  // negative for BC (Oracle has no year 0)
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int64_t nanoseconds = 0;
  bool has_fraction = false;    // a TIMESTAMP rather than a DATE
  bool has_time_zone = false;
  int zone_minutes = 0;         // offset east of UTC

  // Days since 1970-01-01 (proleptic Gregorian) plus the time as a fraction.
  double to_days() const;
  static DateTimeValue from_days(double days);
  int64_t day_number() const;   // whole days since 1970-01-01
  int day_of_week() const;      // 1 = Sunday ... 7 = Saturday
  int day_of_year() const;
};

// Parses the storage text; nullopt when it is not one.
std::optional<DateTimeValue> parse_storage(std::string_view text);
// The form every DATE is stored in, 'YYYY-MM-DD HH:MM:SS' (a year AD), read at its fixed places;
// false for any other text, which parse_storage then reads.
bool parse_stored_date(std::string_view text, DateTimeValue& value);
// Storage text; with_fraction writes the nine fraction digits (TIMESTAMP).
std::string to_storage(const DateTimeValue& value, bool with_fraction);

int days_in_month(int year, int month);
bool is_valid_date(int year, int month, int day);
// Adds months Oracle's way: the last day of a month stays the last day.
DateTimeValue add_months(const DateTimeValue& value, int months);
// The value with its fraction rounded to digits (0-9), a carry running on into the seconds.
DateTimeValue round_fraction(const DateTimeValue& value, int digits);
// The current local time (SYSDATE / SYSTIMESTAMP).
DateTimeValue current_local_time();

// The database time zone: ociemu keeps instants of TIMESTAMP WITH LOCAL TIME ZONE in UTC.
inline constexpr int kDatabaseZoneMinutes = 0;
// Parses a time zone as ALTER SESSION and the client accept it ('+05:30', '-8:00', 'UTC', 'GMT'):
// minutes east of UTC, or the Oracle error code (1857 not a zone, 1874/1875 hour/minute out of range).
struct ZoneParse {
  int minutes = 0;
  int error = 0;
};
ZoneParse parse_time_zone(std::string_view text);
// '+HH:MM' / '-HH:MM'.
std::string time_zone_text(int minutes);
// The same instant seen in another zone.
DateTimeValue shift_to_zone(const DateTimeValue& value, int zone_minutes);
// Orders two values by the instant they name (values without a zone are taken as UTC).
int compare_instants(const DateTimeValue& a, const DateTimeValue& b);

}  // namespace ociemu::sql

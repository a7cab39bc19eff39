#include "ociemu/sql/zone_functions.h"

#include <cmath>

#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/sql_value.h"

namespace ociemu::sql {
namespace {

constexpr int kDayNotInMonth = 1839;
constexpr int kYearOutOfRange = 1841;
constexpr double kMonthsInRange = 12.0 * 20000;  // more than any two valid dates are apart

SessionContext& session_of(sqlite3_context* context) {
  return *static_cast<SessionContext*>(sqlite3_user_data(context));
}

// A datetime argument: stored values as they are, text in the session's timestamp format.
DateTimeValue datetime_argument(sqlite3_value* value, const SessionContext& session) {
  if (auto date = date_argument(value)) return *date;
  return *parse_storage(parse_datetime(text_argument(value), session.nls_timestamp_format));
}

int zone_argument(sqlite3_value* value) {
  ZoneParse zone = parse_time_zone(text_argument(value));
  if (zone.error) throw_oracle(zone.error);
  return zone.minutes;
}

// A value without a zone is taken in the session's zone, as Oracle does.
DateTimeValue zoned(DateTimeValue value, const SessionContext& session) {
  if (!value.has_time_zone) {
    value.has_time_zone = true;
    value.zone_minutes = session.time_zone_minutes;
  }
  return value;
}

void set_timestamp(sqlite3_context* context, DateTimeValue value) {
  value.has_fraction = true;
  set_result(context, to_storage(value, true));
}

}  // namespace

void from_tz(sqlite3_context* context, int, sqlite3_value** args) {
  if (is_null(args[0]) || is_null(args[1])) return sqlite3_result_null(context);
  DateTimeValue value = datetime_argument(args[0], session_of(context));
  value.has_time_zone = true;
  value.zone_minutes = zone_argument(args[1]);
  set_timestamp(context, value);
}

void sys_extract_utc(sqlite3_context* context, int, sqlite3_value** args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  DateTimeValue value = shift_to_zone(zoned(datetime_argument(args[0], session_of(context)), session_of(context)), 0);
  value.has_time_zone = false;
  set_timestamp(context, value);
}

void to_timestamp_tz(sqlite3_context* context, int count, sqlite3_value** args) {
  if (is_null(args[0])) return sqlite3_result_null(context);
  SessionContext& session = session_of(context);
  DateTimeValue value;
  if (auto date = date_argument(args[0])) {
    value = *date;
  } else {
    std::string model = count >= 2 && !is_null(args[1]) ? text_argument(args[1]) : session.nls_timestamp_tz_format;
    value = *parse_storage(parse_datetime(text_argument(args[0]), model));
  }
  set_timestamp(context, zoned(value, session));
}

void at_time_zone(sqlite3_context* context, int count, sqlite3_value** args) {
  if (is_null(args[0]) || (count > 1 && is_null(args[1]))) return sqlite3_result_null(context);
  SessionContext& session = session_of(context);
  int zone = count > 1 ? zone_argument(args[1]) : session.time_zone_minutes;
  set_timestamp(context, shift_to_zone(zoned(datetime_argument(args[0], session), session), zone));
}

void add_year_month(sqlite3_context* context, int, sqlite3_value** args) {
  if (is_null(args[0]) || is_null(args[1])) return sqlite3_result_null(context);
  DateTimeValue value = datetime_argument(args[0], session_of(context));
  auto months = number_argument(args[1]);
  if (!months) throw_oracle(1722);
  double shift = months->as_double();
  if (!(std::fabs(shift) < kMonthsInRange)) throw_oracle(kYearOutOfRange);
  int64_t total = int64_t{value.year} * 12 + (value.month - 1) + static_cast<int64_t>(shift);
  int year = static_cast<int>(total >= 0 ? total / 12 : (total - 11) / 12);
  int month = static_cast<int>(total - int64_t{year} * 12) + 1;
  if (!is_valid_date(year, month, value.day)) throw_oracle(kDayNotInMonth);
  value.year = year;
  value.month = month;
  set_result(context, to_storage(value, value.has_fraction));
}

}  // namespace ociemu::sql

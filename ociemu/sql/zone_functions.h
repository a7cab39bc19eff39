// The time-zone functions of SQL (FROM_TZ, SYS_EXTRACT_UTC, TO_TIMESTAMP_TZ),
// AT TIME ZONE / AT LOCAL as the translator writes them, and datetime plus a
// YEAR TO MONTH interval. Registered with the other functions.
//
// Thread-safe: yes (they run on the connection's thread).
#pragma once

#include <sqlite3.h>

namespace ociemu::sql {

void from_tz(sqlite3_context* context, int count, sqlite3_value** args);
void sys_extract_utc(sqlite3_context* context, int count, sqlite3_value** args);
void to_timestamp_tz(sqlite3_context* context, int count, sqlite3_value** args);
// OCIEMU_AT_ZONE(value, zone text), OCIEMU_AT_LOCAL(value): the same instant seen in that zone.
void at_time_zone(sqlite3_context* context, int count, sqlite3_value** args);
// OCIEMU_ADD_YM(datetime, months): ORA-01839 when the day does not exist in the month reached.
void add_year_month(sqlite3_context* context, int count, sqlite3_value** args);

}  // namespace ociemu::sql

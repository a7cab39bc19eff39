// The conversions to intervals: TO_YMINTERVAL and TO_DSINTERVAL (SQL and ISO 8601
// text), NUMTOYMINTERVAL and NUMTODSINTERVAL. Their results are kept as the
// translator keeps intervals: months, or days with a fraction.
//
// Thread-safe: yes (they run on the connection's thread).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace ociemu::sql {

// ISO 8601 durations ('P1Y2M', 'P3DT4H5M6.5S', '-P1D'): months, or nanoseconds; nullopt when the
// text is no duration or holds parts of the other kind.
std::optional<int64_t> parse_iso_year_month(std::string_view text);
std::optional<int64_t> parse_iso_day_second(std::string_view text);

void to_yminterval(sqlite3_context* context, int count, sqlite3_value** args);
void to_dsinterval(sqlite3_context* context, int count, sqlite3_value** args);
void numtoyminterval(sqlite3_context* context, int count, sqlite3_value** args);
void numtodsinterval(sqlite3_context* context, int count, sqlite3_value** args);

}  // namespace ociemu::sql

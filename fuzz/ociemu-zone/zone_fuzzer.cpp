// Time-zone and interval text and datetime format models with zone elements:
// none may crash, and what the interval parsers read their own text gives back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/dialect.h"
#include "ociemu/sql/errors.h"
#include "ociemu/sql/interval_value.h"

namespace {

namespace sql = ociemu::sql;

constexpr std::string_view kFields[] = {"YEAR", "MONTH", "DAY", "HOUR", "MINUTE", "SECOND", "WEEK"};

void check(bool condition) {
  if (!condition) std::abort();
}

void zones(std::string_view text) {
  sql::ZoneParse zone = sql::parse_time_zone(text);
  if (zone.error) return;
  sql::ZoneParse again = sql::parse_time_zone(sql::time_zone_text(zone.minutes));
  check(again.error == 0 && again.minutes == zone.minutes);
  if (auto value = sql::parse_storage("2024-02-29 13:45:07.123456789")) {
    value->has_time_zone = true;
    sql::shift_to_zone(*value, zone.minutes);
  }
}

void intervals(std::string_view text) {
  if (auto months = sql::parse_year_month_text(text)) {
    check(sql::parse_year_month_text(sql::year_month_text(*months, 9)) == months);
  }
  if (auto nanos = sql::parse_day_second_text(text)) {
    check(sql::parse_day_second_text(sql::day_second_text(*nanos, 9, 9)) == nanos);
  }
}

void literal(std::string_view text, uint8_t selector) {
  std::string_view leading = kFields[selector % 7];
  std::string_view trailing = (selector / 7) % 8 < 7 ? kFields[(selector / 7) % 8] : std::string_view();
  try {
    sql::parse_interval_literal(text, leading, trailing);
  } catch (const sql::OracleException&) {
  }
}

// "value\nmodel": read with a model, written back with it, and shifted into the zone read.
void models(std::string_view text) {
  size_t split = text.find('\n');
  std::string value(text.substr(0, split));
  std::string model = split == std::string_view::npos ? "YYYY-MM-DD HH24:MI:SS.FF TZH:TZM" : std::string(text.substr(split + 1));
  try {
    std::string storage = sql::parse_datetime(value, model);
    auto parsed = sql::parse_storage(storage);
    check(parsed.has_value());
    sql::format_datetime(storage, model);
    sql::format_datetime(sql::to_storage(sql::shift_to_zone(*parsed, -(parsed->zone_minutes)), true), model);
  } catch (const sql::OracleException&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
  switch (data[0] % 4) {
    case 0: zones(text); break;
    case 1: intervals(text); break;
    case 2: literal(text, data[1]); break;
    default: models(text); break;
  }
  return 0;
}

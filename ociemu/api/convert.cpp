#include "ociemu/api/convert.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "ociemu/api/errors.h"
#include "ociemu/api/handles.h"
#include "ociemu/sql/datetime_value.h"
#include "ociemu/sql/digit_blocks.h"
#include "ociemu/sql/exact_number.h"
#include "ociemu/sql/interval_value.h"

namespace ociemu {
namespace {

constexpr int kTypeDate = 12;
constexpr int kIntervalYearMonth = 182, kIntervalDaySecond = 183;  // as the catalogue keeps them

// Intervals are stored as numbers: months for YEAR TO MONTH, days for DAY TO SECOND
// (what date arithmetic with an interval literal uses).
constexpr double kNanosPerDay = 86400e9;

void place_interval(double stored, IntervalDescriptor& out) {
  if (out.type() == OCI_DTYPE_INTERVAL_YM) {
    out.months = std::llround(stored);
  } else {
    out.nanos = std::llround(stored * kNanosPerDay);
  }
}

bool is_zoned_type(int code) { return code == 181 || code == 188; }
bool is_local_zone_type(int code) { return code == 231 || code == 232; }
bool is_timestamp_type(int code) { return code == 180 || code == 181 || code == 231 || (code >= 187 && code <= 188) || code == 232; }

// Oracle converts no datetime or interval into a number, and only number text.
void check_number_source(const Cell& cell, const sql::OracleType& column) {
  const int code = column.type_code;
  if (code == kTypeDate || is_timestamp_type(code) || code == 182 || code == 183 || code == 189 || code == 190) {
    fail(932, {"NUMBER", column.type_name.empty() ? "DATE" : column.type_name});
  }
  if (cell.kind == Cell::Text && !sql::Decimal::parse(std::string(cell.data, cell.size))) fail(1722);
}

std::string hex_text(const char* data, size_t size) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out(size * 2, '0');
  for (size_t i = 0; i < size; ++i) {
    auto byte = static_cast<unsigned char>(data[i]);
    out[2 * i] = digits[byte >> 4];
    out[2 * i + 1] = digits[byte & 15];
  }
  return out;
}

std::string real_text(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

double text_to_double(const Cell& cell) {
  std::string text(cell.data, cell.size);
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  while (end && *end == ' ') ++end;
  if (text.empty() || end == nullptr || *end != 0) fail(1722);
  return value;
}

bool is_exact_number(const Cell& cell) {
  return cell.kind == Cell::Blob && sql::is_exact_number(cell.data, cell.size);
}

double cell_as_double(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Integer: return static_cast<double>(cell.integer);
    case Cell::Real: return cell.real;
    case Cell::Text: return text_to_double(cell);
    default:
      if (!is_exact_number(cell)) fail(932, {"NUMBER", "BINARY"});
      const std::string_view text = sql::exact_number_text(cell.data, cell.size);
      double value = 0;
      return stored_number_double(text, value) ? value : std::strtod(std::string(text).c_str(), nullptr);
  }
}

int64_t cell_as_integer(const Cell& cell) {
  if (cell.kind == Cell::Integer) return cell.integer;
  if (is_exact_number(cell)) {
    auto value = sql::Decimal::parse(sql::exact_number_text(cell.data, cell.size));
    if (auto whole = value ? value->rounded(0).to_int64() : std::nullopt) return *whole;
    fail(1455);
  }
  double value = std::round(cell_as_double(cell));
  if (!(value >= -9.2e18 && value <= 9.2e18)) fail(1455);
  return static_cast<int64_t>(value);
}

std::string number_text(const Cell& cell) {
  switch (cell.kind) {
    case Cell::Integer: return std::to_string(cell.integer);
    // The text a REAL is stored as exact for (16 digits); infinities stay "inf" for the overflow check.
    case Cell::Real: return std::isfinite(cell.real) ? sql::format_number(cell.real) : real_text(cell.real);
    case Cell::Text: return std::string(cell.data, cell.size);
    default:
      if (!is_exact_number(cell)) fail(932, {"NUMBER", "BINARY"});
      return std::string(sql::exact_number_text(cell.data, cell.size));
  }
}

// A value the buffer cannot hold fails the row, as Oracle does, rather than keeping its low bytes.
void check_integer_fits(int64_t value, int32_t size, bool is_unsigned) {
  if (size <= 0 || size >= 8) return;
  const int bits = size * 8;
  const int64_t low = is_unsigned ? 0 : -(int64_t{1} << (bits - 1));
  const int64_t high = is_unsigned ? (int64_t{1} << bits) - 1 : (int64_t{1} << (bits - 1)) - 1;
  if (value < low || value > high) fail(1455);
}

void write_integer(int64_t value, void* buf, int32_t size, bool is_unsigned) {
  check_integer_fits(value, size, is_unsigned);
  switch (size) {
    case 1: { int8_t v = static_cast<int8_t>(value); std::memcpy(buf, &v, 1); break; }
    case 2: { int16_t v = static_cast<int16_t>(value); std::memcpy(buf, &v, 2); break; }
    case 4: { int32_t v = static_cast<int32_t>(value); std::memcpy(buf, &v, 4); break; }
    case 8: std::memcpy(buf, &value, 8); break;
    default: fail(932, {"an integer of 1, 2, 4 or 8 bytes", "a buffer of " + std::to_string(size) + " bytes"});
  }
}

Placed place_bytes(const char* data, size_t length, void* buf, int32_t size) {
  Placed placed;
  placed.full_length = static_cast<uint32_t>(length);
  size_t capacity = size > 0 ? static_cast<size_t>(size) : 0;
  size_t n = length < capacity ? length : capacity;
  if (n) std::memcpy(buf, data, n);
  placed.written = static_cast<uint32_t>(n);
  placed.truncated = n < length;
  return placed;
}

Placed place_text(const std::string_view text, uint16_t dty, void* buf, int32_t size) {
  auto* out = static_cast<char*>(buf);
  switch (dty) {
    case SQLT_STR: {
      if (size <= 0) return Placed{false, !text.empty(), 0, static_cast<uint32_t>(text.size())};
      Placed placed = place_bytes(text.data(), text.size(), buf, size - 1);
      out[placed.written] = 0;
      return placed;
    }
    case SQLT_AFC: {
      Placed placed = place_bytes(text.data(), text.size(), buf, size);
      if (size > 0 && placed.written < static_cast<uint32_t>(size)) {
        std::memset(out + placed.written, ' ', size - placed.written);
        placed.written = static_cast<uint32_t>(size);
      }
      return placed;
    }
    case SQLT_AVC: {
      if (size <= 0) return Placed{false, !text.empty(), 0, static_cast<uint32_t>(text.size())};
      Placed placed = place_bytes(text.data(), text.size(), buf, size - 1);
      std::memset(out + placed.written, ' ', size - 1 - placed.written);
      out[size - 1] = 0;
      placed.written = static_cast<uint32_t>(size - 1);
      return placed;
    }
    case SQLT_VCS:
    case SQLT_VBI: {
      Placed placed = place_bytes(text.data(), text.size(), out + 2, size - 2);
      uint16_t prefix = static_cast<uint16_t>(placed.written);
      std::memcpy(out, &prefix, 2);
      return placed;
    }
    case SQLT_LVC:
    case SQLT_LVB: {
      Placed placed = place_bytes(text.data(), text.size(), out + 4, size - 4);
      uint32_t prefix = placed.written;
      std::memcpy(out, &prefix, 4);
      return placed;
    }
    default:
      return place_bytes(text.data(), text.size(), buf, size);
  }
}

void parse_storage(std::string_view storage, int& year, int& month, int& day, int& hour, int& minute, int& second,
                   uint32_t& nanos, int& tz_minutes) {
  std::string text(storage);
  year = month = day = 1;
  hour = minute = second = 0;
  nanos = 0;
  tz_minutes = 0;
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%d%n", &year, &month, &day, &consumed) < 3) {
    fail(1858);
  }
  const char* rest = text.c_str() + consumed;
  int more = 0;
  if (std::sscanf(rest, " %d:%d:%d%n", &hour, &minute, &second, &more) == 3) rest += more;
  if (*rest == '.') {
    ++rest;
    uint32_t scale = 100000000;
    while (*rest >= '0' && *rest <= '9') {
      nanos += static_cast<uint32_t>(*rest - '0') * scale;
      scale /= 10;
      ++rest;
    }
  }
  int tz_hours = 0, tz_mins = 0;
  char sign = 0;
  if (std::sscanf(rest, " %c%d:%d", &sign, &tz_hours, &tz_mins) == 3 && (sign == '+' || sign == '-')) {
    tz_minutes = (sign == '-' ? -1 : 1) * (tz_hours * 60 + tz_mins);
  }
}

}  // namespace

StoredCell StoredCell::from(const Cell& cell) {
  StoredCell stored;
  stored.kind = cell.kind;
  stored.integer = cell.integer;
  stored.real = cell.real;
  stored.empty = cell.empty;
  if (cell.data) stored.bytes.assign(cell.data, cell.size);
  return stored;
}

Cell StoredCell::view() const {
  Cell cell;
  cell.kind = kind;
  cell.integer = integer;
  cell.real = real;
  cell.empty = empty;
  if (kind == Cell::Text || kind == Cell::Blob) {
    cell.data = bytes.data();
    cell.size = bytes.size();
  }
  return cell;
}

namespace {

// A stored timestamp as the session sees it: a zoned column's value without a zone is in the
// session's zone; a local-zone column's instant is shown in the session's zone.
std::string session_view(std::string_view storage, int type_code, const sql::SessionContext& session) {
  if (!is_zoned_type(type_code) && !is_local_zone_type(type_code)) return std::string(storage);
  auto value = sql::parse_storage(storage);
  if (!value) return std::string(storage);
  if (is_zoned_type(type_code)) {
    if (!value->has_time_zone) value->has_time_zone = true, value->zone_minutes = session.time_zone_minutes;
  } else {
    // Stored without a zone, a local-zone instant is in the database's zone.
    if (!value->has_time_zone) value->has_time_zone = true, value->zone_minutes = sql::kDatabaseZoneMinutes;
    *value = sql::shift_to_zone(*value, session.time_zone_minutes);
  }
  return sql::to_storage(*value, true);
}

// The value a zoned descriptor receives: a zone attached if none, a local-zone one in the session's zone.
std::string descriptor_view(std::string view, uint32_t descriptor_type, const sql::SessionContext& session) {
  if (descriptor_type != OCI_DTYPE_TIMESTAMP_TZ && descriptor_type != OCI_DTYPE_TIMESTAMP_LTZ) return view;
  auto value = sql::parse_storage(view);
  if (!value) return view;
  if (!value->has_time_zone) value->has_time_zone = true, value->zone_minutes = session.time_zone_minutes;
  if (descriptor_type == OCI_DTYPE_TIMESTAMP_LTZ) *value = sql::shift_to_zone(*value, session.time_zone_minutes);
  return sql::to_storage(*value, true);
}

}  // namespace

// Oracle's text of an interval kept as months or days: '+01-02', '+01 02:03:04.500000'.
std::string interval_text(const Cell& cell, const sql::OracleType& column) {
  double stored = cell_as_double(cell);
  int leading = std::clamp(column.precision, 1, 9);
  if (column.type_code == kIntervalYearMonth) return sql::year_month_text(std::llround(stored), leading);
  return sql::day_second_text(std::llround(stored * kNanosPerDay), leading, std::clamp(column.scale, 0, 9));
}

std::string render_text(const Cell& cell, const sql::OracleType& column, const sql::SessionContext& session) {
  if ((cell.kind == Cell::Integer || cell.kind == Cell::Real) &&
      (column.type_code == kIntervalYearMonth || column.type_code == kIntervalDaySecond)) {
    return interval_text(cell, column);
  }
  switch (cell.kind) {
    case Cell::Integer: return sql::format_number(cell.integer);
    case Cell::Real: return sql::format_number(cell.real);
    case Cell::Blob:
      if (is_exact_number(cell)) return std::string(sql::exact_number_text(cell.data, cell.size));
      return hex_text(cell.data, cell.size);
    case Cell::Text: {
      std::string_view text(cell.data, cell.size);
      if (column.type_code == kTypeDate) return sql::format_datetime(text, session.nls_date_format);
      if (is_zoned_type(column.type_code)) {
        return sql::format_datetime(session_view(text, column.type_code, session), session.nls_timestamp_tz_format);
      }
      if (is_local_zone_type(column.type_code)) {
        return sql::format_datetime(session_view(text, column.type_code, session), session.nls_timestamp_format);
      }
      if (is_timestamp_type(column.type_code)) return sql::format_datetime(text, session.nls_timestamp_format);
      return std::string(text);
    }
    default: return {};
  }
}

bool shows_text_as_stored(int type_code) { return type_code != kTypeDate && !is_timestamp_type(type_code); }

Placed place_value(const Cell& cell, const sql::OracleType& column, uint16_t dty, void* buf, int32_t size,
                   const sql::SessionContext& session) {
  if (cell.kind == Cell::Null) return Placed{true, false, 0, 0};
  switch (dty) {
    case SQLT_INT:
    case SQLT_UIN:
    case SQLT_FLT:
    case SQLT_BDOUBLE:
    case SQLT_BFLOAT:
    case SQLT_IBDOUBLE:
    case SQLT_IBFLOAT:
    case SQLT_NUM:
    case SQLT_VNU:
      check_number_source(cell, column);
      break;
    default:
      break;
  }
  switch (dty) {
    case SQLT_INT:
    case SQLT_UIN: {
      write_integer(cell_as_integer(cell), buf, size, dty == SQLT_UIN);
      return Placed{false, false, static_cast<uint32_t>(size), static_cast<uint32_t>(size)};
    }
    case SQLT_BOL: {
      write_integer(cell_as_integer(cell) != 0, buf, size, false);
      return Placed{false, false, static_cast<uint32_t>(size), static_cast<uint32_t>(size)};
    }
    case SQLT_FLT:
    case SQLT_BDOUBLE:
    case SQLT_BFLOAT:
    case SQLT_IBDOUBLE:
    case SQLT_IBFLOAT: {
      // A buffer too small for the float or double written into it is refused, never overrun.
      const bool single = size == 4 || dty == SQLT_BFLOAT || dty == SQLT_IBFLOAT;
      if (size < (single ? 4 : 8))
        fail(932, {"a float of 4 or 8 bytes", "a buffer of " + std::to_string(size) + " bytes"});
      double value = cell_as_double(cell);
      if (single) {
        float f = static_cast<float>(value);
        std::memcpy(buf, &f, 4);
        return Placed{false, false, 4, 4};
      }
      std::memcpy(buf, &value, sizeof value);
      return Placed{false, false, 8, 8};
    }
    case SQLT_NUM:
    case SQLT_VNU: {
      std::vector<ub1> bytes = encode_number(number_text(cell));
      auto* out = static_cast<ub1*>(buf);
      if (dty == SQLT_VNU) {
        if (size < 22) fail(932, {"NUMBER", "a buffer below 22 bytes"});
        out[0] = static_cast<ub1>(bytes.size());
        std::memcpy(out + 1, bytes.data(), bytes.size());
        return Placed{false, false, static_cast<uint32_t>(bytes.size() + 1), static_cast<uint32_t>(bytes.size() + 1)};
      }
      return place_bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size(), buf, size);
    }
    case SQLT_DAT:
    case SQLT_ODT: {
      if (cell.kind != Cell::Text) fail(932, {"DATE", "NUMBER"});
      ub1 date[7];
      if (!storage_to_oracle_date(std::string_view(cell.data, cell.size), date)) fail(1858);
      if (dty == SQLT_DAT) {
        if (size < 7) fail(932, {"DATE", "a buffer below 7 bytes"});
        std::memcpy(buf, date, 7);
        return Placed{false, false, 7, 7};
      }
      if (size < static_cast<int32_t>(sizeof(OCIDate))) fail(932, {"DATE", "a buffer below an OCIDate"});
      OCIDate value{};
      value.OCIDateYYYY = static_cast<sb2>((date[0] - 100) * 100 + (date[1] - 100));
      value.OCIDateMM = date[2];
      value.OCIDateDD = date[3];
      value.OCIDateTime = OCITime{static_cast<ub1>(date[4] - 1), static_cast<ub1>(date[5] - 1), static_cast<ub1>(date[6] - 1)};
      std::memcpy(buf, &value, sizeof value);
      return Placed{false, false, sizeof value, sizeof value};
    }
    case SQLT_RDD: {
      auto* rowid = live<RowidDescriptor>(*static_cast<void**>(buf));
      if (rowid == nullptr) fail(932, {"ROWID", "no descriptor"});
      rowid->assign(render_text(cell, column, session));
      return Placed{false, false, static_cast<uint32_t>(sizeof(void*)), static_cast<uint32_t>(sizeof(void*))};
    }
    case SQLT_DATE:
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ: {
      DateTimeDescriptor* dt = live_datetime(*static_cast<void**>(buf));
      if (dt == nullptr || cell.kind != Cell::Text) fail(932, {"TIMESTAMP", "NUMBER"});
      std::string view = session_view(std::string_view(cell.data, cell.size), column.type_code, session);
      storage_to_datetime(descriptor_view(std::move(view), dt->type(), session), *dt);
      return Placed{false, false, static_cast<uint32_t>(sizeof(void*)), static_cast<uint32_t>(sizeof(void*))};
    }
    case SQLT_INTERVAL_YM:
    case SQLT_INTERVAL_DS: {
      IntervalDescriptor* interval = live_interval(*static_cast<void**>(buf));
      if (interval == nullptr || (cell.kind != Cell::Integer && cell.kind != Cell::Real)) {
        fail(932, {"INTERVAL", "NUMBER"});
      }
      place_interval(cell_as_double(cell), *interval);
      return Placed{false, false, static_cast<uint32_t>(sizeof(void*)), static_cast<uint32_t>(sizeof(void*))};
    }
    case SQLT_BIN:
    case SQLT_LBI:
    case SQLT_VBI:
    case SQLT_LVB:
      if (cell.kind == Cell::Blob || cell.kind == Cell::Text) {
        return place_text(std::string_view(cell.data, cell.size), dty, buf, size);
      }
      return place_text(render_text(cell, column, session), dty, buf, size);
    default:
      if (cell.kind == Cell::Text && shows_text_as_stored(column.type_code)) {
        return place_text(std::string_view(cell.data, cell.size), dty, buf, size);
      }
      return place_text(render_text(cell, column, session), dty, buf, size);
  }
}

uint32_t implied_length(uint16_t dty, const void* buf, int32_t size) {
  if (size < 0) size = 0;
  switch (dty) {
    case SQLT_STR:
      return static_cast<uint32_t>(strnlen(static_cast<const char*>(buf), static_cast<size_t>(size)));
    case SQLT_AVC:
      return static_cast<uint32_t>(strnlen(static_cast<const char*>(buf), static_cast<size_t>(size)));
    case SQLT_VCS:
    case SQLT_VBI: {
      uint16_t prefix = 0;
      std::memcpy(&prefix, buf, 2);
      return prefix;
    }
    case SQLT_LVC:
    case SQLT_LVB: {
      uint32_t prefix = 0;
      std::memcpy(&prefix, buf, 4);
      return prefix;
    }
    default:
      return static_cast<uint32_t>(size);
  }
}

void bind_value(sqlite3_stmt* stmt, int index, uint16_t dty, const void* buf, uint32_t length) {
  const auto* bytes = static_cast<const char*>(buf);
  switch (dty) {
    case SQLT_INT:
    case SQLT_BOL: {  // a PL/SQL BOOLEAN comes as a C int
      int64_t value = 0;
      switch (length) {
        case 1: value = *reinterpret_cast<const int8_t*>(bytes); break;
        case 2: { int16_t v; std::memcpy(&v, bytes, 2); value = v; break; }
        case 4: { int32_t v; std::memcpy(&v, bytes, 4); value = v; break; }
        case 8: std::memcpy(&value, bytes, 8); break;
        default: fail(932, {"an integer of 1, 2, 4 or 8 bytes", "one of " + std::to_string(length) + " bytes"});
      }
      sqlite3_bind_int64(stmt, index, dty == SQLT_BOL ? value != 0 : value);
      return;
    }
    case SQLT_UIN: {
      uint64_t value = 0;
      switch (length) {
        case 1: value = static_cast<uint8_t>(bytes[0]); break;
        case 2: { uint16_t v; std::memcpy(&v, bytes, 2); value = v; break; }
        case 4: { uint32_t v; std::memcpy(&v, bytes, 4); value = v; break; }
        case 8: std::memcpy(&value, bytes, 8); break;
        default: fail(932, {"an integer of 1, 2, 4 or 8 bytes", "one of " + std::to_string(length) + " bytes"});
      }
      sqlite3_bind_int64(stmt, index, static_cast<int64_t>(value));
      return;
    }
    case SQLT_FLT:
    case SQLT_BDOUBLE:
    case SQLT_BFLOAT:
    case SQLT_IBDOUBLE:
    case SQLT_IBFLOAT: {
      double value = 0;
      if (length == 4) {
        float f;
        std::memcpy(&f, bytes, 4);
        value = f;
      } else if (length >= 8) {
        std::memcpy(&value, bytes, sizeof value);
      } else {
        fail(932, {"a float of 4 or 8 bytes", "one of " + std::to_string(length) + " bytes"});
      }
      sqlite3_bind_double(stmt, index, value);
      return;
    }
    case SQLT_NUM:
    case SQLT_VNU: {
      const auto* number = reinterpret_cast<const ub1*>(bytes);
      std::string text = dty == SQLT_VNU ? decode_number(number + 1, number[0]) : decode_number(number, length);
      auto value = sql::Decimal::parse(text);
      if (!value) fail(1722);
      sql::bind_number(stmt, index, *value);
      return;
    }
    case SQLT_DAT: {
      std::string storage = oracle_date_to_storage(reinterpret_cast<const ub1*>(bytes));
      sqlite3_bind_text(stmt, index, storage.c_str(), static_cast<int>(storage.size()), SQLITE_TRANSIENT);
      return;
    }
    case SQLT_ODT: {
      OCIDate date;
      std::memcpy(&date, bytes, sizeof date);
      char storage[32];
      std::snprintf(storage, sizeof storage, "%04d-%02d-%02d %02d:%02d:%02d", date.OCIDateYYYY, date.OCIDateMM,
                    date.OCIDateDD, date.OCIDateTime.OCITimeHH, date.OCIDateTime.OCITimeMI,
                    date.OCIDateTime.OCITimeSS);
      sqlite3_bind_text(stmt, index, storage, -1, SQLITE_TRANSIENT);
      return;
    }
    case SQLT_RDD: {
      auto* rowid = live<RowidDescriptor>(*reinterpret_cast<void* const*>(bytes));
      if (rowid == nullptr || rowid->text().empty()) fail(1410);
      sqlite3_bind_text(stmt, index, rowid->text().c_str(), static_cast<int>(rowid->text().size()), SQLITE_TRANSIENT);
      return;
    }
    case SQLT_DATE:
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ: {
      DateTimeDescriptor* dt = live_datetime(*reinterpret_cast<void* const*>(bytes));
      if (dt == nullptr) fail(932, {"TIMESTAMP", "no descriptor"});
      std::string storage = datetime_to_storage(*dt);
      sqlite3_bind_text(stmt, index, storage.c_str(), static_cast<int>(storage.size()), SQLITE_TRANSIENT);
      return;
    }
    case SQLT_INTERVAL_YM:
    case SQLT_INTERVAL_DS: {
      IntervalDescriptor* interval = live_interval(*reinterpret_cast<void* const*>(bytes));
      if (interval == nullptr) fail(932, {"INTERVAL", "no descriptor"});
      if (interval->type() == OCI_DTYPE_INTERVAL_YM) {
        sqlite3_bind_int64(stmt, index, interval->months);
      } else {
        sqlite3_bind_double(stmt, index, static_cast<double>(interval->nanos) / kNanosPerDay);
      }
      return;
    }
    case SQLT_BIN:
    case SQLT_LBI:
    case SQLT_VBI:
    case SQLT_LVB: {
      size_t skip = dty == SQLT_VBI ? 2 : dty == SQLT_LVB ? 4 : 0;
      if (length == 0) {
        sqlite3_bind_null(stmt, index);
      } else {
        sqlite3_bind_blob(stmt, index, bytes + skip, static_cast<int>(length), SQLITE_STATIC);
      }
      return;
    }
    default: {
      size_t skip = dty == SQLT_VCS ? 2 : dty == SQLT_LVC ? 4 : 0;
      if (length == 0) {
        sqlite3_bind_null(stmt, index);  // '' is NULL
      } else {
        sqlite3_bind_text(stmt, index, bytes + skip, static_cast<int>(length), SQLITE_STATIC);
      }
      return;
    }
  }
}

bool storage_to_oracle_date(std::string_view storage, ub1 out[7]) {
  int year, month, day, hour, minute, second, tz;
  uint32_t nanos;
  // Every fetched date comes here: the stored form is read without sscanf,
  // and any other text as leniently as before.
  if (auto value = sql::parse_storage(storage)) {
    year = value->year, month = value->month, day = value->day;
    hour = value->hour, minute = value->minute, second = value->second;
  } else {
    parse_storage(storage, year, month, day, hour, minute, second, nanos, tz);
  }
  if (year == 0 || year < -4712 || year > 9999) return false;
  out[0] = static_cast<ub1>(year / 100 + 100);
  out[1] = static_cast<ub1>(year % 100 + 100);
  out[2] = static_cast<ub1>(month);
  out[3] = static_cast<ub1>(day);
  out[4] = static_cast<ub1>(hour + 1);
  out[5] = static_cast<ub1>(minute + 1);
  out[6] = static_cast<ub1>(second + 1);
  return true;
}

std::string oracle_date_to_storage(const ub1 in[7]) {
  int year = (in[0] - 100) * 100 + (in[1] - 100);
  if (in[2] < 1 || in[2] > 12 || in[3] < 1 || in[3] > 31 || in[4] < 1 || in[4] > 24 || in[5] < 1 || in[5] > 60 ||
      in[6] < 1 || in[6] > 60) {
    fail(1858);
  }
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, in[2], in[3], in[4] - 1, in[5] - 1,
                in[6] - 1);
  return text;
}

void storage_to_datetime(std::string_view storage, DateTimeDescriptor& out) {
  parse_storage(storage, out.year, out.month, out.day, out.hour, out.minute, out.second, out.nanos, out.tz_minutes);
}

std::string datetime_to_storage(const DateTimeDescriptor& in) {
  char text[64];
  int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", in.year, in.month, in.day, in.hour,
                        in.minute, in.second);
  if (in.type() == OCI_DTYPE_DATE) return std::string(text, static_cast<size_t>(n));
  n += std::snprintf(text + n, sizeof text - n, ".%09u", in.nanos);
  if (in.type() == OCI_DTYPE_TIMESTAMP_TZ || in.type() == OCI_DTYPE_TIMESTAMP_LTZ) {
    int offset = in.tz_minutes < 0 ? -in.tz_minutes : in.tz_minutes;
    std::snprintf(text + n, sizeof text - n, " %c%02d:%02d", in.tz_minutes < 0 ? '-' : '+', offset / 60, offset % 60);
  }
  return text;
}

namespace {

// Keeps the 40 aligned digits (20 mantissa bytes) an OCINumber holds, rounding half away from zero.
void round_to_mantissa(std::string& digits, int& point) {
  constexpr size_t kDigits = 40;
  if (digits.size() <= kDigits) return;
  const bool up = digits[kDigits] >= '5';
  digits.resize(kDigits);
  if (!up) return;
  size_t k = kDigits;
  while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
  if (k > 0) {
    ++digits[k - 1];
  } else {
    digits = "01";  // all nines carry into a new leading pair
    point += 2;
  }
  digits.erase(digits.find_last_not_of('0') + 1);
  if (digits.size() % 2) digits += '0';
}

}  // namespace

std::vector<ub1> encode_number(std::string_view text) {
  // Normalise to sign, significant digits and the count of digits before the point.
  bool negative = false;
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::string digits;
  digits.reserve(text.size() + 2);
  int point = -1;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c == '.' && point < 0) {
      point = static_cast<int>(digits.size());
    } else {
      break;
    }
  }
  if (point < 0) point = static_cast<int>(digits.size());
  // Plain digits overflow only past NUMBER's exponent, refused below; anything else (an
  // exponent, or text strtod reads otherwise) is first checked as strtod reads it.
  if (i < text.size() || digits.empty()) {
    const std::string terminated(text);
    if (std::isinf(std::strtod(terminated.c_str(), nullptr))) fail(1426);
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) point += std::atoi(terminated.c_str() + i + 1);
  }
  size_t first = digits.find_first_not_of('0');
  if (digits.empty() || first == std::string::npos) return {0x80};
  point -= static_cast<int>(first);
  digits.erase(0, first);
  digits.erase(digits.find_last_not_of('0') + 1);
  // Align to base-100 pairs: the exponent counts pairs before the point.
  if (point % 2 != 0) {
    digits.insert(digits.begin(), '0');
    ++point;
  }
  if (digits.size() % 2) digits += '0';
  round_to_mantissa(digits, point);
  int exponent = point / 2 - 1;
  // NUMBER's base-100 exponent spans -65 (1e-130) to 62 (9.99...e125); its byte would wrap beyond.
  if (exponent > 62) fail(1426);
  if (exponent < -65) return {0x80};
  std::vector<ub1> out;
  out.push_back(static_cast<ub1>(negative ? 62 - exponent : 193 + exponent));
  for (size_t k = 0; k + 1 < digits.size(); k += 2) {
    int pair = (digits[k] - '0') * 10 + (digits[k + 1] - '0');
    out.push_back(static_cast<ub1>(negative ? 101 - pair : pair + 1));
  }
  while (out.size() > 1 && out.back() == (negative ? 101 : 1)) out.pop_back();
  if (negative && out.size() < 21) out.push_back(102);
  return out;
}

namespace {

constexpr int kMaxMantissaDigits = 40;  // twenty base-100 digits
using sql::DigitBlocks;
constexpr int kBlock = DigitBlocks::kWidth;
constexpr size_t kPairRoom = 32;  // the twenty pairs, and a block's worth written past them

// A stored number's text copied once between zero blocks, so that its digits are read a block
// at a time, bytes before or after a run included, without a bound to check.
constexpr size_t kMaxStoredText = 48;
struct PaddedText {
  // Past the zeros, room to move kMaxStoredText bytes from any place in the text, and to write as
  // many zero digits after its digits: bytes a move takes beyond the digits are overwritten
  // before they are read, so not cleared.
  char bytes[kBlock + kMaxStoredText + kMaxStoredText];
  const char* begin = bytes + kBlock;  // the text
  const char* end = begin;
};

// False for text too long for a stored number, which the general conversions take.
bool pad_text(std::string_view text, PaddedText& out) {
  if (text.size() > kMaxStoredText) return false;
  std::memset(out.bytes, 0, kBlock);
  std::memcpy(out.bytes + kBlock, text.data(), text.size());
  std::memset(out.bytes + kBlock + text.size(), 0, kBlock);
  out.end = out.begin + text.size();
  return true;
}

uint64_t word_at(const char* at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

// Stops at the zero bytes after the text, if not before.
const char* skip_padded_digits(const char* from) {
  for (;; from += kBlock) {
    if (const uint64_t others = DigitBlocks::non_digits(from)) {
      return from + std::countr_zero(others) / DigitBlocks::kBitsPerLane;
    }
  }
}

// A stored number's digits as they lie in its text, "[-]whole[.fraction][E[+|-]shift]".
struct DigitRuns {
  bool negative = false;
  const char* whole = nullptr;     // the digits before the point, from the first nonzero one
  int whole_count = 0;
  const char* fraction = nullptr;  // the digits after the point, to the last nonzero one; when
  int fraction_count = 0;          // there are no whole digits, from the first nonzero one,
  int skipped_zeros = 0;           // after this many zeros
  int shift = 0;                   // the power of ten after E, 0 without one
};

const char* skip_zeros(const char* from, const char* end) {
  while (from < end && *from == '0') ++from;
  return from;
}

// The value after E: "[+|-]digits", at most four of them, running to the end of the text.
bool read_shift(const char* at, const char* end, int& shift) {
  const bool below = at < end && *at == '-';
  at += at < end && (*at == '-' || *at == '+') ? 1 : 0;
  const char* const digits = at;
  at = skip_padded_digits(at);
  if (at == digits || at != end || at - digits > 4) return false;
  int value = 0;
  for (const char* d = digits; d < at; ++d) value = value * 10 + (*d - '0');
  shift = below ? -value : value;
  return true;
}

// Finds the digit runs without copying them again; false for text of any other form. Inlined
// into each reader, so that the runs stay in registers instead of passing through memory.
[[gnu::always_inline]] inline bool read_digit_runs(const PaddedText& text, DigitRuns& out) {
  const char* at = text.begin;
  const char* const end = text.end;
  out.negative = at < end && *at == '-';
  at += out.negative ? 1 : 0;
  const char* const first = at;
  out.whole = skip_zeros(at, end);
  at = skip_padded_digits(out.whole);
  out.whole_count = static_cast<int>(at - out.whole);
  bool any_digit = at > first;
  out.fraction = at;
  if (at < end && *at == '.') {
    const char* const digits = ++at;
    at = skip_padded_digits(at);
    any_digit = any_digit || at > digits;
    const char* last = at;
    while (last > digits && last[-1] == '0') --last;
    out.fraction = out.whole_count == 0 ? skip_zeros(digits, last) : digits;
    out.skipped_zeros = static_cast<int>(out.fraction - digits);
    out.fraction_count = static_cast<int>(last - out.fraction);
  }
  if (!any_digit) return false;
  return at == end || (*at == 'E' && read_shift(at + 1, end, out.shift));
}

// The whole and fraction runs joined in place into one run of at most kMaxMantissaDigits, the
// fraction moved over the point as a fixed number of bytes, after a zero digit when `pad`, and
// zero digits to kMaxStoredText past its end (more than the blocks read); its first digit.
char* join_digits(PaddedText& text, const DigitRuns& number, bool pad) {
  char* const whole = text.bytes + (number.whole - text.bytes);
  char* first = whole;
  if (number.whole_count == 0) {
    first += number.fraction - number.whole;
  } else if (number.fraction_count != 0) {
    std::memmove(whole + number.whole_count, number.fraction, kMaxStoredText);
  }
  std::memset(first + number.whole_count + number.fraction_count, '0', kMaxStoredText);
  if (pad) *--first = '0';  // over the sign, the point or a zero before the digits
  return first;
}

// The OCINumber mantissa bytes of `count` joined digits, an odd last one taking a zero after
// it, up to the last nonzero pair; returns how many. The blocks are written without a loop.
template <size_t... kBlocks>
int mantissa_bytes(const char* digits, int count, bool negative, ub1* out, std::index_sequence<kBlocks...>) {
  static_assert(sizeof...(kBlocks) * kBlock <= kMaxStoredText, "the zeros cover every block read");
  (DigitBlocks::write_mantissa(digits + kBlocks * kBlock, negative, out + kBlocks * kBlock / 2), ...);
  int pairs = (count + 1) / 2;
  const ub1 zero = negative ? 101 : 1;
  while (out[pairs - 1] == zero) --pairs;  // a whole number's trailing zeros; a nonzero digit stops it
  return pairs;
}

// The exponent byte before `count` mantissa bytes already in place, and a negative's terminator.
void finish_number_bytes(bool negative, int exponent, int count, NumberBytes& out) {
  out.bytes[0] = static_cast<ub1>(negative ? 62 - exponent : 193 + exponent);
  int length = count + 1;
  if (negative && length < static_cast<int>(sizeof out.bytes)) out.bytes[length++] = 102;
  out.length = static_cast<uint8_t>(length);
}

// ±0.p1p2... x 100^(exponent + 1) as OCINumber bytes; `pairs` are base-100 digits, the last
// nonzero, and no byte of `pairs` is above 99. Each is stored plus one, or a negative's as 101
// minus it, a word at a time: no byte carries or borrows into the next.
void write_number_bytes(bool negative, int exponent, ub1 (&pairs)[kPairRoom], int count, NumberBytes& out) {
  for (size_t k = 0; k < static_cast<size_t>(count); k += 8) {
    uint64_t word = word_at(reinterpret_cast<const char*>(pairs + k));
    word = negative ? 0x6565656565656565u - word : word + 0x0101010101010101u;
    std::memcpy(pairs + k, &word, sizeof word);
  }
  std::memcpy(out.bytes + 1, pairs, sizeof out.bytes - 1);
  finish_number_bytes(negative, exponent, count, out);
}

void write_zero(NumberBytes& out) {
  out.bytes[0] = 0x80;
  out.length = 1;
}

using u128 = unsigned __int128;

constexpr int kMaxExactDigits = 38;

constexpr auto kPowersOfTen = [] {
  std::array<u128, kMaxExactDigits + 1> powers{};
  powers[0] = 1;
  for (size_t n = 1; n < powers.size(); ++n) powers[n] = powers[n - 1] * 10;
  return powers;
}();

// The value of `count` digits of a padded text, a block at a time from the last one back: the
// first block starts before the digits and takes the bytes there as zeros. Value is uint64_t
// for up to 19 digits, else u128.
template <typename Value>
[[gnu::always_inline]] inline Value digits_value(const char* digits, int count) {
  if (count == 0) return 0;
  const int blocks = (count + kBlock - 1) / kBlock;
  const char* const first = digits + count - blocks * kBlock;
  Value value = DigitBlocks::value(first, blocks * kBlock - count);
  for (int block = 1; block < blocks; ++block) {
    value = value * DigitBlocks::kScale + DigitBlocks::value(first + block * kBlock, 0);
  }
  return value;
}

int bit_length(uint64_t value) { return 64 - std::countl_zero(value); }

int bit_length(u128 value) {
  const auto high = static_cast<uint64_t>(value >> 64);
  return high ? 128 - std::countl_zero(high) : bit_length(static_cast<uint64_t>(value));
}

// `whole` (at least 2^53) plus a fraction below one, nonzero when `inexact`, rounded half to even.
// Whole is uint64_t for up to nineteen digits, else u128.
template <typename Whole>
double rounded_to_double(Whole whole, bool inexact) {
  const int dropped = bit_length(whole) - 53;
  // The kept bits and the first dropped one; whatever lies below that only breaks a tie.
  const auto kept_and_half = static_cast<uint64_t>(whole >> (dropped - 1));
  uint64_t mantissa = kept_and_half >> 1;
  const bool beyond_half = inexact || (Whole{kept_and_half} << (dropped - 1)) != whole;
  if ((kept_and_half & 1) && (beyond_half || (mantissa & 1))) ++mantissa;
  int exponent = dropped;
  if (mantissa == uint64_t{1} << 53) mantissa >>= 1, ++exponent;
  const uint64_t bits = (static_cast<uint64_t>(exponent + 52 + 1023) << 52) | (mantissa & ((uint64_t{1} << 52) - 1));
  return std::bit_cast<double>(bits);
}

// The magnitude of sixteen or more whole digits (at least 10^15, so a fraction can only break a
// tie or round up the last bits of a whole part at least 2^53), correctly rounded; false for a
// whole part below 2^53 with digits after the point, which the general conversion takes.
template <typename Whole>
bool whole_magnitude(const DigitRuns& number, double& out) {
  const auto whole = digits_value<Whole>(number.whole, number.whole_count);
  if (bit_length(whole) > 53) {
    out = rounded_to_double(whole, number.fraction_count != 0);
    return true;
  }
  out = static_cast<double>(static_cast<uint64_t>(whole));
  return number.fraction_count == 0;
}

// Powers of ten a double holds exactly.
constexpr auto kExactDoublePowers = [] {
  std::array<double, 23> powers{};
  powers[0] = 1;
  for (size_t n = 1; n < powers.size(); ++n) powers[n] = powers[n - 1] * 10;
  return powers;
}();

// The magnitude correctly rounded without a general conversion, where integers or one exact
// operation suffice; false for the rest.
bool magnitude_quickly(const DigitRuns& number, double& out) {
  if (number.shift != 0) return false;  // only far beyond these ranges does the text take an E
  if (number.whole_count >= 16) {
    if (number.whole_count > kMaxExactDigits) return false;
    return number.whole_count <= 19 ? whole_magnitude<uint64_t>(number, out) : whole_magnitude<u128>(number, out);
  }
  // Digits that a double holds exactly, scaled by an exact power of ten: a single rounding.
  if (number.whole_count + number.fraction_count > 19) return false;
  const int scale = number.skipped_zeros + number.fraction_count;  // digits after the point
  if (scale >= static_cast<int>(kExactDoublePowers.size())) return false;
  const uint64_t digits = digits_value<uint64_t>(number.whole, number.whole_count) *
                              static_cast<uint64_t>(kPowersOfTen[static_cast<size_t>(number.fraction_count)]) +
                          digits_value<uint64_t>(number.fraction, number.fraction_count);
  if (digits > uint64_t{1} << 53) return false;
  out = static_cast<double>(digits) / kExactDoublePowers[static_cast<size_t>(scale)];
  return true;
}

}  // namespace

bool stored_number_double(std::string_view text, double& out) {
  PaddedText padded;
  DigitRuns number;
  if (!pad_text(text, padded) || !read_digit_runs(padded, number)) return false;
  double magnitude = 0;
  if (!magnitude_quickly(number, magnitude)) {
    // Correctly rounded as well, at several times the cost.
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
  }
  out = number.negative ? -magnitude : magnitude;
  return true;
}

NumberBytes integer_number_bytes(int64_t value) {
  NumberBytes out;
  if (value == 0) {
    write_zero(out);
    return out;
  }
  uint64_t rest = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  ub1 low_first[10];
  int count = 0;
  for (; rest != 0; rest /= 100) low_first[count++] = static_cast<ub1>(rest % 100);
  int lowest = 0;
  while (low_first[lowest] == 0) ++lowest;  // the top pair is nonzero, so this stops
  ub1 pairs[kPairRoom] = {};
  int used = 0;
  for (int k = count - 1; k >= lowest; --k) pairs[used++] = low_first[k];
  write_number_bytes(value < 0, count - 1, pairs, used, out);
  return out;
}

bool stored_number_bytes(std::string_view text, NumberBytes& out) {
  PaddedText padded;
  DigitRuns number;
  if (!pad_text(text, padded) || !read_digit_runs(padded, number)) return false;
  if (number.whole_count + number.fraction_count == 0) {
    write_zero(out);
    return true;
  }
  // Base-100 digits align to the point: an odd point takes a leading zero digit.
  const int point = number.shift + (number.whole_count > 0 ? number.whole_count : -number.skipped_zeros);
  const bool pad = point % 2 != 0;
  const int digits = number.whole_count + number.fraction_count + (pad ? 1 : 0);
  if (digits > kMaxMantissaDigits) return false;  // needs rounding, which encode_number does
  const int exponent = (point + (pad ? 1 : 0)) / 2 - 1;
  if (exponent > 62) return false;  // overflow: encode_number reports it
  if (exponent < -65) {
    write_zero(out);
    return true;
  }
  ub1 mantissa[kPairRoom];
  const int count = mantissa_bytes(join_digits(padded, number, pad), digits, number.negative, mantissa,
                                   std::make_index_sequence<(kMaxMantissaDigits + kBlock - 1) / kBlock>());
  std::memcpy(out.bytes + 1, mantissa, sizeof out.bytes - 1);
  finish_number_bytes(number.negative, exponent, count, out);
  return true;
}

std::string decode_number(const ub1* bytes, size_t length) {
  if (length == 0 || (length == 1 && bytes[0] == 0x80)) return "0";
  bool positive = (bytes[0] & 0x80) != 0;
  int exponent = positive ? bytes[0] - 193 : static_cast<ub1>(~bytes[0]) - 193;
  size_t end = length;
  if (!positive && end > 1 && bytes[end - 1] == 102) --end;
  std::string digits;
  for (size_t k = 1; k < end; ++k) {
    int pair = positive ? bytes[k] - 1 : 101 - bytes[k];
    digits += static_cast<char>('0' + pair / 10);
    digits += static_cast<char>('0' + pair % 10);
  }
  int point = (exponent + 1) * 2;  // digits before the decimal point
  std::string out = positive ? "" : "-";
  if (point <= 0) {
    out += "0." + std::string(static_cast<size_t>(-point), '0') + digits;
  } else if (static_cast<size_t>(point) >= digits.size()) {
    out += digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
  } else {
    out += digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
  }
  // Tidy: no leading zeros before the point, no trailing zeros after it.
  size_t sign = positive ? 0 : 1;
  while (out.size() > sign + 1 && out[sign] == '0' && out[sign + 1] != '.') out.erase(sign, 1);
  if (out.find('.') != std::string::npos) {
    out.erase(out.find_last_not_of('0') + 1);
    if (out.back() == '.') out.pop_back();
  }
  return out;
}

}  // namespace ociemu

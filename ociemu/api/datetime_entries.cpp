// Entries for DATE and TIMESTAMP descriptors.
#include <cstring>

#include "ociemu/api/convert.h"
#include "ociemu/api/entry.h"
#include "ociemu/sql/datetime_value.h"

using namespace ociemu;

namespace {

DateTimeDescriptor& datetime(const void* p) {
  DateTimeDescriptor* dt = live_datetime(p);
  if (dt == nullptr) fail(1891);
  return *dt;
}

const sql::SessionContext& context_of(void* hndl) {
  static const sql::SessionContext defaults;
  if (auto* session = live<Session>(hndl)) return session->context;
  return defaults;
}

std::string text_of(const OraText* text, size_t length) {
  return text ? std::string(reinterpret_cast<const char*>(text), length) : std::string();
}

bool is_zoned(const DateTimeDescriptor& dt) {
  return dt.type() == OCI_DTYPE_TIMESTAMP_TZ || dt.type() == OCI_DTYPE_TIMESTAMP_LTZ;
}

// The zone a datetime call works in: the session's, or the client's for an environment handle.
int session_zone(void* hndl) {
  if (auto* session = live<Session>(hndl)) return session->context.time_zone_minutes;
  return sql::current_local_time().zone_minutes;
}

std::string default_model(void* hndl, const DateTimeDescriptor& dt) {
  const sql::SessionContext& context = context_of(hndl);
  if (dt.type() == OCI_DTYPE_DATE) return context.nls_date_format;
  return dt.type() == OCI_DTYPE_TIMESTAMP_TZ ? context.nls_timestamp_tz_format : context.nls_timestamp_format;
}

// The descriptor as a value; a zoned kind always carries its offset, a plain one is in the session's zone.
sql::DateTimeValue value_of(void* hndl, const DateTimeDescriptor& dt) {
  sql::DateTimeValue value = *sql::parse_storage(datetime_to_storage(dt));
  value.has_fraction = true;
  value.has_time_zone = true;
  value.zone_minutes = is_zoned(dt) ? dt.tz_minutes : session_zone(hndl);
  return value;
}

// Stores a value into a descriptor of any kind: a local-zone descriptor holds the instant in the
// session's zone, a plain one the wall clock reading, a DATE no fraction.
void assign_value(void* hndl, sql::DateTimeValue value, DateTimeDescriptor& dt) {
  if (!value.has_time_zone) value.has_time_zone = true, value.zone_minutes = session_zone(hndl);
  if (dt.type() == OCI_DTYPE_TIMESTAMP_LTZ) value = sql::shift_to_zone(value, session_zone(hndl));
  dt.year = value.year;
  dt.month = value.month;
  dt.day = value.day;
  dt.hour = value.hour;
  dt.minute = value.minute;
  dt.second = value.second;
  dt.nanos = dt.type() == OCI_DTYPE_DATE ? 0 : static_cast<uint32_t>(value.nanoseconds);
  dt.tz_minutes = is_zoned(dt) ? value.zone_minutes : 0;
}

int zone_minutes(const OraText* text, size_t length) {
  sql::ZoneParse zone = sql::parse_time_zone(text_of(text, length));
  if (zone.error) fail(zone.error);
  return zone.minutes;
}

}  // namespace

extern "C" {

sword OCIDateTimeConstruct(void* hndl, OCIError* errhp, OCIDateTime* datetimep, sb2 yr, ub1 mnth, ub1 dy, ub1 hr, ub1 mm,
                           ub1 ss, ub4 fsec, OraText* zone_text, size_t zone_length) {
  return guarded("OCIDateTimeConstruct", live<ErrorHandle>(errhp), [&] {
    DateTimeDescriptor& dt = datetime(datetimep);
    if (yr == 0 || mnth < 1 || mnth > 12 || dy < 1 || dy > 31 || hr > 23 || mm > 59 || ss > 59 || fsec > 999999999) {
      fail(1858);
    }
    dt.year = yr;
    dt.month = mnth;
    dt.day = dy;
    dt.hour = hr;
    dt.minute = mm;
    dt.second = ss;
    dt.nanos = fsec;
    if (!sql::is_valid_date(yr, mnth, dy)) fail(1847);
    dt.tz_minutes = 0;
    if (dt.type() == OCI_DTYPE_TIMESTAMP_TZ) {
      dt.tz_minutes = zone_text && zone_length ? zone_minutes(zone_text, zone_length) : session_zone(hndl);
    } else if (dt.type() == OCI_DTYPE_TIMESTAMP_LTZ) {
      dt.tz_minutes = session_zone(hndl);  // parts of a local-zone value are in the session's zone
    }
    if (dt.type() == OCI_DTYPE_DATE) dt.nanos = 0;
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeGetDate(void*, OCIError* errhp, const OCIDateTime* date, sb2* yr, ub1* mnth, ub1* dy) {
  return guarded("OCIDateTimeGetDate", live<ErrorHandle>(errhp), [&] {
    DateTimeDescriptor& dt = datetime(date);
    if (yr) *yr = static_cast<sb2>(dt.year);
    if (mnth) *mnth = static_cast<ub1>(dt.month);
    if (dy) *dy = static_cast<ub1>(dt.day);
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeGetTime(void*, OCIError* errhp, OCIDateTime* datetimep, ub1* hr, ub1* mm, ub1* ss, ub4* fsec) {
  return guarded("OCIDateTimeGetTime", live<ErrorHandle>(errhp), [&] {
    DateTimeDescriptor& dt = datetime(datetimep);
    if (hr) *hr = static_cast<ub1>(dt.hour);
    if (mm) *mm = static_cast<ub1>(dt.minute);
    if (ss) *ss = static_cast<ub1>(dt.second);
    if (fsec) *fsec = dt.nanos;
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeAssign(void*, OCIError* errhp, const OCIDateTime* from, OCIDateTime* to) {
  return guarded("OCIDateTimeAssign", live<ErrorHandle>(errhp), [&] {
    DateTimeDescriptor& source = datetime(from);
    DateTimeDescriptor& target = datetime(to);
    target.year = source.year;
    target.month = source.month;
    target.day = source.day;
    target.hour = source.hour;
    target.minute = source.minute;
    target.second = source.second;
    target.nanos = source.nanos;
    target.tz_minutes = source.tz_minutes;
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeToText(void* hndl, OCIError* errhp, const OCIDateTime* date, const OraText* fmt, ub1 fmt_length,
                        ub1, const OraText*, size_t, ub4* buf_size, OraText* buf) {
  return guarded("OCIDateTimeToText", live<ErrorHandle>(errhp), [&] {
    DateTimeDescriptor& dt = datetime(date);
    std::string model = fmt && fmt_length ? text_of(fmt, fmt_length) : default_model(hndl, dt);
    std::string text = sql::format_datetime(datetime_to_storage(dt), model);
    if (!buf_size || !buf || text.size() > *buf_size) fail(1877);
    std::memcpy(buf, text.data(), text.size());
    *buf_size = static_cast<ub4>(text.size());
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeFromText(void* hndl, OCIError* errhp, const OraText* date_str, size_t dstr_length, const OraText* fmt,
                          ub1 fmt_length, const OraText*, size_t, OCIDateTime* date) {
  return guarded("OCIDateTimeFromText", live<ErrorHandle>(errhp), [&] {
    DateTimeDescriptor& dt = datetime(date);
    std::string model = fmt && fmt_length ? text_of(fmt, fmt_length) : default_model(hndl, dt);
    auto value = sql::parse_storage(sql::parse_datetime(text_of(date_str, dstr_length), model));
    if (!value) fail(1861);
    assign_value(hndl, *value, dt);
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeGetTimeZoneOffset(void*, OCIError* errhp, const OCIDateTime* datetimep, sb1* hr, sb1* mm) {
  return guarded("OCIDateTimeGetTimeZoneOffset", live<ErrorHandle>(errhp), [&] {
    DateTimeDescriptor& dt = datetime(datetimep);
    if (!is_zoned(dt)) fail(1891);
    // Both parts carry the sign, as Oracle's client gives them (-03:30 is -3 and -30).
    if (hr) *hr = static_cast<sb1>(dt.tz_minutes / 60);
    if (mm) *mm = static_cast<sb1>(dt.tz_minutes % 60);
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeGetTimeZoneName(void*, OCIError* errhp, const OCIDateTime* datetimep, ub1* buf, ub4* buflen) {
  return guarded("OCIDateTimeGetTimeZoneName", live<ErrorHandle>(errhp), [&] {
    DateTimeDescriptor& dt = datetime(datetimep);
    if (!is_zoned(dt)) fail(1891);
    // ociemu knows no regions: a zone's name is its offset, as Oracle names offset zones.
    std::string name = sql::time_zone_text(dt.tz_minutes);
    if (!buf || !buflen || *buflen < name.size()) fail(1877);
    std::memcpy(buf, name.data(), name.size());
    *buflen = static_cast<ub4>(name.size());
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeSysTimeStamp(void* hndl, OCIError* errhp, OCIDateTime* sys_date) {
  return guarded("OCIDateTimeSysTimeStamp", live<ErrorHandle>(errhp), [&] {
    DateTimeDescriptor& dt = datetime(sys_date);
    sql::DateTimeValue now = sql::current_local_time();
    now.has_time_zone = true;  // a plain kind keeps the machine's wall clock, as SYSTIMESTAMP shows it
    assign_value(hndl, now, dt);
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeCompare(void* hndl, OCIError* errhp, const OCIDateTime* date1, const OCIDateTime* date2,
                         sword* result) {
  return guarded("OCIDateTimeCompare", live<ErrorHandle>(errhp), [&] {
    const DateTimeDescriptor& a = datetime(date1);
    const DateTimeDescriptor& b = datetime(date2);
    if (result == nullptr) fail(1891);
    *result = sql::compare_instants(value_of(hndl, a), value_of(hndl, b));
    return OCI_SUCCESS;
  });
}

sword OCIDateTimeConvert(void* hndl, OCIError* errhp, OCIDateTime* indate, OCIDateTime* outdate) {
  return guarded("OCIDateTimeConvert", live<ErrorHandle>(errhp), [&] {
    const DateTimeDescriptor& from = datetime(indate);
    DateTimeDescriptor& to = datetime(outdate);
    sql::DateTimeValue value = value_of(hndl, from);
    // To a plain kind the reading is the session's wall clock.
    if (!is_zoned(to)) value = sql::shift_to_zone(value, session_zone(hndl));
    assign_value(hndl, value, to);
    return OCI_SUCCESS;
  });
}

}  // extern "C"

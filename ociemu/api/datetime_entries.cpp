// Entries for DATE and TIMESTAMP descriptors.
#include <cstring>

#include "ociemu/api/entry.h"

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

}  // namespace

extern "C" {

sword OCIDateTimeConstruct(void*, OCIError* errhp, OCIDateTime* datetimep, sb2 yr, ub1 mnth, ub1 dy, ub1 hr, ub1 mm,
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
    dt.tz_minutes = 0;
    if (zone_text && zone_length) {
      std::string zone = text_of(zone_text, zone_length);
      int hours = 0, minutes = 0;
      char sign = '+';
      if (std::sscanf(zone.c_str(), " %c%d:%d", &sign, &hours, &minutes) >= 2) {
        dt.tz_minutes = (sign == '-' ? -1 : 1) * (hours * 60 + minutes);
      }
    }
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
    std::string model = fmt && fmt_length ? text_of(fmt, fmt_length)
                        : dt.type() == OCI_DTYPE_DATE ? context_of(hndl).nls_date_format
                                                      : context_of(hndl).nls_timestamp_format;
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
    std::string model = fmt && fmt_length ? text_of(fmt, fmt_length)
                        : dt.type() == OCI_DTYPE_DATE ? context_of(hndl).nls_date_format
                                                      : context_of(hndl).nls_timestamp_format;
    storage_to_datetime(sql::parse_datetime(text_of(date_str, dstr_length), model), dt);
    return OCI_SUCCESS;
  });
}

}  // extern "C"

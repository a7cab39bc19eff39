// Entries for INTERVAL YEAR TO MONTH and DAY TO SECOND descriptors.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ociemu/api/entry.h"
#include "ociemu/sql/interval_value.h"

using namespace ociemu;

namespace {

using sql::kNanosPerSecond;
using sql::kSecondsPerDay;

IntervalDescriptor& interval(const void* p, uint32_t kind) {
  IntervalDescriptor* value = live_interval(p);
  if (value == nullptr || (kind != 0 && value->type() != kind)) fail(1891);
  return *value;
}

// Oracle's interval text: '+YY-MM' or '+DD HH:MI:SS.FFFFFF', leading field padded to lfprec digits.
std::string interval_text(const IntervalDescriptor& value, int leading_digits, int fraction_digits) {
  if (value.type() == OCI_DTYPE_INTERVAL_YM) return sql::year_month_text(value.months, leading_digits);
  return sql::day_second_text(value.nanos, leading_digits, fraction_digits);
}

}  // namespace

extern "C" {

sword OCIIntervalGetYearMonth(void*, OCIError* err, sb4* yr, sb4* mnth, const OCIInterval* value) {
  return guarded("OCIIntervalGetYearMonth", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& ym = interval(value, OCI_DTYPE_INTERVAL_YM);
    if (yr) *yr = static_cast<sb4>(ym.months / 12);
    if (mnth) *mnth = static_cast<sb4>(ym.months % 12);
    return OCI_SUCCESS;
  });
}

sword OCIIntervalSetYearMonth(void*, OCIError* err, sb4 yr, sb4 mnth, OCIInterval* result) {
  return guarded("OCIIntervalSetYearMonth", live<ErrorHandle>(err), [&] {
    IntervalDescriptor& ym = interval(result, OCI_DTYPE_INTERVAL_YM);
    // Mixed signs would name two different lengths; Oracle rejects them.
    if ((yr < 0 && mnth > 0) || (yr > 0 && mnth < 0) || mnth > 11 || mnth < -11) fail(1867);
    ym.months = static_cast<int64_t>(yr) * 12 + mnth;
    return OCI_SUCCESS;
  });
}

sword OCIIntervalGetDaySecond(void*, OCIError* err, sb4* dy, sb4* hr, sb4* mm, sb4* ss, sb4* fsec,
                              const OCIInterval* value) {
  return guarded("OCIIntervalGetDaySecond", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& ds = interval(value, OCI_DTYPE_INTERVAL_DS);
    int64_t seconds = ds.nanos / kNanosPerSecond;  // truncates toward zero: every part keeps the sign
    if (dy) *dy = static_cast<sb4>(seconds / kSecondsPerDay);
    if (hr) *hr = static_cast<sb4>(seconds / 3600 % 24);
    if (mm) *mm = static_cast<sb4>(seconds / 60 % 60);
    if (ss) *ss = static_cast<sb4>(seconds % 60);
    if (fsec) *fsec = static_cast<sb4>(ds.nanos % kNanosPerSecond);
    return OCI_SUCCESS;
  });
}

sword OCIIntervalSetDaySecond(void*, OCIError* err, sb4 dy, sb4 hr, sb4 mm, sb4 ss, sb4 fsec, OCIInterval* result) {
  return guarded("OCIIntervalSetDaySecond", live<ErrorHandle>(err), [&] {
    IntervalDescriptor& ds = interval(result, OCI_DTYPE_INTERVAL_DS);
    if (hr > 23 || hr < -23 || mm > 59 || mm < -59 || ss > 59 || ss < -59 || fsec > 999999999 || fsec < -999999999)
      fail(1867);
    int64_t seconds = ((static_cast<int64_t>(dy) * 24 + hr) * 60 + mm) * 60 + ss;
    ds.nanos = seconds * kNanosPerSecond + fsec;
    return OCI_SUCCESS;
  });
}

sword OCIIntervalToText(void*, OCIError* err, const OCIInterval* value, ub1 lfprec, ub1 fsprec, OraText* buffer,
                        size_t buflen, size_t* resultlen) {
  return guarded("OCIIntervalToText", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& source = interval(value, 0);
    std::string text = interval_text(source, lfprec > 9 ? 9 : lfprec, fsprec > 9 ? 9 : fsprec);
    if (buffer == nullptr || text.size() > buflen) fail(1877);
    std::memcpy(buffer, text.data(), text.size());
    if (resultlen) *resultlen = text.size();
    return OCI_SUCCESS;
  });
}

sword OCIIntervalFromText(void*, OCIError* err, const OraText* inpstring, size_t str_len, OCIInterval* result) {
  return guarded("OCIIntervalFromText", live<ErrorHandle>(err), [&] {
    IntervalDescriptor& target = interval(result, 0);
    std::string_view text = inpstring ? std::string_view(reinterpret_cast<const char*>(inpstring), str_len) : std::string_view();
    bool year_month = target.type() == OCI_DTYPE_INTERVAL_YM;
    std::optional<int64_t> value = year_month ? sql::parse_year_month_text(text) : sql::parse_day_second_text(text);
    bool parsed = value.has_value();
    if (parsed) (year_month ? target.months : target.nanos) = *value;
    if (!parsed) fail(1867);
    return OCI_SUCCESS;
  });
}

sword OCIIntervalAssign(void*, OCIError* err, const OCIInterval* ininter, OCIInterval* outinter) {
  return guarded("OCIIntervalAssign", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& source = interval(ininter, 0);
    IntervalDescriptor& target = interval(outinter, source.type());
    target.months = source.months;
    target.nanos = source.nanos;
    return OCI_SUCCESS;
  });
}

sword OCIIntervalCompare(void*, OCIError* err, OCIInterval* inter1, OCIInterval* inter2, sword* result) {
  return guarded("OCIIntervalCompare", live<ErrorHandle>(err), [&] {
    const IntervalDescriptor& a = interval(inter1, 0);
    const IntervalDescriptor& b = interval(inter2, a.type());
    if (result == nullptr) fail(1891);
    int64_t x = a.type() == OCI_DTYPE_INTERVAL_YM ? a.months : a.nanos;
    int64_t y = a.type() == OCI_DTYPE_INTERVAL_YM ? b.months : b.nanos;
    *result = x < y ? -1 : x > y ? 1 : 0;
    return OCI_SUCCESS;
  });
}

}  // extern "C"
